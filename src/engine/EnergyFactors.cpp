#include "engine/EnergyFactors.hpp"

#include "precalc/RefractiveIndexMap.hpp"

namespace conesim {

EnergyFactors energyFactors(double energy, double planeEnergy) {
    if (energy == planeEnergy) {
        return kUnitEnergyFactors;
    }
    const double ratio = planeEnergy / energy;
    const double square = ratio * ratio;
    return {referenceAttenuation(energy) / referenceAttenuation(planeEnergy), square, nullptr,
            square * square};
}

}  // namespace conesim
