// The interrupt file on the built program: a named pipe under its name is asked about like a
// file, never opened; a stop signal ends the wait for the answer and keeps the photons; a
// standard input that has ended is said once and the run goes on to its end.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <numeric>
#include <regex>

#include "ParameterFileText.hpp"
#include "RunningProgram.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::RunningProgram;
using testing::ScratchDir;

const std::string kQuestion =
    "\nPresence of interupt file detected.\nEnter y to confirm interuption. Any other key "
    "continues: \n";

// A mode-5 set-up of 40 x 40 pixels with planes of zeros.
void prepare(const ScratchDir& dir, const std::string& photons) {
    fs::create_directory(dir.path() / "OUT");
    testing::writeText(dir.file("Spectrum"), "30\n");
    testing::writeValues(dir.file("Sample.bin"), std::vector<float>(20 * 20 * 4, 0.0F));
    for (const char* plane : {"Z_ref-PRE.pca", "Z_iLR-PRE.pca", "Z_iUD-PRE.pca"}) {
        testing::writeValues(dir.file(plane), std::vector<double>(400, 0.0));
    }
    testing::writeText(dir.file("params.txt"),
                       testing::parameterFileText({{39, photons}, {40, "100000000"}}));
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

// The hits the console reports are the counts of the whole final image.
void expectWholeImage(const ScratchDir& dir, const std::string& console) {
    std::smatch hits;
    ASSERT_TRUE(std::regex_search(console, hits, std::regex("Detector scored ([0-9]+) hits.")))
        << console;
    const std::vector<std::uint32_t> image =
        testing::readValues<std::uint32_t>(dir.file("OUT/asked.1.dat"));
    ASSERT_EQ(image.size(), 40U * 40U);
    EXPECT_EQ(std::accumulate(image.begin(), image.end(), std::uint64_t{0}),
              std::stoull(hits[1].str()));
    EXPECT_NE(readText(dir.file("OUT/Logger.txt")).find("Run number 1 finished at:\n"),
              std::string::npos);
}

TEST(InterruptFileProgram, NamedPipeIsAskedAboutWithoutBeingOpened) {
    ScratchDir dir;
    prepare(dir, "2000000000");
    ASSERT_EQ(mkfifo(dir.file("stopSTOPstop").c_str(), 0600), 0);
    RunningProgram program(dir, {"params.txt", "asked"});
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForConsole(kQuestion)) << program.console();
    ASSERT_TRUE(program.answer("y\n"));
    int status = 0;
    ASSERT_TRUE(program.waitFor(60, status)) << program.console();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string console = program.console();
    EXPECT_NE(
        console.find(kQuestion + "Run stopped through the interrupt file after 1 of 2000000000 "
                                 "photons.\n"),
        std::string::npos)
        << console;
    expectWholeImage(dir, console);
}

// Serial and parallel runs alike: the stop ends the wait, the run ends after the photon in
// flight as a stopped run does, with its images and exit status 0.
TEST(InterruptFileProgram, StopSignalEndsTheWaitForTheAnswer) {
    const std::vector<std::vector<std::string>> commands{{"params.txt", "asked"},
                                                         {"--threads", "2", "params.txt", "asked"}};
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        for (const std::vector<std::string>& command : commands) {
            ScratchDir dir;
            prepare(dir, "2000000000");
            testing::writeText(dir.file("stopSTOPstop"), "");
            RunningProgram program(dir, command);
            ASSERT_TRUE(program.started());
            ASSERT_TRUE(program.waitForConsole(kQuestion)) << program.console();
            program.signal(signalNumber);
            int status = 0;
            ASSERT_TRUE(program.waitFor(60, status)) << program.console();
            ASSERT_TRUE(WIFEXITED(status)) << program.console();
            EXPECT_EQ(WEXITSTATUS(status), 0);
            const std::string console = program.console();
            EXPECT_TRUE(std::regex_search(
                console, std::regex("Run stopped by a stop signal after [0-9]+ of 2000000000 "
                                    "photons.\nDetector scored [0-9]+ hits.\nRun complete.\n")))
                << console;
            EXPECT_EQ(occurrences(console, kQuestion), 1U) << console;
            expectWholeImage(dir, console);
        }
    }
}

TEST(InterruptFileProgram, EndedInputIsSaidOnceAndTheRunGoesOn) {
    ScratchDir dir;
    prepare(dir, "100000");
    testing::writeText(dir.file("stopSTOPstop"), "");
    RunningProgram program(dir, {"params.txt", "asked"});
    ASSERT_TRUE(program.started());
    program.closeInput();
    int status = 0;
    ASSERT_TRUE(program.waitFor(60, status)) << program.console();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string warning =
        "WARNING: Standard input has ended, so the interruption cannot be confirmed; the run "
        "goes on and asks no more about the interrupt file stopSTOPstop (SIGINT or SIGTERM "
        "stops the run and keeps its photons).\n";
    const std::string console = program.console();
    EXPECT_EQ(occurrences(console, kQuestion + warning), 1U) << console;
    EXPECT_EQ(occurrences(console, kQuestion), 1U) << console;
    EXPECT_EQ(occurrences(readText(dir.file("OUT/Logger.txt")), warning), 1U);
    EXPECT_EQ(console.find("Run stopped"), std::string::npos);
    expectWholeImage(dir, console);
}

}  // namespace
}  // namespace conesim
