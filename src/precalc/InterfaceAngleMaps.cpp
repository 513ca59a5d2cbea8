#include "precalc/InterfaceAngleMaps.hpp"

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <new>
#include <string>
#include <vector>

#include "precalc/InterfaceAngleFit.hpp"
#include "precalc/MapFileErrors.hpp"
#include "precalc/SliceIo.hpp"
#include "precalc/SliceWindow.hpp"

namespace conesim {
namespace {

struct AnglePass {
    const char* title;        //!< the message that opens the pass
    float lateralScale;       //!< voxel size across the beam along the pass's axis
    bool alongY;              //!< neighbour columns along y (UD) instead of x (LR)
    std::ofstream* out;       //!< the pass's map file
    const std::string* name;  //!< its name, for messages
    const std::string* path;  //!< where it is written
    bool labels;              //!< voxels are material labels: a value of 1 is a material too
};

// One pass over the sample file: the angle of every voxel, written slice by slice.
// Returns kPrecalcOk, kMapWriteFailed or kPrecalcStopped (the pass's file is then closed).
int runPass(const SampleVolume& sample, std::istream& in, SliceWindow& window,
            std::vector<float>& angles, const AnglePass& pass, Console& console, std::ostream& log,
            int across, int depth, float depthScale, StopFlag stop) {
    report(console, log, pass.title);
    const int dimX = sample.dimX;
    const int dimY = sample.dimY;
    const int dimZ = sample.dimZ;
    const std::int64_t sliceSize = sample.sliceSize();
    const std::int64_t stride = pass.alongY ? std::int64_t{dimX} : 1;
    InterfaceAngleFit fit(across, depth, pass.lateralScale, depthScale);

    for (int z = 0; z < dimZ; ++z) {
        if (stopRequested(stop)) {
            pass.out->close();
            return kPrecalcStopped;
        }
        report(console, log, "Calculating slice " + std::to_string(z));
        if (z == 0) {
            window.fillAhead(in, dimZ);
        }
        window.advance(in, z + depth, dimZ);
        std::fill(angles.begin(), angles.end(), 0.0f);

        if (z >= 2 && z < dimZ - 2) {
            const float* const* slots = window.slots().data();
            const float* current = slots[depth];
            const float* before = slots[depth - 1];
            const int m = InterfaceAngleFit::searchRange(depth, z, dimZ);
            // Only voxels inside the lateral margins can qualify; the rest stay 0.
            for (int y = across + 1; y < dimY - across - 1; ++y) {
                const std::int64_t row = std::int64_t{y} * dimX;
                for (int x = across + 1; x < dimX - across - 1; ++x) {
                    const std::int64_t j = row + x;
                    const float value = current[j];
                    if ((pass.labels || value != 1.0f) && value != before[j]) {
                        angles[static_cast<std::size_t>(j)] = fit.angle(slots, j, stride, m);
                    }
                }
            }
        }
        if (!writeSlice(*pass.out, angles.data(), sliceSize)) {
            reportWriteFailure(console, log, *pass.name, *pass.path);
            return kMapWriteFailed;
        }
    }
    pass.out->close();
    if (pass.out->fail()) {
        reportWriteFailure(console, log, *pass.name, *pass.path);
        return kMapWriteFailed;
    }
    return kPrecalcOk;
}

// A pass that did not finish leaves its own map and the later pass's map unfinished.
int endUnfinished(int status, std::initializer_list<const std::string*> unfinished) {
    for (const std::string* path : unfinished) {
        discardUnfinishedFile(*path);
    }
    return status;
}

}  // namespace

int buildInterfaceAngleMaps(const SampleVolume& sample, MapNames& mapNames, Console& console,
                            std::ostream& log, VoxelSizes voxelSizes, int edgeSearchAcross,
                            int edgeSearchDepth, int /*runMode*/, StopFlag stop,
                            const PendingMapFiles* files, bool labels) {
    const std::string lrName = kLrAngleMapName;
    const std::string udName = kUdAngleMapName;
    const std::string lrPath = mapFilePath(files, lrName);
    const std::string udPath = mapFilePath(files, udName);
    std::ofstream lrOut(lrPath, std::ios::binary | std::ios::trunc);
    std::ofstream udOut(udPath, std::ios::binary | std::ios::trunc);
    mapNames[1] = lrName;
    mapNames[2] = udName;
    report(console, log, "Making inferface angle files Z_iLR-PRE and Z_iUD-PRE");
    if (!lrOut.is_open() || !udOut.is_open()) {
        if (!lrOut.is_open()) {
            reportWriteFailure(console, log, lrName, lrPath);
        } else {
            reportWriteFailure(console, log, udName, udPath);
        }
        return kMapWriteFailed;
    }

    const std::int64_t sliceSize = sample.sliceSize();
    const int depth = std::max(edgeSearchDepth, 1);
    const int across = std::max(edgeSearchAcross, 1);
    try {
        SliceWindow window(depth, sliceSize);
        std::vector<float> angles(static_cast<std::size_t>(sliceSize), 0.0f);
        std::ifstream in(sample.path, std::ios::binary);
        if (!in.is_open()) {
            // The slices then read as zeros, as slices beyond the end of the file do.
            report(console, log, sample.path + " failed to load.");
        }

        const AnglePass lr{"Calculating interface angles in LR direction.",
                           voxelSizes.x,
                           false,
                           &lrOut,
                           &lrName,
                           &lrPath,
                           labels};
        int status = runPass(sample, in, window, angles, lr, console, log, across, depth,
                             voxelSizes.z, stop);
        if (status != kPrecalcOk) {
            udOut.close();
            return endUnfinished(status, {&lrPath, &udPath});
        }
        in.clear();
        in.seekg(0, std::ios::beg);
        const AnglePass ud{"Calculating interface angles in UD direction.",
                           voxelSizes.y,
                           true,
                           &udOut,
                           &udName,
                           &udPath,
                           labels};
        window.zero();
        status = runPass(sample, in, window, angles, ud, console, log, across, depth, voxelSizes.z,
                         stop);
        if (status != kPrecalcOk) {
            return endUnfinished(status, {&udPath});
        }
    } catch (const std::bad_alloc&) {
        reportWriteFailure(console, log, lrName, lrPath);
        return kMapWriteFailed;
    }
    return kPrecalcOk;
}

}  // namespace conesim
