#include "engine/MonteCarloRun.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "engine/ImageCounts.hpp"
#include "engine/ParallelPhotonRun.hpp"
#include "engine/PhotonLoop.hpp"
#include "engine/RunPackage.hpp"
#include "engine/SamplePlaneSetup.hpp"
#include "input/PhotonSource.hpp"
#include "precalc/MapNames.hpp"
#include "util/InputFile.hpp"

namespace conesim {
namespace {

std::string floatText(float value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

// Spectrum energies far outside the range of the reference attenuation curve (or planes
// made at such an energy) give energy factors that are not finite numbers, which would make
// those photons vanish in the sample or pass it untouched: say so before any photon runs.
void warnNotFiniteEnergyFactors(const PhotonEffects& effects, const PhotonSource& source,
                                float planeEnergy, RunContext& context) {
    std::int64_t notFinite = 0;
    float first = 0.0F;
    for (std::size_t i = 0; i < effects.energyFactors.size(); ++i) {
        const EnergyFactors& factors = effects.energyFactors[i];
        if (!std::isfinite(factors.attenuation) || !std::isfinite(factors.deflection)) {
            if (notFinite++ == 0) {
                first = source.energies[i];
            }
        }
    }
    if (notFinite > 0) {
        report(context.console, context.log,
               "WARNING: " + std::to_string(notFinite) + " of the spectrum's " +
                   std::to_string(effects.energyFactors.size()) +
                   " energies give attenuation or deflection factors that are not finite "
                   "numbers for planes made at " +
                   floatText(planeEnergy) + " keV (the first: " + floatText(first) +
                   " keV); the reference attenuation does not reach them.");
    }
}

// Energies outside xraylib's tables give the materials (sample, masks, detector) no mu: a
// photon of such an energy would vanish or pass untouched. Say so before any photon runs,
// for the spectrum's entries and for the planes' own energy.
void warnUntabulatedEnergies(const PhotonSetup& setup, const PhotonSource& source,
                             float planeEnergy, RunContext& context) {
    const PhotonEffects& effects = setup.effects;
    const std::size_t materials = effects.energyFactors.empty()
                                      ? 0
                                      : effects.materialMu.size() / effects.energyFactors.size();
    auto finiteLayers = [](const LayerTransmission& t) {
        return std::isfinite(t.preMaskBlocking) && std::isfinite(t.postMaskBlocking) &&
               std::isfinite(t.detectorEfficiency);
    };
    std::int64_t untabulated = 0;
    float first = 0.0F;
    for (std::size_t i = 0; i < effects.energyFactors.size(); ++i) {
        bool finite = i >= effects.layers.size() || finiteLayers(effects.layers[i]);
        for (std::size_t m = 0; m < materials; ++m) {
            finite = finite && std::isfinite(effects.materialMu[i * materials + m]);
        }
        if (!finite && untabulated++ == 0) {
            first = source.energies[i];
        }
    }
    if (untabulated > 0) {
        report(context.console, context.log,
               "WARNING: " + std::to_string(untabulated) + " of the spectrum's " +
                   std::to_string(effects.energyFactors.size()) +
                   " energies lie outside xraylib's tables for the run's materials (the first: " +
                   floatText(first) +
                   " keV); the materials do not act on photons of those energies.");
    }
    if (!finiteLayers(setup.planeLayers)) {
        report(context.console, context.log,
               "WARNING: the planes' energy " + floatText(planeEnergy) +
                   " keV lies outside xraylib's tables for the masks' or the detector's "
                   "material; the masks and the detector do not act on photons of that energy.");
    }
}

// The serial loop, or the parallel run when the run has parallel settings.
PhotonLoopResult runPhotons(const PhotonLoopInputs& inputs, const PhotonSource& source,
                            std::vector<std::uint32_t>& detectorImage, RunContext& context) {
    if (context.cluster != nullptr && context.cluster->size() > 1 && context.parallel) {
        // The other processes get the run before this one builds its own set-up.
        std::vector<std::uint8_t> run = packRun(inputs.parameters, inputs.preMask, inputs.postMask,
                                                inputs.planes, source, *context.parallel);
        if (!context.cluster->broadcast(run)) {
            PhotonLoopResult failed;
            failed.failed = true;
            return failed;
        }
    }
    const PhotonSetup setup(inputs, source.coneX, source.coneY, source.showAll, source.energies,
                            source.weights);
    warnNotFiniteEnergyFactors(setup.effects, source, inputs.parameters.sampleEnergy, context);
    warnUntabulatedEnergies(setup, source, inputs.parameters.sampleEnergy, context);
    if (!context.parallel) {
        return runPhotonLoop(setup, detectorImage, context, inputs.runName);
    }
    BatchShare share;
    if (context.cluster != nullptr) {
        share = {context.cluster->rank(), context.cluster->size()};
    }
    return runParallelPhotons(setup, *context.parallel, detectorImage, context, inputs.runName,
                              share);
}

// A run that stopped before its last photon says so, with the photons that ran.
void reportEarlyStop(RunContext& context, const PhotonLoopResult& result,
                     std::int32_t photonsToRun) {
    if (result.stop == LoopStop::kNone) {
        return;
    }
    const char* how =
        result.stop == LoopStop::kSignal ? "by a stop signal" : "through the interrupt file";
    report(context.console, context.log,
           std::string("Run stopped ") + how + " after " + std::to_string(result.photonsRun) +
               " of " + std::to_string(photonsToRun) + " photons.");
}

// Counts never wrap: a pixel that reached the largest count kept it, and the run says how
// many pixels did.
void reportSaturation(RunContext& context, const PhotonLoopResult& result,
                      const std::vector<std::uint32_t>& detectorImage) {
    if (result.lostCounts == 0) {
        return;
    }
    const auto saturated = std::count(detectorImage.begin(), detectorImage.end(), kMaxCount);
    report(context.console, context.log,
           "WARNING: " + std::to_string(saturated) +
               " pixels reached the largest count, 4294967295, and stopped counting; " +
               std::to_string(result.lostCounts) + " counts were lost.");
}

}  // namespace

int runMonteCarlo(const SampleVolume& sample, std::vector<std::uint32_t>& detectorImage,
                  RunContext& context, const std::string& runName, SimulationParameters& parameters,
                  const std::vector<std::uint8_t>& preMask,
                  const std::vector<std::uint8_t>& postMask) {
    // A spectrum that is a named pipe (process substitution) is read here, stoppably and
    // bounded, and the loader reads the copy.
    StagedInput spectrum;
    if (!spectrum.stage(parameters.spectrumFile, context.stopSignal, kMaxPipedSpectrumBytes)) {
        report(context.console, context.log,
               "ERROR: Cannot hold the spectrum file " + parameters.spectrumFile + " in memory.");
        return kRunSpectrumFailed;
    }
    if (spectrum.stopped()) {
        report(context.console, context.log,
               "Run stopped by a stop signal while reading " + parameters.spectrumFile +
                   "; no photon was run.");
        return kPrecalcStopped;
    }
    if (spectrum.cutShort()) {
        report(context.console, context.log,
               "WARNING: Spectrum file " + parameters.spectrumFile +
                   " is a pipe or device that gave more than " +
                   std::to_string(kMaxPipedSpectrumBytes) + " bytes; the rest is not read.");
    }
    PhotonSource source = loadSpectrum(spectrum.path(), detectorCone(parameters), context.console,
                                       parameters.extensions.spectrumWeights);
    source.showAll = parameters.showAllPhotons;
    if (drawPhoton(source, context.random, context.console) == 1) {
        report(context.console, context.log, "Spectra file missing,corrupt or empty!\n");
        return kRunSpectrumFailed;
    }
    if (parameters.sampleEnergy == 0.0F) {
        parameters.sampleEnergy = source.meanEnergy;
        report(context.console, context.log,
               "Using a the mean spectrum energy (" + floatText(source.meanEnergy) +
                   ") to calculate refractive indexes.\n");
    }
    std::fill(detectorImage.begin(), detectorImage.end(), 0U);

    SamplePlanes planes;
    const int status = prepareSamplePlanes(sample, parameters, context, planes);
    if (status != kRunOk) {
        return status;
    }
    report(context.console, context.log,
           "Refractive index map and values stored ready to start Monte Carlo Run.");
    report(context.console, context.log, "\nStarting Monte-Carlo sim.");

    const SampleGeometry geometry = makeSampleGeometry(
        sample.dimX, sample.dimY, sample.dimZ, parameters.sampleScaleX, parameters.sampleScaleY,
        parameters.sampleScaleZ, parameters.sampleStart);
    const PhotonLoopInputs inputs{parameters, geometry, planes, preMask, postMask, runName};
    const PhotonLoopResult result = runPhotons(inputs, source, detectorImage, context);
    planes = SamplePlanes{};
    if (context.progress != nullptr) {
        context.progress->clear();
    }
    if (result.noThreads) {
        return kRunNoThreads;
    }
    if (result.lostProcess) {
        report(context.console, context.log,
               "ERROR: Another process of the run stopped answering after the stop signal (an "
               "MPI launcher stops every process when one of them ends); the photons of the run "
               "are lost and no final image is written.");
    }
    if (result.failed) {
        return kRunProcessFailed;
    }
    if (result.stalled) {
        report(context.console, context.log,
               "ERROR: No photon reached the detector's sensitive area in " +
                   std::to_string(kMaxDrawsWithoutDetectorHit) +
                   " successive photons; the run cannot count its photons and stops.");
        return kRunNoDetectorHits;
    }
    context.counts = {result.photonsRun, result.hitCount, result.lostCounts,
                      result.stop == LoopStop::kNone     ? "none"
                      : result.stop == LoopStop::kSignal ? "signal"
                                                         : "interrupt file"};
    reportEarlyStop(context, result, parameters.photonsToRun);
    report(context.console, context.log,
           "Detector scored " + std::to_string(result.hitCount) + " hits.");
    reportSaturation(context, result, detectorImage);
    return kRunOk;
}

}  // namespace conesim
