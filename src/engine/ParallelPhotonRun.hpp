// The parallel run: the photons in batches of a fixed size, spread over worker threads
// that share the read-only set-up and nothing writable in their loops. The calling thread
// coordinates: it reports progress, polls the interrupt file and the stop signal, and
// writes progress images from a snapshot taken while every worker waits between batches.
// The final image depends only on the seed, the settings and the batch size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/PhotonLoop.hpp"
#include "engine/PhotonSetup.hpp"
#include "engine/RunContext.hpp"

namespace conesim {

// Per-worker images while threads * pixels * 4 bytes stay within this; beyond it every
// worker counts into the one shared image by atomic increments.
inline constexpr std::int64_t kMaxPerWorkerImageBytes = std::int64_t{1} << 30;

// Which batches a process runs: batches first, first + step, first + 2 step, ... (one
// process: 0, 1, 2, ...; rank r of R processes: r, r + R, ...).
struct BatchShare {
    std::int64_t first = 0;
    std::int64_t step = 1;
};

// Runs the photons of the batches in share into detectorImage (all 0). The result's
// photonsRun counts the photons of this process.
PhotonLoopResult runParallelPhotons(const PhotonSetup& setup, const ParallelSettings& settings,
                                    std::vector<std::uint32_t>& detectorImage, RunContext& context,
                                    const std::string& runName, BatchShare share = {});

// The photons of batch k when photonsToRun photons run in batches of batchSize.
inline std::int64_t photonsInBatch(std::int64_t batch, std::int64_t batchSize,
                                   std::int64_t photonsToRun) {
    const std::int64_t first = batch * batchSize;
    return first >= photonsToRun ? 0 : std::min(batchSize, photonsToRun - first);
}

}  // namespace conesim
