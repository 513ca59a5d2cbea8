// The design report of an edge-illumination set-up: magnifications, the masks' period and
// openings projected onto the detector, the focal spot's penumbra, the angle of one pixel
// of shift and where ray optics stops holding.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "params/SimulationParameters.hpp"

namespace conesim::tools {

// The grating of a mask image read along its central row, in mask pixels.
struct MaskPattern {
    double period = 0.0;      //!< the most frequent distance between openings; 0: none
    double openWidth = 0.0;   //!< the most frequent length of a clear run
    double openCentre = 0.0;  //!< centre of the clear run nearest the axis (mask coordinate)
    bool found = false;       //!< at least one clear run between two opaque pixels
};

// The pattern of the central row of a size x size mask (non-zero = opaque).
MaskPattern centralRowPattern(const std::vector<std::uint8_t>& pixels, std::int64_t size);

// Writes the report for the set-up p with its masks' patterns (pattern.found false for a mask
// that is absent or holds no grating).
void writeDesign(std::ostream& out, const SimulationParameters& p, const MaskPattern& pre,
                 const MaskPattern& post);

}  // namespace conesim::tools
