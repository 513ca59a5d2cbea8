// What the photon loops write while they run: progress lines, progress images and the
// message of a run that stopped early. Shared by the serial and the parallel loop.
#pragma once

#include <cstdint>
#include <string>

#include "engine/RunContext.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {

// Fires when a non-decreasing count reaches a multiple of its interval, without a division
// per photon.
class MultipleTracker {
  public:
    explicit MultipleTracker(std::int64_t interval) : interval_(interval > 0 ? interval : 0) {}
    bool isMultiple(std::int64_t n) {
        if (interval_ == 0 || n < next_) {
            return false;
        }
        const bool hit = n % interval_ == 0;
        next_ = (n / interval_ + 1) * interval_;
        return hit;
    }

  private:
    std::int64_t interval_;
    std::int64_t next_ = 0;
};

// "Ran N photons." on the console and in the run log.
void reportPhotonsRun(RunContext& context, std::int64_t photons);

// OUTPUT_FOLDER/PROGRESS_PREFIX.RUN.N.pgm holding the image as it is; a file that could
// not be written sets context.outputIncomplete.
void writeProgressImage(RunContext& context, const SimulationParameters& parameters,
                        const std::string& runName, std::int64_t photons,
                        const std::uint32_t* image);

}  // namespace conesim
