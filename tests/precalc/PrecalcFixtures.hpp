// Shared pieces of the precalculation tests: a console on string streams, a sample volume
// record filled by hand, and generated phantoms written as sample files.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.hpp"
#include "input/SampleVolume.hpp"
#include "util/Console.hpp"

namespace conesim::testing {

struct CapturedConsole {
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
};

inline SampleVolume sampleRecord(const std::string& path, int dimX, int dimY, int dimZ) {
    SampleVolume sample;
    sample.loaded = true;
    sample.dimX = dimX;
    sample.dimY = dimY;
    sample.dimZ = dimZ;
    sample.voxelCount = std::int64_t{dimX} * dimY * dimZ;
    sample.path = path;
    return sample;
}

// A volume of dimX * dimY * dimZ values, x fastest, from a function of (x, y, z).
inline std::vector<float> makeVolume(int dimX, int dimY, int dimZ,
                                     const std::function<float(int, int, int)>& value) {
    std::vector<float> volume(static_cast<std::size_t>(dimX) * dimY * dimZ);
    std::size_t at = 0;
    for (int z = 0; z < dimZ; ++z) {
        for (int y = 0; y < dimY; ++y) {
            for (int x = 0; x < dimX; ++x) {
                volume[at++] = value(x, y, z);
            }
        }
    }
    return volume;
}

// A few spheres of different attenuation inside a slab whose front face is tilted in x.
inline float phantomValue(int x, int y, int z, int dimX, int dimY, int dimZ) {
    const double fx = static_cast<double>(x) / dimX;
    const double fy = static_cast<double>(y) / dimY;
    const double fz = static_cast<double>(z) / dimZ;
    struct Sphere {
        double cx, cy, cz, r;
        float value;
    };
    const Sphere spheres[] = {
        {0.3, 0.3, 0.4, 0.15, 0.35f}, {0.7, 0.6, 0.5, 0.2, 0.6f}, {0.5, 0.75, 0.7, 0.1, 0.9f}};
    for (const Sphere& s : spheres) {
        const double dx = fx - s.cx, dy = fy - s.cy, dz = fz - s.cz;
        if (dx * dx + dy * dy + dz * dz < s.r * s.r) {
            return s.value;
        }
    }
    // Slab between a front face z = 0.1 + 0.5 * x and the back face z = 0.9.
    if (fz > 0.1 + 0.5 * fx && fz < 0.9) {
        return 0.2f;
    }
    return 0.0f;
}

inline std::vector<float> makePhantom(int dimX, int dimY, int dimZ) {
    return makeVolume(dimX, dimY, dimZ,
                      [&](int x, int y, int z) { return phantomValue(x, y, z, dimX, dimY, dimZ); });
}

// The names of the entries of a folder, sorted.
inline std::vector<std::string> fileNamesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline float atIndex(const std::vector<float>& volume, int dimX, int dimY, int x, int y, int z) {
    return volume[static_cast<std::size_t>(x) +
                  static_cast<std::size_t>(dimX) *
                      (static_cast<std::size_t>(y) + static_cast<std::size_t>(dimY) * z)];
}

}  // namespace conesim::testing
