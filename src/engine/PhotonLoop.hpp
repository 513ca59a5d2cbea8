// The photon loop: emission, pre-sample mask, coded-aperture window, sample plane,
// post-sample mask, sensitive-area window, rounding, dithering, quantum efficiency, bounds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "util/NumericHelpers.hpp"
#include "engine/RunContext.hpp"
#include "engine/SampleTransport.hpp"
#include "input/PhotonSource.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {

struct PhotonLoopInputs {
    const SimulationParameters& parameters;
    const SampleGeometry& sample;
    const SamplePlanes& planes;
    const std::vector<std::uint8_t>& preMask;
    const std::vector<std::uint8_t>& postMask;
    const std::string& runName;
};

struct PhotonLoopResult {
    std::uint32_t hitCount = 0;  //!< photons scored on the detector
    bool stalled = false;        //!< countHitsOnly and no photon reaches the sensitive area
};

// Runs the photons into detectorImage (already all 0).
PhotonLoopResult runPhotonLoop(const PhotonLoopInputs& inputs, PhotonSource& source,
                               std::vector<std::uint32_t>& detectorImage, RunContext& context);

// Pixel fraction of a detector coordinate: u - floorWithTolerance(u as float).
inline double pixelFraction(double u) {
    return u - static_cast<double>(floorWithTolerance(static_cast<float>(u)));
}
// The window test of one coordinate: 0 <= frac - offset <= pif.
inline bool insideWindow(double coordinate, float pif, float offset) {
    const double shifted = pixelFraction(coordinate) - static_cast<double>(offset);
    return shifted >= 0.0 && shifted <= static_cast<double>(pif);
}

}  // namespace conesim
