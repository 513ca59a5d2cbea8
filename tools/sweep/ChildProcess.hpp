// Runs one program to its end in a given folder, its console output into a file, while
// the caller keeps a progress display going and a stop request is passed on to it.
#pragma once

#include <csignal>
#include <functional>
#include <string>
#include <vector>

namespace conesim::tools {

struct ChildOutcome {
    bool started = false;  //!< false: no process could be made (error says why)
    int status = 0;        //!< exit status as the shell sees it; 128 + signal when killed
    std::string error;
};

// Starts program (absolute path) with args in folder, standard input from /dev/null and
// standard output and error into logPath (created or emptied). The child gets a process
// group of its own, so that a Ctrl-C at the terminal reaches only this process, which
// passes exactly one SIGINT on when *stop becomes non-zero. whileRunning is called about
// five times a second until the child ends.
ChildOutcome runChildProcess(const std::string& program, const std::vector<std::string>& args,
                             const std::string& folder, const std::string& logPath,
                             const std::function<void()>& whileRunning,
                             const volatile std::sig_atomic_t* stop);

}  // namespace conesim::tools
