// The refractive index map "Z_ref-PRE": n - 1 of every voxel at one photon energy.
#pragma once

#include <ostream>

#include "input/SampleVolume.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/PendingMapFiles.hpp"
#include "precalc/StopRequest.hpp"
#include "precalc/VoxelMaterials.hpp"
#include "util/Console.hpp"

namespace conesim {

// Mass attenuation coefficient of water (cm^2/g) at energyKeV, from a polynomial fit.
double referenceAttenuation(double energyKeV);
// Refractive index n of a scaled voxel value a at energyKeV; exactly 1 for a == 0.
double refractiveIndex(double value, double energyKeV);

// Streams the sample file slice by slice into "Z_ref-PRE" (written where files places it) and
// sets mapNames[0]. Returns kPrecalcOk, kMapWriteFailed when the map could not be written in
// full, or kPrecalcStopped when stop was raised (the unfinished map is then removed). With
// materials the voxels are labels: each stores its material's -delta(E0) (0 stays 0), and
// sampleValueScale plays no part.
int buildRefractiveIndexMap(const SampleVolume& sample, MapNames& mapNames, Console& console,
                            std::ostream& log, float sampleValueScale, int runMode,
                            double sampleEnergy, StopFlag stop = nullptr,
                            const PendingMapFiles* files = nullptr,
                            const VoxelMaterials* materials = nullptr);

}  // namespace conesim
