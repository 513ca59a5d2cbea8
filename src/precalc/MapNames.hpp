// The run's three volume map file names, the sets of files the precalculation publishes
// and the statuses of the precalculation steps.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace conesim {

// Entry 0: refractive index map, 1: LR interface angle map, 2: UD interface angle map.
using MapNames = std::array<std::string, 3>;

inline constexpr const char* kRefractiveIndexMapName = "Z_ref-PRE";
inline constexpr const char* kLrAngleMapName = "Z_iLR-PRE";
inline constexpr const char* kUdAngleMapName = "Z_iUD-PRE";

// Appended to a map name: its plane, the plane's preview, and a raw file's MetaImage header.
inline constexpr const char* kPlaneSuffix = ".pca";
inline constexpr const char* kPreviewSuffix = ".pgm";
inline constexpr const char* kHeaderSuffix = ".mhd";

// The volume map set of run mode 3: the three maps, then their headers.
inline std::vector<std::string> volumeMapSetNames() {
    std::vector<std::string> names;
    for (const char* map : {kRefractiveIndexMapName, kLrAngleMapName, kUdAngleMapName}) {
        names.emplace_back(map);
    }
    for (const char* map : {kRefractiveIndexMapName, kLrAngleMapName, kUdAngleMapName}) {
        names.push_back(std::string(map) + kHeaderSuffix);
    }
    return names;
}

// The plane set of run modes 3 and 4: the three planes, the two previews, then the planes'
// headers.
inline std::vector<std::string> planeSetNames() {
    std::vector<std::string> names;
    for (const char* map : {kRefractiveIndexMapName, kLrAngleMapName, kUdAngleMapName}) {
        names.push_back(std::string(map) + kPlaneSuffix);
    }
    for (const char* map : {kLrAngleMapName, kUdAngleMapName}) {
        names.push_back(std::string(map) + kPreviewSuffix);
    }
    for (const char* map : {kRefractiveIndexMapName, kLrAngleMapName, kUdAngleMapName}) {
        names.push_back(std::string(map) + kPlaneSuffix + kHeaderSuffix);
    }
    return names;
}

inline constexpr int kPrecalcOk = 0;
// A map, plane, preview or header file could not be written in full.
inline constexpr int kMapWriteFailed = 875;
// A collapse step could not read its maps and returned no plane.
inline constexpr int kCollapseFailed = 876;
// A stop signal arrived during the precalculation; the files of earlier runs are unchanged.
inline constexpr int kPrecalcStopped = 879;

}  // namespace conesim
