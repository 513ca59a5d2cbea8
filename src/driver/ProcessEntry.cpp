#include <unistd.h>

#include <csignal>
#include <iostream>

#include "driver/AnswerSource.hpp"
#include "driver/ClusterSession.hpp"
#include "driver/Driver.hpp"

namespace conesim {
namespace {

volatile std::sig_atomic_t stopRequested = 0;

// The first SIGINT, SIGTERM or SIGHUP (the terminal or session closed) asks the run to stop:
// the photon loop finishes after the photon in flight, the precalculation ends without
// touching the files of earlier runs. A second one ends the process at once.
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
    const std::unique_ptr<ClusterSession> session = startClusterSession(argc, argv);
    std::vector<std::string> args(argv, argv + argc);
    std::ios::sync_with_stdio(false);
    Console console{std::cout, std::cin};
    DriverEnvironment environment{console};
    environment.stopSignal = &stopRequested;
    DescriptorAnswers answers(STDIN_FILENO);
    environment.answers = &answers;
    if (isatty(STDERR_FILENO) != 0) {
        environment.terminal = &std::cerr;
    }
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    std::signal(SIGHUP, onStopSignal);
    // Standard output piped into a reader that has gone (`| head`) must not end a run that
    // can still write its images: the console writes then merely fail, and are dropped.
    std::signal(SIGPIPE, SIG_IGN);
    return session->run(args, environment);
}

}  // namespace conesim
