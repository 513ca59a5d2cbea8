// MetaImage (.mhd) headers beside the volume maps and the planes, so that image tools open
// the headerless files with their size, element type and voxel spacing. A map's header is
// its name with ".mhd" ("Z_ref-PRE.mhd"), a plane's the plane's name with ".mhd"
// ("Z_ref-PRE.pca.mhd"), so the two never share a name.
#pragma once

#include <ostream>

#include "input/SampleVolume.hpp"
#include "precalc/PendingMapFiles.hpp"
#include "precalc/VoxelSizes.hpp"
#include "util/Console.hpp"

namespace conesim {

// The headers of the volume maps: 4-byte floats, dimX x dimY x dimZ, spacing x y z; all
// three, or with angleMaps false that of the refractive index map alone. Written where
// files places them. Returns kPrecalcOk, or kMapWriteFailed after "ERROR: Cannot write
// file <header>." on the console and in the log.
// A lengthUnitMm above 0 gives the spacing in millimetres (the voxel sizes times it), else
// in length units.
int writeVolumeMapHeaders(const SampleVolume& sample, VoxelSizes voxelSizes, Console& console,
                          std::ostream& log, const PendingMapFiles* files = nullptr,
                          bool angleMaps = true, double lengthUnitMm = 0.0);

// The headers of the three planes: 8-byte doubles, dimX x dimY, spacing x y. Same results.
int writePlaneHeaders(const SampleVolume& sample, VoxelSizes voxelSizes, Console& console,
                      std::ostream& log, const PendingMapFiles* files = nullptr,
                      double lengthUnitMm = 0.0);

// The header of the scattering plane (kScatterPlaneName): 8-byte doubles, dimX x dimY,
// spacing x y. Same results.
int writeScatterPlaneHeader(const SampleVolume& sample, VoxelSizes voxelSizes, Console& console,
                            std::ostream& log, const PendingMapFiles* files = nullptr,
                            double lengthUnitMm = 0.0);

}  // namespace conesim
