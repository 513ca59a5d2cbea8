// Stop signals sent to the built program: during the photon loop the run keeps its photons,
// during the precalculation it ends without leaving unfinished map files; a second signal
// ends the process at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ParameterFileText.hpp"
#include "RunningProgram.hpp"
#include "TestSupport.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::RunningProgram;
using testing::ScratchDir;

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

TEST(Signals, FirstSignalEndsTheWaitForASpectrumPipe) {
    // The spectrum is a named pipe that nobody writes: the run waits for it, and the first
    // signal ends the wait and the run before any photon, leaving no image.
    ScratchDir dir;
    prepare(dir, "5", "2000000000");
    fs::remove(dir.file("Spectrum"));
    ASSERT_EQ(mkfifo(dir.file("Spectrum").c_str(), 0600), 0);
    RunningProgram program(dir, {"params.txt"});
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForConsole("Writing output to folder OUT\n"));
    program.signal(SIGTERM);
    int status = 0;
    ASSERT_TRUE(program.waitFor(60, status));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 879 % 256);
    EXPECT_NE(program.console().find("Run stopped by a stop signal while reading Spectrum; no "
                                     "photon was run.\n"),
              std::string::npos)
        << program.console();
}

}  // namespace
}  // namespace conesim
