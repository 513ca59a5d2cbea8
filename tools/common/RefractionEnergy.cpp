#include "common/RefractionEnergy.hpp"

#include <sstream>

#include "input/PhotonSource.hpp"

namespace conesim::tools {

// The energy the run's refractive indices were computed at: sampleEnergy, or the mean of
// the spectrum when it is 0, as the run takes it.
float refractionEnergy(const SimulationParameters& p) {
    if (p.sampleEnergy != 0.0F) {
        return p.sampleEnergy;
    }
    std::ostringstream messages;
    std::istringstream noInput;
    Console quiet{messages, noInput};
    const DetectorCone detector{static_cast<std::int64_t>(p.detectorWidth),
                                static_cast<std::int64_t>(p.detectorHeight), p.detectorPixelSizeX,
                                p.detectorPixelSizeY, static_cast<double>(p.detectorPosition)};
    const PhotonSource source =
        loadSpectrum(p.spectrumFile, detector, quiet, p.extensions.spectrumWeights);
    return static_cast<float>(source.meanEnergy);
}

}  // namespace conesim::tools
