#include "engine/EnergyFactors.hpp"

#include "precalc/RefractiveIndexMap.hpp"

namespace conesim {

EnergyFactors energyFactors(double energy, double planeEnergy) {
    if (energy == planeEnergy) {
        return kUnitEnergyFactors;
    }
    const double ratio = planeEnergy / energy;
    return {referenceAttenuation(energy) / referenceAttenuation(planeEnergy), ratio * ratio};
}

}  // namespace conesim
