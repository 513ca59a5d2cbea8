// The laboratory effects that the extension settings switch on, prepared once per run: a
// focal spot from which each photon leaves at a Gaussian offset, an energy per photon drawn
// from the spectrum that scales its attenuation and deflection, and a Gaussian blur of the
// detector. A run without them has no effect on and traces photons exactly as before.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/ContinuousDraws.hpp"
#include "engine/EnergyFactors.hpp"
#include "engine/LayerMaterials.hpp"
#include "params/ExtensionSettings.hpp"

namespace conesim {

struct PhotonEffects {
    bool any = false;                          //!< at least one effect is on
    bool focalSpot = false;                    //!< photons leave from a Gaussian focal spot
    double spotSigmaX = 0.0;                   //!< its standard deviation along x (length units)
    double spotSigmaY = 0.0;                   //!< ... along y
    bool photonEnergy = false;                 //!< each photon draws an energy from the spectrum
    std::vector<EnergyFactors> energyFactors;  //!< one pair per spectrum entry, file order
    std::vector<LayerTransmission> layers;     //!< per entry, when a mask or the detector has
                                               //!< a material; empty otherwise
    std::vector<double> materialMu;            //!< per entry, mu(E) of each sample material
                                               //!< (1/cm); empty without sample materials
    std::vector<double> cumulativeWeights;     //!< per entry, the share of the weights up to
                                               //!< and with it; empty: every entry alike
    bool blur = false;       //!< the detector coordinate is blurred before rounding
    double blurSigma = 0.0;  //!< standard deviation of the blur (detector pixels)

    // The draws each effect adds to a photon, at its fixed places in the photon's sequence.
    static constexpr std::uint32_t kSpotDraws = kDrawsPerGaussianPair;
    static constexpr std::uint32_t kEnergyDraws = kDrawsPer30Bits;
    static constexpr std::uint32_t kBlurDraws = kDrawsPerGaussianPair;
};

// The effects of a run from its extension settings. energies: the spectrum's accepted
// entries, weights their weights (empty: alike); planeEnergy: the energy at which the
// sample planes were made (the run's sample energy); layers and quantumEfficiency: the
// masks' and detector's materials, whose effect is worked out once per entry.
// Per-photon energies need at least one entry; with none they stay off. sampleMaterials: the
// materials of a sample given as labels, whose mu(E) per entry is tabulated once here.
PhotonEffects makePhotonEffects(const ExtensionSettings& settings, std::span<const float> energies,
                                std::span<const double> weights, double planeEnergy,
                                const LayerMaterials& layers, float quantumEfficiency,
                                std::span<const XrayMaterial> sampleMaterials = {});

// The spectrum entry of a photon, from one 30-bit uniform: floor(u * count) for entries
// alike, otherwise the first entry whose cumulative share exceeds (u + 0.5) / 2^30.
inline std::size_t drawEnergyIndex(const PhotonEffects& effects, RandomGenerator& random) {
    if (effects.cumulativeWeights.empty()) {
        return drawIndex(random, effects.energyFactors.size());
    }
    const double level = unitMidpoint(draw30Bits(random));
    const auto& shares = effects.cumulativeWeights;
    const auto found = std::upper_bound(shares.begin(), shares.end(), level);
    return found == shares.end() ? shares.size() - 1
                                 : static_cast<std::size_t>(found - shares.begin());
}

}  // namespace conesim
