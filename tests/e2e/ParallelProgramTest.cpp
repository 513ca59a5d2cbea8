// The parallel run of the built program: a stop signal or a confirmed interrupt keeps every
// photon that ran, writes whole images and says how many photons ran.
#include <gtest/gtest.h>

#include <regex>

#include "RunningProgram.hpp"
#include "ZeroPlaneRun.hpp"

namespace conesim {
namespace {

using testing::readText;
using testing::RunningProgram;
using testing::ScratchDir;

TEST(ParallelProgram, StopSignalKeepsEveryPhotonThatRan) {
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, "2000000000");
    RunningProgram program(dir, {"--threads", "2", "--seed", "5", "params.txt", "stopped"});
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForConsole("Starting Monte-Carlo sim.\n"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    program.signal(SIGTERM);
    const int status = program.wait();
    ASSERT_TRUE(WIFEXITED(status)) << program.console();
    EXPECT_EQ(WEXITSTATUS(status), 0) << program.console();
    const std::string console = program.console();
    EXPECT_TRUE(std::regex_search(
        console, std::regex("Run stopped by a stop signal after [1-9][0-9]* of 2000000000 "
                            "photons.\nDetector scored [0-9]+ hits.\n")))
        << console;
    testing::expectWholeImage(dir, console, "stopped");
    EXPECT_NE(readText(dir.file("OUT/Logger.txt")).find("Run stopped by a stop signal after "),
              std::string::npos);
}

TEST(ParallelProgram, ConfirmedInterruptKeepsEveryPhotonThatRan) {
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, "2000000000");
    RunningProgram program(dir, {"--threads", "3", "params.txt", "stopped"});
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForConsole("Starting Monte-Carlo sim.\n"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    testing::writeText(dir.file("stopSTOPstop"), "");
    ASSERT_TRUE(program.waitForConsole("Any other key continues: \n"));
    ASSERT_TRUE(program.answer("y\n"));
    const int status = program.wait();
    ASSERT_TRUE(WIFEXITED(status)) << program.console();
    EXPECT_EQ(WEXITSTATUS(status), 0) << program.console();
    const std::string console = program.console();
    EXPECT_TRUE(std::regex_search(
        console, std::regex("Run stopped through the interrupt file after [1-9][0-9]* of "
                            "2000000000 photons.\n")))
        << console;
    testing::expectWholeImage(dir, console, "stopped");
}

}  // namespace
}  // namespace conesim
