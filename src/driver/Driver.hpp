// The process entry: command line, run lifecycle and exit codes.
#pragma once

#include <csignal>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "engine/BatchCluster.hpp"
#include "util/Console.hpp"

namespace conesim {

class AnswerSource;

// Exit codes of the program (as the entry point returns them).
inline constexpr int kExitOk = 0;
inline constexpr int kExitParameterFileNotLoaded = 11;
inline constexpr int kExitUsageOrFault = 12;
inline constexpr int kExitRunLogUnavailable = 13;
inline constexpr int kExitOutputIncomplete = 14;
inline constexpr int kExitNoFreeRunNumber = 15;
inline constexpr int kExitPlaneFolderMissing = 16;
inline constexpr int kExitSampleFile = 32;

// Everything the lifecycle takes from its surroundings, so that a whole run can be driven
// inside a test with string streams and a fixed clock.
struct DriverEnvironment {
    Console& console;
    // Calendar time in whole seconds: seeds the generator and stamps the run log.
    std::function<std::time_t()> clock = [] { return std::time(nullptr); };
    // Set (non-zero) by a signal handler when the user asks the run to stop.
    const volatile std::sig_atomic_t* stopSignal = nullptr;
    // Standard error when it is a terminal: the live progress line goes there.
    std::ostream* terminal = nullptr;
    // The processes of a run spread over several processes (process 0 runs the program);
    // nothing for a run in this process alone.
    BatchCluster* cluster = nullptr;
    // Where the answer to the interrupt question comes from; nothing: words from console.in.
    AnswerSource* answers = nullptr;
};

// Runs one simulation; args[0] is the program name. Returns the exit code.
int runProgram(const std::vector<std::string>& args, DriverEnvironment& environment);

// The process entry: standard streams, the real clock and the stop signals.
int runProgram(int argc, char** argv);

}  // namespace conesim
