#include "png/PngOptions.hpp"

#include "common/ArgParse.hpp"
#include "common/ToolExit.hpp"

namespace conesim::tools {

namespace {

bool boundOption(const std::string& word, const std::string& value, const NumberRange& range,
                 std::optional<double>& out, std::string& error) {
    double number = 0.0;
    if (!parseInRange(value, range, number)) {
        error = notNumber(word, value, range);
        return false;
    }
    out = number;
    return true;
}

// The checks that need every option: the kind, the row length, the bounds.
int checkCombination(PngOptions& options, std::string& error) {
    if (options.input.empty()) {
        error = "no input image given";
        return kExitUsage;
    }
    if (!options.haveType && !kindFromName(options.input, options.kind)) {
        error = "cannot tell the kind of " + shortQuote(options.input) +
                " from its ending; give --type dat, pgm, pca or mhd";
        return kExitUsage;
    }
    if (options.slice && options.kind != SourceKind::MetaImage) {
        error = "--slice is for 3-D .mhd volumes";
        return kExitUsage;
    }
    if (options.outer && options.kind != SourceKind::MetaImage) {
        error = "--outer is for 4-D .mhd stacks";
        return kExitUsage;
    }
    const GreyScale& scale = options.scale;
    if (scale.low && scale.high && *scale.low > *scale.high) {
        error = "--min is above --max";
        return kExitUsage;
    }
    if (options.diverging &&
        ((scale.low && *scale.low > 0.0) || (scale.high && *scale.high < 0.0))) {
        error = "--colormap is symmetric about 0: --min must be at most 0 and --max at least 0";
        return kExitUsage;
    }
    const bool sized = options.kind == SourceKind::Pgm || options.kind == SourceKind::MetaImage;
    if (!sized && options.width == 0 && options.paramsFile.empty()) {
        error = "the row length of " + shortQuote(options.input) +
                " is missing; give --width or --params";
        return kExitUsage;
    }
    if (options.output.empty()) {
        const std::size_t dot = options.input.find_last_of('.');
        const bool hasEnding = dot != std::string::npos && dot > 0 &&
                               options.input.find('/', dot) == std::string::npos;
        options.output = (hasEnding ? options.input.substr(0, dot) : options.input) + ".png";
    }
    return kExitOk;
}

// The options, declared once for parsing and for the list --help shows.
void declareOptions(OptionParser& parser, PngOptions& options) {
    parser.value("-o,--output", "OUT",
                 "the PNG to write (default: INPUT with its ending replaced by .png)",
                 storeText(options.output));
    parser.value("--width", "W",
                 "row length of a .dat or .pca input, a whole number from 1 to 1000000",
                 storeWhole("--width", kPngWidthRange, options.width));
    parser.value("--params", "FILE", "take the row length from this conesim parameter file",
                 storeText(options.paramsFile));
    parser.value("--type", "T", "read INPUT as dat, pgm, pca or mhd whatever its ending",
                 [&options](const std::string& value, std::string& error) {
                     options.haveType = true;
                     if (!kindFromWord(value, options.kind)) {
                         error = "--type " + shortQuote(value) + " is not dat, pgm, pca or mhd";
                         return false;
                     }
                     return true;
                 });
    const auto index = [](const std::string& option, std::optional<std::int64_t>& out) {
        return [option, &out](const std::string& value, std::string& error) {
            std::int64_t slice = 0;
            if (!parseInRange(value, kSliceRange, slice)) {
                error = notWholeNumber(option, value, kSliceRange);
                return false;
            }
            out = slice;
            return true;
        };
    };
    parser.value("--slice", "K",
                 "the z slice of a 3-D .mhd volume, from 0 to its slices - 1; of a 4-D stack "
                 "the slices counted one after the other, inner index fastest (run K of a "
                 "sweep), or with --outer the inner index",
                 index("--slice", options.slice));
    parser.value("--outer", "J",
                 "the outer index of a 4-D stack (0 to OUTER - 1); --slice K then picks inner "
                 "index K (0 to INNER - 1)",
                 index("--outer", options.outer));
    parser.flag("--linear", "grey = 255 * (v - MIN) / (MAX - MIN) (the default)",
                [&options](std::string&) {
                    options.scale.logarithmic = false;
                    return true;
                });
    parser.flag("--log", "grey = 255 * ln(1 + (v - MIN) / D) / ln(1 + (MAX - MIN) / D)",
                setTrue(options.scale.logarithmic));
    parser.flag("--colormap",
                "a diverging map for signed images (deflection and refraction planes): white "
                "at 0, blue towards MIN, red towards MAX, symmetric about 0 (MIN = -MAX, by "
                "default MAX = the largest |v|; one of --min and --max sets the other to its "
                "negative; MIN <= 0 <= MAX). With --log, each side is logarithmic in |v|: "
                "ln(1 + |v| / D)",
                setTrue(options.diverging));
    const auto bound = [](const std::string& option, const NumberRange& range,
                          std::optional<double>& out) {
        return [option, range, &out](const std::string& value, std::string& error) {
            return boundOption(option, value, range, out, error);
        };
    };
    parser.value("--min", "V",
                 "the value shown as 0 (default: the image's smallest); values below are "
                 "clamped; from -1e300 to 1e300",
                 bound("--min", kBoundRange, options.scale.low));
    parser.value("--max", "V",
                 "the value shown as 255 (default: the image's largest); values above are "
                 "clamped; from -1e300 to 1e300",
                 bound("--max", kBoundRange, options.scale.high));
    parser.value("--log-offset", "D",
                 "D of --log, from 1e-300 to 1e300 (default 1 for counts: .dat, .pgm and "
                 "MET_UINT; for planes and float images (MAX - MIN) / 10000, or MAX / 10000 "
                 "with --colormap)",
                 bound("--log-offset", kLogOffsetRange, options.scale.offset));
    parser.helpFlag("-h,--help", "this text", options.help);
    parser.positional([&options](const std::string& word, std::string& error) {
        if (!options.input.empty()) {
            error =
                "more than one input: " + shortQuote(options.input) + " and " + shortQuote(word);
            return false;
        }
        options.input = word;
        return true;
    });
}

}  // namespace

std::string pngUsage() {
    PngOptions unused;
    return toolHelp(R"(Usage: conesim-png INPUT [-o OUT.png] [--width W | --params FILE] [--type T]
                   [--slice K [--outer J]] [--linear | --log] [--colormap] [--min V]
                   [--max V] [--log-offset D]

Writes INPUT as an 8-bit greyscale PNG (row 0 at the top), or with --colormap as an RGB
PNG. INPUT is one of:
  .dat  a final raw detector image: unsigned 32-bit little-endian counts, row by row;
        the row length is W, or the parameter file's detectorWidth (value 25)
  .pgm  an ASCII greyscale image ("P2"): the final and progress images, the plane
        previews and mask images (one comment line, or "#" comments); the size comes
        from its header, and --width and --params are not used
  .pca  a collapsed plane: little-endian doubles, row by row; the row length is W, or
        the parameter file's sampleDimX (value 10)
  .mhd  a MetaImage header (as the tools write beside their raw files): NDims 2, or 3
        or 4 (a sweep's W x H x INNER x OUTER stack) with --slice; ElementType MET_UINT,
        MET_FLOAT or MET_DOUBLE; BinaryDataByteOrderMSB = False; ElementDataFile taken
        from the header's folder, whose size must be what the header describes; --width
        and --params are not used
)",
                    [&](OptionParser& parser) { declareOptions(parser, unused); },
                    R"(
Grey levels round halves up; an image whose MIN equals its MAX comes out all 0 (all
white with --colormap); values that are not numbers come out 0 (black). Every run
prints the range it mapped, "Range: MIN to MAX", before the line naming the PNG.
The PNG may not be one of the inputs (the image, its data file, the parameter file). An
output that is a symbolic link is written through to the file it leads to; an output
that exists and is not a regular file (a device, a named pipe, a folder) is refused.
Exit status: 0 done, 1 a file could not be read or written or was refused, 2 wrong
command line (a value outside its range included).
)");
}

int parsePngOptions(int argc, char** argv, PngOptions& options, std::string& error) {
    const auto declare = [&](OptionParser& parser) { declareOptions(parser, options); };
    if (const int status = readToolOptions(argc, argv, declare, error); status != kExitOk) {
        return status;
    }
    if (options.help) {
        return kExitOk;
    }
    return checkCombination(options, error);
}

double defaultLogOffset(SourceKind kind, bool countImage) {
    return kind == SourceKind::Raw || kind == SourceKind::Pgm || countImage ? 1.0 : 0.0;
}

}  // namespace conesim::tools
