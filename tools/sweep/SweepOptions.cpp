#include "sweep/SweepOptions.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "common/ArgParse.hpp"
#include "common/ToolExit.hpp"
#include "driver/CommandLine.hpp"
#include "params/ParameterTable.hpp"

namespace conesim::tools {

namespace {

const char* const kSweepUsageHead =
    R"(Usage: conesim-sweep PARAMS --set NAME=START:STOP:COUNT [--set ...] -o DIR
                     [--over NAME=START:STOP:COUNT | --over-open NAME=START:STOP:COUNT]
                     [--seed S] [--threads N] [--program PATH] [--force]

Runs conesim once per value of the swept settings: COUNT values (1 to 100000) evenly from
START to STOP inclusive (COUNT 1: START alone). Several --set vary together and need the
same COUNT. Each value must be one the setting holds as it is: whole numbers for integer
settings and detectorPosition, 0 or 1 for switches; a real is written as the single-
precision number conesim stores.
NAME is a setting's field name as the README's parameter table lists it (for example
detectorLrOffset, the analyser's offset); text settings, runMode, outputFolder and the
detector's size cannot be swept.
--over adds an outer axis: for each of its COUNT values (the same rules) the whole --set
sweep runs. --over-open leaves STOP out, for angles: START + k (STOP - START) / COUNT,
k = 0 to COUNT - 1 (--over-open sampleRotation=0:180:90 gives 0, 2, ..., 178).

Each run works in PARAMS's folder (where its inputs are) on an edited copy of PARAMS,
written there under a temporary name and removed after the run, with the swept values,
the output folder set to DIR and the output name run-000, run-001, ... in run order
(outer value by outer value). When no swept setting changes the sample planes, the first
run makes them (PARAMS's run mode 3 or 4) and the others read them (run mode 5); when only
the outer setting does (sampleRotation), the first run of each outer value makes them and
the other runs of that value read them; otherwise every run uses PARAMS's run mode, which
must then be 3 or 4. PARAMS's run log may not be named like one of the files below.
When PARAMS is in run mode 3 and gives no planeFolder, the runs make and read their maps
and planes in DIR/planes, so that two sweeps started in one folder never share planes;
in modes 4 and 5 they read those PARAMS names.

DIR (created if missing) receives:
  params.txt             a copy of PARAMS
  planes/                the runs' maps and planes (PARAMS in run mode 3 without
                         planeFolder)
  run-NNN.1.dat, .pgm    each run's final images, run-NNN.1.json its record;
                         run-NNN.log its console output
  Logger.txt             the runs' log (the name PARAMS gives)
  stack.raw              the final images of the finished runs, one after the other: a
                         W x H x RUNS volume of unsigned 32-bit little-endian counts;
                         with an outer axis W x H x INNER x OUTER (the --set index
                         fastest after the image)
  stack.raw.mhd          its MetaImage header (spacing: the detector's pixel sizes, 1);
                         with an outer axis NDims 4 while the finished runs fill whole
                         outer values, otherwise NDims 3 (W x H x RUNS)
  sweep.csv              a header line, then per run: the swept values (the outer
                         setting's last), the run name, its exit status, the detector
                         hits and the seconds it took
The stack, its header and the table are brought up to date together after every run, and
always describe the same runs, also when a write fails (a full disk).

A run that fails stops the sweep: its line stays in sweep.csv, the stack keeps the runs
before it, and conesim-sweep exits with that run's status. A stop signal (Ctrl-C, SIGTERM,
or SIGHUP when the terminal closes) stops the run in flight, which is left out of the stack
and listed in sweep.csv with status 128 + signal; the sweep exits with that status.

)";

const char* const kSweepUsageTail =
    R"(
With countHitsOnly set, each run counts only detected photons, so the images of different
settings do not share one number of emitted photons; a warning says so.
Exit status: 0 all runs done, 1 a file could not be read or written or was refused,
2 wrong command line, otherwise the status of the run that failed.
)";

constexpr const char* kTool = "conesim-sweep";

// How the program stores a swept setting's value, and so which values a sweep may give it.
enum class SweptType {
    kWhole,   //!< an integer, a switch or a real the reader truncates to an integer
    kSingle,  //!< a positional real: single precision
    kDouble,  //!< an extension setting's real: double precision
};

SweptType sweptTypeOf(const ParameterInfo& info) {
    if (info.kind != ParameterKind::kReal) {
        return SweptType::kWhole;
    }
    return info.isExtension() ? SweptType::kDouble : SweptType::kSingle;
}

std::string shortText(double value, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

// The shortest text (at most 12 significant digits, as for double settings) that the
// program's single-precision reading turns into the same number as the value itself, so
// that sweep.csv records exactly the number each run used.
std::string singlePrecisionText(double value) {
    const auto stored = static_cast<float>(value);
    for (int digits = 1; digits <= 12; ++digits) {
        // Written again with 12 digits, so that 30 stays 30 and does not become 3e+01.
        const std::string text =
            shortText(std::strtod(shortText(value, digits).c_str(), nullptr), 12);
        if (std::strtof(text.c_str(), nullptr) == stored) {
            return text;
        }
    }
    return shortText(static_cast<double>(stored), 9);
}

// The text of a whole value for a setting the program stores as an integer; false, with
// text the value as given and error saying which values the setting holds, when the program
// would store another number than the value (a fraction it drops, a number beyond 32 bits,
// a switch other than 0 or 1).
bool wholeValueText(const ParameterInfo& info, double value, std::string& text,
                    std::string& error) {
    text = shortText(value, 12);
    const double whole = std::round(value);
    if (std::fabs(value - whole) > 1e-9 * std::max(1.0, std::fabs(value))) {
        error = info.kind == ParameterKind::kTruncatedReal
                    ? "holds whole numbers (conesim drops the fraction)"
                    : "holds whole numbers";
        return false;
    }
    if (info.kind == ParameterKind::kFlag && whole != 0.0 && whole != 1.0) {
        error = "is a switch of 0 or 1";
        return false;
    }
    const double lowest = info.kind == ParameterKind::kTruncatedReal ? -16777216.0 : -2147483648.0;
    const double highest = info.kind == ParameterKind::kTruncatedReal ? 16777216.0 : 2147483647.0;
    if (whole < lowest || whole > highest) {
        // A real beyond 2^24 is no longer held exactly in single precision.
        error =
            "holds whole numbers from " + shortText(lowest, 12) + " to " + shortText(highest, 12);
        return false;
    }
    text = shortText(whole, 12);
    return true;
}

// Why a setting cannot be swept; empty when it can.
std::string unsweepable(const ParameterInfo& info) {
    if (info.kind == ParameterKind::kText || info.kind == ParameterKind::kWord) {
        return "it is not a number";
    }
    if (info.name == "runMode") {
        return "the sweep chooses the run mode itself";
    }
    if (info.name == "detectorWidth" || info.name == "detectorHeight") {
        return "all images of a sweep share one size";
    }
    return "";
}

bool parseRange(const std::string& option, const std::string& text, SweptRange& range,
                std::string& error) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) {
        error = option + " '" + text + "' is not NAME=START:STOP:COUNT";
        return false;
    }
    range.name = text.substr(0, equals);
    const ParameterInfo* info = findParameter(range.name);
    if (info == nullptr) {
        error = option + ": there is no setting named '" + range.name + "'";
        return false;
    }
    if (const std::string why = unsweepable(*info); !why.empty()) {
        error = option + ": " + range.name + " cannot be swept: " + why;
        return false;
    }
    const std::vector<std::string> fields = splitList(text.substr(equals + 1), ':');
    if (fields.size() != 3 || !parseDouble(fields[0], range.start) ||
        !parseDouble(fields[1], range.stop) || !parseInt64(fields[2], range.count) ||
        range.count < 1) {
        error = option + " '" + text +
                "' is not NAME=START:STOP:COUNT (two numbers and a "
                "positive whole count)";
        return false;
    }
    if (range.count > kMostSweepRuns) {
        error = option + " '" + text + "': COUNT is a whole number from 1 to " +
                std::to_string(kMostSweepRuns) + " (the most runs a sweep may have)";
        return false;
    }
    return true;
}

}  // namespace

