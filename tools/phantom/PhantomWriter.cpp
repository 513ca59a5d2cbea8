#include "phantom/PhantomWriter.hpp"

#include <vector>

#include "formats/MetaImageHeader.hpp"
#include "formats/RawVolume.hpp"
#include "util/OutputTarget.hpp"

namespace conesim::tools {

namespace {

// The value at point (x, y, z): that of the last shape covering it, else the background.
float valueAt(const PhantomOptions& options, const std::vector<const Shape*>& shapes, double x,
              double y, double z) {
    for (auto shape = shapes.rbegin(); shape != shapes.rend(); ++shape) {
        if (covers(**shape, x, y, z)) {
            return (*shape)->value;
        }
    }
    return options.background;
}

// Whether voxel (x, y, z) lies within a shape's bounds widened by one voxel, inside which
// its sub-samples may be covered.
bool nearShape(const VoxelBounds& bounds, std::int64_t x, std::int64_t y, std::int64_t z) {
    const std::array<std::int64_t, 3> at{x, y, z};
    for (std::size_t a = 0; a < 3; ++a) {
        if (at[a] < bounds.first[a] - 1 || at[a] > bounds.last[a] + 1) {
            return false;
        }
    }
    return true;
}

// Slice z with every voxel the mean of its N^3 sub-sample values.
void fillSupersampledSlice(const PhantomOptions& options, std::int64_t z,
                           std::vector<float>& slice) {
    const GridSize& grid = options.grid;
    const std::int64_t n = options.supersample;
    std::vector<double> offsets;
    for (std::int64_t i = 0; i < n; ++i) {
        offsets.push_back((static_cast<double>(i) + 0.5) / static_cast<double>(n) - 0.5);
    }
    const double samples = static_cast<double>(n * n * n);
    std::vector<VoxelBounds> bounds;
    for (const Shape& shape : options.shapes) {
        bounds.push_back(boundsOf(shape, grid));
    }
    std::vector<const Shape*> near;
    for (std::int64_t y = 0; y < grid.y; ++y) {
        for (std::int64_t x = 0; x < grid.x; ++x) {
            near.clear();
            for (std::size_t s = 0; s < options.shapes.size(); ++s) {
                if (nearShape(bounds[s], x, y, z)) {
                    near.push_back(&options.shapes[s]);
                }
            }
            if (near.empty()) {
                continue;  // the background, as the slice starts
            }
            double sum = 0.0;
            for (double dz : offsets) {
                for (double dy : offsets) {
                    for (double dx : offsets) {
                        sum += valueAt(options, near, static_cast<double>(x) + dx,
                                       static_cast<double>(y) + dy, static_cast<double>(z) + dz);
                    }
                }
            }
            slice[static_cast<std::size_t>(y * grid.x + x)] = static_cast<float>(sum / samples);
        }
    }
}

// Slice z with every voxel the value at its centre point.
void fillCentreSlice(const PhantomOptions& options, std::int64_t z, std::vector<float>& slice) {
    const GridSize& grid = options.grid;
    for (const Shape& shape : options.shapes) {
        const VoxelBounds bounds = boundsOf(shape, grid);
        if (z < bounds.first[2] || z > bounds.last[2]) {
            continue;
        }
        for (std::int64_t y = bounds.first[1]; y <= bounds.last[1]; ++y) {
            float* row = &slice[static_cast<std::size_t>(y * grid.x)];
            for (std::int64_t x = bounds.first[0]; x <= bounds.last[0]; ++x) {
                if (covers(shape, static_cast<double>(x), static_cast<double>(y),
                           static_cast<double>(z))) {
                    row[x] = shape.value;
                }
            }
        }
    }
}

}  // namespace

void fillSlice(const PhantomOptions& options, std::int64_t z, std::vector<float>& slice) {
    const GridSize& grid = options.grid;
    slice.assign(static_cast<std::size_t>(grid.x * grid.y), options.background);
    if (options.supersample > 1) {
        fillSupersampledSlice(options, z, slice);
    } else {
        fillCentreSlice(options, z, slice);
    }
}

MetaImageLayout phantomLayout(const PhantomOptions& options) {
    MetaImageLayout layout;
    layout.dimensions = {options.grid.x, options.grid.y, options.grid.z};
    layout.spacing.assign(options.voxelSize.begin(), options.voxelSize.end());
    layout.type = MetaElementType::kFloat32;
    return layout;
}

bool writePhantom(const PhantomOptions& options, std::string& error) {
    if (!checkOutputs({options.output, metaImageHeaderPath(options.output)}, {}, error)) {
        return false;
    }
    return writeFloatVolume(
        options.output, phantomLayout(options),
        [&options](std::int64_t z, std::vector<float>& slice) { fillSlice(options, z, slice); },
        error);
}

}  // namespace conesim::tools
