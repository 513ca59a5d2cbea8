// conesim-png: turns a detector image, a greyscale image, a collapsed plane or a MetaImage
// into a PNG.
#include <iostream>
#include <string>
#include <vector>

#include "common/GreyScaling.hpp"
#include "common/ImageSource.hpp"
#include "common/ParameterLookup.hpp"
#include "common/PngIo.hpp"
#include "common/ToolExit.hpp"
#include "formats/MetaImageReader.hpp"
#include "formats/PgmReader.hpp"
#include "formats/RawValues.hpp"
#include "png/ColourMap.hpp"
#include "png/PngOptions.hpp"
#include "util/OutputTarget.hpp"
#include "util/PendingFile.hpp"

namespace {

using namespace conesim::tools;

constexpr const char* kTool = "conesim-png";

bool loadSource(const PngOptions& options, const conesim::MetaImageInfo& meta, SourceImage& image,
                std::string& error) {
    if (options.kind == SourceKind::Pgm) {
        return conesim::readPgmImage(options.input, image, error);
    }
    if (options.kind == SourceKind::MetaImage) {
        return conesim::readMetaImageSlice(meta, options.input, options.slice, image, error,
                                           options.outer);
    }
    std::int64_t width = options.width;
    if (width == 0) {
        ParameterGeometry geometry;
        if (!readParameterGeometry(options.paramsFile, geometry, error)) {
            return false;
        }
        width = options.kind == SourceKind::Raw ? geometry.detectorWidth : geometry.sampleDimX;
    }
    const conesim::MetaElementType type = options.kind == SourceKind::Raw
                                              ? conesim::MetaElementType::kUint32
                                              : conesim::MetaElementType::kFloat64;
    return conesim::readRawImage(options.input, type, static_cast<std::uint32_t>(width), image,
                                 error);
}

// libpng writes no PNG wider or taller than this many pixels.
constexpr std::int64_t kLargestPngSide = kPngWidthRange.high;

// Empty when an image of width x height pixels fits a PNG; otherwise why not.
std::string tooLargeForPng(const std::string& input, std::int64_t width, std::int64_t height) {
    if (width <= kLargestPngSide && height <= kLargestPngSide) {
        return "";
    }
    return input + " is " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels; a PNG holds at most " + std::to_string(kLargestPngSide) + " x " +
           std::to_string(kLargestPngSide) + " (libpng's limit)";
}

// Writes the PNG under its temporary name and publishes it.
bool writePng(const PngOptions& options, const SourceImage& source, const GreyRange& range,
              std::string& error) {
    conesim::PendingFile pending(options.output);
    if (!pending.create(error)) {
        return false;
    }
    bool written = false;
    if (options.diverging) {
        RgbImage colour{source.width, source.height,
                        toDivergingColours(source.values, range, options.scale.logarithmic)};
        written = writeRgbPng(pending.temporaryPath(), colour, error);
    } else {
        GreyImage grey{source.width, source.height,
                       toGrey(source.values, range, options.scale.logarithmic)};
        written = writeGreyPng(pending.temporaryPath(), grey, error);
    }
    if (!written) {
        error = "cannot write " + options.output;
        return false;
    }
    return pending.commit(error);
}

int runPng(int argc, char** argv) {
    PngOptions options;
    std::string error;
    if (parsePngOptions(argc, argv, options, error) != kExitOk) {
        return usageError(kTool, error);
    }
    if (options.help) {
        std::cout << pngUsage();
        return kExitOk;
    }
    // A header is read first: it names the data file, which the output may not replace.
    conesim::MetaImageInfo meta;
    if (options.kind == SourceKind::MetaImage &&
        !conesim::readMetaImageHeader(options.input, meta, error)) {
        return failure(kTool, error);
    }
    // A header tells the size before any data is read.
    if (options.kind == SourceKind::MetaImage) {
        if (const std::string why =
                tooLargeForPng(options.input, meta.dimensions[0], meta.dimensions[1]);
            !why.empty()) {
            return failure(kTool, why);
        }
    }
    std::vector<std::string> inputs{options.input};
    for (const std::string& other : {meta.dataPath, options.paramsFile}) {
        if (!other.empty()) {
            inputs.push_back(other);
        }
    }
    if (!conesim::checkOutputs({options.output}, inputs, error)) {
        return failure(kTool, error);
    }
    SourceImage source;
    if (!loadSource(options, meta, source, error)) {
        return failure(kTool, error);
    }
    if (const std::string why = tooLargeForPng(options.input, source.width, source.height);
        !why.empty()) {
        return failure(kTool, why);
    }
    const bool countImage =
        options.kind == SourceKind::MetaImage && meta.type == conesim::MetaElementType::kUint32;
    const double defaultOffset = defaultLogOffset(options.kind, countImage);
    const GreyRange range = options.diverging
                                ? symmetricRangeOf(source.values, options.scale, defaultOffset)
                                : rangeOf(source.values, options.scale, defaultOffset);
    if (range.low > range.high) {
        return failure(kTool, "empty range: the minimum " + std::to_string(range.low) +
                                  " is above the maximum " + std::to_string(range.high));
    }
    if (!writePng(options, source, range, error)) {
        return failure(kTool, error);
    }
    const char* mapping = options.scale.logarithmic ? " (logarithmic)." : " (linear).";
    std::cout.precision(10);
    std::cout << "Range: " << range.low << " to " << range.high << "\n";
    std::cout << "Wrote " << options.output << ": " << source.width << " x " << source.height;
    if (options.diverging) {
        std::cout << ", blue at " << range.low << ", white at 0, red at " << range.high;
    } else {
        std::cout << ", grey 0 to 255 for " << range.low << " to " << range.high;
    }
    std::cout << mapping << std::endl;
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    return runGuarded(kTool, [&] { return runPng(argc, argv); });
}
