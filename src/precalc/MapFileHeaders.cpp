#include "precalc/MapFileHeaders.hpp"

#include <fstream>
#include <string>

#include "formats/MetaImageHeader.hpp"
#include "precalc/MapFileErrors.hpp"
#include "precalc/MapNames.hpp"

namespace conesim {
namespace {

// The header of rawName, which names its data file by that name whatever temporary name
// the header itself is written under.
bool writeHeader(const std::string& rawName, const MetaImageLayout& layout, Console& console,
                 std::ostream& log, const PendingMapFiles* files) {
    const std::string name = metaImageHeaderPath(rawName);
    const std::string path = mapFilePath(files, name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    bool written = false;
    if (out.is_open()) {
        out << metaImageHeaderText(rawName, layout);
        out.close();
        written = !out.fail();
    }
    if (written) {
        return true;
    }
    reportWriteFailure(console, log, name, path);
    return false;
}

int writeHeaders(const MetaImageLayout& layout, const char* suffix, Console& console,
                 std::ostream& log, const PendingMapFiles* files, bool angleMaps = true) {
    for (const char* map : {kRefractiveIndexMapName, kLrAngleMapName, kUdAngleMapName}) {
        if (!angleMaps && map != kRefractiveIndexMapName) {
            continue;
        }
        if (!writeHeader(std::string(map) + suffix, layout, console, log, files)) {
            return kMapWriteFailed;
        }
    }
    return kPrecalcOk;
}

// A voxel size in the headers' unit: millimetres when the length unit is given.
double spacingOf(float size, double lengthUnitMm) {
    const auto value = static_cast<double>(size);
    return lengthUnitMm > 0.0 ? value * lengthUnitMm : value;
}

// A plane's layout: doubles, dimX x dimY, spacing x y.
MetaImageLayout planeLayout(const SampleVolume& sample, VoxelSizes voxelSizes,
                            double lengthUnitMm) {
    MetaImageLayout layout;
    layout.dimensions = {sample.dimX, sample.dimY};
    layout.spacing = {spacingOf(voxelSizes.x, lengthUnitMm), spacingOf(voxelSizes.y, lengthUnitMm)};
    layout.type = MetaElementType::kFloat64;
    return layout;
}

}  // namespace

int writeVolumeMapHeaders(const SampleVolume& sample, VoxelSizes voxelSizes, Console& console,
                          std::ostream& log, const PendingMapFiles* files, bool angleMaps,
                          double lengthUnitMm) {
    MetaImageLayout layout;
    layout.dimensions = {sample.dimX, sample.dimY, sample.dimZ};
    layout.spacing = {spacingOf(voxelSizes.x, lengthUnitMm), spacingOf(voxelSizes.y, lengthUnitMm),
                      spacingOf(voxelSizes.z, lengthUnitMm)};
    layout.type = MetaElementType::kFloat32;
    return writeHeaders(layout, "", console, log, files, angleMaps);
}

int writePlaneHeaders(const SampleVolume& sample, VoxelSizes voxelSizes, Console& console,
                      std::ostream& log, const PendingMapFiles* files, double lengthUnitMm) {
    return writeHeaders(planeLayout(sample, voxelSizes, lengthUnitMm), kPlaneSuffix, console, log,
                        files);
}

int writeScatterPlaneHeader(const SampleVolume& sample, VoxelSizes voxelSizes, Console& console,
                            std::ostream& log, const PendingMapFiles* files, double lengthUnitMm) {
    const MetaImageLayout layout = planeLayout(sample, voxelSizes, lengthUnitMm);
    return writeHeader(kScatterPlaneName, layout, console, log, files) ? kPrecalcOk
                                                                       : kMapWriteFailed;
}

}  // namespace conesim
