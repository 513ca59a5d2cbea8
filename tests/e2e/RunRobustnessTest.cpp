// Runs that once lost or mixed results on the built program: a link planted at a temporary
// image name, threads the system refuses, the plain build started by an MPI launcher, and
// reports at interval multiples whose own photon is not scored.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "PrecalcRunSupport.hpp"
#include "ZeroPlaneRun.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

bool holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The run waits at the interrupt question while the links are planted under the names its
// final images will be written under; the images then go to new files of their own.
TEST(RunRobustness, LinksPlantedAtTemporaryImageNamesRedirectNothing) {
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, "2000000000");
    testing::writeText(dir.file("stopSTOPstop"), "");
    testing::writeText(dir.file("victim"), "precious");
    testing::ProgramProcess program = testing::startInFolder(dir, {"params.txt", "planted"});
    ASSERT_TRUE(program.waitForOutput("Any other key continues: \n")) << program.output();
    const std::string suffix = ".partial-" + std::to_string(program.pid());
    for (const char* name : {"planted.1.pgm", "planted.1.dat", "planted.1.dat.mhd"}) {
        fs::create_symlink(dir.file("victim"), dir.file("OUT/" + std::string(name) + suffix));
    }
    ASSERT_TRUE(program.write("y\n"));
    const testing::ProgramResult& run = program.wait();
    ASSERT_EQ(run.shellStatus(), 0) << run.out;
    EXPECT_EQ(testing::readText(dir.file("victim")), "precious");
    testing::expectWholeImage(dir, run.out, "planted");
    for (const auto& entry : fs::directory_iterator(dir.file("OUT"))) {
        EXPECT_FALSE(holds(entry.path().string(), ".partial-")) << entry.path();
    }
}

// Under a memory limit that holds only some of 1024 thread stacks, the run goes on with the
// threads that started, or, when none did, ends with status 14 and leaves no placeholder.
TEST(RunRobustness, ThreadsTheSystemRefusesEndNothingAbruptly) {
    if (testing::kSanitizedBuild) {
        GTEST_SKIP() << "the sanitizer's shadow memory does not fit under the memory limit";
    }
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, "100000");
    const testing::ShellRun run =
        testing::runInFolder(dir, "--threads 1024 params.txt threads", 700000);
    ASSERT_NE(run.status, -1) << run.console;
    if (run.status == 0) {
        EXPECT_TRUE(std::regex_search(run.console,
                                      std::regex("WARNING: The system started only [0-9]+ of the "
                                                 "1024 threads asked for \\(.+\\); the run goes "
                                                 "on with [0-9]+ threads?, which gives the same "
                                                 "image.\n")))
            << run.console;
        testing::expectWholeImage(dir, run.console, "threads");
    } else {
        EXPECT_EQ(run.status, 14) << run.console;
        EXPECT_TRUE(holds(run.console,
                          "ERROR: The system refused to start any of the 1024 "
                          "threads asked for") ||
                    holds(run.console, "ERROR: Not enough memory for the run's buffers."))
            << run.console;
        EXPECT_FALSE(testing::leavesImagesOf(dir, "threads"));
    }
}

// The build without MPI, started by mpirun as one of several processes, refuses to run.
TEST(RunRobustness, PlainBuildRefusesToRunAsOneOfSeveralMpiProcesses) {
    for (const std::string variables : {"OMPI_COMM_WORLD_SIZE=3 OMPI_COMM_WORLD_RANK=1 ",
                                        "PMI_SIZE=2 PMI_RANK=0 ", "PMIX_RANK=2 "}) {
        ScratchDir dir;
        testing::prepareZeroPlaneRun(dir, "10000");
        const testing::ShellRun run =
            testing::runInFolder(dir, "params.txt launched", 0, testing::words(variables));
        EXPECT_EQ(run.status, 12) << variables << run.console;
        EXPECT_TRUE(std::regex_search(
            run.console, std::regex("^ERROR: conesim was started by an MPI launcher as one of "
                                    "(3|2|several) processes \\([A-Z_]+=[0-9]+\\), but this "
                                    "build has no MPI")))
            << run.console;
        EXPECT_TRUE(holds(run.console, "make mpi")) << run.console;
        EXPECT_FALSE(fs::exists(dir.file("OUT/Logger.txt"))) << variables;
    }
    ScratchDir single;
    testing::prepareZeroPlaneRun(single, "10000");
    const testing::ShellRun run =
        testing::runInFolder(single, "params.txt alone", 0, {"OMPI_COMM_WORLD_SIZE=1"});
    EXPECT_EQ(run.status, 0) << run.console;
}

// With a tenth of the photons scored, the photon of a multiple's own number is rarely
// scored; every multiple is still reported once, with one progress image.
TEST(RunRobustness, ReportsComeAtTheFirstScoredPhotonPastEachMultiple) {
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, "10000");
    testing::writeText(
        dir.file("params.txt"),
        testing::parameterFileText({{33, "0.1"}, {39, "10000"}, {40, "1000"}, {41, "1000"}}));
    const testing::ShellRun run = testing::runInFolder(dir, "params.txt reported");
    EXPECT_EQ(run.status, 0) << run.console;
    std::string expected = "Starting Monte-Carlo sim.\n";
    for (int n = 1000; n < 10000; n += 1000) {
        expected += "Ran " + std::to_string(n) + " photons.\n";
        EXPECT_TRUE(fs::exists(dir.file("OUT/Part.1." + std::to_string(n) + ".pgm"))) << n;
    }
    EXPECT_TRUE(holds(run.console, expected + "Detector scored ")) << run.console;
    EXPECT_TRUE(holds(testing::readText(dir.file("OUT/Logger.txt")), expected));
}

}  // namespace
}  // namespace conesim
