#include "sweep/ChildProcess.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace conesim::tools {

namespace {

// In the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void execInFolder(const char* program, char* const* argv, const char* folder,
                               const char* logPath) {
    setpgid(0, 0);
    const int input = open("/dev/null", O_RDONLY);
    // The console log is the sweep's own file: never written through a link.
    const int log = open(logPath, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0644);
    if (input < 0 || log < 0 || dup2(input, STDIN_FILENO) < 0 || dup2(log, STDOUT_FILENO) < 0 ||
        dup2(log, STDERR_FILENO) < 0 || chdir(folder) != 0) {
        _exit(126);
    }
    close(input);
    close(log);
    execv(program, argv);
    _exit(127);
}

void pause(long milliseconds) {
    timespec wait{0, milliseconds * 1000000L};
    nanosleep(&wait, nullptr);
}

}  // namespace

ChildOutcome runChildProcess(const std::string& program, const std::vector<std::string>& args,
                             const std::string& folder, const std::string& logPath,
                             const std::function<void()>& whileRunning,
                             const volatile std::sig_atomic_t* stop) {
    ChildOutcome outcome;
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        outcome.error = std::string("cannot start a process: ") + std::strerror(errno);
        return outcome;
    }
    if (child == 0) {
        execInFolder(program.c_str(), argv.data(), folder.c_str(), logPath.c_str());
    }
    outcome.started = true;
    bool stopPassedOn = false;
    int raw = 0;
    // Short runs are noticed quickly; long ones are looked at five times a second.
    long interval = 5;
    while (true) {
        const pid_t done = waitpid(child, &raw, WNOHANG);
        if (done == child) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            outcome.error = std::string("lost the run's process: ") + std::strerror(errno);
            outcome.status = 1;
            return outcome;
        }
        if (stop != nullptr && *stop != 0 && !stopPassedOn) {
            kill(child, SIGINT);
            stopPassedOn = true;
        }
        if (whileRunning) {
            whileRunning();
        }
        pause(interval);
        interval = std::min(interval * 2, 200L);
    }
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return outcome;
}

}  // namespace conesim::tools
