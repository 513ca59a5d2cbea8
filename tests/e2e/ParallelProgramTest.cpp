// The parallel run of the built program: a stop signal or a confirmed interrupt keeps every
// photon that ran, writes whole images and says how many photons ran.
#include <gtest/gtest.h>

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

// A mode-5 set-up of 40 x 40 pixels with planes of zeros and an endless photon budget.
void prepare(const ScratchDir& dir) {
    fs::create_directory(dir.path() / "OUT");
    testing::writeText(dir.file("Spectrum"), "30\n");
    testing::writeValues(dir.file("Sample.bin"), std::vector<float>(20 * 20 * 4, 0.0F));
    for (const char* plane : {"Z_ref-PRE.pca", "Z_iLR-PRE.pca", "Z_iUD-PRE.pca"}) {
        testing::writeValues(dir.file(plane), std::vector<double>(400, 0.0));
    }
    testing::writeText(dir.file("params.txt"),
                       testing::parameterFileText({{39, "2000000000"}, {40, "100000000"}}));
}

// The hits that the console reports, and the sum of the final image's counts.
void expectWholeImage(const ScratchDir& dir, const std::string& console) {
    std::smatch hits;
    ASSERT_TRUE(std::regex_search(console, hits, std::regex("Detector scored ([0-9]+) hits.")))
        << console;
    const std::vector<std::uint32_t> image =
        testing::readValues<std::uint32_t>(dir.file("OUT/stopped.1.dat"));
    ASSERT_EQ(image.size(), 40U * 40U);
    EXPECT_EQ(std::accumulate(image.begin(), image.end(), std::uint64_t{0}),
              std::stoull(hits[1].str()));
    EXPECT_NE(readText(dir.file("OUT/Logger.txt")).find("Run number 1 finished at:\n"),
              std::string::npos);
}

TEST(ParallelProgram, StopSignalKeepsEveryPhotonThatRan) {
    ScratchDir dir;
    prepare(dir);
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
    expectWholeImage(dir, console);
    EXPECT_NE(readText(dir.file("OUT/Logger.txt")).find("Run stopped by a stop signal after "),
              std::string::npos);
}

TEST(ParallelProgram, ConfirmedInterruptKeepsEveryPhotonThatRan) {
    ScratchDir dir;
    prepare(dir);
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
    expectWholeImage(dir, console);
}

}  // namespace
}  // namespace conesim
