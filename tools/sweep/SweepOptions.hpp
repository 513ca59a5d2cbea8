// The command line of conesim-sweep and the values each swept setting takes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace conesim::tools {

// --set NAME=START:STOP:COUNT (and --over, --over-open)
struct SweptRange {
    std::string name;
    double start = 0.0;
    double stop = 0.0;
    std::int64_t count = 0;
    bool open =
        false;  //!< STOP itself is left out: COUNT values a step (STOP - START) / COUNT apart
};

struct SweepOptions {
    bool help = false;
    std::string parameters;            //!< PARAMS
    std::vector<SweptRange> settings;  //!< in --set order
    std::optional<SweptRange> outer;   //!< --over or --over-open: the whole sweep per value
    std::optional<std::uint64_t> seed;
    std::optional<std::int64_t> threads;
    std::string output;   //!< -o DIR
    std::string program;  //!< --program PATH; empty: beside the tools folder
    bool force = false;
};

// The --help text: usage, what the tool does and writes, the options and the exit statuses.
std::string sweepUsage();

// The most runs one sweep may have (COUNT of --set, times COUNT of --over).
inline constexpr std::int64_t kMostSweepRuns = 100000;

// Returns kExitOk with options filled (or help set), or kExitUsage after reporting the bad
// argument: an unknown or non-sweepable setting, a range that is not START:STOP:COUNT,
// settings of different COUNT, a value an integer setting cannot hold.
int parseSweepOptions(int argc, char** argv, SweepOptions& options);

// The COUNT values of a range, evenly from START to STOP inclusive (STOP left out for an open
// range: START + k (STOP - START) / COUNT), as the texts written
// into the parameter file and sweep.csv: whole numbers for settings the program stores as
// integers, the shortest text of the single-precision number the program stores for a
// positional real, otherwise at most 12 significant digits (0.1 + 2 x 0.1 is written 0.3).
// False (error set) when the program would store another number than the value: a fraction
// of an integer setting (or of detectorPosition, which conesim truncates), a whole number
// beyond the setting's range, a switch other than 0 or 1, or two successive values that
// single precision cannot tell apart.
bool sweepValueTexts(const SweptRange& range, std::vector<std::string>& texts, std::string& error);

}  // namespace conesim::tools
