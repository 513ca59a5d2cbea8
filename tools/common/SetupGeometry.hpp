// The geometry the retrieval and the truth mapping need from a parameter file, read through
// the program's own reader so that a file the program refuses is refused here too.
#pragma once

#include <cstdint>
#include <string>

#include "engine/SampleTransport.hpp"

namespace conesim::tools {

struct SetupGeometry {
    std::uint32_t detectorWidth = 0;   //!< pixels per row
    std::uint32_t detectorHeight = 0;  //!< rows
    double pixelSizeX = 1.0;           //!< detector pixel size along x (length unit)
    double pixelSizeY = 1.0;           //!< along y
    double detectorDistance = 0.0;     //!< source to detector, L
    double preMaskDistance = 0.0;      //!< source to the pre-sample mask
    SampleGeometry sample;             //!< sample plane: size, voxel sizes and mid-plane zMid

    // The lever arm of a deflection: L - zMid.
    double leverArm() const { return detectorDistance - static_cast<double>(sample.zMid); }
};

// False, with the reader's messages in error, when the file is refused or its detector
// lies no further from the source than the sample's mid-plane.
bool readSetupGeometry(const std::string& path, SetupGeometry& geometry, std::string& error);

}  // namespace conesim::tools
