// Stop signals sent to the built program: during the photon loop the run keeps its photons,
// during the precalculation it ends without leaving unfinished map files; a second signal
// ends the process at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"

extern char** environ;

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::ScratchDir;

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
    // Waits up to 60 s for the console to show text.
    bool waitForConsole(const std::string& text) {
        for (int i = 0; i < 6000; ++i) {
            if (fs::exists(dir_.file("console.txt")) &&
                readText(dir_.file("console.txt")).find(text) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void signal(int number) { kill(pid_, number); }
    int wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        finished_ = true;
        return status;
    }
    std::string console() const { return readText(dir_.file("console.txt")); }

  private:
    const ScratchDir& dir_;
    pid_t pid_ = -1;
    int inputWriter_ = -1;
    bool finished_ = false;
};

// A large sample of zeros, as a sparse file, so that the precalculation takes a while.
void prepare(const ScratchDir& dir, const std::string& mode, const std::string& photons) {
    fs::create_directory(dir.path() / "OUT");
    testing::writeText(dir.file("Spectrum"), "30\n");
    const int edge = mode == "3" ? 400 : 20;
    const int depth = mode == "3" ? 400 : 4;
    {
        testing::writeText(dir.file("Sample.bin"), "");
        fs::resize_file(dir.file("Sample.bin"), std::uintmax_t(edge) * edge * depth * 4);
    }
    if (mode == "5") {
        for (const char* plane : {"Z_ref-PRE.pca", "Z_iLR-PRE.pca", "Z_iUD-PRE.pca"}) {
            testing::writeValues(dir.file(plane), std::vector<double>(400, 0.0));
        }
    }
    testing::writeText(dir.file("params.txt"),
                       testing::parameterFileText({{10, std::to_string(edge)},
                                                   {11, std::to_string(edge)},
                                                   {12, std::to_string(depth)},
                                                   {32, mode},
                                                   {39, photons},
                                                   {40, "100000000"}}));
}

TEST(Signals, StopDuringThePhotonLoopKeepsThePhotons) {
    for (int signalNumber : {SIGINT, SIGTERM}) {
        ScratchDir dir;
        prepare(dir, "5", "2000000000");
        RunningProgram program(dir, {"params.txt", "stopped"});
        ASSERT_TRUE(program.started());
        ASSERT_TRUE(program.waitForConsole("Starting Monte-Carlo sim.\n"));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        program.signal(signalNumber);
        const int status = program.wait();
        ASSERT_TRUE(WIFEXITED(status)) << program.console();
        EXPECT_EQ(WEXITSTATUS(status), 0) << program.console();
        EXPECT_NE(program.console().find("Run complete.\n"), std::string::npos);
        EXPECT_EQ(fs::file_size(dir.file("OUT/stopped.1.dat")), 40U * 40U * 4U);
        EXPECT_NE(readText(dir.file("OUT/Logger.txt")).find("Run number 1 finished at:\n"),
                  std::string::npos);
    }
}

TEST(Signals, StopDuringThePrecalculationLeavesNoUnfinishedMap) {
    ScratchDir dir;
    prepare(dir, "3", "10000");
    RunningProgram program(dir, {"params.txt"});
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForConsole("Calculating refraction for slice 3\n"));
    program.signal(SIGTERM);
    const int status = program.wait();
    ASSERT_TRUE(WIFEXITED(status)) << program.console();
    EXPECT_EQ(WEXITSTATUS(status), 879 % 256);
    EXPECT_NE(program.console().find("Run stopped by a signal during the precalculation; "
                                     "no map or plane file was changed.\n"),
              std::string::npos);
    for (const char* name : {"Z_ref-PRE", "Z_iLR-PRE", "Z_iUD-PRE", "Z_ref-PRE.pca",
                             "Z_iLR-PRE.pca", "Z_iUD-PRE.pca"}) {
        EXPECT_FALSE(fs::exists(dir.file(name))) << name;
    }
    EXPECT_EQ(readText(dir.file("OUT/Logger.txt")).find("finished at:"), std::string::npos);
}

TEST(Signals, SecondSignalEndsTheProcessAtOnce) {
    // The interrupt file makes the run wait for an answer that never comes; the first
    // signal is only noted there, the second ends the process.
    ScratchDir dir;
    prepare(dir, "5", "2000000000");
    testing::writeText(dir.file("stopSTOPstop"), "");
    RunningProgram program(dir, {"params.txt"});
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForConsole("Any other key continues: \n"));
    program.signal(SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    program.signal(SIGINT);
    const int status = program.wait();
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGINT);
}

}  // namespace
}  // namespace conesim
