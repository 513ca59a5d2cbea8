// The phase model of refraction: in the projection approximation a ray through the sample
// is turned by the lateral gradient of the projected refractive-index decrement,
//   alphaX = -d/dx sum over z of (1 - n) * sampleScaleZ, alphaY likewise along y,
// so the deflection planes come from the refractive index map alone, without interface
// angles.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "precalc/MapNames.hpp"
#include "precalc/PendingMapFiles.hpp"
#include "precalc/StopRequest.hpp"
#include "precalc/VoxelSizes.hpp"
#include "util/Console.hpp"

namespace conesim {

// The lateral derivative of a dimX * dimY plane along x (alongY false) or y, per length
// unit (step is the voxel size along that axis), negated: the deflection of a plane of
// projected decrements. Each value is the slope of the least-squares line through the
// column and two neighbours on each side, (-2, -1, 0, 1, 2) / 10: on a voxelised surface
// it spans several one-voxel steps of the projected thickness, where a difference of two
// neighbours jumps from step to step, and it is exact on a plane face. One column from the
// first or last column (row) the line takes one neighbour on each side, (-1, 0, 1) / 2; the
// first and last columns (rows) themselves get 0, as if the volume went on unchanged
// beyond its side faces.
std::vector<double> deflectionFromProjection(const std::vector<double>& projected, int dimX,
                                             int dimY, bool alongY, double step);

// Sums (1 - n) * sampleScaleZ along every beam column of the refractive index map (n - 1
// stored per voxel), reading it slice by slice from where files places indexMapName.
// Returns kPrecalcOk with projected filled, kCollapseFailed when the map cannot be opened
// or holds fewer slices than dimZ (reported as the collapse reports it), or
// kPrecalcStopped.
int projectDecrement(Console& console, std::ostream& log, const std::string& indexMapName, int dimX,
                     int dimY, int dimZ, float scaleZ, std::vector<double>& projected,
                     StopFlag stop = nullptr, const PendingMapFiles* files = nullptr);

// The two deflection planes of the phase model from the refractive index map: written as
// the planes "Z_iLR-PRE.pca" and "Z_iUD-PRE.pca" with their previews, as the interface
// model's collapse writes them, so that run mode 5 reads either alike. Returns the
// statuses of projectDecrement, or kMapWriteFailed when a plane or preview could not be
// written in full.
int collapsePhaseMaps(Console& console, std::ostream& log, const std::string& indexMapName,
                      int dimX, int dimY, int dimZ, VoxelSizes voxelSizes, std::vector<float>& lr,
                      std::vector<float>& ud, StopFlag stop = nullptr,
                      const PendingMapFiles* files = nullptr);

}  // namespace conesim
