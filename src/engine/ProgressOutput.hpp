// What the photon loops write while they run: progress lines, progress images and the
// message of a run that stopped early. Shared by the serial and the parallel loop.
#pragma once

#include <cstdint>
#include <string>

#include "engine/RunContext.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {

// Follows a non-decreasing count (the numbers of the scored photons) past the multiples of
// an interval, without a division per photon: a photon whose number has reached a multiple
// not yet passed fires once, however many multiples lie between it and the photon before,
// so a multiple whose own photon is not scored is not lost.
class MultipleTracker {
  public:
    explicit MultipleTracker(std::int64_t interval) : interval_(interval > 0 ? interval : 0) {}
    // The largest multiple of the interval at most n when n reached one not yet passed
    // (0 for n = 0, the first time), else -1.
    std::int64_t reached(std::int64_t n) {
        if (interval_ == 0 || n < next_) {
            return -1;
        }
        const std::int64_t multiple = n / interval_ * interval_;
        next_ = multiple + interval_;
        return multiple;
    }

  private:
    std::int64_t interval_;
    std::int64_t next_ = 0;
};

// "Ran N photons." on the console and in the run log, after clearing the live progress
// line, so that the two never share a line on a terminal.
void reportPhotonsRun(RunContext& context, std::int64_t photons);

// OUTPUT_FOLDER/PROGRESS_PREFIX.RUN.N.pgm holding the image as it is; a file that could
// not be written sets context.outputIncomplete.
void writeProgressImage(RunContext& context, const SimulationParameters& parameters,
                        const std::string& runName, std::int64_t photons,
                        const std::uint32_t* image);

}  // namespace conesim
