#include "driver/Driver.hpp"

#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <sstream>
#include <string_view>
#include <system_error>

#include "driver/AnswerSource.hpp"
#include "driver/Banner.hpp"
#include "driver/CommandLine.hpp"
#include "driver/FinalImageClaim.hpp"
#include "driver/FinalImages.hpp"
#include "driver/InterruptFile.hpp"
#include "driver/RunLog.hpp"
#include "engine/MonteCarloRun.hpp"
#include "formats/MaskImage.hpp"
#include "input/SampleLabels.hpp"
#include "input/SampleMaterials.hpp"
#include "input/SampleVolume.hpp"
#include "output/RunRecordFile.hpp"
#include "params/FaultExplanation.hpp"
#include "params/ParameterTable.hpp"
#include "params/SimulationParameters.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/PlaneRecord.hpp"
#include "precalc/SampleFileIdentity.hpp"
#include "util/InputFile.hpp"
#include "util/RandomGenerator.hpp"

namespace conesim {
namespace {

// The folder of the map and plane files: "." (the working folder) always exists.
bool planeFolderExists(const std::string& folder) {
    std::error_code error;
    return folder.empty() || std::filesystem::is_directory(folder, error);
}

std::int64_t squared(std::uint32_t size) {
    return std::int64_t{size} * std::int64_t{size};
}

// A stop signal ended the wait for an input that is a named pipe: nothing was run.
int stoppedWhileReading(Console& console, const std::string& path) {
    writeLine(console.out,
              "Run stopped by a stop signal while reading " + path + "; no photon was run.");
    return kPrecalcStopped;
}

// A sample given as materials: its materials file must be right and, in the modes that read
// the volume, every voxel must hold 0 or one of its labels; checked before any map is made.
bool sampleMaterialsAccepted(const SimulationParameters& p, const SampleVolume& sample,
                             Console& console) {
    if (p.extensions.sampleMaterials.empty()) {
        return true;
    }
    SampleMaterials materials;
    std::string error;
    if (!readSampleMaterials(p.extensions.sampleMaterials, materials, error) ||
        ((p.runMode == 3 || p.runMode == 4) && !checkSampleLabels(sample, materials, error))) {
        writeLine(console.out, error);
        return false;
    }
    return true;
}

// The record of a run that got its name, as far as its photons went.
RunRecord runRecordOf(const std::string& parameterFile, const SimulationParameters& p,
                      const std::string& runName, std::uint64_t seed, const RunContext& context) {
    RunRecord record;
    record.version = CONESIM_VERSION;
    record.runName = runName;
    record.parameterFile = parameterFile;
    record.seed = seed;
    record.threads = context.parallel ? context.parallel->threads : 1;
    record.processes = context.cluster != nullptr ? context.cluster->size() : 1;
    record.photonsToRun = p.photonsToRun;
    record.photonsRun = context.counts.photonsRun;
    record.hits = context.counts.hits;
    record.lostCounts = context.counts.lostCounts;
    record.stop = context.counts.stop;
    for (const ParameterInfo& info : parameterTable()) {
        record.settings.emplace_back(std::string(info.name), fieldText(p, info));
    }
    if (p.extensions.given) {
        for (const ParameterInfo& info : extensionTable()) {
            record.settings.emplace_back(std::string(info.name), fieldText(p, info));
        }
    }
    std::ifstream planeRecord(inPlaneFolder(p.extensions.planeFolder, kPlaneRecordName));
    if (planeRecord) {
        std::ostringstream text;
        text << planeRecord.rdbuf();
        record.planeRecord = parsePlaneRecord(text.str()).entries;
    }
    return record;
}

// Writes the run's record into its claimed name and gives up the claim (placeholders of
// images that were not written go); a record that cannot be written makes the run
// incomplete.
int finishRecord(FinalImageClaim& claim, RunRecord& record, Console& console) {
    record.files.insert(record.files.begin(), claim.recordPath());
    std::string error;
    int status = record.exitStatus;
    if (writeRunRecord(claim.recordPath(), record, error)) {
        claim.markWritten(claim.recordPath());
    } else {
        writeLine(console.out, error);
        status = status == kExitOk ? kExitOutputIncomplete : status;
    }
    claim.release();
    return status;
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
    if (!readRunMask("Pre-sample", p.preMaskImageFile, preMask, squared(p.preMaskSize),
                     p.preMaskActive, console, p.warnings, environment.stopSignal)) {
        return stoppedWhileReading(console, p.preMaskImageFile);
    }
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
    if (!sampleIsApartFromMapFiles(p.sampleFile, p.runMode, console, p.extensions.planeFolder,
                                   effectiveDeflectionModel(p.extensions))) {
        return kExitSampleFile;
    }
    if (!planeFolderExists(p.extensions.planeFolder)) {
        writeLine(console.out, "ERROR: The plane folder " + p.extensions.planeFolder +
                                   " (planeFolder) does not exist or is not a folder; create it "
                                   "or name another.");
        return kExitPlaneFolderMissing;
    }
    if (!sampleMaterialsAccepted(p, sample, console)) {
        return kExitSampleFile;
    }
    writeLine(console.out, "Sample loaded/size-verified-as okay.");
    if (!readRunMask("Post-sample", p.postMaskImageFile, postMask, squared(p.postMaskSize),
                     p.postMaskActive, console, p.warnings, environment.stopSignal)) {
        return stoppedWhileReading(console, p.postMaskImageFile);
    }

    // The run log lives in the output folder: a folder that is missing (or takes no log) is
    // found here, before the image names are claimed in it.
    RunLogFile log;
    if (!log.open(logPath)) {
        writeLine(console.out, "ERROR: Cannot open run log " + logPath + ".");
        return kExitRunLogUnavailable;
    }

    const std::time_t start = environment.clock();
    const std::uint64_t seed = line.seed ? *line.seed : static_cast<std::uint32_t>(start);
    RandomGenerator random(seed);
    // Claimed before any map or photon work, so that images that could not be written are
    // known now rather than after the photons; the claim is undone should the run fail.
    FinalImageClaim claim;
    const RunNaming naming =
        nameRun(random, imageBase,
                words.size() == 3 ? std::optional<std::string>("1") : std::nullopt, claim);
    const std::string& runName = naming.runName;
    // The record begins with the command, the start time, the settings and the warnings about
    // the run's inputs, as one block.
    const auto beginRecord = [&] {
        writeRunLogHeader(log, args, runName, start);
        writeLine(log, p.summary());
        for (const std::string& warning : p.warnings) {
            writeLine(log, warning);
        }
    };
    if (naming.result == RunNaming::Result::kNoFreeNumber) {
        writeLine(console.out,
                  "ERROR: Every run number is taken by final images in " + p.outputFolder + ".");
        return kExitNoFreeRunNumber;
    }
    if (naming.result == RunNaming::Result::kFailed) {
        beginRecord();
        report(console, log, naming.error);
        return kExitOutputIncomplete;
    }

    writeLine(console.out, "\nLog file located at " + logPath);
    writeLine(console.out, "\nRun number " + runName);
    writeLine(console.out, "Running for " + std::to_string(p.photonsToRun) +
                               " runs.\nImages produced every " + std::to_string(p.splashEvery) +
                               " runs.");
    writeLine(console.out, "\nUsing sample file " + p.sampleFile);
    writeLine(console.out, "Writing output to folder " + p.outputFolder + "\n");

    beginRecord();

    const std::int64_t pixelCount = std::int64_t{p.detectorWidth} * p.detectorHeight;
    std::vector<std::uint32_t> detectorImage(static_cast<std::size_t>(pixelCount));

    RunContext context{console, log, random};
    StreamAnswers consoleAnswers(console.in);
    InterruptFile interruptFile(
        console, log, environment.answers != nullptr ? *environment.answers : consoleAnswers,
        environment.stopSignal);
    context.checkInterrupt = [&interruptFile] { return interruptFile.check(); };
    context.stopSignal = environment.stopSignal;
    context.cluster = environment.cluster;
    const int processes = context.cluster != nullptr ? context.cluster->size() : 1;
    // Under MPI (even a single process) the photons run in batches, so that the image does
    // not depend on the number of processes.
    if (line.threads || context.cluster != nullptr) {
        ParallelSettings parallel;
        parallel.threads = threadCount(line);
        parallel.seed = seed;
        context.parallel = parallel;
        const std::string where =
            processes > 1 ? std::to_string(processes) + " processes of " : std::string();
        report(console, log,
               "Parallel run: " + where + std::to_string(parallel.threads) +
                   " threads, batches of " + std::to_string(parallel.batchSize) +
                   " photons, seed " + std::to_string(seed) + ".");
    }
    std::optional<ProgressLine> progress;
    if (environment.terminal != nullptr) {
        progress.emplace(*environment.terminal, p.photonsToRun);
        context.progress = &*progress;
    }
    const int status = runMonteCarlo(sample, detectorImage, context, runName, p, preMask, postMask);
    RunRecord record = runRecordOf(words[1], p, runName, seed, context);
    if (status != 0) {
        record.exitStatus = status;
        return finishRecord(claim, record, console);
    }
    writeLine(console.out, "Run complete.");
    bool complete = !context.outputIncomplete;
    const bool imagesWritten = writeFinalImages(claim, detectorImage, p, console, log);
    complete &= imagesWritten;
    // The record says the images were written only when they were; otherwise it holds the
    // errors, written just above.
    writeLine(log, imagesWritten ? "Final image wrote.\n" : "");
    detectorImage = {};
    writeLine(console.out, "Run number " + runName + " finished.");
    writeRunLogTrailer(log, runName, environment.clock());
    log.close();
    if (log.fail()) {
        writeLine(console.out, "ERROR: Cannot write run log " + logPath + ".");
        complete = false;
    }
    for (const std::string& path : {claim.pgmPath(), claim.datPath()}) {
        if (claim.written(path)) {
            record.files.push_back(path);
        }
    }
    if (claim.written(claim.datPath()) && std::filesystem::exists(claim.headerPath())) {
        record.files.push_back(claim.headerPath());
    }
    record.files.push_back(logPath);
    record.exitStatus = complete ? kExitOk : kExitOutputIncomplete;
    record.finished = complete && std::string_view(context.counts.stop) == "none";
    return finishRecord(claim, record, console);
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
    try {
        parameters.readFile(line.positional[1], console, environment.stopSignal);
    } catch (const std::bad_alloc&) {
        parameters.resetToDefaults();
        writeLine(console.out,
                  "Not enough memory to read the parameter file " + line.positional[1] + ".");
    }
    if (!parameters.parameterFileLoaded && stopFlagSet(environment.stopSignal)) {
        return stoppedWhileReading(console, line.positional[1]);
    }
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
