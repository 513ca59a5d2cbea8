// Collapse of the volume maps along the beam into the planes the photon loop uses.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "input/SampleVolume.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/PendingMapFiles.hpp"
#include "precalc/StopRequest.hpp"
#include "precalc/VoxelMaterials.hpp"
#include "util/Console.hpp"

namespace conesim {

// Sums Snell's-law deflections along every beam column into a dimX * dimY plane, writes it
// to angleMapName + ".pca" (doubles) and a preview angleMapName + ".pgm". The maps are read,
// and the plane and preview written, where files places them; messages use the names.
// Returns kPrecalcOk with plane filled, kCollapseFailed when the maps cannot be read,
// kMapWriteFailed when the plane file or preview could not be written in full, or
// kPrecalcStopped when stop was raised before the plane was written.
int collapseInterfaceMap(Console& console, std::ostream& log, const std::string& angleMapName,
                         const std::string& indexMapName, int dimX, int dimY, int dimZ,
                         std::vector<float>& plane, StopFlag stop = nullptr,
                         const PendingMapFiles* files = nullptr);

// Sums the raw sample values along every column and writes indexMapName + ".pca" (where
// files places it). Same statuses as collapseInterfaceMap. With materials the voxels are
// labels: the plane holds the physical column attenuation, the sum of mu(E0) times the voxel
// depth, and thickness receives one plane per material (label order, dimX * dimY each) of
// the column's path length through it in cm, written to kThicknessPlaneName.
int collapseAttenuation(Console& console, std::ostream& log, const SampleVolume& sample,
                        const std::string& indexMapName, int runMode, std::vector<double>& plane,
                        StopFlag stop = nullptr, const PendingMapFiles* files = nullptr,
                        const VoxelMaterials* materials = nullptr,
                        std::vector<double>* thickness = nullptr);

}  // namespace conesim
