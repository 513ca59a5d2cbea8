// conesim-sum: adds the final raw images of several runs into one raw and one PGM image.
#include <iostream>
#include <string>
#include <vector>

#include "common/ArgParse.hpp"
#include "common/ParameterLookup.hpp"
#include "common/ToolExit.hpp"
#include "sum/DatSum.hpp"

namespace {

using namespace conesim::tools;

constexpr const char* kTool = "conesim-sum";

constexpr const char* kUsage =
    R"(Usage: conesim-sum (--width W | --params FILE) -o OUT A.dat [B.dat ...]

Adds the final raw images (".dat": unsigned 32-bit little-endian counts, row by row) of
runs of the same geometry, pixel by pixel, and writes the sum as OUT.dat (the same raw
layout) and OUT.pgm (the ASCII greyscale image, rescaled to 0..255 exactly as conesim
rescales its final image). A ".dat" or ".pgm" ending given with OUT is dropped.

Options:
  --width W           detector pixels per row (the parameter file's detectorWidth)
  --params FILE       take the width from this parameter file instead
  -o, --output OUT    the name of the two images to write, without ending (required)
  -h, --help          this text

Refused, with nothing written: a file whose size is not a whole number of 4-byte counts,
an empty image, images of different sizes, a pixel count that W does not divide into
rows, and a sum above 4294967295 counts in any pixel.
Exit status: 0 done, 1 an image was refused or a file could not be read or written,
2 wrong command line.
)";

std::string withoutImageEnding(std::string base) {
    for (const char* ending : {".dat", ".pgm"}) {
        const std::string text = ending;
        if (base.size() > text.size() &&
            base.compare(base.size() - text.size(), text.size(), text) == 0) {
            base.resize(base.size() - text.size());
            break;
        }
    }
    return base;
}

int runSum(int argc, char** argv) {
    ArgCursor args(argc, argv);
    std::int64_t width = 0;
    std::string paramsFile;
    std::string output;
    std::vector<std::string> inputs;
    while (!args.done()) {
        const std::string word = args.next();
        if (word == "-h" || word == "--help") {
            std::cout << kUsage;
            return kExitOk;
        }
        if (word == "--width" || word == "--params" || word == "-o" || word == "--output") {
            std::string value;
            if (!args.takeValue(value)) {
                return usageError(kTool, word + " needs a value");
            }
            if (word == "--width") {
                if (!parseInt64(value, width) || width < 1 || width > 0xFFFFFFFFLL) {
                    return usageError(kTool,
                                      "--width '" + value + "' is not a positive whole number");
                }
            } else if (word == "--params") {
                paramsFile = value;
            } else {
                output = value;
            }
        } else if (word.size() > 1 && word[0] == '-') {
            return usageError(kTool, "unknown argument '" + word + "'");
        } else {
            inputs.push_back(word);
        }
    }
    if (output.empty()) {
        return usageError(kTool, "-o OUT is missing");
    }
    if (inputs.empty()) {
        return usageError(kTool, "no image to add");
    }
    if (width == 0 && paramsFile.empty()) {
        return usageError(kTool, "--width or --params is missing");
    }
    std::string error;
    if (width == 0) {
        ParameterGeometry geometry;
        if (!readParameterGeometry(paramsFile, geometry, error)) {
            return failure(kTool, error);
        }
        if (geometry.detectorWidth == 0) {
            return failure(kTool, paramsFile + ": the detector width is 0");
        }
        width = geometry.detectorWidth;
    }
    const auto rowLength = static_cast<std::uint32_t>(width);
    std::vector<std::uint32_t> sum;
    const std::string base = withoutImageEnding(output);
    if (!sumDetectorImages(inputs, rowLength, sum, error) ||
        !writeSummedImages(base, rowLength, sum, error)) {
        return failure(kTool, error);
    }
    std::cout << "Added " << inputs.size() << " images of " << width << " x "
              << sum.size() / rowLength << " pixels into " << base << ".dat and " << base << ".pgm."
              << std::endl;
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    return runGuarded(kTool, [&] { return runSum(argc, argv); });
}
