#include "phantom/PhantomOptions.hpp"

#include <cmath>
#include <sstream>
#include <utility>

#include "common/ArgParse.hpp"
#include "common/ToolExit.hpp"
#include "phantom/ShapeParsing.hpp"

namespace conesim::tools {

namespace {

constexpr IntRange kDimRange{1, kMaxSampleDim};
constexpr IntRange kSupersampleRange{1, kMaxSupersample};
constexpr NumberRange kVoxelSizeRange{1e-30, 1e30, "from 1e-30 to 1e30"};

bool parseVoxelSize(const std::string& text, std::array<double, 3>& size, std::string& error) {
    const std::vector<std::string> words = splitList(text);
    const std::string option = "--voxel-size " + shortQuote(text);
    if (words.size() != 1 && words.size() != 3) {
        error = option + " needs 1 or 3 comma-separated values";
        return false;
    }
    for (std::size_t axis = 0; axis < 3; ++axis) {
        const std::string& word = words[words.size() == 1 ? 0 : axis];
        if (!parseInRange(word, kVoxelSizeRange, size[axis])) {
            error = notNumber(option + ": the size", word, kVoxelSizeRange);
            return false;
        }
    }
    return true;
}

bool isLabel(float value) {
    const auto v = static_cast<double>(value);
    return v >= 0.0 && v <= kMaxLabel && v == std::floor(v);
}

// A label volume: whole-number values only, and no sub-sample mean.
int checkLabels(const PhantomOptions& options, std::string& error) {
    if (options.supersample > 1) {
        error = "--labels takes no --supersample above 1: a mean of labels is no label";
        return kExitUsage;
    }
    if (!isLabel(options.background)) {
        error = "--labels needs a --background that is a whole number from 0 to 16777216";
        return kExitUsage;
    }
    for (std::size_t i = 0; i < options.shapes.size(); ++i) {
        if (!isLabel(options.shapes[i].value)) {
            std::ostringstream text;
            text << "--labels: shape " << i + 1 << " has VALUE " << options.shapes[i].value
                 << ", which is not a whole number from 0 to 16777216";
            error = text.str();
            return kExitUsage;
        }
    }
    return kExitOk;
}

// The options, declared once for parsing and for the list --help shows. Shapes are kept as
// given (option and text) and read once the grid is known.
void declareOptions(OptionParser& parser, PhantomOptions& options, bool& haveDims,
                    std::vector<std::pair<std::string, std::string>>& shapeTexts) {
    parser.value("--dims", "XxYxZ",
                 "grid size in voxels, each a whole number from 1 to 3000 (required)",
                 [&options, &haveDims](const std::string& value, std::string& error) {
                     std::vector<std::int64_t> dims;
                     if (!parseDimensions(value, 3, dims)) {
                         error = "--dims " + shortQuote(value) +
                                 " is not three positive whole numbers XxYxZ";
                         return false;
                     }
                     for (std::int64_t dim : dims) {
                         if (dim > kDimRange.high) {
                             error = "--dims " + shortQuote(value) +
                                     ": the program accepts at most 3000 voxels per axis";
                             return false;
                         }
                     }
                     options.grid = GridSize{dims[0], dims[1], dims[2]};
                     haveDims = true;
                     return true;
                 });
    parser.value("-o,--output", "FILE", "the volume file to write (required)",
                 [&options](const std::string& value, std::string&) {
                     options.output = value;
                     return true;
                 });
    parser.value("--background", "V",
                 "value of voxels no shape covers, from -1e38 to 1e38 (default 0)",
                 [&options](const std::string& value, std::string& error) {
                     double background = 0.0;
                     if (!parseInRange(value, kVoxelValueRange, background)) {
                         error = notNumber("--background", value, kVoxelValueRange);
                         return false;
                     }
                     options.background = static_cast<float>(background);
                     return true;
                 });
    parser.value("--voxel-size", "S",
                 "the voxel size written to the header's ElementSpacing, S or SX,SY,SZ, each "
                 "from 1e-30 to 1e30 (default 1; the parameter file's values 13 to 15 in its "
                 "length unit)",
                 [&options](const std::string& value, std::string& error) {
                     return parseVoxelSize(value, options.voxelSize, error);
                 });
    parser.value("--supersample", "N",
                 "N x N x N sub-samples per voxel, each N from 1 to 16 (default 1): the voxel "
                 "holds the mean of the values at its sub-sample points (the points (i + 0.5) "
                 "/ N - 0.5 around its centre, i = 0 .. N-1 on each axis), so a shape over the "
                 "background 0 gives its value times the fraction of the voxel inside it, and "
                 "smooth shapes give smooth projections. 1: each voxel takes the value at its "
                 "centre point",
                 [&options](const std::string& value, std::string& error) {
                     if (!parseInRange(value, kSupersampleRange, options.supersample)) {
                         error = notWholeNumber("--supersample", value, kSupersampleRange);
                         return false;
                     }
                     return true;
                 });
    parser.flag("--labels",
                "a label volume for a materials file (sampleMaterials): the background and "
                "every shape's VALUE must be whole numbers from 0 (vacuum) to 16777216, each "
                "the LABEL of a material, and no --supersample above 1 (a mean of labels is "
                "no label)",
                [&options](std::string&) {
                    options.labels = true;
                    return true;
                });
    parser.helpFlag("-h,--help", "this text", options.help);
    parser.group(
        "Shapes (VALUE is the voxel value the shape writes, from -1e38 to 1e38; "
        "coordinates, positions and offsets are voxels from -1e6 to 1e6, radii from 0 to "
        "1e6)");
    const std::pair<const char*, const char*> shapes[] = {
        {"--sphere CX,CY,CZ,R,VALUE", "voxels within distance R (inclusive) of (CX, CY, CZ)"},
        {"--cylinder AXIS,C1,C2,R,VALUE[,FROM,TO]",
         "a circular cylinder along AXIS (x, y or z) of radius R (inclusive); its axis passes "
         "through (C1, C2) in the two other coordinates taken in x, y, z order (AXIS z: C1 = "
         "x, C2 = y; AXIS y: C1 = x, C2 = z; AXIS x: C1 = y, C2 = z); it spans FROM to TO "
         "(inclusive) along AXIS, the whole grid when omitted"},
        {"--box X0,Y0,Z0,X1,Y1,Z1,VALUE",
         "voxels with X0 <= x <= X1, Y0 <= y <= Y1 and Z0 <= z <= Z1"},
        {"--slab ANGLE,THICKNESS,VALUE[,TILT[,OFFSET]]",
         "a flat layer THICKNESS voxels thick (from 1e-6 to 1e6) whose mid-plane passes "
         "through the grid centre ((X-1)/2, (Y-1)/2, (Z-1)/2), moved OFFSET voxels (default "
         "0) along its normal. TILT is the axis it is tilted about: y (default) or x. At "
         "ANGLE 0 a slab tilted about y is the wall normal to x (a vertical stripe in the "
         "projection), one tilted about x the wall normal to y (a horizontal stripe); ANGLE "
         "degrees (from -360 to 360) turn the normal towards z: normal (cos A, 0, sin A) "
         "about y, (0, cos A, sin A) about x. A voxel at signed distance d from the "
         "mid-plane is covered when -THICKNESS/2 <= d < THICKNESS/2, so an untilted slab of "
         "whole thickness T covers exactly T voxels across."},
    };
    for (const auto& [spelling, description] : shapes) {
        const std::string text = spelling;
        const std::string name = text.substr(0, text.find(' '));
        parser.value(name, text.substr(text.find(' ') + 1), description,
                     [name, &shapeTexts](const std::string& value, std::string&) {
                         shapeTexts.emplace_back(name, value);
                         return true;
                     });
    }
}

}  // namespace

std::string phantomUsage() {
    PhantomOptions unused;
    bool haveDims = false;
    std::vector<std::pair<std::string, std::string>> shapeTexts;
    return toolHelp(
        R"(Usage: conesim-phantom --dims XxYxZ -o FILE [--background V] [--voxel-size S]
                      [--supersample N] [--labels] [SHAPE ...]

Writes a sample volume file for conesim: X*Y*Z little-endian 32-bit floats, no header,
x varying fastest, then y, then z (z is the beam direction), and beside it the MetaImage
header FILE.mhd (MET_FLOAT, 3-D) with which ITK, 3D Slicer, ParaView or Fiji open it. The
file is written slice by slice; the two files appear under their names only once both
are complete.

Voxel (x, y, z) is the point with those integer coordinates (0 .. X-1 and so on); a shape
covers a voxel when that point lies inside it. Coordinates and sizes may be fractional.
Every voxel starts at the background value; shapes are applied in the order given, and a
later shape overwrites the voxels of earlier ones that it covers.
)",
        [&](OptionParser& parser) { declareOptions(parser, unused, haveDims, shapeTexts); },
        R"(
On success it prints the file size and the sample dimensions to enter in the parameter
file (values 10 to 12: sampleDimX, sampleDimY, sampleDimZ).
An output that is a symbolic link is written through to the file it leads to; an output
that exists and is not a regular file (a device, a named pipe, a folder) is refused.
Exit status: 0 done, 1 a file could not be written or was refused, 2 wrong command line
(a value outside its range included).
)");
}

