// The interface angle maps "Z_iLR-PRE" and "Z_iUD-PRE": how steeply the material boundary
// entered at each voxel is tilted against the plane across the beam.
#pragma once

#include <ostream>

#include "input/SampleVolume.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/PendingMapFiles.hpp"
#include "precalc/StopRequest.hpp"
#include "precalc/VoxelSizes.hpp"
#include "util/Console.hpp"

namespace conesim {

// Two passes over the sample file (LR, then UD) through a rolling window of
// 2 * edgeSearchDepth + 1 slices, into "Z_iLR-PRE" and "Z_iUD-PRE" (written where files
// places them). Sets mapNames[1] and mapNames[2].
// Returns kPrecalcOk, kMapWriteFailed when a map could not be written in full, or
// kPrecalcStopped when stop was raised (the unfinished maps are then removed). labels: the
// voxels are material labels, so that a value of exactly 1 is a material like any other
// (for attenuation values it marks voxels that get no angle).
int buildInterfaceAngleMaps(const SampleVolume& sample, MapNames& mapNames, Console& console,
                            std::ostream& log, VoxelSizes voxelSizes, int edgeSearchAcross,
                            int edgeSearchDepth, int runMode, StopFlag stop = nullptr,
                            const PendingMapFiles* files = nullptr, bool labels = false);

}  // namespace conesim
