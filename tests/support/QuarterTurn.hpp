// A volume turned about y by quarter turns, by hand: each voxel moves from the offsets
// (dx, dz) from voxel (dimX / 2, dimZ / 2) to (dx c - dz s, dx s + dz c), or is lost.
#pragma once

#include <cstdint>
#include <vector>

namespace conesim::testing {

struct HandTurn {
    std::vector<float> volume;  //!< x fastest, then y, then z; 0 where nothing landed
    std::int64_t nonZero = 0;   //!< non-zero voxels of the input
    std::int64_t lost = 0;      //!< of those, the ones moved out of the grid
};

// quarter: the turn in quarter turns, 0 to 3.
inline HandTurn turnByQuarters(const std::vector<float>& in, int dimX, int dimY, int dimZ,
                               int quarter) {
    const int c[4] = {1, 0, -1, 0};
    const int s[4] = {0, 1, 0, -1};
    HandTurn result{std::vector<float>(in.size(), 0.0F)};
    for (int z = 0; z < dimZ; ++z) {
        for (int y = 0; y < dimY; ++y) {
            for (int x = 0; x < dimX; ++x) {
                const float value = in[(std::size_t(z) * dimY + y) * dimX + x];
                const int dx = x - dimX / 2;
                const int dz = z - dimZ / 2;
                const int toX = dimX / 2 + dx * c[quarter] - dz * s[quarter];
                const int toZ = dimZ / 2 + dx * s[quarter] + dz * c[quarter];
                const bool out = toX < 0 || toX >= dimX || toZ < 0 || toZ >= dimZ;
                if (value != 0.0F) {
                    ++result.nonZero;
                    result.lost += out ? 1 : 0;
                }
                if (!out) {
                    result.volume[(std::size_t(toZ) * dimY + y) * dimX + toX] = value;
                }
            }
        }
    }
    return result;
}

}  // namespace conesim::testing
