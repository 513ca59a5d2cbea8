#include "input/SampleVolume.hpp"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace conesim {

SampleVolume loadSampleVolume(const std::string& path, std::uint32_t dimX, std::uint32_t dimY,
                              std::uint32_t dimZ, float /*valueScale*/, int /*runMode*/) {
    SampleVolume volume;
    volume.dimX = static_cast<std::int32_t>(dimX);
    volume.dimY = static_cast<std::int32_t>(dimY);
    volume.dimZ = static_cast<std::int32_t>(dimZ);
    // Dimensions of up to 3000 per axis give products far beyond 2^31 voxels (and 2^32
    // bytes), so both the count and the expected byte size are 64-bit.
    volume.voxelCount = std::int64_t{dimX} * std::int64_t{dimY} * std::int64_t{dimZ};

    std::error_code error;
    // A folder opens on some systems but has no byte size of its own: it is never a sample.
    if (!std::filesystem::is_regular_file(path, error)) {
        return volume;
    }
    {
        std::ifstream file(path, std::ios::binary);
        if (!file.is_open()) {
            return volume;
        }
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        return volume;
    }
    const std::int64_t expected = volume.voxelCount * 4;
    if (static_cast<std::uintmax_t>(expected) == size) {
        volume.loaded = true;
        volume.path = path;
    }
    return volume;
}

}  // namespace conesim
