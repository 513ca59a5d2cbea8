// What a run needs from its surroundings: the console, the run log, the one random
// generator, the interrupt check, the stop-signal flag, the live progress line and how the
// photons are to be spread over threads. Passed by reference, never held globally, so
// several runs can go side by side.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>

#include "engine/BatchCluster.hpp"
#include "output/ProgressLine.hpp"
#include "util/Console.hpp"
#include "util/RandomGenerator.hpp"

namespace conesim {

// How the parallel run spreads its photons; see ParallelPhotonRun.hpp.
struct ParallelSettings {
    int threads = 1;                   //!< worker threads (at least 1)
    std::uint64_t seed = 0;            //!< the run's seed; batch k's stream derives from it
    std::int64_t batchSize = 1 << 20;  //!< photons (counted ones under countHitsOnly) per batch
    enum class Images { kAutomatic, kPerWorker, kShared } images = Images::kAutomatic;
};

// What the photon loop did, for the run's record.
struct RunCounts {
    std::int64_t photonsRun = 0;   //!< photons numbered (counted ones under countHitsOnly)
    std::uint64_t hits = 0;        //!< photons scored on the detector
    std::uint64_t lostCounts = 0;  //!< scores lost to pixels already at the largest count
    const char* stop = "none";     //!< "none", "signal" or "interrupt file"
};

struct RunContext {
    Console& console;
    std::ostream& log;
    RandomGenerator& random;
    // True when the user confirmed an interruption; polled every 10000 scored photons.
    std::function<bool()> checkInterrupt = [] { return false; };
    // Set (non-zero) by a signal handler to end the photon loop after the photon in flight.
    const volatile std::sig_atomic_t* stopSignal = nullptr;
    // The live progress line on a terminal, or nothing.
    ProgressLine* progress = nullptr;
    // Set: the photons run in batches on worker threads (the parallel run).
    std::optional<ParallelSettings> parallel{};
    // The processes the parallel run spreads its batches over; nothing: this process alone.
    BatchCluster* cluster = nullptr;
    // Set by the run when an output file (a progress image) could not be written in full.
    bool outputIncomplete = false;
    // Filled by the run once its photons have run.
    RunCounts counts{};

    bool stopRequested() const { return stopSignal != nullptr && *stopSignal != 0; }
};

}  // namespace conesim
