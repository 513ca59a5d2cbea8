// The one way the tests run a built program or tool: in a folder, with its arguments as
// words, a standard input, extra environment variables, an address-space limit and a time
// limit, capturing what it writes. No shell is involved, so no argument needs quoting.
// A program runs to its end (runProgram), or is started and left running (ProgramProcess)
// for tests that send it signals or answer its questions while it runs.
#pragma once

#include <sys/types.h>

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
    bool inputHeldOpen = false;            //!< instead: a pipe the test writes and closes
    std::vector<std::string> environment;  //!< NAME=VALUE added to the test's own
    std::int64_t addressSpaceKiB = 0;      //!< limit of the child's address space; 0: none
    std::int64_t fileSizeBytes = 0;        //!< largest file it may write, as on a full disk
                                           //!< (a write beyond fails); 0: no limit
    int timeoutSeconds = 600;              //!< for each wait; then the child is killed
    bool mergeErrorIntoOutput = false;     //!< standard error into out, as on a console
    int outputDescriptor = -1;             //!< 0 or above: output goes there, not into out
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

// A started program. The test may signal it, write to its standard input (inputHeldOpen),
// watch its output grow and wait for its end; a program still running when the object goes
// out of scope is killed, so that a failed test leaves nothing behind.
class ProgramProcess {
  public:
    explicit ProgramProcess(ProgramCall call);
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    void signal(int number) const;
    // Writes text to the program's standard input; false when not all of it went.
    bool write(const std::string& text);
    // Ends the program's standard input: a read of it then finds its end.
    void closeInput();
    // What the program has written so far (and its errors, when merged).
    std::string output() const;
    // Waits up to the time limit until the output holds text; false when it never did.
    bool waitForOutput(const std::string& text) const;
    // Waits up to the time limit for the end, then kills the program (timedOut); the
    // result with everything it wrote. Later calls give the same result.
    const ProgramResult& wait();

  private:
    ProgramCall call_;
    std::string capture_;  //!< the captured streams' paths without their suffixes
    pid_t pid_ = -1;
    int inputWriter_ = -1;
    bool finished_ = false;
    ProgramResult result_;
};

// Starts the program and waits for its end.
ProgramResult runProgram(const ProgramCall& call);

// Words separated by blanks, for tests that write a command line as one text.
std::vector<std::string> words(const std::string& text);

}  // namespace conesim::testing
