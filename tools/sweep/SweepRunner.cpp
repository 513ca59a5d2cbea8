#include "sweep/SweepRunner.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

#include "common/BinaryFile.hpp"
#include "common/ToolExit.hpp"
#include "output/RunRecordFile.hpp"
#include "params/ParameterFileEditing.hpp"
#include "params/ParameterFileScan.hpp"
#include "params/ParameterTable.hpp"
#include "params/SimulationParameters.hpp"
#include "sweep/ChildProcess.hpp"
#include "sweep/SweepFiles.hpp"
#include "sweep/SweepOutputFolder.hpp"
#include "sweep/SweepProgress.hpp"
#include "sweep/SweepRecord.hpp"
#include "util/NewFile.hpp"
#include "util/PendingFile.hpp"

namespace conesim::tools {

namespace {

namespace fs = std::filesystem;

constexpr const char* kTool = "conesim-sweep";

// What the runs share, worked out before the first one starts.
struct SweepPlan {
    std::string parametersText;
    fs::path workFolder;   //!< the parameter file's folder: every run's working directory
    fs::path output;       //!< DIR, absolute
    fs::path planeFolder;  //!< the sweep's own plane folder inside DIR; empty: the file's
    std::string program;   //!< absolute path of conesim
    std::vector<std::vector<std::string>> values;  //!< per setting, per inner index
    std::vector<std::string> outerValues;          //!< per outer value; one empty without
    std::int64_t inner = 0;                        //!< runs per outer value
    std::vector<int> modes;                        //!< per run
    std::vector<std::string> runNames;             //!< per run
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    double pixelSizeX = 1.0;
    double pixelSizeY = 1.0;
    std::int64_t photonsToRun = 0;
    bool countHitsOnly = false;
    StackShape shape;
};

int fail(SweepEnvironment& environment, const std::string& message) {
    environment.err << kTool << ": " << message << std::endl;
    return kExitFailure;
}

std::string runName(std::int64_t index, std::int64_t runs) {
    const std::string number = std::to_string(index);
    const std::size_t width = std::max<std::size_t>(3, std::to_string(runs - 1).size());
    return "run-" + std::string(width - number.size(), '0') + number;
}

std::string programBesideTools(const std::string& selfPath) {
    std::error_code code;
    fs::path self = fs::canonical("/proc/self/exe", code);
    if (code) {
        self = fs::absolute(selfPath, code);
    }
    return (self.parent_path().parent_path() / "conesim").string();
}

bool executable(const std::string& path) {
    std::error_code code;
    return fs::is_regular_file(path, code) && ::access(path.c_str(), X_OK) == 0;
}

// Whether the parameter file gives the extension setting of that name.
bool givesExtension(const std::string& text, const std::string& name) {
    std::istringstream in(text);
    for (const ScannedExtension& extension : scanParameterFile(in).extensions) {
        if (extension.name == name) {
            return true;
        }
    }
    return false;
}

// The copy of the parameter file a run reads, under a name no other file has.
bool writeRunParameters(const fs::path& folder, std::int64_t index, const std::string& text,
                        std::string& path, std::string& error) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = ".conesim-sweep." + std::to_string(::getpid()) + "." +
                                 std::to_string(index) +
                                 (attempt == 0 ? "" : "-" + std::to_string(attempt)) + ".txt";
        const fs::path candidate = folder / name;
        const int fd = openNewFile(candidate.string(), error);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            break;
        }
        const bool written =
            ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        const bool closed = ::close(fd) == 0;
        if (!written || !closed) {
            fs::remove(candidate);
            error = "cannot write the run's parameter file " + candidate.string();
            return false;
        }
        path = name;
        return true;
    }
    error = "cannot create a parameter file for the run in " + folder.string();
    return false;
}

