#include "ProgramRun.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

extern char** environ;

namespace conesim::testing {

namespace {

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// In the child, before exec: the streams, the folder, the limits and the environment.
// Only async-signal-safe calls, and a failure ends the child with status 127.
[[noreturn]] void becomeProgram(const ProgramCall& call, const std::string& program,
                                const std::string& inPath, const std::string& outPath,
                                const std::string& errPath, char** argv, char** envp) {
    const int in = ::open(inPath.c_str(), O_RDONLY);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = call.mergeErrorIntoOutput
                        ? out
                        : ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
        ::dup2(err, 2) < 0 || ::chdir(call.folder.c_str()) != 0) {
        ::_exit(127);
    }
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
    ::execve(program.c_str(), argv, envp);
    ::_exit(127);
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

ProgramResult runProgram(const ProgramCall& call) {
    // The captured streams go beside the folder, so that they never show among its files.
    const std::string base =
        call.folder.string() + ".run-" + std::to_string(::getpid()) + "-" +
        std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id())) + "-" +
        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::string inPath = call.input.empty() ? "/dev/null" : base + ".stdin";
    const std::string outPath = base + ".stdout";
    const std::string errPath = base + ".stderr";
    if (!call.input.empty()) {
        std::ofstream(inPath, std::ios::binary) << call.input;
    }
    // A program named without a folder is looked for along PATH, here rather than in the
    // child, which may only make async-signal-safe calls.
    std::string program = call.program;
    if (program.find('/') == std::string::npos) {
        std::istringstream path(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "");
        for (std::string folder; std::getline(path, folder, ':');) {
            const std::string candidate = folder + "/" + call.program;
            if (::access(candidate.c_str(), X_OK) == 0) {
                program = candidate;
                break;
            }
        }
    }
    std::vector<std::string> argumentWords{call.program};
    argumentWords.insert(argumentWords.end(), call.arguments.begin(), call.arguments.end());
    std::vector<char*> argv;
    for (std::string& word : argumentWords) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    // The test's environment, each variable the call gives replaced by its value.
    auto nameOf = [](const std::string& word) { return word.substr(0, word.find('=')); };
    std::vector<std::string> environmentWords;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string word(*variable);
        bool replaced = false;
        for (const std::string& given : call.environment) {
            replaced = replaced || nameOf(given) == nameOf(word);
        }
        if (!replaced) {
            environmentWords.push_back(word);
        }
    }
    environmentWords.insert(environmentWords.end(), call.environment.begin(),
                            call.environment.end());
    std::vector<char*> envp;
    for (std::string& word : environmentWords) {
        envp.push_back(word.data());
    }
    envp.push_back(nullptr);

    ProgramResult result;
    const pid_t pid = ::fork();
    if (pid == 0) {
        becomeProgram(call, program, inPath, outPath, errPath, argv.data(), envp.data());
    }
    if (pid > 0) {
        result.started = true;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::seconds(call.timeoutSeconds);
        int raw = 0;
        while (::waitpid(pid, &raw, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &raw, 0);
                result.timedOut = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (WIFEXITED(raw) && !result.timedOut) {
            result.status = WEXITSTATUS(raw);
        } else if (WIFSIGNALED(raw)) {
            result.signal = WTERMSIG(raw);
        }
    }
    result.out = readWhole(outPath);
    result.err = call.mergeErrorIntoOutput ? std::string() : readWhole(errPath);
    for (const std::string& path : {outPath, errPath}) {
        std::remove(path.c_str());
    }
    if (!call.input.empty()) {
        std::remove(inPath.c_str());
    }
    return result;
}

}  // namespace conesim::testing
