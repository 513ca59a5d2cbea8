#include "engine/ProgressOutput.hpp"

#include "formats/ImageWriters.hpp"

namespace conesim {

void reportPhotonsRun(RunContext& context, std::int64_t photons) {
    if (context.progress != nullptr) {
        context.progress->clear();
    }
    report(context.console, context.log, "Ran " + std::to_string(photons) + " photons.");
}

void writeProgressImage(RunContext& context, const SimulationParameters& p,
                        const std::string& runName, std::int64_t photons,
                        const std::uint32_t* image) {
    const std::string name = p.outputFolder + "/" + p.progressPrefix + "." + runName + "." +
                             std::to_string(photons) + ".pgm";
    const std::int64_t pixelCount = std::int64_t{p.detectorWidth} * p.detectorHeight;
    if (!writeDetectorPgm(name, p.detectorWidth, image, pixelCount, context.console)) {
        context.outputIncomplete = true;
    }
}

}  // namespace conesim
