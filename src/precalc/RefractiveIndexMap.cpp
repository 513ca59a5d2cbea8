#include "precalc/RefractiveIndexMap.hpp"

#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "precalc/MapFileErrors.hpp"
#include "precalc/RefractiveIndexModel.hpp"
#include "precalc/SliceIo.hpp"

namespace conesim {

int buildRefractiveIndexMap(const SampleVolume& sample, MapNames& mapNames, Console& console,
                            std::ostream& log, float sampleValueScale, int /*runMode*/,
                            double sampleEnergy, StopFlag stop, const PendingMapFiles* files,
                            const VoxelMaterials* materials) {
    const std::string mapName = kRefractiveIndexMapName;
    const std::string path = mapFilePath(files, mapName);
    writeLine(console.out, "Making Refractive index map called " + mapName);
    std::ifstream in(sample.path, std::ios::binary);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    mapNames[0] = mapName;
    if (!in.is_open()) {
        // The existence check before the collapse stops the run on the missing map.
        writeLine(console.out, sample.path + " failed to load.");
        return kPrecalcOk;
    }
    if (!out.is_open()) {
        writeLine(console.out, "Cannot create file: " + mapName);
        reportWriteFailure(console, log, mapName, path);
        return kMapWriteFailed;
    }

    const std::int64_t sliceSize = sample.sliceSize();
    std::vector<float> slice;
    try {
        slice.resize(static_cast<std::size_t>(sliceSize));
    } catch (const std::bad_alloc&) {
        reportWriteFailure(console, log, mapName, path);
        return kMapWriteFailed;
    }
    console.out.precision(15);

    const RefractiveIndexModel model(sampleEnergy);
    for (std::int32_t z = 0; z < sample.dimZ; ++z) {
        if (stopRequested(stop)) {
            out.close();
            discardUnfinishedFile(path);
            return kPrecalcStopped;
        }
        const std::string progress = "Calculating refraction for slice " + std::to_string(z);
        report(console, log, progress);
        readSliceOrZeros(in, slice.data(), sliceSize);
        // Converted in place: the buffer holds the raw slice, then its map values.
        if (materials != nullptr) {
            for (float& value : slice) {
                const std::size_t m = materials->indexOf(value);
                value = m < materials->count() ? materials->storedIndex[m] : 0.0F;
            }
        } else {
            for (float& value : slice) {
                value = model.storedValue(value, sampleValueScale);
            }
        }
        if (!writeSlice(out, slice.data(), sliceSize)) {
            reportWriteFailure(console, log, mapName, path);
            return kMapWriteFailed;
        }
    }
    out.close();
    if (out.fail()) {
        reportWriteFailure(console, log, mapName, path);
        return kMapWriteFailed;
    }
    return kPrecalcOk;
}

}  // namespace conesim
