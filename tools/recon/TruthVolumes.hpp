// The true volumes of a run on the sample's grid, in the reconstruction's units: mu
// (1/cm with lengthUnitMm, else per length unit), delta (the refractive-index decrement at
// E0) and EPS (the linear diffusion coefficient, rad^2/mm; 0 without lengthUnitMm, where the
// run adds no scattering). From materials: each label's mu and delta from xraylib at E0 and
// its scatter=. From a volume of values: mu = value / sampleScaleZ (a voxel's value is its
// attenuation), delta = 1 - n of the program's refractive index model, EPS from
// sampleScatterFile. Optionally turned about y like the sample (nearest neighbour).
#pragma once

#include <string>

#include "recon/VolumeFiles.hpp"

namespace conesim::tools {

struct TruthVolumes {
    FloatVolume mu;
    FloatVolume delta;
    FloatVolume scatter;
    std::string source;  //!< "materials FILE at E keV" or "attenuation volume FILE"
};

bool makeTruthVolumes(const std::string& parametersPath, double rotationDegrees,
                      TruthVolumes& truth, std::string& error);

// The label volume of a run whose sample is given as materials, turned like the truth;
// false (error set) for a run without materials or an unreadable sample.
bool readLabelVolume(const std::string& parametersPath, double rotationDegrees, FloatVolume& labels,
                     std::string& error);

// Turns every x-z plane of volume by degrees about voxel (dimX div 2, dimZ div 2): the value
// at offset p comes from the nearest voxel to R(-t) p (offsets in length units); what comes
// from outside the grid is 0.
void rotateVolume(FloatVolume& volume, double degrees, double scaleX, double scaleZ);

}  // namespace conesim::tools