bool sweepValueTexts(const SweptRange& range, std::vector<std::string>& texts, std::string& error) {
    const ParameterInfo* info = findParameter(range.name);
    const SweptType type = info == nullptr ? SweptType::kDouble : sweptTypeOf(*info);
    const double magnitude = std::max(std::fabs(range.start), std::fabs(range.stop));
    texts.clear();
    float previousStored = 0.0F;
    double previousValue = 0.0;
    for (std::int64_t k = 0; k < range.count; ++k) {
        double value = range.start;
        if (range.count > 1 || range.open) {
            const auto steps = static_cast<double>(range.open ? range.count : range.count - 1);
            value = (range.start * (steps - static_cast<double>(k)) +
                     range.stop * static_cast<double>(k)) /
                    steps;
        }
        // What rounding leaves of a zero between a negative START and a positive STOP.
        if (std::fabs(value) < 1e-12 * magnitude) {
            value = 0.0;
        }
        const std::string which = "value " + std::to_string(k + 1) + " of the sweep";
        std::string text;
        if (type == SweptType::kDouble) {
            text = shortText(value, 12);
        } else if (type == SweptType::kSingle) {
            text = singlePrecisionText(value);
            const float stored = std::strtof(text.c_str(), nullptr);
            if (k > 0 && stored == previousStored && value != previousValue) {
                error = range.name + " is stored in single precision, which holds values " +
                        std::to_string(k) + " and " + std::to_string(k + 1) +
                        " of the sweep as the same number " + text +
                        "; sweep a wider range or fewer values";
                return false;
            }
            previousStored = stored;
            previousValue = value;
        } else if (!wholeValueText(*info, value, text, error)) {
            error = range.name + " " + error + ", and " + which + " would be " + text;
            return false;
        }
        texts.push_back(text);
    }
    return true;
}

