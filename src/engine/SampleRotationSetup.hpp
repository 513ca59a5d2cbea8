// The sample turned by sampleRotation ahead of the precalculation (modes 3 and 4): the
// sample file, and the scattering volume when one is given, are turned into temporary files
// in the plane folder, which the precalculation then reads in place of the given ones.
#pragma once

#include <string>

#include "engine/RunContext.hpp"
#include "input/SampleVolume.hpp"
#include "params/SimulationParameters.hpp"
#include "precalc/PendingMapFiles.hpp"

namespace conesim {

// True when the run turns its sample.
inline bool sampleTurns(const SimulationParameters& parameters) {
    return parameters.extensions.sampleRotation != 0.0;
}

// The volumes the precalculation reads: the sample and the scattering volume (empty when
// none is given), as given or turned.
struct PrecalcInputs {
    SampleVolume sample;
    std::string scatterFile;
};

// Turns the inputs into temporary files that files removes with itself, and sets turned to
// the inputs that name them; each input with voxels turned out of the grid is warned about.
// kPrecalcOk, or the failing step's status (kMapWriteFailed, kCollapseFailed,
// kPrecalcStopped).
int turnSampleInputs(const SampleVolume& sample, const SimulationParameters& parameters,
                     RunContext& context, PendingMapFiles& files, PrecalcInputs& turned);

}  // namespace conesim
