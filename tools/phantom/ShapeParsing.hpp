// The shape options of conesim-phantom: each reads the comma-separated fields of one
// option, every field within its documented range.
#pragma once

#include <string>
#include <string_view>

#include "common/ArgParse.hpp"
#include "phantom/PhantomShapes.hpp"

namespace conesim::tools {

// Coordinates, positions along an axis and slab offsets, in voxels.
constexpr NumberRange kCoordinateRange{-1e6, 1e6, "from -1e6 to 1e6"};
// Radii.
constexpr NumberRange kRadiusRange{0.0, 1e6, "from 0 to 1e6"};
// Slab thickness.
constexpr NumberRange kThicknessRange{1e-6, 1e6, "from 1e-6 to 1e6"};
// Slab angle in degrees.
constexpr NumberRange kAngleRange{-360.0, 360.0, "from -360 to 360"};
// Voxel values (shape values and the background): finite as 32-bit floats.
constexpr NumberRange kVoxelValueRange{-1e38, 1e38, "from -1e38 to 1e38"};

// On a wrong field count, a field that is not a number within its range or a wrong axis
// word, each returns false with error naming the option, its text and the field.
bool parseSphere(std::string_view text, Shape& shape, std::string& error);
bool parseCylinder(std::string_view text, Shape& shape, std::string& error);
bool parseBox(std::string_view text, Shape& shape, std::string& error);
// The slab needs the grid to place its mid-plane through the grid centre.
bool parseSlab(std::string_view text, const GridSize& grid, Shape& shape, std::string& error);

}  // namespace conesim::tools
