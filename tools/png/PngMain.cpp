// conesim-png: turns a detector image, a greyscale image or a collapsed plane into a PNG.
#include <iostream>
#include <string>

#include "common/ArgParse.hpp"
#include "common/ParameterLookup.hpp"
#include "common/PngIo.hpp"
#include "common/ToolExit.hpp"
#include "png/GreyScaling.hpp"
#include "png/ImageSource.hpp"
#include "util/PendingFile.hpp"

namespace {

using namespace conesim::tools;

constexpr const char* kTool = "conesim-png";

constexpr const char* kUsage =
    R"(Usage: conesim-png INPUT [-o OUT.png] [--width W | --params FILE] [--type T]
                   [--linear | --log] [--min V] [--max V] [--log-offset D]

Writes INPUT as an 8-bit greyscale PNG (row 0 at the top). INPUT is one of:
  .dat  a final raw detector image: unsigned 32-bit little-endian counts, row by row;
        the row length is W, or the parameter file's detectorWidth (value 25)
  .pgm  an ASCII greyscale image ("P2"): the final and progress images, the plane
        previews and mask images (one comment line, or "#" comments); the size comes
        from its header, and --width and --params are not used
  .pca  a collapsed plane: little-endian doubles, row by row; the row length is W, or
        the parameter file's sampleDimX (value 10)

Options:
  -o, --output OUT    the PNG to write (default: INPUT with its ending replaced by .png)
  --width W           row length of a .dat or .pca input
  --params FILE       take the row length from this conesim parameter file
  --type T            read INPUT as dat, pgm or pca whatever its ending
  --linear            grey = 255 * (v - MIN) / (MAX - MIN) (the default)
  --log               grey = 255 * ln(1 + (v - MIN) / D) / ln(1 + (MAX - MIN) / D)
  --min V, --max V    the values shown as 0 and 255 (default: the image's smallest and
                      largest); values outside are clamped
  --log-offset D      D of --log (default 1 for .dat and .pgm counts, (MAX - MIN) / 10000
                      for .pca planes); must be positive
  -h, --help          this text

Grey levels round halves up; an image whose MIN equals its MAX comes out all 0.
Exit status: 0 done, 1 a file could not be read or written or was refused, 2 wrong
command line.
)";

struct PngOptions {
    std::string input;
    std::string output;
    std::int64_t width = 0;
    std::string paramsFile;
    bool haveType = false;
    SourceKind kind = SourceKind::Raw;
    GreyScale scale;
};

bool numberOption(const std::string& word, const std::string& value, std::optional<double>& out) {
    double number = 0.0;
    if (!parseDouble(value, number)) {
        usageError(kTool, word + " '" + value + "' is not a number");
        return false;
    }
    out = number;
    return true;
}

