// The built program in a scratch folder as the end-to-end tests run it: its console (output
// and error together) captured, at most a minute for each wait, run to its end or started
// and left running.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ProgramRun.hpp"
#include "TestSupport.hpp"

namespace conesim::testing {

// The built program in dir with the arguments, its console merged, standard input from
// /dev/null, a minute for each wait.
inline ProgramCall folderCall(const ScratchDir& dir, std::vector<std::string> arguments) {
    ProgramCall call{CONESIM_BINARY, std::move(arguments), dir.path()};
    call.timeoutSeconds = 60;
    call.mergeErrorIntoOutput = true;
    return call;
}

struct ShellRun {
    int status = -1;  //!< the exit status as a shell reports it (ProgramResult::shellStatus)
    std::string console;
};

// Runs the built program in dir with arguments (words separated by blanks), its console
// also to console.txt, with an address-space limit when addressSpaceKiB is above 0 and the
// environment's NAME=VALUE added.
inline ShellRun runInFolder(const ScratchDir& dir, const std::string& arguments,
                            std::int64_t addressSpaceKiB = 0,
                            const std::vector<std::string>& environment = {}) {
    ProgramCall call = folderCall(dir, words(arguments));
    call.addressSpaceKiB = addressSpaceKiB;
    call.environment = environment;
    const ProgramResult result = runProgram(call);
    writeText(dir.file("console.txt"), result.out);
    return ShellRun{result.shellStatus(), result.out};
}

// Starts the built program in dir with the arguments, its standard input a pipe that the
// test holds open, so that a question waits for the test's answer.
inline ProgramProcess startInFolder(const ScratchDir& dir, std::vector<std::string> arguments,
                                    int timeoutSeconds = 60) {
    ProgramCall call = folderCall(dir, std::move(arguments));
    call.inputHeldOpen = true;
    call.timeoutSeconds = timeoutSeconds;
    return ProgramProcess(std::move(call));
}

}  // namespace conesim::testing
