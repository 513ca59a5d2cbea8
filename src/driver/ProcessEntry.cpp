#include <unistd.h>

#include <csignal>
#include <iostream>

#include "driver/Driver.hpp"

namespace conesim {
namespace {

volatile std::sig_atomic_t stopRequested = 0;

// The first SIGINT or SIGTERM asks the photon loop to finish after the photon in flight;
// a second one ends the process at once.
extern "C" void onStopSignal(int signalNumber) {
    if (stopRequested != 0) {
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
        return;
    }
    stopRequested = 1;
}

}  // namespace

int runProgram(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    std::ios::sync_with_stdio(false);
    Console console{std::cout, std::cin};
    DriverEnvironment environment{console};
    environment.stopSignal = &stopRequested;
    if (isatty(STDERR_FILENO) != 0) {
        environment.terminal = &std::cerr;
    }
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    return runProgram(args, environment);
}

}  // namespace conesim
