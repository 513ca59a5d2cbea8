// The result of verifying the sample volume file: a headerless file of little-endian
// float32 voxels, x fastest, then y, then z, of exactly dimX * dimY * dimZ * 4 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace conesim {

struct SampleVolume {
    bool loaded = false;          //!< true only when the file has exactly the expected size
    std::int32_t dimX = 0;        //!< voxels along X
    std::int32_t dimY = 0;        //!< voxels along Y
    std::int32_t dimZ = 0;        //!< voxels along Z (the beam)
    std::int64_t voxelCount = 0;  //!< dimX * dimY * dimZ
    std::vector<float> voxels;    //!< never filled: the volume is streamed, never held
    std::string path;             //!< the verified path; empty unless loaded

    std::int64_t sliceSize() const { return std::int64_t{dimX} * dimY; }
};

// Verifies that path exists with exactly dimX * dimY * dimZ * 4 bytes. Writes nothing.
SampleVolume loadSampleVolume(const std::string& path, std::uint32_t dimX, std::uint32_t dimY,
                              std::uint32_t dimZ, float valueScale, int runMode);

}  // namespace conesim
