#include "precalc/PhaseDeflection.hpp"

#include <algorithm>
#include <fstream>
#include <new>

#include "precalc/MapArray.hpp"
#include "precalc/SliceIo.hpp"

namespace conesim {
namespace {

// The derivative at position i of a line of n values that lie stride apart from first.
double lineSlope(const double* first, std::int64_t stride, int i, int n) {
    const int reach = std::min({2, i, n - 1 - i});
    const auto at = [&](int k) { return first[static_cast<std::int64_t>(i + k) * stride]; };
    if (reach == 2) {
        return (2.0 * (at(2) - at(-2)) + (at(1) - at(-1))) / 10.0;
    }
    if (reach == 1) {
        return (at(1) - at(-1)) / 2.0;
    }
    return 0.0;
}

// Writes one deflection plane with its preview and hands it out in single precision.
bool writeDeflectionPlane(Console& console, std::ostream& log, const char* mapName,
                          std::vector<double> values, int dimX, int dimY,
                          const PendingMapFiles* files, std::vector<float>& plane) {
    MapArray map = MapArray::createDoubleMap(mapName, dimX, dimY, 1);
    map.doubleData() = std::move(values);
    const std::string previewName = std::string(mapName) + kPreviewSuffix;
    const std::string planeName = std::string(mapName) + kPlaneSuffix;
    const bool previewWritten = map.writeMapPgm(console, log, mapFilePath(files, previewName));
    const bool planeWritten =
        map.writeBinary(console, log, mapFilePath(files, planeName)) == map.count();
    plane = map.takeAsFloat();
    return previewWritten && planeWritten;
}

}  // namespace

std::vector<double> deflectionFromProjection(const std::vector<double>& projected, int dimX,
                                             int dimY, bool alongY, double step) {
    std::vector<double> deflection(projected.size(), 0.0);
    const std::int64_t width = dimX;
    for (std::int64_t y = 0; y < dimY; ++y) {
        for (std::int64_t x = 0; x < width; ++x) {
            const std::int64_t index = y * width + x;
            const double slope = alongY ? lineSlope(&projected[static_cast<std::size_t>(x)], width,
                                                    static_cast<int>(y), dimY)
                                        : lineSlope(&projected[static_cast<std::size_t>(y * width)],
                                                    1, static_cast<int>(x), dimX);
            deflection[static_cast<std::size_t>(index)] = -slope / step;
        }
    }
    return deflection;
}

int projectDecrement(Console& console, std::ostream& log, const std::string& indexMapName, int dimX,
                     int dimY, int dimZ, float scaleZ, std::vector<double>& projected,
                     StopFlag stop, const PendingMapFiles* files) {
    std::ifstream in(mapFilePath(files, indexMapName), std::ios::binary);
    if (!in.is_open()) {
        report(console, log,
               "ERROR: Could not open files: Z_ref-PRE or Z_iLR-PRE or Z_iUD-PRE check main "
               "directory.");
        return kCollapseFailed;
    }
    const std::int64_t sliceSize = std::int64_t{dimX} * dimY;
    std::vector<float> slice;
    try {
        projected.assign(static_cast<std::size_t>(sliceSize), 0.0);
        slice.resize(static_cast<std::size_t>(sliceSize));
    } catch (const std::bad_alloc&) {
        writeLine(log, "Error reading values from  |" + indexMapName + "| .");
        return kCollapseFailed;
    }
    const double depth = scaleZ;
    for (int z = 0; z < dimZ; ++z) {
        if (stopRequested(stop)) {
            return kPrecalcStopped;
        }
        if (z % 10 == 0 && z > 0) {
            writeLine(log, "Phase processing slice " + std::to_string(z));
        }
        if (readSliceOrZeros(in, slice.data(), sliceSize) != sliceSize) {
            writeLine(log, "Error reading values from  |" + indexMapName + "| .");
            return kCollapseFailed;
        }
        for (std::int64_t j = 0; j < sliceSize; ++j) {
            // The map holds n - 1; the decrement is 1 - n.
            projected[static_cast<std::size_t>(j)] -=
                static_cast<double>(slice[static_cast<std::size_t>(j)]) * depth;
        }
    }
    return kPrecalcOk;
}

int collapsePhaseMaps(Console& console, std::ostream& log, const std::string& indexMapName,
                      int dimX, int dimY, int dimZ, VoxelSizes voxelSizes, std::vector<float>& lr,
                      std::vector<float>& ud, StopFlag stop, const PendingMapFiles* files) {
    report(console, log, "Projecting the refractive index map for the phase deflection.");
    std::vector<double> projected;
    const int status = projectDecrement(console, log, indexMapName, dimX, dimY, dimZ, voxelSizes.z,
                                        projected, stop, files);
    if (status != kPrecalcOk) {
        return status;
    }
    if (stopRequested(stop)) {
        return kPrecalcStopped;
    }
    const bool lrWritten =
        writeDeflectionPlane(console, log, kLrAngleMapName,
                             deflectionFromProjection(projected, dimX, dimY, false, voxelSizes.x),
                             dimX, dimY, files, lr);
    const bool udWritten = writeDeflectionPlane(
        console, log, kUdAngleMapName,
        deflectionFromProjection(projected, dimX, dimY, true, voxelSizes.y), dimX, dimY, files, ud);
    return lrWritten && udWritten ? kPrecalcOk : kMapWriteFailed;
}

}  // namespace conesim
