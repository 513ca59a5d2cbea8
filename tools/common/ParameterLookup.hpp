// The geometry a tool needs from a positional parameter file, read through the program's
// own parameter reader so that a file the program refuses is refused here too.
#pragma once

#include <cstdint>
#include <string>

#include "params/SimulationParameters.hpp"

namespace conesim::tools {

struct ParameterGeometry {
    std::uint32_t detectorWidth = 0;   //!< value 25
    std::uint32_t detectorHeight = 0;  //!< value 26
    std::uint32_t sampleDimX = 0;      //!< value 10
    std::uint32_t sampleDimY = 0;      //!< value 11
    std::uint32_t sampleDimZ = 0;      //!< value 12
    float sampleScaleX = 1.0F;         //!< value 13: voxel size along X (length units)
    float sampleScaleY = 1.0F;         //!< value 14
    float detectorPixelSizeX = 1.0F;   //!< value 28: detector pixel size along X
    float detectorPixelSizeY = 1.0F;   //!< value 29
};

// Reads a parameter file into parameters as the program does, its messages held back.
// False, with "cannot use parameter file PATH: " and those messages in error, when it is
// refused, and when it is not a regular file (a named pipe, a device).
bool loadParameterFile(const std::string& path, SimulationParameters& parameters,
                       std::string& error);

// False, with the reader's own messages in error, when the file is refused.
bool readParameterGeometry(const std::string& path, ParameterGeometry& geometry,
                           std::string& error);

}  // namespace conesim::tools
