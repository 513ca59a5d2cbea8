// A sample file that is one of the files its own run writes is refused before anything is
// written: run mode 3 used to truncate such a sample while reading it, and finish with
// status 0 and empty planes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "PrecalcRunSupport.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::folderSnapshot;
using testing::runInFolder;
using testing::ScratchDir;
using testing::ShellRun;

std::string refusal(const std::string& sample, const std::string& map, int mode) {
    return "ERROR: Sample file " + sample + " is the same file as " + map + ", which run mode " +
           std::to_string(mode) + " writes; copy the sample to a file of its own.\n";
}

// The run ends with 32 and the message, and writes nothing: no run log, no file changed.
void expectRefused(const ScratchDir& dir, const std::string& sample, const std::string& map,
                   int mode) {
    const auto before = folderSnapshot(dir);
    const ShellRun run = runInFolder(dir, "params.txt Final");
    EXPECT_EQ(run.status, 32) << run.console;
    EXPECT_NE(run.console.find(refusal(sample, map, mode)), std::string::npos) << run.console;
    EXPECT_EQ(run.console.find("Sample loaded/size-verified-as okay."), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("OUT/Logger.txt")));
    EXPECT_EQ(folderSnapshot(dir), before);
}

TEST(SampleIdentity, ASampleNamedLikeTheRefractiveIndexMapIsRefusedInModeThree) {
    ScratchDir dir;
    testing::writePrecalcInputs(dir, 3, testing::opaqueSample(), {{17, "Z_ref-PRE"}});
    fs::rename(dir.file("Sample.bin"), dir.file("Z_ref-PRE"));
    expectRefused(dir, "Z_ref-PRE", "Z_ref-PRE", 3);
}

TEST(SampleIdentity, HardAndSymbolicLinksToAMapOrPlaneAreRefused) {
    {
        ScratchDir dir;
        testing::writePrecalcInputs(dir, 3, testing::opaqueSample());
        fs::create_hard_link(dir.file("Sample.bin"), dir.file("Z_iLR-PRE"));
        expectRefused(dir, "Sample.bin", "Z_iLR-PRE", 3);
    }
    {
        ScratchDir dir;
        testing::writePrecalcInputs(dir, 3, testing::opaqueSample(), {{17, "link.bin"}});
        fs::rename(dir.file("Sample.bin"), dir.file("Z_iUD-PRE.pca"));
        fs::create_symlink("Z_iUD-PRE.pca", dir.file("link.bin"));
        expectRefused(dir, "link.bin", "Z_iUD-PRE.pca", 3);
    }
    {
        // Mode 4 writes the planes.
        ScratchDir dir;
        testing::writePrecalcInputs(dir, 4, testing::opaqueSample());
        fs::create_hard_link(dir.file("Sample.bin"), dir.file("Z_ref-PRE.pca"));
        expectRefused(dir, "Sample.bin", "Z_ref-PRE.pca", 4);
    }
}

// Mode 5 writes no map or plane, so a sample that is one of its planes stays usable.
TEST(SampleIdentity, ModeFiveKeepsASampleThatIsAPlane) {
    ScratchDir dir;
    testing::writePrecalcInputs(dir, 5, testing::emptySample());
    const std::vector<double> plane(400, 0.0);
    testing::writeValues(dir.file("Z_iLR-PRE.pca"), plane);
    testing::writeValues(dir.file("Z_iUD-PRE.pca"), plane);
    fs::create_hard_link(dir.file("Sample.bin"), dir.file("Z_ref-PRE.pca"));
    const auto before = folderSnapshot(dir);
    const ShellRun run = runInFolder(dir, "params.txt Final");
    EXPECT_EQ(run.status, 0) << run.console;
    EXPECT_EQ(folderSnapshot(dir), before);
}

}  // namespace
}  // namespace conesim
