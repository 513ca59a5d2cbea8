// The interface angle of one voxel: where the neighbour columns on either side reach the
// voxel's value, and the arctangent of the least-squares slope of those depths against
// the lateral offsets.
#pragma once

#include <cstdint>
#include <vector>

namespace conesim {

class InterfaceAngleFit {
  public:
    // across: neighbour columns on each side; depth: slices searched before and after;
    // lateralScale, depthScale: voxel sizes across (x or y) and along the beam (z).
    InterfaceAngleFit(int across, int depth, float lateralScale, float depthScale);

    // True when the voxel at column j of the middle slot enters a new material and lies
    // within the margins, so that angle() applies. x, y, z are its coordinates.
    static bool qualifies(int x, int y, int z, int dimX, int dimY, int dimZ, int across,
                          float value, float valueBefore) {
        return x >= across + 1 && x < dimX - across - 1 && y >= across + 1 &&
               y < dimY - across - 1 && z >= 2 && z < dimZ - 2 && value != 1.0f &&
               value != valueBefore;
    }

    // The search range m = min(depth, z, dimZ - z - 1) of slice z.
    static int searchRange(int depth, int z, int dimZ) {
        int m = depth;
        if (m > z) m = z;
        if (z + m >= dimZ) m = dimZ - z - 1;
        return m;
    }

    // The angle (radians, single precision) of the voxel at element j of the slices, whose
    // neighbour columns lie at j + t * stride (stride 1 along x, dimX along y). slots are
    // the window's slices, slot depth holding the voxel's own slice; m the search range.
    float angle(const float* const* slots, std::int64_t j, std::int64_t stride, int m);

    // The depth offsets of the last angle() call, before trimming and scaling.
    const std::vector<float>& foundDepths() const { return foundDepths_; }

  private:
    int across_;
    int depth_;
    float depthScale_;
    std::vector<int> steps_;  //!< t_k: -across .. -1, 1 .. across
    std::vector<float> lateralOffsets_;
    std::vector<float> depthOffsets_;
    std::vector<float> foundDepths_;
};

}  // namespace conesim
