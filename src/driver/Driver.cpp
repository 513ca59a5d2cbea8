#include "driver/Driver.hpp"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <optional>
#include <system_error>

#include "driver/Banner.hpp"
#include "driver/CommandLine.hpp"
#include "driver/InterruptFile.hpp"
#include "driver/RunLog.hpp"
#include "engine/MonteCarloRun.hpp"
#include "input/MaskImage.hpp"
#include "input/SampleVolume.hpp"
#include "output/ImageWriters.hpp"
#include "params/FaultExplanation.hpp"
#include "params/SimulationParameters.hpp"
#include "precalc/SampleFileIdentity.hpp"
#include "util/RandomGenerator.hpp"
#include "util/RunNaming.hpp"

namespace conesim {
namespace {

std::int64_t squared(std::uint32_t size) {
    return std::int64_t{size} * std::int64_t{size};
}

bool exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// Draws run numbers until neither final image of the run exists yet, so that a repeated
// number never overwrites an earlier run's results. Nothing when no free number turns up.
std::optional<std::string> drawFreeRunName(RandomGenerator& random, const std::string& imageBase) {
    // Every one of the 32768 numbers is drawn long before this many draws.
    constexpr int kMaxDraws = 1 << 22;
    for (int draw = 0; draw < kMaxDraws; ++draw) {
        const std::string name = makeRunNumberString(random.next() % 10000000);
        if (!exists(imageBase + "." + name + ".pgm") && !exists(imageBase + "." + name + ".dat")) {
            return name;
        }
    }
    return std::nullopt;
}

// Everything after the parameter checks; split out so that allocation failures of the
// run-wide buffers end the run with a message instead of a crash.
int runSimulation(const std::vector<std::string>& args, const CommandLine& line,
                  DriverEnvironment& environment, SimulationParameters& p) {
    Console& console = environment.console;
    const std::vector<std::string>& words = line.positional;
    if (words.size() == 3) {
        p.finalPrefix = words[2];
    }
    const std::string logPath = p.outputFolder + "/" + p.logFileName;
    const std::string imageBase = p.outputFolder + "/" + p.finalPrefix;

    std::vector<std::uint8_t> preMask(static_cast<std::size_t>(squared(p.preMaskSize)), 0);
    std::vector<std::uint8_t> postMask(static_cast<std::size_t>(squared(p.postMaskSize)), 0);

    writeLine(console.out, "\nStarting Sample loading.");
    readRunMask("Pre-sample", p.preMaskImageFile, preMask, squared(p.preMaskSize), p.preMaskActive,
                console, p.warnings);
    if (p.sampleValueScale == 0.0F) {
        p.sampleValueScale = static_cast<float>(10.0 / static_cast<double>(p.sampleScaleX));
    }
    const SampleVolume sample = loadSampleVolume(p.sampleFile, p.sampleDimX, p.sampleDimY,
                                                 p.sampleDimZ, p.sampleValueScale, p.runMode);
    if (!sample.loaded) {
        writeLine(console.out, "ERROR: Sample size is wrong or sample file is missing.");
        writeLine(console.out, "Sample name stated as " + p.sampleFile + ".");
        writeLine(console.out, "Dimensions stated as " + std::to_string(p.sampleDimX) + "x" +
                                   std::to_string(p.sampleDimY) + "x" +
                                   std::to_string(p.sampleDimZ) + ".");
        return kExitSampleFile;
    }
    if (!sampleIsApartFromMapFiles(p.sampleFile, p.runMode, console)) return kExitSampleFile;
    writeLine(console.out, "Sample loaded/size-verified-as okay.");
    readRunMask("Post-sample", p.postMaskImageFile, postMask, squared(p.postMaskSize),
                p.postMaskActive, console, p.warnings);

    const std::time_t start = environment.clock();
    const std::uint64_t seed = line.seed ? *line.seed : static_cast<std::uint32_t>(start);
    RandomGenerator random(seed);
    std::string runName = "1";
    if (words.size() == 3) {
        random.next();  // the run number a debugging run does not use
    } else if (std::optional<std::string> free = drawFreeRunName(random, imageBase)) {
        runName = *free;
    } else {
        writeLine(console.out,
                  "ERROR: Every run number is taken by final images in " + p.outputFolder + ".");
        return kExitNoFreeRunNumber;
    }

    writeLine(console.out, "\nLog file located at " + logPath);
    writeLine(console.out, "\nRun number " + runName);
    writeLine(console.out, "Running for " + std::to_string(p.photonsToRun) +
                               " runs.\nImages produced every " + std::to_string(p.splashEvery) +
                               " runs.");
    writeLine(console.out, "\nUsing sample file " + p.sampleFile);
    writeLine(console.out, "Writing output to folder " + p.outputFolder + "\n");

    std::ofstream log(logPath, std::ios::app);
    if (!log.is_open()) {
        writeLine(console.out, "ERROR: Cannot open run log " + logPath + ".");
        return kExitRunLogUnavailable;
    }
    writeRunLogHeader(log, args, runName, start);
    writeLine(log, p.summary());
    for (const std::string& warning : p.warnings) {
        writeLine(log, warning);
    }

    const std::int64_t pixelCount = std::int64_t{p.detectorWidth} * p.detectorHeight;
    std::vector<std::uint32_t> detectorImage(static_cast<std::size_t>(pixelCount));

    RunContext context{console, log, random};
    context.checkInterrupt = [&console] { return checkInterruptFile(console); };
    context.stopSignal = environment.stopSignal;
    if (line.threads) {
        ParallelSettings parallel;
        parallel.threads = *line.threads > 0 ? *line.threads : availableCores();
        parallel.seed = seed;
        context.parallel = parallel;
        report(console, log,
               "Parallel run: " + std::to_string(parallel.threads) + " threads, batches of " +
                   std::to_string(parallel.batchSize) + " photons, seed " + std::to_string(seed) +
                   ".");
    }
    std::optional<ProgressLine> progress;
    if (environment.terminal != nullptr) {
        progress.emplace(*environment.terminal, p.photonsToRun);
        context.progress = &*progress;
    }
    const int status = runMonteCarlo(sample, detectorImage, context, runName, p, preMask, postMask);
    if (status != 0) {
        return status;
    }
    writeLine(console.out, "Run complete.");
    bool complete = !context.outputIncomplete;
    complete &= writeDetectorPgm(imageBase + "." + runName + ".pgm", p.detectorWidth,
                                 detectorImage.data(), pixelCount, console);
    complete &= writeDetectorRaw(imageBase + "." + runName + ".dat", pixelCount,
                                 detectorImage.data(), console);
    writeLine(log, "Final image wrote.\n");
    detectorImage = {};
    writeLine(console.out, "Run number " + runName + " finished.");
    writeRunLogTrailer(log, runName, environment.clock());
    log.close();
    if (log.fail()) {
        writeLine(console.out, "ERROR: Cannot write run log " + logPath + ".");
        complete = false;
    }
    return complete ? kExitOk : kExitOutputIncomplete;
}

}  // namespace

int runProgram(const std::vector<std::string>& args, DriverEnvironment& environment) {
    Console& console = environment.console;
    SimulationParameters parameters;
    CommandLine line;
    std::string optionError;
    switch (parseCommandLine(args, line, optionError)) {
        case CommandLineResult::kBadOption:
            writeLine(console.out, "ERROR: " + optionError);
            writeBannerAndUsage(console);
            return kExitUsageOrFault;
        case CommandLineResult::kHelp:
            writeBannerAndUsage(console);
            writeOptions(console);
            return kExitOk;
        case CommandLineResult::kRun:
            break;
    }
    if (line.positional.size() != 2 && line.positional.size() != 3) {
        writeBannerAndUsage(console);
        return kExitUsageOrFault;
    }
    parameters.readFile(line.positional[1], console);
    if (!parameters.parameterFileLoaded) {
        writeLine(console.out, "ERROR: Loading parameter file.");
        return kExitParameterFileNotLoaded;
    }
    const int fault = parameters.faultCode();
    if (fault != 0) {
        writeLine(console.out, "ERROR: Parameter file not sensible.\nFault code (See README): " +
                                   std::to_string(fault));
        writeLine(console.out, faultExplanation(parameters, fault));
        return kExitUsageOrFault;
    }
    try {
        return runSimulation(args, line, environment, parameters);
    } catch (const std::bad_alloc&) {
        writeLine(console.out, "ERROR: Not enough memory for the run's buffers.");
        return kExitOutputIncomplete;
    }
}

}  // namespace conesim