std::string readWhole(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The photons a run scored on the detector, from its record; nothing when the run wrote no
// record or ran no photon (it failed before its photon loop).
std::optional<std::uint64_t> scoredHits(const fs::path& recordPath) {
    RunRecord record;
    std::string error;
    if (!readRunRecord(recordPath.string(), record, error) || record.photonsRun == 0) {
        return std::nullopt;
    }
    return record.hits;
}

std::string lastLines(const std::string& text, int count) {
    std::size_t start = text.size();
    while (start > 0 && text[start - 1] == '\n') {
        --start;
    }
    const std::size_t end = start;
    for (int lines = 0; lines < count && start > 0; ++lines) {
        start = text.rfind('\n', start - 1);
        if (start == std::string::npos) {
            start = 0;
            break;
        }
    }
    return text.substr(start == 0 ? 0 : start + 1, end - (start == 0 ? 0 : start + 1));
}

// The parameter file run k reads: the swept values, its run mode and the sweep's folder.
// Run k is inner index k mod INNER of outer value k div INNER.
bool editedRunText(const SweepOptions& options, const SweepPlan& plan, std::int64_t k,
                   std::string& edited, std::string& error) {
    std::vector<std::pair<std::string, std::string>> assignments;
    for (std::size_t s = 0; s < options.settings.size(); ++s) {
        assignments.emplace_back(options.settings[s].name, plan.values[s][k % plan.inner]);
    }
    if (options.outer) {
        assignments.emplace_back(options.outer->name, plan.outerValues[k / plan.inner]);
    }
    assignments.emplace_back("runMode", std::to_string(plan.modes[k]));
    assignments.emplace_back("outputFolder", plan.output.string());
    if (!plan.planeFolder.empty()) {
        assignments.emplace_back("planeFolder", plan.planeFolder.string());
    }
    if (!setParameterValues(plan.parametersText, assignments, edited, error, options.parameters)) {
        error = "run " + std::to_string(k + 1) + " of the sweep: " + error;
        return false;
    }
    return true;
}

int planSweep(const SweepOptions& options, SweepEnvironment& environment, SweepPlan& plan) {
    std::string error;
    std::vector<std::uint8_t> bytes;
    if (!readFileBytes(options.parameters, bytes, error)) {
        return fail(environment, error);
    }
    plan.parametersText.assign(bytes.begin(), bytes.end());
    SimulationParameters parameters;
    if (!checkParameterText(plan.parametersText, options.parameters, error, parameters)) {
        return fail(environment, error);
    }
    plan.width = parameters.detectorWidth;
    plan.height = parameters.detectorHeight;
    plan.pixelSizeX = parameters.detectorPixelSizeX;
    plan.pixelSizeY = parameters.detectorPixelSizeY;
    plan.shape = {plan.width, plan.height, plan.pixelSizeX, plan.pixelSizeY};
    plan.photonsToRun = parameters.photonsToRun;
    plan.countHitsOnly = parameters.countHitsOnly;

    std::error_code code;
    plan.workFolder = fs::absolute(options.parameters, code).parent_path();
    plan.program = options.program.empty() ? programBesideTools(environment.selfPath)
                                           : fs::absolute(options.program, code).string();
    if (!executable(plan.program)) {
        return fail(environment, "cannot run " + plan.program +
                                     ": not an executable file (give conesim with --program)");
    }
    bool planesChange = false;
    bool outerChangesPlanes = false;
    if (options.outer) {
        outerChangesPlanes = findParameter(options.outer->name)->affectsSamplePlanes;
        if (outerChangesPlanes && parameters.runMode == 5) {
            return fail(environment, options.parameters +
                                         " has run mode 5, which reads the planes an earlier "
                                         "run left, but the outer setting " +
                                         options.outer->name +
                                         " changes the sample planes; set run mode 3 (or 4) in "
                                         "the file");
        }
        if (!sweepValueTexts(*options.outer, plan.outerValues, error)) {
            return fail(environment, error);
        }
    } else {
        plan.outerValues.emplace_back();
    }
    for (const SweptRange& range : options.settings) {
        const bool changesPlanes = findParameter(range.name)->affectsSamplePlanes;
        if (changesPlanes && parameters.runMode == 5) {
            return fail(environment, options.parameters +
                                         " has run mode 5, which reads the planes an earlier "
                                         "run left, but " +
                                         range.name +
                                         " changes the sample planes, so every run would use "
                                         "the same ones; set run mode 3 (or 4) in the file");
        }
        planesChange = planesChange || changesPlanes;
        plan.values.emplace_back();
        if (!sweepValueTexts(range, plan.values.back(), error)) {
            return fail(environment, error);
        }
    }
    plan.output = fs::weakly_canonical(fs::absolute(options.output, code), code);
    if (const std::string clash = runLogClash(plan.output, parameters.logFileName);
        !clash.empty()) {
        return fail(environment, options.parameters + ": " + clash);
    }
    // A sweep that makes its planes (mode 3) makes them in a folder of its own, so that two
    // sweeps started in one working folder never read each other's planes. Files in modes 4
    // and 5 go on reading the maps or planes they name.
    if (parameters.runMode == 3 && !givesExtension(plan.parametersText, "planeFolder")) {
        plan.planeFolder = plan.output / kSweepPlaneFolderName;
    }
    plan.inner = options.settings.front().count;
    plan.shape.inner = options.outer ? plan.inner : 0;
    const auto runs = plan.inner * static_cast<std::int64_t>(plan.outerValues.size());
    for (std::int64_t k = 0; k < runs; ++k) {
        // Planes are made by the first run, or by the first of each outer value when only
        // the outer setting changes them, and read by the others.
        const bool makesPlanes =
            planesChange || k == 0 || (outerChangesPlanes && k % plan.inner == 0);
        plan.modes.push_back(makesPlanes ? parameters.runMode : 5);
        plan.runNames.push_back(runName(k, runs));
        // Every run's file is checked now; each is made again just before its run, so that
        // a long sweep does not hold all of them.
        std::string edited;
        if (!editedRunText(options, plan, k, edited, error)) {
            return fail(environment, error);
        }
    }
    return kExitOk;
}

// Makes DIR; files of the sweep's names there are refused unless forced (then removed).
int prepareOutput(const SweepOptions& options, SweepEnvironment& environment,
                  const SweepPlan& plan) {
    std::string error;
    if (!prepareSweepFolder(plan.output, options.output, options.force, options.parameters,
                            error)) {
        return fail(environment, error);
    }
    if (!plan.planeFolder.empty()) {
        std::error_code code;
        fs::create_directories(plan.planeFolder, code);
        if (code || !fs::is_directory(plan.planeFolder, code)) {
            return fail(environment, "cannot create folder " + plan.planeFolder.string());
        }
    }
    return kExitOk;
}

bool copyParameters(const SweepOptions& options, const SweepPlan& plan, std::string& error) {
    const fs::path copy = plan.output / kSweepParametersName;
    std::error_code code;
    // The parameter file may be an earlier sweep's copy, read where it stands.
    if (!fs::is_symlink(copy, code) && fs::exists(copy, code) &&
        fs::equivalent(copy, options.parameters, code)) {
        return true;
    }
    PendingFile pending(copy.string());
    std::ofstream file;
    if (!pending.open(file, error)) {
        return false;
    }
    file << plan.parametersText;
    return pending.finish(file, error);
}

// Without a seed each run seeds from the clock in whole seconds: a run started in the same
// second as the one before would repeat its photons, so it waits for the next second.
void waitForNewSecond(std::time_t previousStart) {
    while (std::time(nullptr) == previousStart) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", seconds);
    return text;
}

}  // namespace

