// Preparation of the three sample planes by run mode: computed from the sample (mode 3),
// collapsed from stored volume maps (mode 4) or read from stored planes (mode 5). Modes 3
// and 4 make their maps and planes under temporary names and publish each set only when
// the whole precalculation has succeeded.
#pragma once

#include <string>

#include "engine/RunContext.hpp"
#include "engine/SampleTransport.hpp"
#include "input/SampleVolume.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {

// Every map, plane and record file lies in the plane folder of the extension settings.
// Modes 3 and 4 hold the folder's writer lock while they work; modes 4 and 5 refuse maps
// or planes whose record names other settings than the run's. Returns 0 with the planes
// filled, or the run status of the failure.
int prepareSamplePlanes(const SampleVolume& sample, const SimulationParameters& parameters,
                        RunContext& context, SamplePlanes& planes);

// Mode 5: reads "Z_ref-PRE.pca", "Z_iLR-PRE.pca" and "Z_iUD-PRE.pca" from planeFolder
// ("." the working directory). A file of the wrong size is warned about; missing values
// read as 0.
int readCollapsedPlanes(const SampleVolume& sample, RunContext& context, SamplePlanes& planes,
                        const std::string& planeFolder = ".");

}  // namespace conesim
