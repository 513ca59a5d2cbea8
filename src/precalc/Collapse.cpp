#include "precalc/Collapse.hpp"

#include <fstream>
#include <new>

#include "precalc/MapArray.hpp"
#include "precalc/MapFileErrors.hpp"
#include "precalc/SliceIo.hpp"
#include "precalc/SnellDeflection.hpp"

namespace conesim {
namespace {

// Adds the deflections at the boundary between two consecutive slices to the accumulator.
void accumulateBoundary(const float* angles, const float* indexBefore, const float* indexAfter,
                        double* accumulator, std::int64_t count) {
    for (std::int64_t j = 0; j < count; ++j) {
        const double nBefore = static_cast<double>(indexBefore[j]) + 1.0;
        const double nAfter = static_cast<double>(indexAfter[j]) + 1.0;
        if (nBefore != nAfter) {
            const double theta = angles[j];
            if (interfaceRefracts(theta)) {
                accumulator[j] += snellDeflection(theta, nBefore, nAfter);
            }
        }
    }
}

int collapseWithArrays(Console& console, std::ostream& log, const std::string& angleMapName,
                       const std::string& indexMapName, int dimX, int dimY, int dimZ,
                       std::vector<float>& plane, StopFlag stop, const PendingMapFiles* files) {
    const std::int64_t sliceSize = std::int64_t{dimX} * dimY;
    MapArray accumulator = MapArray::createDoubleMap(angleMapName, dimX, dimY, 1);
    MapArray angles = MapArray::openFloatMap(mapFilePath(files, angleMapName), dimX, dimY, 1);
    MapArray indices = MapArray::openFloatMap(mapFilePath(files, indexMapName), dimX, dimY, 2);
    if (!angles.isOpen() || !indices.isOpen()) {
        report(console, log,
               "ERROR: Could not open files: Z_ref-PRE or Z_iLR-PRE or Z_iUD-PRE check main "
               "directory.");
        return kCollapseFailed;
    }
    for (int i = 1; i < dimZ; ++i) {
        if (stopRequested(stop)) {
            return kPrecalcStopped;
        }
        if (i % 10 == 0) {
            writeLine(log, "Phase processing slice " + std::to_string(i));
        }
        // A read that falls short would leave values of an earlier slice in the buffer, so
        // anything less than the full request ends the collapse.
        if (angles.readRange(std::int64_t{i} * sliceSize, sliceSize) != sliceSize) {
            writeLine(log, "Error reading angles from |" + angleMapName + "| .");
            return kCollapseFailed;
        }
        if (indices.readRange(std::int64_t{i - 1} * sliceSize, 2 * sliceSize) != 2 * sliceSize) {
            writeLine(log, "Error reading values from  |" + indexMapName + "| .");
            return kCollapseFailed;
        }
        const float* index = indices.floatData().data();
        accumulateBoundary(angles.floatData().data(), index, index + sliceSize,
                           accumulator.doubleData().data(), sliceSize);
    }
    angles.close();
    indices.close();

    const std::string previewName = angleMapName + kPreviewSuffix;
    const std::string planeName = angleMapName + kPlaneSuffix;
    const bool previewWritten =
        accumulator.writeMapPgm(console, log, mapFilePath(files, previewName));
    const bool planeWritten =
        accumulator.writeBinary(console, log, mapFilePath(files, planeName)) == accumulator.count();
    angles.release();
    indices.release();
    plane = accumulator.takeAsFloat();
    return previewWritten && planeWritten ? kPrecalcOk : kMapWriteFailed;
}

}  // namespace

int collapseInterfaceMap(Console& console, std::ostream& log, const std::string& angleMapName,
                         const std::string& indexMapName, int dimX, int dimY, int dimZ,
                         std::vector<float>& plane, StopFlag stop, const PendingMapFiles* files) {
    try {
        return collapseWithArrays(console, log, angleMapName, indexMapName, dimX, dimY, dimZ, plane,
                                  stop, files);
    } catch (const std::bad_alloc&) {
        writeLine(log, "Error reading values from  |" + indexMapName + "| .");
        return kCollapseFailed;
    }
}

namespace {

// Adds one slice of labels: each voxel's mu(E0) times its depth to its column's sum (in
// slice order, as the raw values are summed), and one voxel to its material's count.
void addMaterialSlice(const VoxelMaterials& materials, const std::vector<float>& slice,
                      std::vector<double>& sums, std::vector<std::int32_t>& voxelsOf) {
    const std::size_t size = slice.size();
    for (std::size_t j = 0; j < size; ++j) {
        const std::size_t m = materials.indexOf(slice[j]);
        if (m < materials.count()) {
            sums[j] += materials.voxelMu[m];
            ++voxelsOf[m * size + j];
        }
    }
}

}  // namespace

int collapseAttenuation(Console& console, std::ostream& log, const SampleVolume& sample,
                        const std::string& indexMapName, int runMode, std::vector<double>& plane,
                        StopFlag stop, const PendingMapFiles* files,
                        const VoxelMaterials* materials, std::vector<double>* thickness) {
    if (runMode < 3) {
        return kCollapseFailed;
    }
    std::ifstream in(sample.path, std::ios::binary);
    if (!in.is_open()) {
        report(console, log, sample.path + " failed to load. Check main directory.");
        return kCollapseFailed;
    }
    const std::int64_t sliceSize = sample.sliceSize();
    const std::size_t materialCount = materials != nullptr ? materials->count() : 0;
    std::vector<double> sums;
    std::vector<float> slice;
    std::vector<std::int32_t> voxelsOf;  // per material and column, the voxels counted
    try {
        sums.assign(static_cast<std::size_t>(sliceSize), 0.0);
        slice.resize(static_cast<std::size_t>(sliceSize));
        voxelsOf.assign(materialCount * static_cast<std::size_t>(sliceSize), 0);
    } catch (const std::bad_alloc&) {
        report(console, log, sample.path + " failed to load. Check main directory.");
        return kCollapseFailed;
    }
    report(console, log, "Collapsing array to one slice for attenuation.");
    for (std::int32_t z = 0; z < sample.dimZ; ++z) {
        if (stopRequested(stop)) {
            return kPrecalcStopped;
        }
        readSliceOrZeros(in, slice.data(), sliceSize);
        if (materials != nullptr) {
            addMaterialSlice(*materials, slice, sums, voxelsOf);
            continue;
        }
        for (std::int64_t j = 0; j < sliceSize; ++j) {
            sums[static_cast<std::size_t>(j)] += slice[static_cast<std::size_t>(j)];
        }
    }
    in.close();
    slice = std::vector<float>();

    const std::string name = indexMapName + kPlaneSuffix;
    const std::string path = mapFilePath(files, name);
    const bool written = writeDoubles(path, sums);
    plane = std::move(sums);
    if (!written) {
        reportWriteFailure(console, log, name, path);
        return kMapWriteFailed;
    }
    if (materials == nullptr || thickness == nullptr) {
        return kPrecalcOk;
    }
    thickness->resize(voxelsOf.size());
    for (std::size_t i = 0; i < voxelsOf.size(); ++i) {
        (*thickness)[i] = static_cast<double>(voxelsOf[i]) * materials->voxelDepthCm;
    }
    const std::string thicknessPath = mapFilePath(files, kThicknessPlaneName);
    if (!writeDoubles(thicknessPath, *thickness)) {
        reportWriteFailure(console, log, kThicknessPlaneName, thicknessPath);
        return kMapWriteFailed;
    }
    return kPrecalcOk;
}

}  // namespace conesim
