// The run's three volume map file names, the sets of files the precalculation publishes
// and the statuses of the precalculation steps.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "params/ExtensionSettings.hpp"

namespace conesim {

// Entry 0: refractive index map, 1: LR interface angle map, 2: UD interface angle map.
using MapNames = std::array<std::string, 3>;

inline constexpr const char* kRefractiveIndexMapName = "Z_ref-PRE";
inline constexpr const char* kLrAngleMapName = "Z_iLR-PRE";
inline constexpr const char* kUdAngleMapName = "Z_iUD-PRE";
// One plane of dimX * dimY doubles per material, in label order: the column's path length
// through it (cm).
inline constexpr const char* kThicknessPlaneName = "Z_thick-PRE.pca";
// One plane of dimX * dimY doubles: the column's sum of the linear diffusion coefficient
// times the voxel depth, the variance of the scattering angle per axis (rad^2).
inline constexpr const char* kScatterPlaneName = "Z_scatter-PRE.pca";

// A turned sample and a turned scattering volume (sampleRotation), in the sample's layout:
// made under temporary names for one precalculation and never published.
inline constexpr const char* kRotatedSampleName = "Z_rotated-PRE.raw";
inline constexpr const char* kRotatedScatterName = "Z_rotated-scatter-PRE.raw";

// Appended to a map name: its plane, the plane's preview, and a raw file's MetaImage header.
inline constexpr const char* kPlaneSuffix = ".pca";
inline constexpr const char* kPreviewSuffix = ".pgm";
inline constexpr const char* kHeaderSuffix = ".mhd";

// How the volume maps and how the planes beside them were made (deflection model, energy,
// sample), published with each set, and the lock file of the folder's writers.
inline constexpr const char* kVolumeMapRecordName = "Z-PRE.record";
inline constexpr const char* kPlaneRecordName = "Z-PRE.pca.record";
inline constexpr const char* kPlaneFolderLockName = "Z-PRE.lock";

// Where a map or plane file of the given name lies in the plane folder: the name itself
// for the working folder ("." or empty).
inline std::string inPlaneFolder(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder == ".") {
        return name;
    }
    return (std::filesystem::path(folder) / name).string();
}

// The volume map set of run mode 3: the maps, their headers, then the record. The phase
// model needs only the refractive index map; the interface model adds the two interface
// angle maps.
inline std::vector<std::string> volumeMapSetNames(
    DeflectionModel model = DeflectionModel::kInterface) {
    std::vector<const char*> maps{kRefractiveIndexMapName};
    if (model != DeflectionModel::kPhase) {
        maps.push_back(kLrAngleMapName);
        maps.push_back(kUdAngleMapName);
    }
    std::vector<std::string> names;
    for (const char* map : maps) {
        names.emplace_back(map);
    }
    for (const char* map : maps) {
        names.push_back(std::string(map) + kHeaderSuffix);
    }
    names.emplace_back(kVolumeMapRecordName);
    return names;
}

// The plane set of run modes 3 and 4: the three planes (and, for a sample given as
// materials, the thickness planes; for a sample that scatters, the scattering plane), the two
// previews, the planes' headers (and the scattering plane's), then the record.
inline std::vector<std::string> planeSetNames(bool materials = false, bool scatter = false) {
    std::vector<std::string> names;
    for (const char* map : {kRefractiveIndexMapName, kLrAngleMapName, kUdAngleMapName}) {
        names.push_back(std::string(map) + kPlaneSuffix);
    }
    if (materials) {
        names.emplace_back(kThicknessPlaneName);
    }
    if (scatter) {
        names.emplace_back(kScatterPlaneName);
    }
    for (const char* map : {kLrAngleMapName, kUdAngleMapName}) {
        names.push_back(std::string(map) + kPreviewSuffix);
    }
    for (const char* map : {kRefractiveIndexMapName, kLrAngleMapName, kUdAngleMapName}) {
        names.push_back(std::string(map) + kPlaneSuffix + kHeaderSuffix);
    }
    if (scatter) {
        names.push_back(std::string(kScatterPlaneName) + kHeaderSuffix);
    }
    names.emplace_back(kPlaneRecordName);
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
