#include "engine/MonteCarloRun.hpp"

#include <algorithm>
#include <sstream>

#include "engine/PhotonLoop.hpp"
#include "engine/SamplePlaneSetup.hpp"
#include "input/PhotonSource.hpp"

namespace conesim {
namespace {

std::string floatText(float value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

}  // namespace

int runMonteCarlo(const SampleVolume& sample, std::vector<std::uint32_t>& detectorImage,
                  RunContext& context, const std::string& runName, SimulationParameters& parameters,
                  const std::vector<std::uint8_t>& preMask,
                  const std::vector<std::uint8_t>& postMask) {
    PhotonSource source =
        loadSpectrum(parameters.spectrumFile,
                     static_cast<float>(parameters.detectorWidth) * parameters.detectorPixelSizeX,
                     static_cast<float>(parameters.detectorHeight) * parameters.detectorPixelSizeY,
                     static_cast<double>(parameters.detectorPosition), context.console);
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
    const PhotonLoopResult result = runPhotonLoop(inputs, source, detectorImage, context);
    planes = SamplePlanes{};
    if (result.stalled) {
        report(context.console, context.log,
               "ERROR: No photon reached the detector's sensitive area in " +
                   std::to_string(kMaxDrawsWithoutDetectorHit) +
                   " successive photons; the run cannot count its photons and stops.");
        return kRunNoDetectorHits;
    }
    report(context.console, context.log,
           "Detector scored " + std::to_string(result.hitCount) + " hits.");
    return kRunOk;
}

}  // namespace conesim
