// The interrupt file on the built program: a named pipe under its name is asked about like a
// file, never opened; a stop signal ends the wait for the answer and keeps the photons; a
// standard input that has ended is said once and the run goes on to its end.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <regex>

#include "FolderRun.hpp"
#include "ZeroPlaneRun.hpp"

namespace conesim {
namespace {

using testing::readText;
using testing::ScratchDir;

const std::string kQuestion =
    "\nPresence of interupt file detected.\nEnter y to confirm interuption. Any other key "
    "continues: \n";

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

TEST(InterruptFileProgram, NamedPipeIsAskedAboutWithoutBeingOpened) {
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, "2000000000");
    ASSERT_EQ(mkfifo(dir.file("stopSTOPstop").c_str(), 0600), 0);
    testing::ProgramProcess program = testing::startInFolder(dir, {"params.txt", "asked"});
    ASSERT_TRUE(program.waitForOutput(kQuestion)) << program.output();
    ASSERT_TRUE(program.write("y\n"));
    const testing::ProgramResult& run = program.wait();
    const std::string& console = run.out;
    ASSERT_EQ(run.shellStatus(), 0) << console;
    // The file is polled at scored photons whose number is a multiple of 10000, the first
    // at photon 0 when it scores: the run stops after photon 1, 10001, 20001, ...
    EXPECT_TRUE(std::regex_search(
        console, std::regex("\nEnter y to confirm interuption\\. Any other key continues: \n"
                            "Run stopped through the interrupt file after (1|[1-9][0-9]*0001) of "
                            "2000000000 photons\\.\n")))
        << console;
    EXPECT_EQ(occurrences(console, kQuestion), 1U) << console;
    testing::expectWholeImage(dir, console, "asked");
}

// Serial and parallel runs alike: the stop ends the wait, the run ends after the photon in
// flight as a stopped run does, with its images and exit status 0.
TEST(InterruptFileProgram, StopSignalEndsTheWaitForTheAnswer) {
    const std::vector<std::vector<std::string>> commands{{"params.txt", "asked"},
                                                         {"--threads", "2", "params.txt", "asked"}};
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        for (const std::vector<std::string>& command : commands) {
            ScratchDir dir;
            testing::prepareZeroPlaneRun(dir, "2000000000");
            testing::writeText(dir.file("stopSTOPstop"), "");
            testing::ProgramProcess program = testing::startInFolder(dir, command);
            ASSERT_TRUE(program.waitForOutput(kQuestion)) << program.output();
            program.signal(signalNumber);
            const testing::ProgramResult& run = program.wait();
            const std::string& console = run.out;
            ASSERT_EQ(run.shellStatus(), 0) << console;
            EXPECT_TRUE(std::regex_search(
                console, std::regex("Run stopped by a stop signal after [0-9]+ of 2000000000 "
                                    "photons.\nDetector scored [0-9]+ hits.\nRun complete.\n")))
                << console;
            EXPECT_EQ(occurrences(console, kQuestion), 1U) << console;
            testing::expectWholeImage(dir, console, "asked");
        }
    }
}

TEST(InterruptFileProgram, EndedInputIsSaidOnceAndTheRunGoesOn) {
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, "100000");
    testing::writeText(dir.file("stopSTOPstop"), "");
    testing::ProgramProcess program = testing::startInFolder(dir, {"params.txt", "asked"});
    program.closeInput();
    const testing::ProgramResult& run = program.wait();
    const std::string& console = run.out;
    ASSERT_EQ(run.shellStatus(), 0) << console;
    const std::string warning =
        "WARNING: Standard input has ended, so the interruption cannot be confirmed; the run "
        "goes on and asks no more about the interrupt file stopSTOPstop (SIGINT or SIGTERM "
        "stops the run and keeps its photons).\n";
    EXPECT_EQ(occurrences(console, kQuestion + warning), 1U) << console;
    EXPECT_EQ(occurrences(console, kQuestion), 1U) << console;
    EXPECT_EQ(occurrences(readText(dir.file("OUT/Logger.txt")), warning), 1U);
    EXPECT_EQ(console.find("Run stopped"), std::string::npos);
    testing::expectWholeImage(dir, console, "asked");
}

}  // namespace
}  // namespace conesim
