// The command line of conesim-png.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/ArgParse.hpp"
#include "common/GreyScaling.hpp"
#include "common/ImageSource.hpp"

namespace conesim::tools {

// Row lengths a PNG can have (libpng's own limit on an image's width).
constexpr IntRange kPngWidthRange{1, 1000000};
// The values --min and --max may give, and the logarithmic offset.
constexpr NumberRange kBoundRange{-1e300, 1e300, "from -1e300 to 1e300"};
constexpr NumberRange kLogOffsetRange{1e-300, 1e300, "from 1e-300 to 1e300"};
// Slices of a 3-D MetaImage volume.
constexpr IntRange kSliceRange{0, 2147483646};

struct PngOptions {
    bool help = false;
    std::string input;
    std::string output;  //!< the input's name with ".png" in place of its ending when not given
    std::int64_t width = 0;
    std::string paramsFile;
    bool haveType = false;
    SourceKind kind = SourceKind::Raw;
    std::optional<std::int64_t> slice;  //!< --slice of a 3-D .mhd volume
    std::optional<std::int64_t> outer;  //!< --outer of a 4-D .mhd stack
    bool diverging = false;             //!< --colormap
    GreyScale scale;
};

// The --help text: usage, what the tool writes, the options and the exit statuses.
std::string pngUsage();

// Returns kExitOk with options filled (options.help after -h or --help), or kExitUsage with
// error saying which argument is wrong.
int parsePngOptions(int argc, char** argv, PngOptions& options, std::string& error);

// The logarithmic offset used when --log-offset is not given: 1 for counts (.dat, .pgm and
// MET_UINT images), 0 (derived from the range) for planes and float images.
double defaultLogOffset(SourceKind kind, bool countImage);

}  // namespace conesim::tools
