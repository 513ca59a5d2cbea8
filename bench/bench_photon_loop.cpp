// The photon loop alone, in photons per second, on two set-ups:
// A: the default detector, both masks off, a sample plane of zeros that the photons miss;
// B: both masks active (half-opaque line gratings) and a sample whose planes cover most of
//    the cone with non-zero attenuation and deflection;
// and set-up B again with each laboratory effect alone: a focal spot of 1 length unit (a
// quarter of a grating period), per-photon energies from a 71-entry spectrum of 14 to 30 keV
// (planes at 21 keV), and a detector blur of 0.5 pixels; and set-up B with gold masks, a CsI
// detector, a sample of two materials and per-photon energies (the materials' cost). The serial
// loop (one generator) runs single-threaded; the parallel run (batches of 2^20 photons on worker
// threads) runs set-ups A and B on 1 and 2 threads.
#include <benchmark/benchmark.h>

#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "engine/ParallelPhotonRun.hpp"
#include "engine/PhotonLoop.hpp"
#include "engine/RunContext.hpp"
#include "input/PhotonSource.hpp"
#include "params/SimulationParameters.hpp"

namespace {

using namespace conesim;

constexpr std::int32_t kPhotons = 4000000;

// Swallows the loop's messages; none are expected with the intervals used here.
class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// A size x size grating of columns: two opaque, two clear.
std::vector<std::uint8_t> grating(std::uint32_t size) {
    std::vector<std::uint8_t> mask(std::size_t{size} * size);
    for (std::size_t i = 0; i < mask.size(); ++i) {
        mask[i] = (i % size) % 4 < 2 ? 1 : 0;
    }
    return mask;
}

enum class Effect { kNone, kFocalSpot, kPhotonEnergies, kBlur, kLayerMaterials };

struct LoopSetup {
    SimulationParameters parameters;
    SampleGeometry geometry;
    SamplePlanes planes;
    std::vector<std::uint8_t> preMask;
    std::vector<std::uint8_t> postMask;
    std::string runName = "1";

