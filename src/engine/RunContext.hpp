// What a run needs from its surroundings: the console, the run log, the one random
// generator, the interrupt check and the stop-signal flag. Passed by reference, never
// held globally, so several runs could one day go side by side.
#pragma once

#include <csignal>
#include <functional>
#include <ostream>

#include "util/RandomGenerator.hpp"
#include "util/Console.hpp"

namespace conesim {

struct RunContext {
    Console& console;
    std::ostream& log;
    RandomGenerator& random;
    // True when the user confirmed an interruption; polled every 10000 scored photons.
    std::function<bool()> checkInterrupt = [] { return false; };
    // Set (non-zero) by a signal handler to end the photon loop after the photon in flight.
    const volatile std::sig_atomic_t* stopSignal = nullptr;
    // Set by the run when an output file (a progress image) could not be written in full.
    bool outputIncomplete = false;
};

}  // namespace conesim
