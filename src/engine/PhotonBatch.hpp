// Batches: the unit of work of the parallel run. Batch k of a run holds a fixed number of
// photons (counted photons under countHitsOnly) and draws from its own stream of the
// generator, which depends only on the run's seed and k. What a batch counts therefore
// depends on neither the thread that runs it nor the order in which batches finish.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/MonteCarloRun.hpp"
#include "engine/PhotonTrace.hpp"
#include "util/RandomGenerator.hpp"

namespace conesim {

// Most draws a photon may make, the bound the batch streams are spaced for. A photon makes
// at most trace::kMostDrawsPerPhoton (28 with every effect on: direction 4, focal spot 4,
// energy 2, masks 4, sample 3 and small-angle scattering 4, blur 4, dithering 1, efficiency
// 2); the bound leaves room.
inline constexpr std::uint64_t kMaxDrawsPerPhoton = 32;
static_assert(trace::kMostDrawsPerPhoton <= kMaxDrawsPerPhoton,
              "a photon may draw more than the batch streams leave room for");

// Draws between the starts of two batch streams. Batch k starts (k + 1) strides after the
// seeded state (the first stride keeps the run-number draws apart), and every batch of a
// run fits in the generator's period of 2^64 draws: a run has at most 2000000000 photons,
// so ceil(2000000000 / batchSize) + 1 strides must fit, and each stride must hold the most
// draws a batch can make: batchSize counted photons, each after at most
// kMaxDrawsWithoutDetectorHit uncounted ones, times kMaxDrawsPerPhoton.
std::uint64_t batchStreamStride(std::int64_t batchSize);

// The generator of batch k.
inline RandomGenerator batchGenerator(std::uint64_t seed, std::int64_t batch,
                                      std::uint64_t stride) {
    RandomGenerator random(seed);
    random.advance((static_cast<std::uint64_t>(batch) + 1) * stride);
    return random;
}

struct BatchResult {
    std::int64_t photons = 0;  //!< photons numbered (counted ones under countHitsOnly)
    std::uint64_t hits = 0;    //!< photons scored
    bool stalled = false;      //!< countHitsOnly and no photon reached the sensitive area
    bool stopped = false;      //!< stop was raised before the batch's last photon
};

namespace batch {

// The batch for a set-up with (kEffects) or without laboratory effects.
template <bool kEffects, typename Counts>
BatchResult runBatch(const PhotonSetup& s, RandomGenerator& random, std::int64_t photons,
                     Counts& counts, const std::atomic<bool>& stop) {
    const AxisTable& tableX = s.tableX();
    const AxisTable& tableY = s.tableY();
    const bool countHitsOnly = s.parameters.countHitsOnly;
    BatchResult result;
    std::int64_t drawsWithoutHit = 0;
    while (result.photons < photons) {
        if (stop.load(std::memory_order_relaxed)) {
            result.stopped = true;
            break;
        }
        const PhotonOutcome outcome = trace::tracePhotonWith<kEffects>(s, tableX, tableY, random);
        if (outcome.scored) {
            ++result.hits;
            counts.add(outcome.pixel);
        }
        if (!countHitsOnly || outcome.counted) {
            ++result.photons;
            drawsWithoutHit = 0;
        } else if (++drawsWithoutHit >= kMaxDrawsWithoutDetectorHit) {
            result.stalled = true;
            break;
        }
    }
    counts.flush();
    return result;
}

}  // namespace batch

// Runs up to `photons` photons of one batch, counting scored ones into counts. Looks at
// stop after every photon.
template <typename Counts>
BatchResult runPhotonBatch(const PhotonSetup& s, RandomGenerator& random, std::int64_t photons,
                           Counts& counts, const std::atomic<bool>& stop) {
    if (s.effects.any) {
        return batch::runBatch<true>(s, random, photons, counts, stop);
    }
    return batch::runBatch<false>(s, random, photons, counts, stop);
}

}  // namespace conesim
