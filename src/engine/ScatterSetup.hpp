// Small-angle scattering in the preparation of the sample planes: whether a run scatters,
// the check of its scattering volume, the scattering plane of modes 3 and 4 and what the
// planes' record says of it.
#pragma once

#include <string>

#include "engine/RunContext.hpp"
#include "engine/SampleTransport.hpp"
#include "input/SampleMaterials.hpp"
#include "input/SampleVolume.hpp"
#include "params/SimulationParameters.hpp"
#include "precalc/PendingMapFiles.hpp"
#include "precalc/VoxelMaterials.hpp"

namespace conesim {

// True when the run asks for scattering: a scattering volume (sampleScatterFile), or a
// material of the materials file with a scatter= above 0.
bool runScatters(const SimulationParameters& parameters, const SampleMaterials* materials);

// The scattering volume, when given, must be a float volume of the sample's size. kRunOk,
// or kRunSampleRefused after a message naming the file and the size expected.
int checkScatterVolume(const SimulationParameters& parameters, RunContext& context);

// The record's "scatter" entry of a run that scatters: the plane, where its values come from
// and the length unit they were multiplied by; empty for a run that does not scatter.
std::string scatterRecordValue(const SimulationParameters& parameters,
                               const SampleMaterials* materials);

// Modes 3 and 4: collapses the scattering into planes.scatter and writes the plane and its
// header where files places them. scatterFile: the scattering volume read (sampleScatterFile
// or its turned copy), empty for the materials' scattering; voxels: the materials of a
// sample given as labels (or nullptr). kPrecalcOk or the status of the collapse step that
// failed.
int makeScatterPlane(const SampleVolume& sample, const SimulationParameters& parameters,
                     const std::string& scatterFile, RunContext& context,
                     const PendingMapFiles& files, SamplePlanes& planes,
                     const VoxelMaterials* voxels, const SampleMaterials* materials);

}  // namespace conesim