int runSweep(const SweepOptions& options, SweepEnvironment& environment) {
    SweepPlan plan;
    if (const int status = planSweep(options, environment, plan); status != kExitOk) {
        return status;
    }
    if (const int status = prepareOutput(options, environment, plan); status != kExitOk) {
        return status;
    }
    std::string error;
    if (!copyParameters(options, plan, error)) {
        return fail(environment, error);
    }
    if (plan.countHitsOnly) {
        environment.err << kTool << ": warning: " << options.parameters
                        << " sets countHitsOnly (value 42): each run stops after a number of "
                           "detected photons, not of emitted ones, so the runs' counts do not "
                           "form an illumination curve; set it to 0 for one"
                        << std::endl;
    }
    const auto runs = static_cast<std::int64_t>(plan.runNames.size());
    environment.out << "Sweep of " << runs << " runs of " << options.parameters << " in "
                    << plan.workFolder.string() << " into " << plan.output.string() << "."
                    << std::endl;
    SweepProgress progress(environment.out, environment.terminal, runs);
    SweepTable table;
    for (const SweptRange& range : options.settings) {
        table.settings.push_back(range.name);
    }
    if (options.outer) {
        table.settings.push_back(options.outer->name);
    }
    SweepRecord record(plan.output, plan.shape);
    std::time_t previousStart = 0;
    for (std::int64_t k = 0; k < runs; ++k) {
        std::string label;
        SweepRow row;
        for (std::size_t s = 0; s < options.settings.size(); ++s) {
            const std::string& value = plan.values[s][k % plan.inner];
            label += (s == 0 ? "" : ", ") + options.settings[s].name + "=" + value;
            row.values.push_back(value);
        }
        if (options.outer) {
            const std::string& value = plan.outerValues[k / plan.inner];
            label += ", " + options.outer->name + "=" + value;
            row.values.push_back(value);
        }
        row.runName = plan.runNames[k];
        progress.runStarted(k, label);
        if (!options.seed) {
            waitForNewSecond(previousStart);
        }
        if (environment.stop != nullptr && *environment.stop != 0) {
            progress.line("Stopped by a signal before " + row.runName + "; the sweep keeps its " +
                          std::to_string(record.slices()) + " finished runs.");
            return 128 + *environment.stop;
        }
        std::string parametersName;
        std::string edited;
        if (!editedRunText(options, plan, k, edited, error) ||
            !writeRunParameters(plan.workFolder, k, edited, parametersName, error)) {
            progress.finish();
            return fail(environment, error);
        }
        std::vector<std::string> args;
        if (options.seed) {
            args.push_back("--seed");
            args.push_back(std::to_string(*options.seed + static_cast<std::uint64_t>(k)));
        }
        if (options.threads) {
            args.push_back("--threads");
            args.push_back(std::to_string(*options.threads));
        }
        args.push_back(parametersName);
        args.push_back(row.runName);
        const fs::path logPath = plan.output / (row.runName + ".log");
        previousStart = std::time(nullptr);
        const auto start = std::chrono::steady_clock::now();
        const ChildOutcome outcome = runChildProcess(
            plan.program, args, plan.workFolder.string(), logPath.string(),
            [&] { progress.runAdvanced(photonFraction(readWhole(logPath), plan.photonsToRun)); },
            environment.stop);
        row.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::error_code code;
        fs::remove(plan.workFolder / parametersName, code);
        if (!outcome.started) {
            progress.finish();
            return fail(environment, outcome.error);
        }
        row.status = outcome.status;
        row.hits = scoredHits(plan.output / (row.runName + ".1.json"));
        if (environment.stop != nullptr && *environment.stop != 0) {
            // The stopped run's files stay, listed with the sweep's status so that no reader
            // takes its shortened exposure for a finished run.
            row.status = 128 + *environment.stop;
            table.rows.push_back(row);
            const bool listed = record.addUnstacked(table, error);
            progress.line("Stopped by a signal: " + row.runName + " is left out of the stack" +
                          (listed ? " and listed in " + std::string(kSweepTableName) +
                                        " with status " + std::to_string(row.status)
                                  : "") +
                          "; the sweep keeps its " + std::to_string(record.slices()) +
                          " finished runs.");
            if (!listed) {
                fail(environment, error);
            }
            return 128 + *environment.stop;
        }
        table.rows.push_back(row);
        const std::string mode = " (run mode " + std::to_string(plan.modes[k]) + ")";
        if (row.status != 0) {
            progress.line(row.runName + " " + label + mode + ": status " +
                          std::to_string(row.status) + " after " + secondsText(row.seconds) + " s");
            progress.finish();
            if (!record.addUnstacked(table, error)) {
                fail(environment, error);
            }
            environment.err << kTool << ": " << row.runName << " ended with status " << row.status
                            << "; the sweep stops with its " << record.slices()
                            << " finished runs. The end of its output (" << logPath.string()
                            << "):\n"
                            << lastLines(readWhole(logPath), 6) << std::endl;
            return row.status;
        }
        const fs::path image = plan.output / (row.runName + ".1.dat");
        if (!record.addFinished(image, table, error)) {
            // The run is not in the stack, so the table must not count it as finished.
            table.rows.back().status = kExitFailure;
            std::string ignored;
            record.addUnstacked(table, ignored);
            progress.finish();
            return fail(environment, row.runName + ": " + error);
        }
        progress.line(row.runName + " " + label + mode + ": " +
                      (row.hits ? std::to_string(*row.hits) : std::string("?")) + " hits, " +
                      secondsText(row.seconds) + " s");
    }
    progress.finish();
    environment.out << "Sweep complete: " << runs << " runs; "
                    << (plan.output / kSweepStackName).string() << " (" << plan.width << " x "
                    << plan.height << " x "
                    << (options.outer ? std::to_string(plan.inner) + " x " +
                                            std::to_string(plan.outerValues.size())
                                      : std::to_string(runs))
                    << ") and " << (plan.output / kSweepTableName).string() << "." << std::endl;
    return kExitOk;
}

}  // namespace conesim::tools
