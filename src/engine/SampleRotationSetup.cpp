#include "engine/SampleRotationSetup.hpp"

#include <string>

#include "precalc/MapFileErrors.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/SampleRotation.hpp"

namespace conesim {
namespace {

int turnFile(const std::string& inputPath, const char* name, const SampleVolume& sample,
             const SimulationParameters& parameters, RunContext& context, PendingMapFiles& files) {
    std::string error;
    if (!files.add({name}, &error)) {
        report(context.console, context.log,
               "ERROR: Cannot make a temporary map file: " + error + ".");
        return kMapWriteFailed;
    }
    const double degrees = parameters.extensions.sampleRotation;
    const VoxelSizes sizes{parameters.sampleScaleX, parameters.sampleScaleY,
                           parameters.sampleScaleZ};
    RotationLoss loss;
    const int status = rotateVolumeFile(context.console, context.log, inputPath, files.pathOf(name),
                                        name, sample.dimX, sample.dimY, sample.dimZ, sizes, degrees,
                                        loss, context.stopSignal);
    if (status == kPrecalcOk) {
        warnRotationLoss(context.console, context.log, inputPath, degrees, loss);
    }
    return status;
}

}  // namespace

int turnSampleInputs(const SampleVolume& sample, const SimulationParameters& parameters,
                     RunContext& context, PendingMapFiles& files, PrecalcInputs& turned) {
    report(context.console, context.log,
           "Rotating the sample by " + rotationText(parameters.extensions.sampleRotation) +
               " degrees.");
    int status = turnFile(sample.path, kRotatedSampleName, sample, parameters, context, files);
    if (status != kPrecalcOk) {
        return status;
    }
    turned.sample = sample;
    turned.sample.path = files.pathOf(kRotatedSampleName);
    const std::string& scatter = parameters.extensions.sampleScatterFile;
    if (scatter.empty()) {
        return kPrecalcOk;
    }
    status = turnFile(scatter, kRotatedScatterName, sample, parameters, context, files);
    turned.scatterFile = files.pathOf(kRotatedScatterName);
    return status;
}

}  // namespace conesim