    explicit LoopSetup(bool masksAndSample, Effect effect) {
        SimulationParameters& p = parameters;
        p.sampleEnergy = 21.0F;
        switch (effect) {
            case Effect::kNone:
                break;
            case Effect::kFocalSpot:
                p.extensions.focalSpotFwhmX = 1.0;
                p.extensions.focalSpotFwhmY = 1.0;
                break;
            case Effect::kPhotonEnergies:
                p.extensions.photonEnergies = PhotonEnergyMode::kSpectrum;
                break;
            case Effect::kBlur:
                p.extensions.detectorBlurSigma = 0.5;
                break;
            case Effect::kLayerMaterials:
                // Gold masks of 20 um, a CsI detector of 150 um (a length unit of 0.1 mm),
                // each photon of its own energy.
                p.extensions.lengthUnitMm = 0.1;
                p.extensions.preMaskMaterial = "Au:19.3";
                p.extensions.preMaskThickness = 0.2;
                p.extensions.postMaskMaterial = "Au:19.3";
                p.extensions.postMaskThickness = 0.2;
                p.extensions.detectorMaterial = "CsI:4.51";
                p.extensions.detectorThickness = 1.5;
                p.extensions.photonEnergies = PhotonEnergyMode::kSpectrum;
                break;
        }
        p.runMode = 5;
        p.photonsToRun = kPhotons;
        p.reportEvery = 2000000000;
        p.splashEvery = 2000000000;
        if (!masksAndSample) {
            // A single voxel of 0.001 on the axis: the photons miss it.
            p.preMaskActive = false;
            p.postMaskActive = false;
            geometry = makeSampleGeometry(1, 1, 1, 0.001F, 0.001F, 0.001F, 50.0F);
            planes.attenuation.assign(1, 0.0);
            planes.lr.assign(1, 0.0F);
            planes.ud.assign(1, 0.0F);
        } else {
            // 200 x 200 columns of 0.5 around the axis from 60 on: most of the cone there.
            geometry = makeSampleGeometry(200, 200, 20, 0.5F, 0.5F, 0.5F, 60.0F);
            planes.attenuation.assign(200 * 200, 0.02);
            planes.lr.resize(200 * 200);
            planes.ud.resize(200 * 200);
            for (std::size_t i = 0; i < planes.lr.size(); ++i) {
                planes.lr[i] = (i % 200) < 100 ? 0.0004F : -0.0004F;
                planes.ud[i] = (i / 200) < 100 ? -0.0002F : 0.0002F;
            }
            p.postMaskPosition = 100;
            if (effect == Effect::kLayerMaterials) {
                // The sample as materials: 1 mm of water in every column and 50 um of
                // aluminium in the left half, so that each photon's attenuation is
                // worked out from both materials' mu at its energy.
                planes.materials = {XrayMaterial{"H2O", 1.0}, XrayMaterial{"Al", 2.70}};
                planes.thickness.assign(2 * 200 * 200, 0.1);
                for (std::size_t i = 0; i < 200 * 200; ++i) {
                    planes.thickness[200 * 200 + i] = (i % 200) < 100 ? 0.005 : 0.0;
                }
            }
        }
        preMask = grating(p.preMaskSize);
        postMask = grating(p.postMaskSize);
    }
};

void runLoop(benchmark::State& state, bool masksAndSample, Effect effect = Effect::kNone) {
    LoopSetup setup(masksAndSample, effect);
    const SimulationParameters& p = setup.parameters;
    NullBuffer sink;
    std::ostream out(&sink);
    std::ostream log(&sink);
    std::istringstream in;
    Console console{out, in};
    RandomGenerator random(12345);
    RunContext context{console, log, random};
    std::vector<std::uint32_t> image(std::size_t{p.detectorWidth} * p.detectorHeight);
    PhotonSource source = loadSpectrum("", detectorCone(p), console);
    for (int i = 0; i <= 70; ++i) {
        source.energies.push_back(14.0F + static_cast<float>(i) * (16.0F / 70.0F));
    }
    const PhotonLoopInputs inputs{
        p, setup.geometry, setup.planes, setup.preMask, setup.postMask, setup.runName};
    std::uint64_t hits = 0;
    for (auto _ : state) {
        hits += runPhotonLoop(inputs, source, image, context).hitCount;
    }
    benchmark::DoNotOptimize(image.data());
    state.counters["photons"] = benchmark::Counter(static_cast<double>(kPhotons),
                                                   benchmark::Counter::kIsIterationInvariantRate);
    state.counters["scoredFraction"] =
        static_cast<double>(hits) / (static_cast<double>(kPhotons) * state.iterations());
}

// The parallel run of kParallelPhotons photons: eight batches, spread evenly over 1 or 2
// threads (state.range(0)).
constexpr std::int32_t kParallelPhotons = 8 << 20;

void runParallel(benchmark::State& state, bool masksAndSample) {
    LoopSetup setup(masksAndSample, Effect::kNone);
    SimulationParameters& p = setup.parameters;
    p.photonsToRun = kParallelPhotons;
    NullBuffer sink;
    std::ostream out(&sink);
    std::istringstream in;
    Console console{out, in};
    RandomGenerator random(12345);
    RunContext context{console, out, random};
    const PhotonSource source = loadSpectrum("", detectorCone(p), console);
    const PhotonLoopInputs inputs{
        p, setup.geometry, setup.planes, setup.preMask, setup.postMask, setup.runName};
    const PhotonSetup photonSetup(inputs, source.coneX, source.coneY, source.showAll);
    ParallelSettings settings;
    settings.threads = static_cast<int>(state.range(0));
    settings.seed = 12345;
    std::vector<std::uint32_t> image(std::size_t{p.detectorWidth} * p.detectorHeight);
    std::uint64_t hits = 0;
    for (auto _ : state) {
        std::fill(image.begin(), image.end(), 0U);
        hits += runParallelPhotons(photonSetup, settings, image, context, setup.runName).hitCount;
    }
    benchmark::DoNotOptimize(image.data());
    state.counters["photons"] = benchmark::Counter(static_cast<double>(kParallelPhotons),
                                                   benchmark::Counter::kIsIterationInvariantRate);
    state.counters["scoredFraction"] =
        static_cast<double>(hits) / (static_cast<double>(kParallelPhotons) * state.iterations());
}

void BM_ParallelA_MasksOffSampleMissed(benchmark::State& state) {
    runParallel(state, false);
}
void BM_ParallelB_MasksAndSample(benchmark::State& state) {
    runParallel(state, true);
}

void BM_PhotonLoopA_MasksOffSampleMissed(benchmark::State& state) {
    runLoop(state, false);
}
void BM_PhotonLoopB_MasksAndSample(benchmark::State& state) {
    runLoop(state, true);
}
void BM_PhotonLoopB_FocalSpot(benchmark::State& state) {
    runLoop(state, true, Effect::kFocalSpot);
}
void BM_PhotonLoopB_PhotonEnergies(benchmark::State& state) {
    runLoop(state, true, Effect::kPhotonEnergies);
}
void BM_PhotonLoopB_DetectorBlur(benchmark::State& state) {
    runLoop(state, true, Effect::kBlur);
}

void BM_PhotonLoopB_LayerMaterials(benchmark::State& state) {
    runLoop(state, true, Effect::kLayerMaterials);
}
BENCHMARK(BM_PhotonLoopA_MasksOffSampleMissed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PhotonLoopB_MasksAndSample)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PhotonLoopB_FocalSpot)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PhotonLoopB_PhotonEnergies)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PhotonLoopB_DetectorBlur)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PhotonLoopB_LayerMaterials)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParallelA_MasksOffSampleMissed)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ParallelB_MasksAndSample)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
