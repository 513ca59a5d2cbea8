#include "ProgramRun.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <thread>

#include "TestSupport.hpp"

extern char** environ;

namespace conesim::testing {

namespace {

using Clock = std::chrono::steady_clock;

// A program named without a folder is looked for along PATH, here rather than in the
// child, which may only make async-signal-safe calls.
std::string programPath(const std::string& program) {
    if (program.find('/') != std::string::npos) {
        return program;
    }
    std::istringstream path(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "");
    for (std::string folder; std::getline(path, folder, ':');) {
        const std::string candidate = folder + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return program;
}

// The test's environment, each variable the call gives replaced by its value.
std::vector<std::string> environmentWords(const std::vector<std::string>& given) {
    auto nameOf = [](const std::string& word) { return word.substr(0, word.find('=')); };
    std::vector<std::string> result;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string word(*variable);
        bool replaced = false;
        for (const std::string& value : given) {
            replaced = replaced || nameOf(value) == nameOf(word);
        }
        if (!replaced) {
            result.push_back(word);
        }
    }
    result.insert(result.end(), given.begin(), given.end());
    return result;
}

// The words as the null-terminated array that execve takes; it points into words.
std::vector<char*> pointersTo(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (std::string& word : words) {
        pointers.push_back(word.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// In the child, before exec: the streams, the folder, the limits and the environment.
// Only async-signal-safe calls, and a failure ends the child with status 127.
[[noreturn]] void becomeProgram(const ProgramCall& call, const std::string& program, int in,
                                int out, int err, char** argv, char** envp) {
    if (::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
        ::chdir(call.folder.c_str()) != 0) {
        ::_exit(127);
    }
    // The three streams alone pass to the program: no end of another pipe of the test's
    // keeps a pipe open behind the test's back.
    for (int stream = 0; stream < 3; ++stream) {
        ::fcntl(stream, F_SETFD, 0);
    }
    ::close_range(3, ~0U, 0);
    // Every signal at its default action and unblocked, as from a login shell: a test
    // runner may have passed on SIGPIPE ignored.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    for (int number = 1; number < NSIG; ++number) {
        ::sigaction(number, &byDefault, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    if (call.addressSpaceKiB > 0) {
        const auto bytes = static_cast<rlim_t>(call.addressSpaceKiB) * 1024;
        const rlimit space{bytes, bytes};
        ::setrlimit(RLIMIT_AS, &space);
    }
    if (call.fileSizeBytes > 0) {
        const auto bytes = static_cast<rlim_t>(call.fileSizeBytes);
        const rlimit size{bytes, bytes};
        ::setrlimit(RLIMIT_FSIZE, &size);
        ::signal(SIGXFSZ, SIG_IGN);
    }
    ::execve(program.c_str(), argv, envp);
    ::_exit(127);
}

int openToWrite(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

}  // namespace

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> result;
    for (std::string word; in >> word;) {
        result.push_back(word);
    }
    return result;
}

ProgramProcess::ProgramProcess(ProgramCall call) : call_(std::move(call)) {
    // The captured streams go beside the folder, so that they never show among its files.
    capture_ = call_.folder.string() + ".run-" + std::to_string(::getpid()) + "-" +
               std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id())) + "-" +
               std::to_string(Clock::now().time_since_epoch().count());
    int in = -1;
    if (call_.inputHeldOpen) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) == 0) {
            in = ends[0];
            inputWriter_ = ends[1];
        }
    } else if (call_.input.empty()) {
        in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    } else {
        writeText(capture_ + ".stdin", call_.input);
        in = ::open((capture_ + ".stdin").c_str(), O_RDONLY | O_CLOEXEC);
    }
    const bool ownOutput = call_.outputDescriptor < 0;
    const int out = ownOutput ? openToWrite(capture_ + ".stdout") : call_.outputDescriptor;
    const int err = call_.mergeErrorIntoOutput ? out : openToWrite(capture_ + ".stderr");

    const std::string program = programPath(call_.program);
    std::vector<std::string> argumentWords{call_.program};
    argumentWords.insert(argumentWords.end(), call_.arguments.begin(), call_.arguments.end());
    std::vector<char*> argv = pointersTo(argumentWords);
    std::vector<std::string> variables = environmentWords(call_.environment);
    std::vector<char*> envp = pointersTo(variables);
    if (in >= 0 && out >= 0 && err >= 0) {
        pid_ = ::fork();
        if (pid_ == 0) {
            becomeProgram(call_, program, in, out, err, argv.data(), envp.data());
        }
    }
    result_.started = started();
    for (const int descriptor : {in, ownOutput ? out : -1, err != out ? err : -1}) {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    }
}

ProgramProcess::~ProgramProcess() {
    if (started() && !finished_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    closeInput();
    for (const char* stream : {".stdin", ".stdout", ".stderr"}) {
        std::remove((capture_ + stream).c_str());
    }
}

void ProgramProcess::signal(int number) const {
    if (started() && !finished_) {
        ::kill(pid_, number);
    }
}

bool ProgramProcess::write(const std::string& text) {
    return inputWriter_ >= 0 &&
           ::write(inputWriter_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void ProgramProcess::closeInput() {
    if (inputWriter_ >= 0) {
        ::close(inputWriter_);
        inputWriter_ = -1;
    }
}

std::string ProgramProcess::output() const {
    return readText(capture_ + ".stdout");
}

bool ProgramProcess::waitForOutput(const std::string& text) const {
    const auto deadline = Clock::now() + std::chrono::seconds(call_.timeoutSeconds);
    while (Clock::now() < deadline && started() && !finished_) {
        // Whether the program has ended, without collecting its status.
        siginfo_t ended{};
        ::waitid(P_PID, static_cast<id_t>(pid_), &ended, WEXITED | WNOHANG | WNOWAIT);
        if (output().find(text) != std::string::npos) {
            return true;
        }
        if (ended.si_pid != 0) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return output().find(text) != std::string::npos;
}

const ProgramResult& ProgramProcess::wait() {
    if (finished_) {
        return result_;
    }
    if (started()) {
        const auto deadline = Clock::now() + std::chrono::seconds(call_.timeoutSeconds);
        int raw = 0;
        pid_t ended = 0;
        while ((ended = ::waitpid(pid_, &raw, WNOHANG)) == 0 || (ended < 0 && errno == EINTR)) {
            if (Clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ended = ::waitpid(pid_, &raw, 0);
                result_.timedOut = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (ended == pid_ && WIFEXITED(raw) && !result_.timedOut) {
            result_.status = WEXITSTATUS(raw);
        } else if (ended == pid_ && WIFSIGNALED(raw)) {
            result_.signal = WTERMSIG(raw);
        }
    }
    finished_ = true;
    result_.out = output();
    result_.err = call_.mergeErrorIntoOutput ? std::string() : readText(capture_ + ".stderr");
    return result_;
}

ProgramResult runProgram(const ProgramCall& call) {
    ProgramProcess process(call);
    process.closeInput();
    return process.wait();
}

}  // namespace conesim::testing
