#include "precalc/ScatterPlane.hpp"

#include <fstream>
#include <new>

#include "precalc/MapFileErrors.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/SliceIo.hpp"

namespace conesim {
namespace {

// Adds one slice: each voxel's EPS times the voxel depth to its column's sum.
void addSlice(const ScatterSource& source, const std::vector<float>& slice, double voxelDepthMm,
              std::vector<double>& sums) {
    const std::size_t size = slice.size();
    if (source.volumePath.empty()) {
        for (std::size_t j = 0; j < size; ++j) {
            const std::size_t m = source.materials->indexOf(slice[j]);
            if (m < source.materialScatter.size()) {
                sums[j] += source.materialScatter[m] * voxelDepthMm;
            }
        }
        return;
    }
    for (std::size_t j = 0; j < size; ++j) {
        sums[j] += static_cast<double>(slice[j]) * voxelDepthMm;
    }
}

}  // namespace

int collapseScatter(Console& console, std::ostream& log, const SampleVolume& sample,
                    const ScatterSource& source, double voxelDepthMm, std::vector<double>& plane,
                    StopFlag stop, const PendingMapFiles* files) {
    const bool fromLabels = source.volumePath.empty();
    if (fromLabels && source.materials == nullptr) {
        return kCollapseFailed;
    }
    const std::string& path = fromLabels ? sample.path : source.volumePath;
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        report(console, log, "ERROR: Cannot read " + path + " (the sample's scattering).");
        return kCollapseFailed;
    }
    const std::int64_t sliceSize = sample.sliceSize();
    std::vector<double> sums;
    std::vector<float> slice;
    try {
        sums.assign(static_cast<std::size_t>(sliceSize), 0.0);
        slice.resize(static_cast<std::size_t>(sliceSize));
    } catch (const std::bad_alloc&) {
        report(console, log, "ERROR: Cannot read " + path + " (the sample's scattering).");
        return kCollapseFailed;
    }
    report(console, log, "Collapsing the scattering to one slice.");
    for (std::int32_t z = 0; z < sample.dimZ; ++z) {
        if (stopRequested(stop)) {
            return kPrecalcStopped;
        }
        readSliceOrZeros(in, slice.data(), sliceSize);
        addSlice(source, slice, voxelDepthMm, sums);
    }
    const std::string planePath = mapFilePath(files, kScatterPlaneName);
    const bool written = writeDoubles(planePath, sums);
    plane = std::move(sums);
    if (!written) {
        reportWriteFailure(console, log, kScatterPlaneName, planePath);
        return kMapWriteFailed;
    }
    return kPrecalcOk;
}

}  // namespace conesim
