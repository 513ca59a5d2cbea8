#include "common/ParameterLookup.hpp"

#include <sstream>

namespace conesim::tools {

bool loadParameterFile(const std::string& path, SimulationParameters& parameters,
                       std::string& error) {
    std::ostringstream messages;
    std::istringstream noInput;
    Console console{messages, noInput};
    parameters.readFile(path, console);
    if (parameters.parameterFileLoaded) {
        return true;
    }
    std::string text = messages.str();
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    error = "cannot use parameter file " + path + (text.empty() ? "" : ": " + text);
    return false;
}

bool readParameterGeometry(const std::string& path, ParameterGeometry& geometry,
                           std::string& error) {
    SimulationParameters parameters;
    if (!loadParameterFile(path, parameters, error)) {
        return false;
    }
    geometry.detectorWidth = parameters.detectorWidth;
    geometry.detectorHeight = parameters.detectorHeight;
    geometry.sampleDimX = parameters.sampleDimX;
    geometry.sampleDimY = parameters.sampleDimY;
    geometry.sampleDimZ = parameters.sampleDimZ;
    geometry.sampleScaleX = parameters.sampleScaleX;
    geometry.sampleScaleY = parameters.sampleScaleY;
    geometry.detectorPixelSizeX = parameters.detectorPixelSizeX;
    geometry.detectorPixelSizeY = parameters.detectorPixelSizeY;
    return true;
}

}  // namespace conesim::tools
