// The check of a sample given as labels: every voxel holds 0 (vacuum) or a label of its
// materials file. Made before any map is written, so that a wrong volume costs nothing.
#pragma once

#include <string>

#include "input/SampleMaterials.hpp"
#include "input/SampleVolume.hpp"

namespace conesim {

// Whether value is 0 or one of the labels.
bool isSampleLabel(const SampleMaterials& materials, float value);

// Reads the verified sample file slice by slice. False with error naming the first value
// that is neither 0 nor a label, how many voxels hold it and the first of them (x, y, z),
// or the file when it cannot be read.
bool checkSampleLabels(const SampleVolume& sample, const SampleMaterials& materials,
                       std::string& error);

}  // namespace conesim