int parsePhantomOptions(int argc, char** argv, PhantomOptions& options, std::string& error) {
    std::vector<std::pair<std::string, std::string>> shapeTexts;
    bool haveDims = false;
    const auto declare = [&](OptionParser& parser) {
        declareOptions(parser, options, haveDims, shapeTexts);
    };
    if (const int status = readToolOptions(argc, argv, declare, error); status != kExitOk) {
        return status;
    }
    if (options.help) {
        return kExitOk;
    }
    if (!haveDims) {
        error = "--dims is missing";
        return kExitUsage;
    }
    if (options.output.empty()) {
        error = "-o FILE is missing";
        return kExitUsage;
    }
    // Shapes are read once the grid is known: the slab is placed through its centre.
    for (const auto& [option, text] : shapeTexts) {
        Shape shape;
        const bool parsed = option == "--sphere"     ? parseSphere(text, shape, error)
                            : option == "--cylinder" ? parseCylinder(text, shape, error)
                            : option == "--box"      ? parseBox(text, shape, error)
                                                     : parseSlab(text, options.grid, shape, error);
        if (!parsed) {
            return kExitUsage;
        }
        options.shapes.push_back(shape);
    }
    if (options.labels) {
        return checkLabels(options, error);
    }
    return kExitOk;
}

}  // namespace conesim::tools
