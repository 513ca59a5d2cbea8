#include "engine/PhotonEffects.hpp"

namespace conesim {

PhotonEffects makePhotonEffects(const ExtensionSettings& settings, std::span<const float> energies,
                                double planeEnergy) {
    PhotonEffects effects;
    effects.spotSigmaX = sigmaOfFwhm(settings.focalSpotFwhmX);
    effects.spotSigmaY = sigmaOfFwhm(settings.focalSpotFwhmY);
    effects.focalSpot = effects.spotSigmaX > 0.0 || effects.spotSigmaY > 0.0;
    if (settings.photonEnergies == PhotonEnergyMode::kSpectrum && !energies.empty()) {
        effects.photonEnergy = true;
        effects.energyFactors.reserve(energies.size());
        for (const float energy : energies) {
            effects.energyFactors.push_back(
                energyFactors(static_cast<double>(energy), planeEnergy));
        }
    }
    effects.blurSigma = settings.detectorBlurSigma;
    effects.blur = effects.blurSigma > 0.0;
    effects.any = effects.focalSpot || effects.photonEnergy || effects.blur;
    return effects;
}

}  // namespace conesim
