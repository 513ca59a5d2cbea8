#include "phantom/PhantomShapes.hpp"

#include <algorithm>
#include <cmath>

namespace conesim::tools {

namespace {

std::int64_t firstIndex(double low, std::int64_t size) {
    return static_cast<std::int64_t>(
        std::clamp<double>(std::ceil(low), 0.0, static_cast<double>(size)));
}

std::int64_t lastIndex(double high, std::int64_t size) {
    return static_cast<std::int64_t>(
        std::clamp<double>(std::floor(high), -1.0, static_cast<double>(size - 1)));
}

}  // namespace

bool covers(const Shape& shape, double x, double y, double z) {
    switch (shape.kind) {
        case ShapeKind::Sphere: {
            const double dx = x - shape.centre[0];
            const double dy = y - shape.centre[1];
            const double dz = z - shape.centre[2];
            return dx * dx + dy * dy + dz * dz <= shape.radius * shape.radius;
        }
        case ShapeKind::Cylinder: {
            const std::array<double, 3> p{x, y, z};
            // The two cross-section coordinates in x, y, z order, and the one along the axis.
            const double u = p[shape.axis == 0 ? 1 : 0];
            const double v = p[shape.axis == 2 ? 1 : 2];
            const double along = p[static_cast<std::size_t>(shape.axis)];
            const double du = u - shape.centre[0];
            const double dv = v - shape.centre[1];
            return along >= shape.low[0] && along <= shape.high[0] &&
                   du * du + dv * dv <= shape.radius * shape.radius;
        }
        case ShapeKind::Box:
            return x >= shape.low[0] && x <= shape.high[0] && y >= shape.low[1] &&
                   y <= shape.high[1] && z >= shape.low[2] && z <= shape.high[2];
        case ShapeKind::Slab: {
            const double d = (x - shape.centre[0]) * shape.normal[0] +
                             (y - shape.centre[1]) * shape.normal[1] +
                             (z - shape.centre[2]) * shape.normal[2] - shape.offset;
            // Half-open, so that a slab of whole-voxel thickness covers exactly that many
            // voxels across.
            return d >= -shape.radius && d < shape.radius;
        }
    }
    return false;
}

VoxelBounds boundsOf(const Shape& shape, const GridSize& grid) {
    const std::array<std::int64_t, 3> size{grid.x, grid.y, grid.z};
    std::array<double, 3> low{};
    std::array<double, 3> high{};
    switch (shape.kind) {
        case ShapeKind::Sphere:
            for (std::size_t a = 0; a < 3; ++a) {
                low[a] = shape.centre[a] - shape.radius;
                high[a] = shape.centre[a] + shape.radius;
            }
            break;
        case ShapeKind::Cylinder: {
            const auto along = static_cast<std::size_t>(shape.axis);
            const std::size_t u = shape.axis == 0 ? 1 : 0;
            const std::size_t v = shape.axis == 2 ? 1 : 2;
            low[along] = shape.low[0];
            high[along] = shape.high[0];
            low[u] = shape.centre[0] - shape.radius;
            high[u] = shape.centre[0] + shape.radius;
            low[v] = shape.centre[1] - shape.radius;
            high[v] = shape.centre[1] + shape.radius;
            break;
        }
        case ShapeKind::Box:
            low = shape.low;
            high = shape.high;
            break;
        case ShapeKind::Slab:
            for (std::size_t a = 0; a < 3; ++a) {
                low[a] = 0.0;
                high[a] = static_cast<double>(size[a] - 1);
            }
            break;
    }
    VoxelBounds bounds;
    for (std::size_t a = 0; a < 3; ++a) {
        bounds.first[a] = firstIndex(low[a], size[a]);
        bounds.last[a] = lastIndex(high[a], size[a]);
    }
    return bounds;
}

}  // namespace conesim::tools
