// The parallel run of the built program: a stop signal or a confirmed interrupt keeps every
// photon that ran, writes whole images and says how many photons ran.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <regex>
#include <thread>

#include "FolderRun.hpp"
#include "ZeroPlaneRun.hpp"

namespace conesim {
namespace {

using testing::readText;
using testing::ScratchDir;

TEST(ParallelProgram, StopSignalKeepsEveryPhotonThatRan) {
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, "2000000000");
    testing::ProgramProcess program =
        testing::startInFolder(dir, {"--threads", "2", "--seed", "5", "params.txt", "stopped"});
    ASSERT_TRUE(program.waitForOutput("Starting Monte-Carlo sim.\n")) << program.output();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    program.signal(SIGTERM);
    const testing::ProgramResult& run = program.wait();
    const std::string& console = run.out;
    ASSERT_EQ(run.shellStatus(), 0) << console;
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
    testing::ProgramProcess program =
        testing::startInFolder(dir, {"--threads", "3", "params.txt", "stopped"});
    ASSERT_TRUE(program.waitForOutput("Starting Monte-Carlo sim.\n")) << program.output();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    testing::writeText(dir.file("stopSTOPstop"), "");
    ASSERT_TRUE(program.waitForOutput("Any other key continues: \n")) << program.output();
    ASSERT_TRUE(program.write("y\n"));
    const testing::ProgramResult& run = program.wait();
    const std::string& console = run.out;
    ASSERT_EQ(run.shellStatus(), 0) << console;
    EXPECT_TRUE(std::regex_search(
        console, std::regex("Run stopped through the interrupt file after [1-9][0-9]* of "
                            "2000000000 photons.\n")))
        << console;
    testing::expectWholeImage(dir, console, "stopped");
}

}  // namespace
}  // namespace conesim
