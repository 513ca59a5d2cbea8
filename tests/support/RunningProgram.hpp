// The built program running in a scratch folder, for tests that send it signals or answer
// its questions while it runs.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.hpp"

extern char** environ;

namespace conesim::testing {

// The program running in a scratch folder, console to console.txt, standard input from a
// pipe that the test holds open, so that a prompt for an answer waits.
class RunningProgram {
  public:
    RunningProgram(const ScratchDir& dir, const std::vector<std::string>& arguments) : dir_(dir) {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        inputWriter_ = fds[1];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
        posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        posix_spawn_file_actions_addopen(&actions, 1, "console.txt", O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<std::string> words{CONESIM_BINARY};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, CONESIM_BINARY, &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(fds[0]);
    }
    ~RunningProgram() {
        if (pid_ > 0 && !finished_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (inputWriter_ >= 0) {
            close(inputWriter_);
        }
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // Waits up to 60 s for the console to show text.
    bool waitForConsole(const std::string& text) {
        for (int i = 0; i < 6000; ++i) {
            if (std::filesystem::exists(dir_.file("console.txt")) &&
                readText(dir_.file("console.txt")).find(text) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void signal(int number) { kill(pid_, number); }
    // Writes text to the program's standard input.
    bool answer(const std::string& text) {
        return write(inputWriter_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    // Ends the program's standard input: a prompt then reads the end of its input.
    void closeInput() {
        if (inputWriter_ >= 0) {
            close(inputWriter_);
            inputWriter_ = -1;
        }
    }
    int wait() {
        if (!finished_) {
            waitpid(pid_, &status_, 0);
            finished_ = true;
        }
        return status_;
    }
    // Waits up to the given seconds for the program to end; false when it is still running,
    // so that a hang fails the test instead of holding it.
    bool waitFor(int seconds, int& status) {
        for (int i = 0; i < seconds * 100 && running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        status = status_;
        return !running();
    }
    // Whether the program is still running.
    bool running() {
        if (!finished_ && waitpid(pid_, &status_, WNOHANG) == pid_) {
            finished_ = true;
        }
        return !finished_;
    }
    std::string console() const { return readText(dir_.file("console.txt")); }

  private:
    const ScratchDir& dir_;
    pid_t pid_ = -1;
    int inputWriter_ = -1;
    bool finished_ = false;
    int status_ = 0;
};

}  // namespace conesim::testing
