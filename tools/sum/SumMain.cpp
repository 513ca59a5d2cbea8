// conesim-sum: adds the final raw images of several runs into one raw and one PGM image.
#include <array>
#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "common/ParameterLookup.hpp"
#include "common/ToolExit.hpp"
#include "formats/MetaImageHeader.hpp"
#include "sum/DatSum.hpp"
#include "sum/SumOptions.hpp"
#include "util/OutputTarget.hpp"

namespace {

using namespace conesim::tools;

constexpr const char* kTool = "conesim-sum";

// A pixel size fit for a header's spacing: positive and finite, else 1.
double spacingOf(float size) {
    return size > 0.0F && std::isfinite(size) ? static_cast<double>(size) : 1.0;
}

int runSum(int argc, char** argv) {
    SumOptions options;
    std::string error;
    if (parseSumOptions(argc, argv, options, error) != kExitOk) {
        return usageError(kTool, error);
    }
    if (options.help) {
        std::cout << sumUsage();
        return kExitOk;
    }
    const std::string base = outputBase(options.output);
    std::vector<std::string> inputs = options.inputs;
    if (!options.paramsFile.empty()) {
        inputs.push_back(options.paramsFile);
    }
    if (!refuseRepeatedImages(options.inputs, error) ||
        !conesim::checkOutputs(
            {base + ".dat", base + ".pgm", conesim::metaImageHeaderPath(base + ".dat")}, inputs,
            error)) {
        return failure(kTool, error);
    }
    std::int64_t width = options.width;
    std::array<double, 2> pixelSize{1.0, 1.0};
    if (width == 0) {
        ParameterGeometry geometry;
        if (!readParameterGeometry(options.paramsFile, geometry, error)) {
            return failure(kTool, error);
        }
        if (geometry.detectorWidth == 0) {
            return failure(kTool, options.paramsFile + ": the detector width is 0");
        }
        width = geometry.detectorWidth;
        pixelSize = {spacingOf(geometry.detectorPixelSizeX),
                     spacingOf(geometry.detectorPixelSizeY)};
    }
    const auto rowLength = static_cast<std::uint32_t>(width);
    std::vector<std::uint32_t> sum;
    std::vector<ImageDigest> digests;
    if (!sumDetectorImages(options.inputs, rowLength, sum, digests, error)) {
        return failure(kTool, error);
    }
    for (const auto& [earlier, later] : identicalImages(options.inputs, digests)) {
        std::cerr << kTool << ": warning: " << options.inputs[later] << " holds the same counts as "
                  << options.inputs[earlier]
                  << ", pixel for pixel: most likely copies of one run, whose photons the sum "
                     "counts twice"
                  << std::endl;
    }
    if (!writeSummedImages(base, rowLength, pixelSize, sum, error)) {
        return failure(kTool, error);
    }
    std::cout << "Added " << options.inputs.size() << " images of " << width << " x "
              << sum.size() / rowLength << " pixels into " << base << ".dat and " << base
              << ".pgm.\n"
              << "Wrote " << base << ".dat.mhd: its MetaImage header." << std::endl;
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    return runGuarded(kTool, [&] { return runSum(argc, argv); });
}
