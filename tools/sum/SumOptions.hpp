// The command line of conesim-sum.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/ArgParse.hpp"

namespace conesim::tools {

// Detector row lengths the raw images can have.
constexpr IntRange kSumWidthRange{1, 4294967295LL};

struct SumOptions {
    bool help = false;
    std::int64_t width = 0;  //!< --width; 0 when the parameter file gives it
    std::string paramsFile;
    std::string output;  //!< as given; see outputBase
    std::vector<std::string> inputs;
};

// The --help text: usage, what the tool writes, the options and the exit statuses.
std::string sumUsage();

// Returns kExitOk with options filled (options.help after -h or --help), or kExitUsage with
// error saying which argument is wrong.
int parseSumOptions(int argc, char** argv, SumOptions& options, std::string& error);

// The output name without a ".dat" or ".pgm" ending: the images are base.dat and base.pgm.
std::string outputBase(const std::string& output);

}  // namespace conesim::tools
