#include "phantom/PhantomOptions.hpp"

#include <utility>

#include "common/ArgParse.hpp"
#include "common/ToolExit.hpp"

namespace conesim::tools {

namespace {

constexpr const char* kTool = "conesim-phantom";

}  // namespace

const char* const kPhantomUsage =
    R"(Usage: conesim-phantom --dims XxYxZ -o FILE [--background V] [SHAPE ...]

Writes a sample volume file for conesim: X*Y*Z little-endian 32-bit floats, no header,
x varying fastest, then y, then z (z is the beam direction). The file is written slice
by slice; it appears under its name only once complete.

Voxel (x, y, z) is the point with those integer coordinates (0 .. X-1 and so on); a shape
covers a voxel when that point lies inside the shape. Coordinates and sizes may be
fractional. Every voxel starts at the background value; shapes are applied in the order
given, and a later shape overwrites the voxels of earlier ones that it covers.

Options:
  --dims XxYxZ        grid size in voxels, each 1 to 3000 (required)
  -o, --output FILE   the volume file to write (required)
  --background V      value of voxels no shape covers (default 0)
  -h, --help          this text

Shapes (VALUE is the voxel value the shape writes):
  --sphere CX,CY,CZ,R,VALUE
        voxels within distance R (inclusive) of (CX, CY, CZ)
  --cylinder AXIS,C1,C2,R,VALUE[,FROM,TO]
        a circular cylinder along AXIS (x, y or z) of radius R (inclusive); its axis
        passes through (C1, C2) in the two other coordinates taken in x, y, z order
        (AXIS z: C1 = x, C2 = y; AXIS y: C1 = x, C2 = z; AXIS x: C1 = y, C2 = z);
        it spans FROM to TO (inclusive) along AXIS, the whole grid when omitted
  --box X0,Y0,Z0,X1,Y1,Z1,VALUE
        voxels with X0 <= x <= X1, Y0 <= y <= Y1 and Z0 <= z <= Z1
  --slab ANGLE,THICKNESS,VALUE[,TILT[,OFFSET]]
        a flat layer THICKNESS voxels thick whose mid-plane passes through the grid
        centre ((X-1)/2, (Y-1)/2, (Z-1)/2), moved OFFSET voxels (default 0) along its
        normal. TILT is the axis it is tilted about: y (default) or x. At ANGLE 0 a
        slab tilted about y is the wall normal to x (a vertical stripe in the
        projection), one tilted about x the wall normal to y (a horizontal stripe);
        ANGLE degrees turn the normal towards z: normal (cos A, 0, sin A) about y,
        (0, cos A, sin A) about x. A voxel at signed distance d from the mid-plane is
        covered when -THICKNESS/2 <= d < THICKNESS/2, so an untilted slab of whole
        thickness T covers exactly T voxels across.

On success it prints the file size and the sample dimensions to enter in the parameter
file (values 10 to 12: sampleDimX, sampleDimY, sampleDimZ).
Exit status: 0 done, 1 the file could not be written, 2 wrong command line.
)";

int parsePhantomOptions(int argc, char** argv, PhantomOptions& options) {
    ArgCursor args(argc, argv);
    std::vector<std::pair<std::string, std::string>> shapeTexts;
    bool haveDims = false;
    while (!args.done()) {
        const std::string word = args.next();
        if (word == "-h" || word == "--help") {
            options.help = true;
            return kExitOk;
        }
        std::string value;
        const bool takesValue = word == "--dims" || word == "-o" || word == "--output" ||
                                word == "--background" || word == "--sphere" ||
                                word == "--cylinder" || word == "--box" || word == "--slab";
        if (!takesValue) {
            return usageError(kTool, "unknown argument '" + word + "'");
        }
        if (!args.takeValue(value)) {
            return usageError(kTool, word + " needs a value");
        }
        if (word == "--dims") {
            std::vector<std::int64_t> dims;
            if (!parseDimensions(value, 3, dims)) {
                return usageError(
                    kTool, "--dims '" + value + "' is not three positive whole numbers XxYxZ");
            }
            for (std::int64_t dim : dims) {
                if (dim > kMaxSampleDim) {
                    return usageError(kTool, "--dims '" + value +
                                                 "': the program accepts at most 3000 voxels "
                                                 "per axis");
                }
            }
            options.grid = GridSize{dims[0], dims[1], dims[2]};
            haveDims = true;
        } else if (word == "-o" || word == "--output") {
            options.output = value;
        } else if (word == "--background") {
            double background = 0.0;
            if (!parseDouble(value, background)) {
                return usageError(kTool, "--background '" + value + "' is not a number");
            }
            options.background = static_cast<float>(background);
        } else {
            shapeTexts.emplace_back(word, value);
        }
    }
    if (!haveDims) {
        return usageError(kTool, "--dims is missing");
    }
    if (options.output.empty()) {
        return usageError(kTool, "-o FILE is missing");
    }
    // Shapes are read once the grid is known: the slab is placed through its centre.
    for (const auto& [option, text] : shapeTexts) {
        Shape shape;
        std::string error;
        const bool parsed = option == "--sphere"     ? parseSphere(text, shape, error)
                            : option == "--cylinder" ? parseCylinder(text, shape, error)
                            : option == "--box"      ? parseBox(text, shape, error)
                                                     : parseSlab(text, options.grid, shape, error);
        if (!parsed) {
            return usageError(kTool, error);
        }
        options.shapes.push_back(shape);
    }
    return kExitOk;
}

}  // namespace conesim::tools
