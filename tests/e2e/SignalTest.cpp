// Stop signals sent to the built program: during the photon loop the run keeps its photons,
// during the precalculation it ends without leaving unfinished map files; a second signal
// ends the process at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "PrecalcRunSupport.hpp"
#include "ZeroPlaneRun.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::ScratchDir;

TEST(Signals, StopDuringThePhotonLoopKeepsThePhotons) {
    for (int signalNumber : {SIGINT, SIGTERM}) {
        ScratchDir dir;
        testing::prepareZeroPlaneRun(dir, "2000000000");
        testing::ProgramProcess program = testing::startInFolder(dir, {"params.txt", "stopped"});
        ASSERT_TRUE(program.waitForOutput("Starting Monte-Carlo sim.\n")) << program.output();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        program.signal(signalNumber);
        const testing::ProgramResult& run = program.wait();
        ASSERT_EQ(run.shellStatus(), 0) << run.out;
        EXPECT_NE(run.out.find("Run complete.\n"), std::string::npos);
        EXPECT_EQ(fs::file_size(dir.file("OUT/stopped.1.dat")), 40U * 40U * 4U);
        EXPECT_NE(readText(dir.file("OUT/Logger.txt")).find("Run number 1 finished at:\n"),
                  std::string::npos);
    }
}

TEST(Signals, StopDuringThePrecalculationLeavesNoUnfinishedMap) {
    ScratchDir dir;
    testing::writeLargePrecalcInputs(dir);
    testing::ProgramProcess program = testing::startInFolder(dir, {"params.txt"});
    ASSERT_TRUE(program.waitForOutput("Calculating refraction for slice 3\n")) << program.output();
    program.signal(SIGTERM);
    const testing::ProgramResult& run = program.wait();
    ASSERT_EQ(run.shellStatus(), 879 % 256) << run.out;
    EXPECT_NE(run.out.find("Run stopped by a signal during the precalculation; "
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
    testing::prepareZeroPlaneRun(dir, "2000000000");
    fs::remove(dir.file("Spectrum"));
    ASSERT_EQ(mkfifo(dir.file("Spectrum").c_str(), 0600), 0);
    testing::ProgramProcess program = testing::startInFolder(dir, {"params.txt"});
    ASSERT_TRUE(program.waitForOutput("Writing output to folder OUT\n")) << program.output();
    program.signal(SIGTERM);
    const testing::ProgramResult& run = program.wait();
    ASSERT_EQ(run.shellStatus(), 879 % 256) << run.out;
    EXPECT_NE(run.out.find("Run stopped by a stop signal while reading Spectrum; no "
                           "photon was run.\n"),
              std::string::npos)
        << run.out;
}

}  // namespace
}  // namespace conesim
