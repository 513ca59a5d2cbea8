#include "engine/PhotonEffects.hpp"

namespace conesim {
namespace {

// The table of mu(E) per spectrum entry and sample material, and each entry's pointer to
// its row (the table is not resized afterwards, so the pointers stay valid).
void tabulateMaterials(PhotonEffects& effects, std::span<const float> energies,
                       std::span<const XrayMaterial> materials) {
    effects.materialMu.reserve(energies.size() * materials.size());
    for (const float energy : energies) {
        for (const XrayMaterial& material : materials) {
            effects.materialMu.push_back(linearAttenuation(material, static_cast<double>(energy)));
        }
    }
    for (std::size_t i = 0; i < energies.size(); ++i) {
        effects.energyFactors[i].materialMu = effects.materialMu.data() + i * materials.size();
    }
}

}  // namespace

PhotonEffects makePhotonEffects(const ExtensionSettings& settings, std::span<const float> energies,
                                std::span<const double> weights, double planeEnergy,
                                const LayerMaterials& layers, float quantumEfficiency,
                                std::span<const XrayMaterial> sampleMaterials) {
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
            if (layers.any()) {
                effects.layers.push_back(layers.at(static_cast<double>(energy), quantumEfficiency));
            }
        }
        if (!sampleMaterials.empty()) {
            tabulateMaterials(effects, energies, sampleMaterials);
        }
        if (weights.size() == energies.size()) {
            double sum = 0.0;
            for (const double weight : weights) {
                sum += weight;
            }
            double running = 0.0;
            for (const double weight : weights) {
                running += weight;
                effects.cumulativeWeights.push_back(running / sum);
            }
        }
    }
    effects.blurSigma = settings.detectorBlurSigma;
    effects.blur = effects.blurSigma > 0.0;
    effects.any = effects.focalSpot || effects.photonEnergy || effects.blur;
    return effects;
}

}  // namespace conesim