namespace {

// The options, declared once for parsing and for the list --help shows.
void declareOptions(OptionParser& parser, SweepOptions& options) {
    parser.value("--set", "NAME=START:STOP:COUNT", "a setting to sweep (at least one)",
                 [&options](const std::string& value, std::string& error) {
                     SweptRange range;
                     if (!parseRange("--set", value, range, error)) {
                         return false;
                     }
                     for (const SweptRange& earlier : options.settings) {
                         if (earlier.name == range.name) {
                             error = "--set " + range.name + " is given twice";
                             return false;
                         }
                     }
                     options.settings.push_back(range);
                     return true;
                 });
    for (const bool open : {false, true}) {
        const std::string option = open ? "--over-open" : "--over";
        parser.value(option, "NAME=START:STOP:COUNT",
                     open ? "the same without STOP itself"
                          : "the outer axis (at most one, not a --set setting; COUNT times the "
                            "--set COUNT at most 100000 runs)",
                     [&options, option, open](const std::string& value, std::string& error) {
                         if (options.outer) {
                             error = "one outer axis at most: --over " + options.outer->name +
                                     " is already given";
                             return false;
                         }
                         SweptRange range;
                         range.open = open;
                         if (!parseRange(option, value, range, error)) {
                             return false;
                         }
                         options.outer = range;
                         return true;
                     });
    }
    parser.value("-o,--output", "DIR",
                 "the sweep's folder (required); it must not hold files of the names above (an "
                 "earlier sweep's or any other, links included) unless --force is given",
                 storeText(options.output));
    parser.flag("--force",
                "remove those files first (a link itself, never the file it leads to); the run "
                "log is appended to",
                setTrue(options.force));
    parser.value("--seed", "S",
                 "run k (0, 1, ...) gets --seed S+k (modulo 2^64), so the runs are independent "
                 "and the whole sweep can be repeated exactly; without it each run is seeded "
                 "from the clock, and a run never starts in the same second as the one before "
                 "it",
                 [&options](const std::string& value, std::string& error) {
                     std::uint64_t seed = 0;
                     if (!parseUint64(value, seed)) {
                         error = "--seed '" + value + "' is not 0 to 2^64-1";
                         return false;
                     }
                     options.seed = seed;
                     return true;
                 });
    parser.value("--threads", "N", "passed on to every run (1 to 1024, or 0: every core)",
                 [&options](const std::string& value, std::string& error) {
                     std::int64_t threads = 0;
                     if (!parseInt64(value, threads) || threads < 0 || threads > kMaxThreads) {
                         error = "--threads '" + value +
                                 "' is not a whole number of threads from 1 to " +
                                 std::to_string(kMaxThreads) + ", or 0 for every core";
                         return false;
                     }
                     options.threads = threads;
                     return true;
                 });
    parser.value("--program", "PATH",
                 "the conesim program (default: conesim in the folder above this tool's folder)",
                 storeText(options.program));
    parser.helpFlag("-h,--help", "this text", options.help);
    parser.positional([&options](const std::string& word, std::string& error) {
        if (!options.parameters.empty()) {
            error = "more than one parameter file: '" + options.parameters + "' and '" + word + "'";
            return false;
        }
        options.parameters = word;
        return true;
    });
}

}  // namespace

