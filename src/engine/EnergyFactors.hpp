// How the sample planes act on a photon whose energy differs from the one they were made
// at: attenuation scales with the reference attenuation, deflection with 1/E^2.
#pragma once

namespace conesim {

// For a photon of energy E through planes made at E0.
struct EnergyFactors {
    double attenuation;  //!< muRef(E) / muRef(E0): the attenuation N becomes N * this
    double deflection;   //!< (E0 / E)^2: both deflections become deflection * this
    // A sample given as materials: mu(E) of each material (1/cm, label order), whose sum
    // with the thickness planes replaces N * attenuation; nullptr otherwise.
    const double* materialMu = nullptr;
    double scatter = 1.0;  //!< (E0 / E)^4: the scattering plane's variance becomes scatter * this
};
inline constexpr EnergyFactors kUnitEnergyFactors{1.0, 1.0};

// The factors of a photon at the planes' own energy, known when the code is compiled: a
// chain without per-photon energies multiplies by nothing.
struct PlaneEnergy {
    static constexpr double attenuation = 1.0;
    static constexpr double deflection = 1.0;
    static constexpr double scatter = 1.0;
};

// The factors of energy E (keV) for planes made at planeEnergy E0 (keV); muRef is the
// reference attenuation of the refractive-index model. Exactly 1 and 1 when E == E0.
EnergyFactors energyFactors(double energy, double planeEnergy);

}  // namespace conesim
