#include "precalc/RefractiveIndexModel.hpp"

#include <cmath>

#include "precalc/RefractiveIndexMap.hpp"

namespace conesim {

double referenceAttenuation(double energyKeV) {
    const double d = std::log10(energyKeV / 1000.0);
    // The powers of d as plain products, evaluated left to right; 10^p is the one pow.
    const double p = 0.070018 * d * d * d * d * d * d + 1.134 * d * d * d * d * d +
                     5.12 * d * d * d * d + 9.3428 * d * d * d + 7.7932 * d * d + 2.5455 * d -
                     0.73287;
    return std::pow(10.0, p);
}

double refractiveIndex(double value, double energyKeV) {
    if (value == 0.0) {
        return 1.0;
    }
    const double mu = referenceAttenuation(energyKeV);
    const double lambda =
        (kPlanckTimesLightSpeed / (energyKeV * kJoulesPerKeV)) * kCentimetresPerMetre;
    const double rho = (value - mu) / mu + 1.0;
    return 1.0 - lambda * (lambda * (rho * 3.34e23 * 2.8179402894e-13)) / 6.2831853;
}

RefractiveIndexModel::RefractiveIndexModel(double energyKeV)
    : energyKeV_(energyKeV),
      attenuation_(referenceAttenuation(energyKeV)),
      wavelength_((kPlanckTimesLightSpeed / (energyKeV * kJoulesPerKeV)) * kCentimetresPerMetre) {}

}  // namespace conesim
