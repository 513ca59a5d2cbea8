#include "engine/PhotonLoop.hpp"

#include "engine/ImageCounts.hpp"
#include "engine/MonteCarloRun.hpp"
#include "engine/PhotonTrace.hpp"
#include "engine/ProgressOutput.hpp"

namespace conesim {
namespace {

// The loop for a set-up with (kEffects) or without laboratory effects, chosen once per run.
// Each is a function of its own, compiled as if it were the only loop.
template <bool kEffects>
[[gnu::noinline]] PhotonLoopResult runLoop(const PhotonSetup& s,
                                           std::vector<std::uint32_t>& detectorImage,
                                           RunContext& context, const std::string& runName) {
    const SimulationParameters& p = s.parameters;
    PhotonLoopResult result;
    if (p.photonsToRun <= 0) {
        return result;
    }
    RandomGenerator& random = context.random;
    const AxisTable& tableX = s.tableX();
    const AxisTable& tableY = s.tableY();
    std::uint32_t* const image = detectorImage.data();
    DeferredCounts counts(image);
    MultipleTracker reports(p.reportEvery);
    MultipleTracker splashes(p.splashEvery);
    MultipleTracker polls(10000);
    std::int64_t drawsWithoutHit = 0;
    std::uint32_t ticks = 0;

    std::int32_t photonNumber = 0;
    do {
        if (p.countHitsOnly) {
            --photonNumber;
        }
        const PhotonOutcome outcome = trace::tracePhotonWith<kEffects>(s, tableX, tableY, random);
        if (outcome.counted) {
            drawsWithoutHit = -1;
            if (p.countHitsOnly) {
                ++photonNumber;
            }
        }
        if (outcome.scored) {
            ++result.hitCount;
            counts.add(outcome.pixel);
            // Reports, images and polls come at the first scored photon at or past each
            // multiple, named after the largest multiple reached.
            const std::int32_t n = photonNumber;
            const std::int64_t reported = reports.reached(n);
            if (reported > 0) {
                reportPhotonsRun(context, reported);
            }
            const std::int64_t splashed = splashes.reached(n);
            if (splashed > 0) {
                counts.flush();
                writeProgressImage(context, p, runName, splashed, image);
            }
            if (polls.reached(n) >= 0 && context.checkInterrupt()) {
                result.stop = LoopStop::kInterruptFile;
                break;
            }
        }
        if (context.stopRequested()) {
            result.stop = LoopStop::kSignal;
            break;
        }
        if (p.countHitsOnly && ++drawsWithoutHit >= kMaxDrawsWithoutDetectorHit) {
            result.stalled = true;
            break;
        }
        if (context.progress != nullptr && (++ticks & 0xFFFFU) == 0) {
            context.progress->update(photonNumber);
        }
        ++photonNumber;
    } while (photonNumber < p.photonsToRun);
    counts.flush();
    result.lostCounts = counts.lostCounts();
    result.photonsRun = result.stop == LoopStop::kNone ? std::int64_t{p.photonsToRun}
                                                       : std::int64_t{photonNumber} + 1;
    return result;
}

}  // namespace

PhotonLoopResult runPhotonLoop(const PhotonSetup& s, std::vector<std::uint32_t>& detectorImage,
                               RunContext& context, const std::string& runName) {
    if (s.effects.any) {
        return runLoop<true>(s, detectorImage, context, runName);
    }
    return runLoop<false>(s, detectorImage, context, runName);
}

PhotonLoopResult runPhotonLoop(const PhotonLoopInputs& inputs, PhotonSource& source,
                               std::vector<std::uint32_t>& detectorImage, RunContext& context) {
    const PhotonSetup setup(inputs, source.coneX, source.coneY, source.showAll, source.energies,
                            source.weights);
    return runPhotonLoop(setup, detectorImage, context, inputs.runName);
}

}  // namespace conesim
