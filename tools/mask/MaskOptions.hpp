// The command line of conesim-mask.
#pragma once

#include <string>

#include "mask/MaskPattern.hpp"

namespace conesim::tools {

// The largest mask edge the program accepts.
constexpr std::int64_t kMaxMaskSize = 10000;
// The largest grating period and offset magnitude: far beyond any mask edge, and small
// enough that no column minus an offset can overflow.
constexpr std::int64_t kMaxGratingPeriod = 1000000000;

struct MaskOptions {
    bool help = false;
    std::int64_t size = 0;
    std::string output;
    MaskPattern pattern;
};

// The --help text: usage, what the tool writes, the options and the exit statuses.
std::string maskUsage();

// Returns kExitOk with options filled (options.help after -h or --help), or kExitUsage with
// error saying which argument is wrong.
int parseMaskOptions(int argc, char** argv, MaskOptions& options, std::string& error);

}  // namespace conesim::tools
