// The command line of conesim-mask.
#pragma once

#include <string>

#include "mask/MaskPattern.hpp"

namespace conesim::tools {

// The largest mask edge the program accepts.
constexpr std::int64_t kMaxMaskSize = 10000;

struct MaskOptions {
    bool help = false;
    std::int64_t size = 0;
    std::string output;
    MaskPattern pattern;
};

extern const char* const kMaskUsage;

// Returns kExitOk with options filled, or kExitUsage after reporting the bad argument.
int parseMaskOptions(int argc, char** argv, MaskOptions& options);

}  // namespace conesim::tools
