#include "common/SetupGeometry.hpp"

#include "common/ParameterLookup.hpp"

namespace conesim::tools {

namespace {

// The longest detector side the program's checks accept (fault codes 17 and 18).
constexpr std::uint32_t kLargestDetectorSide = 50000;

}  // namespace

bool readSetupGeometry(const std::string& path, SetupGeometry& geometry, std::string& error) {
    SimulationParameters p;
    if (!loadParameterFile(path, p, error)) {
        return false;
    }
    SetupGeometry result;
    result.detectorWidth = p.detectorWidth;
    result.detectorHeight = p.detectorHeight;
    result.pixelSizeX = p.detectorPixelSizeX;
    result.pixelSizeY = p.detectorPixelSizeY;
    // The photon loop takes the detector distance as a single-precision number.
    result.detectorDistance = static_cast<double>(static_cast<float>(p.detectorPosition));
    result.preMaskDistance = static_cast<double>(static_cast<float>(p.preMaskPosition));
    result.sample = makeSampleGeometry(static_cast<std::int32_t>(p.sampleDimX),
                                       static_cast<std::int32_t>(p.sampleDimY),
                                       static_cast<std::int32_t>(p.sampleDimZ), p.sampleScaleX,
                                       p.sampleScaleY, p.sampleScaleZ, p.sampleStart);
    if (result.detectorWidth == 0 || result.detectorHeight == 0 ||
        result.detectorWidth > kLargestDetectorSide ||
        result.detectorHeight > kLargestDetectorSide) {
        error = path + ": the detector of " + std::to_string(result.detectorWidth) + " x " +
                std::to_string(result.detectorHeight) +
                " pixels is none conesim runs (each side from 1 to " +
                std::to_string(kLargestDetectorSide) + " pixels, values 25 and 26)";
        return false;
    }
    if (!(result.pixelSizeX > 0.0) || !(result.pixelSizeY > 0.0)) {
        error = path + ": the detector's pixel size is not positive";
        return false;
    }
    if (!(result.leverArm() > 0.0)) {
        error = path + ": the detector (at " + std::to_string(p.detectorPosition) +
                ") does not lie beyond the sample's mid-plane";
        return false;
    }
    geometry = result;
    return true;
}

}  // namespace conesim::tools
