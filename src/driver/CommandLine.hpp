// The command line: options before the parameter file, then PARAMS [OUTPUT_NAME].
//   --seed S     seeds the generator with S (0 to 2^64 - 1) instead of the start second
//   --threads N  the parallel run on N worker threads (0: every core the process may use)
//   --help       banner, usage and options
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "util/Console.hpp"

namespace conesim {

struct CommandLine {
    std::optional<std::uint64_t> seed;    //!< --seed
    std::optional<int> threads;           //!< --threads, 0 = every core
    bool help = false;                    //!< --help
    std::vector<std::string> positional;  //!< the program name, PARAMS and OUTPUT_NAME
};

enum class CommandLineResult { kRun, kHelp, kBadOption };

// Reads args (args[0] is the program name). kBadOption leaves a one-line message naming
// the option and its value in error. The positional words are not counted here.
CommandLineResult parseCommandLine(const std::vector<std::string>& args, CommandLine& line,
                                   std::string& error);

// The options as --help lists them, after the banner and usage.
void writeOptions(Console& console);

// The cores this process may run on (at least 1).
int availableCores();

// Most threads --threads accepts.
inline constexpr int kMaxThreads = 1024;

}  // namespace conesim
