// The scattering plane: small-angle scattering summed along the beam. Each voxel carries a
// linear diffusion coefficient EPS (the variance of the scattering angle per unit path,
// rad^2/mm, at the sample energy); independent Gaussian deflections add their variances, so
// a column's variance is the sum of EPS times the voxel depth in mm.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "input/SampleVolume.hpp"
#include "precalc/PendingMapFiles.hpp"
#include "precalc/StopRequest.hpp"
#include "precalc/VoxelMaterials.hpp"
#include "util/Console.hpp"

namespace conesim {

// Where each voxel's EPS comes from: a float volume of the sample's size (volumePath), or,
// when that is empty, the label each voxel of the sample holds (materials: the labels;
// materialScatter: per label, in the same order, its EPS).
struct ScatterSource {
    std::string volumePath;
    const VoxelMaterials* materials = nullptr;
    std::vector<double> materialScatter;
};

// Reads the source slice by slice and sums EPS * voxelDepthMm along every column into plane
// (dimX * dimY, rad^2), then writes it to kScatterPlaneName where files places it. Returns
// kPrecalcOk, kCollapseFailed when the source cannot be read, kMapWriteFailed when the plane
// could not be written in full, or kPrecalcStopped when stop was raised.
int collapseScatter(Console& console, std::ostream& log, const SampleVolume& sample,
                    const ScatterSource& source, double voxelDepthMm, std::vector<double>& plane,
                    StopFlag stop = nullptr, const PendingMapFiles* files = nullptr);

}  // namespace conesim