std::string sweepUsage() {
    SweepOptions unused;
    return toolHelp(
        kSweepUsageHead, [&](OptionParser& parser) { declareOptions(parser, unused); },
        kSweepUsageTail);
}

int parseSweepOptions(int argc, char** argv, SweepOptions& options) {
    const auto declare = [&](OptionParser& parser) { declareOptions(parser, options); };
    if (std::string error; readToolOptions(argc, argv, declare, error) != kExitOk) {
        return usageError(kTool, error);
    }
    if (options.help) {
        return kExitOk;
    }
    if (options.parameters.empty()) {
        return usageError(kTool, "no parameter file given");
    }
    if (options.settings.empty()) {
        return usageError(kTool, "no --set NAME=START:STOP:COUNT given");
    }
    if (options.output.empty()) {
        return usageError(kTool, "-o DIR is missing");
    }
    if (options.outer) {
        const SweptRange& outer = *options.outer;
        for (const SweptRange& range : options.settings) {
            if (range.name == outer.name) {
                return usageError(kTool,
                                  outer.name + " is given both with --set and as the outer axis");
            }
        }
        if (outer.count * options.settings.front().count > kMostSweepRuns) {
            return usageError(
                kTool, "the outer axis's " + std::to_string(outer.count) + " values times the " +
                           std::to_string(options.settings.front().count) +
                           " of --set make more than " + std::to_string(kMostSweepRuns) +
                           " runs (the most a sweep may have)");
        }
        std::vector<std::string> texts;
        std::string error;
        if (!sweepValueTexts(outer, texts, error)) {
            return usageError(kTool, error);
        }
    }
    for (const SweptRange& range : options.settings) {
        if (range.count != options.settings.front().count) {
            return usageError(kTool, "the swept settings vary together and need one COUNT: " +
                                         options.settings.front().name + " has " +
                                         std::to_string(options.settings.front().count) + ", " +
                                         range.name + " " + std::to_string(range.count));
        }
        std::vector<std::string> texts;
        std::string error;
        if (!sweepValueTexts(range, texts, error)) {
            return usageError(kTool, error);
        }
    }
    return kExitOk;
}

}  // namespace conesim::tools
