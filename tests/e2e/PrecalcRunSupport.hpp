// Shared by the end-to-end tests of the map and plane files: the inputs of a small run or a
// long precalculation, and the folder's files as a comparable snapshot.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "FolderRun.hpp"
#include "ParameterFileText.hpp"
#include "TestSupport.hpp"

namespace conesim::testing {

// A 20 x 20 x 8 sample of unit voxels from 60, a 40 x 40 detector at 150: every photon
// that reaches the detector crosses the sample.
inline constexpr int kSampleX = 20;
inline constexpr int kSampleY = 20;
inline constexpr int kSampleZ = 8;

// Every voxel 10: a column attenuation of 80, which absorbs every photon.
inline std::vector<float> opaqueSample() {
    return std::vector<float>(kSampleX * kSampleY * kSampleZ, 10.0F);
}

// Every voxel 0: vacuum.
inline std::vector<float> emptySample() {
    return std::vector<float>(kSampleX * kSampleY * kSampleZ, 0.0F);
}

// The parameter file of such a run in the given mode, with further values replaced.
inline std::string precalcParameters(int mode, std::map<int, std::string> overrides = {}) {
    overrides.emplace(10, std::to_string(kSampleX));
    overrides.emplace(11, std::to_string(kSampleY));
    overrides.emplace(12, std::to_string(kSampleZ));
    overrides.emplace(32, std::to_string(mode));
    return parameterFileText(overrides);
}

// OUT, Spectrum, Sample.bin and params.txt for a run in mode; no mask files (masks off).
inline void writePrecalcInputs(const ScratchDir& dir, int mode, const std::vector<float>& sample,
                               std::map<int, std::string> overrides = {}) {
    std::filesystem::create_directories(dir.path() / "OUT");
    writeText(dir.file("Spectrum"), "30\n");
    writeValues(dir.file("Sample.bin"), sample);
    writeText(dir.file("params.txt"), precalcParameters(mode, std::move(overrides)));
}

// The inputs of a mode-3 run on 400 x 400 x 400 voxels of vacuum, the sample a sparse file:
// a precalculation that takes a while.
inline void writeLargePrecalcInputs(const ScratchDir& dir) {
    writePrecalcInputs(dir, 3, {}, {{10, "400"}, {11, "400"}, {12, "400"}});
    std::filesystem::resize_file(dir.file("Sample.bin"), std::uintmax_t{400} * 400 * 400 * 4);
}

// Every entry of the folder itself with its bytes ("link -> target" for a link, "folder"
// for a folder), but the console capture and the output folder.
inline std::map<std::string, std::string> folderSnapshot(const ScratchDir& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        if (name == "console.txt" || name == "OUT") {
            continue;
        }
        if (entry.is_symlink()) {
            entries[name] = "link -> " + std::filesystem::read_symlink(entry.path()).string();
        } else if (entry.is_directory()) {
            entries[name] = "folder";
        } else {
            entries[name] = readText(entry.path().string());
        }
    }
    return entries;
}

// The names in a snapshot that hold a temporary name of the precalculation.
inline std::vector<std::string> temporaryNames(const std::map<std::string, std::string>& files) {
    std::vector<std::string> names;
    for (const auto& [name, content] : files) {
        if (name.find(".partial-") != std::string::npos) {
            names.push_back(name);
        }
    }
    return names;
}

// The total of the counts in a raw detector image.
inline std::uint64_t totalCounts(const std::string& path) {
    std::uint64_t total = 0;
    for (std::uint32_t count : readValues<std::uint32_t>(path)) {
        total += count;
    }
    return total;
}

}  // namespace conesim::testing
