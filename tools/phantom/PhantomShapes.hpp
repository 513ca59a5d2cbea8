// The shapes of a sample phantom in voxel coordinates: voxel (x, y, z) is the point with
// those integer coordinates, and a shape covers the voxel when that point lies inside it.
#pragma once

#include <array>
#include <cstdint>

namespace conesim::tools {

enum class ShapeKind { Sphere, Cylinder, Box, Slab };

struct GridSize {
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::int64_t z = 0;
};

struct Shape {
    ShapeKind kind = ShapeKind::Sphere;
    float value = 0.0F;
    // Sphere: centre (x, y, z) and radius.
    // Cylinder: axis (0 x, 1 y, 2 z), centre in the two other coordinates, radius, and
    //           the covered range along the axis.
    // Box: the two corners.
    // Slab: unit normal, the mid-plane's distance from the grid centre along it, the
    //       half thickness, and the grid centre.
    std::array<double, 3> centre{};
    std::array<double, 3> low{};
    std::array<double, 3> high{};
    std::array<double, 3> normal{};
    double radius = 0.0;
    double offset = 0.0;
    int axis = 2;
};

// True when the shape covers voxel (x, y, z).
bool covers(const Shape& shape, double x, double y, double z);

// The range of voxel indices, per axis and clamped to the grid, outside which the shape
// covers nothing; first > last on an axis when it covers nothing at all.
struct VoxelBounds {
    std::array<std::int64_t, 3> first{};
    std::array<std::int64_t, 3> last{};
};
VoxelBounds boundsOf(const Shape& shape, const GridSize& grid);

}  // namespace conesim::tools
