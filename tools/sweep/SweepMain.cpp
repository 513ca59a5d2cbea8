// conesim-sweep: runs conesim over a range of values of one or more settings and stacks
// the final images.
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "common/ToolExit.hpp"
#include "sweep/SweepOptions.hpp"
#include "sweep/SweepRunner.hpp"

namespace {

using namespace conesim::tools;

constexpr const char* kTool = "conesim-sweep";

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void onStopSignal(int signal) {
    if (stopSignal == 0) {
        stopSignal = signal;
    }
}

int runSweepTool(int argc, char** argv) {
    SweepOptions options;
    if (const int status = parseSweepOptions(argc, argv, options); status != kExitOk) {
        return status;
    }
    if (options.help) {
        std::cout << sweepUsage();
        return kExitOk;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // A hang-up (the terminal or ssh session closing) ends the sweep the same orderly way:
    // the run in flight is stopped and recorded, and the run's parameter copy removed.
    sigaction(SIGHUP, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    SweepEnvironment environment{std::cout, std::cerr, ::isatty(STDOUT_FILENO) == 1,
                                 argc > 0 ? argv[0] : "", &stopSignal};
    return runSweep(options, environment);
}

}  // namespace

int main(int argc, char** argv) {
    return runGuarded(kTool, [&] { return runSweepTool(argc, argv); });
}
