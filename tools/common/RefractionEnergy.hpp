// The photon energy at which a run's planes hold their refractive indices, attenuation
// coefficients and scattering: sampleEnergy, or the mean of the spectrum when it is 0.
#pragma once

#include "params/SimulationParameters.hpp"

namespace conesim::tools {

// sampleEnergy (keV), or, when it is 0, the mean energy of the run's spectrum as the run
// takes it.
float refractionEnergy(const SimulationParameters& p);

}  // namespace conesim::tools