// Returns kExitOk, 3 after --help, or kExitUsage after reporting the bad argument.
int parseOptions(int argc, char** argv, PngOptions& options) {
    ArgCursor args(argc, argv);
    while (!args.done()) {
        const std::string word = args.next();
        if (word == "-h" || word == "--help") {
            std::cout << kUsage;
            return 3;
        }
        if (word == "--log" || word == "--linear") {
            options.scale.logarithmic = word == "--log";
            continue;
        }
        if (word.size() > 1 && word[0] == '-') {
            const bool takesValue = word == "-o" || word == "--output" || word == "--width" ||
                                    word == "--params" || word == "--type" || word == "--min" ||
                                    word == "--max" || word == "--log-offset";
            if (!takesValue) {
                return usageError(kTool, "unknown argument '" + word + "'");
            }
            std::string value;
            if (!args.takeValue(value)) {
                return usageError(kTool, word + " needs a value");
            }
            if (word == "-o" || word == "--output") {
                options.output = value;
            } else if (word == "--width") {
                if (!parseInt64(value, options.width) || options.width < 1 ||
                    options.width > 0xFFFFFFFFLL) {
                    return usageError(kTool,
                                      "--width '" + value + "' is not a positive whole number");
                }
            } else if (word == "--params") {
                options.paramsFile = value;
            } else if (word == "--type") {
                if (!kindFromWord(value, options.kind)) {
                    return usageError(kTool, "--type '" + value + "' is not dat, pgm or pca");
                }
                options.haveType = true;
            } else if (!numberOption(word, value,
                                     word == "--min"   ? options.scale.low
                                     : word == "--max" ? options.scale.high
                                                       : options.scale.offset)) {
                return kExitUsage;
            }
            continue;
        }
        if (!options.input.empty()) {
            return usageError(kTool,
                              "more than one input: '" + options.input + "' and '" + word + "'");
        }
        options.input = word;
    }
    if (options.input.empty()) {
        return usageError(kTool, "no input image given");
    }
    if (!options.haveType && !kindFromName(options.input, options.kind)) {
        return usageError(kTool, "cannot tell the kind of '" + options.input +
                                     "' from its ending; give --type dat, pgm or pca");
    }
    if (options.scale.offset && !(*options.scale.offset > 0.0)) {
        return usageError(kTool, "--log-offset must be positive");
    }
    if (options.scale.low && options.scale.high && *options.scale.low > *options.scale.high) {
        return usageError(kTool, "--min is above --max");
    }
    if (options.kind != SourceKind::Pgm && options.width == 0 && options.paramsFile.empty()) {
        return usageError(kTool, "the row length of '" + options.input +
                                     "' is missing; give --width or --params");
    }
    if (options.output.empty()) {
        const std::size_t dot = options.input.find_last_of('.');
        const bool hasEnding = dot != std::string::npos && dot > 0 &&
                               options.input.find('/', dot) == std::string::npos;
        options.output = (hasEnding ? options.input.substr(0, dot) : options.input) + ".png";
    }
    return kExitOk;
}

bool loadSource(const PngOptions& options, SourceImage& image, std::string& error) {
    if (options.kind == SourceKind::Pgm) {
        return readPgmSource(options.input, image, error);
    }
    std::int64_t width = options.width;
    if (width == 0) {
        ParameterGeometry geometry;
        if (!readParameterGeometry(options.paramsFile, geometry, error)) {
            return false;
        }
        width = options.kind == SourceKind::Raw ? geometry.detectorWidth : geometry.sampleDimX;
    }
    return readRawSource(options.input, options.kind, static_cast<std::uint32_t>(width), image,
                         error);
}

int runPng(int argc, char** argv) {
    PngOptions options;
    const int parsed = parseOptions(argc, argv, options);
    if (parsed != kExitOk) {
        return parsed == 3 ? kExitOk : parsed;
    }
    SourceImage source;
    std::string error;
    if (!loadSource(options, source, error)) {
        return failure(kTool, error);
    }
    const double defaultOffset = options.kind == SourceKind::Plane ? 0.0 : 1.0;
    const GreyRange range = rangeOf(source.values, options.scale, defaultOffset);
    if (range.low > range.high) {
        return failure(kTool, "empty range: the minimum " + std::to_string(range.low) +
                                  " is above the maximum " + std::to_string(range.high));
    }
    GreyImage grey;
    grey.width = source.width;
    grey.height = source.height;
    grey.pixels = toGrey(source.values, range, options.scale.logarithmic);
    conesim::PendingFile pending(options.output);
    if (!writeGreyPng(pending.temporaryPath(), grey, error)) {
        return failure(kTool, "cannot write " + options.output);
    }
    if (!pending.commit(error)) {
        return failure(kTool, error);
    }
    std::cout.precision(10);
    std::cout << "Wrote " << options.output << ": " << grey.width << " x " << grey.height
              << ", grey 0 to 255 for " << range.low << " to " << range.high
              << (options.scale.logarithmic ? " (logarithmic)." : " (linear).") << std::endl;
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    return runGuarded(kTool, [&] { return runPng(argc, argv); });
}
