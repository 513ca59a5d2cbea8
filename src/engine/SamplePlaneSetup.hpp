// Preparation of the three sample planes by run mode: computed from the sample (mode 3),
// collapsed from stored volume maps (mode 4) or read from stored planes (mode 5). Modes 3
// and 4 make their maps and planes under temporary names and publish each set only when
// the whole precalculation has succeeded.
#pragma once

#include "engine/RunContext.hpp"
#include "engine/SampleTransport.hpp"
#include "input/SampleVolume.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {

// Returns 0 with the planes filled, or the run status of the failure.
int prepareSamplePlanes(const SampleVolume& sample, const SimulationParameters& parameters,
                        RunContext& context, SamplePlanes& planes);

// Mode 5: reads "Z_ref-PRE.pca", "Z_iLR-PRE.pca" and "Z_iUD-PRE.pca" from the working
// directory. A file of the wrong size is warned about; missing values read as 0.
int readCollapsedPlanes(const SampleVolume& sample, RunContext& context, SamplePlanes& planes);

}  // namespace conesim
