// The one way the tests run a built program or tool: in a folder, with its arguments as
// words, a standard input, extra environment variables, an address-space limit and a time
// limit, capturing what it writes. No shell is involved, so no argument needs quoting.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace conesim::testing {

struct ProgramCall {
    ProgramCall(std::string programPath, std::vector<std::string> words,
                std::filesystem::path workingFolder)
        : program(std::move(programPath)),
          arguments(std::move(words)),
          folder(std::move(workingFolder)) {}

    std::string program;                   //!< path of the executable
    std::vector<std::string> arguments;    //!< after the program's name
    std::filesystem::path folder;          //!< working folder
    std::string input;                     //!< standard input; empty: /dev/null
    std::vector<std::string> environment;  //!< NAME=VALUE added to the test's own
    std::int64_t addressSpaceKiB = 0;      //!< limit of the child's address space; 0: none
    int timeoutSeconds = 600;              //!< then the child is killed (timedOut)
    bool mergeErrorIntoOutput = false;     //!< standard error into out, as on a console
};

struct ProgramResult {
    int status = -1;        //!< exit status; -1 when the child did not exit normally
    int signal = 0;         //!< the signal that ended it, 0 when none did
    bool timedOut = false;  //!< killed after timeoutSeconds
    bool started = false;   //!< the program could be started
    std::string out;        //!< standard output (and error, when merged)
    std::string err;        //!< standard error, when not merged

    // The status as a shell reports it: 128 + the signal for a death by a signal, 124 for
    // a run that reached its time limit.
    int shellStatus() const { return timedOut ? 124 : signal != 0 ? 128 + signal : status; }
};

ProgramResult runProgram(const ProgramCall& call);

// Words separated by blanks, for tests that write a command line as one text.
std::vector<std::string> words(const std::string& text);

}  // namespace conesim::testing
