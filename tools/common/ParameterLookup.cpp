#include "common/ParameterLookup.hpp"

#include <sstream>

#include "common/BinaryFile.hpp"

namespace conesim::tools {

bool loadParameterFile(const std::string& path, SimulationParameters& parameters,
                       std::string& error) {
    // A named pipe would wait for a writer and a device never end: only a regular file.
    std::uint64_t size = 0;
    if (!regularFileSize(path, size, error)) {
        error = "cannot use parameter file " + path + ": " + error;
        return false;
    }
    std::ostringstream messages;
    std::istringstream noInput;
    Console console{messages, noInput};
    parameters.readFile(path, console);
    if (!parameters.parameterFileLoaded) {
        std::string text = messages.str();
        while (!text.empty() && text.back() == '\n') {
            text.pop_back();
        }
        error = "cannot use parameter file " + path + (text.empty() ? "" : ": " + text);
        return false;
    }
    return true;
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
