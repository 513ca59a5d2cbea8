// A sample file that is one of the map or plane files a run writes, by name or through a
// link, is found; one that merely holds the same bytes is not.
#include <gtest/gtest.h>

#include <filesystem>

#include "PrecalcFixtures.hpp"
#include "precalc/SampleFileIdentity.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;

class IdentityFolder : public ::testing::Test {
  protected:
    testing::ScratchDir dir;
    testing::WorkingDirectory cwd{dir.path()};
};

TEST_F(IdentityFolder, ASampleNamedLikeAMapIsFoundOnlyWhereTheModeWritesIt) {
    testing::writeText("Z_ref-PRE", "voxels");
    EXPECT_EQ(mapFileSameAsSample("Z_ref-PRE", 3), "Z_ref-PRE");
    EXPECT_EQ(mapFileSameAsSample("./Z_ref-PRE", 3), "Z_ref-PRE");
    EXPECT_EQ(mapFileSameAsSample("Z_ref-PRE", 4), "");  // mode 4 only reads the maps
    EXPECT_EQ(mapFileSameAsSample("Z_ref-PRE", 5), "");
    testing::writeText("Z_iUD-PRE.pca", "voxels");
    EXPECT_EQ(mapFileSameAsSample("Z_iUD-PRE.pca", 3), "Z_iUD-PRE.pca");
    EXPECT_EQ(mapFileSameAsSample("Z_iUD-PRE.pca", 4), "Z_iUD-PRE.pca");
    EXPECT_EQ(mapFileSameAsSample("Z_iUD-PRE.pca", 5), "");
}

TEST_F(IdentityFolder, HardAndSymbolicLinksAreFoundBothWays) {
    testing::writeText("phantom.bin", "voxels");
    fs::create_hard_link("phantom.bin", "Z_iLR-PRE.pca");
    EXPECT_EQ(mapFileSameAsSample("phantom.bin", 4), "Z_iLR-PRE.pca");
    fs::remove("Z_iLR-PRE.pca");
    fs::create_symlink("phantom.bin", "Z_iUD-PRE");
    EXPECT_EQ(mapFileSameAsSample("phantom.bin", 3), "Z_iUD-PRE");
    fs::remove("Z_iUD-PRE");
    testing::writeText("Z_ref-PRE.pgm", "");
    fs::create_symlink("Z_ref-PRE.pca", "link.bin");
    testing::writeText("Z_ref-PRE.pca", "planes");
    EXPECT_EQ(mapFileSameAsSample("link.bin", 4), "Z_ref-PRE.pca");
    // A header and a preview are files of the run as well.
    fs::create_hard_link("phantom.bin", "Z_iUD-PRE.pca.mhd");
    EXPECT_EQ(mapFileSameAsSample("phantom.bin", 4), "Z_iUD-PRE.pca.mhd");
}

TEST_F(IdentityFolder, AnEqualCopyOrAMissingFileIsNotTheSameFile) {
    testing::writeText("phantom.bin", "voxels");
    testing::writeText("Z_ref-PRE", "voxels");
    EXPECT_EQ(mapFileSameAsSample("phantom.bin", 3), "");
    EXPECT_EQ(mapFileSameAsSample("absent.bin", 3), "");
}

TEST_F(IdentityFolder, TheRefusalNamesBothFiles) {
    testing::writeText("phantom.bin", "voxels");
    fs::create_hard_link("phantom.bin", "Z_ref-PRE");
    testing::CapturedConsole io;
    EXPECT_FALSE(sampleIsApartFromMapFiles("phantom.bin", 3, io.console));
    EXPECT_EQ(io.out.str(),
              "ERROR: Sample file phantom.bin is the same file as Z_ref-PRE, which run mode 3 "
              "writes; copy the sample to a file of its own.\n");
    testing::CapturedConsole quiet;
    EXPECT_TRUE(sampleIsApartFromMapFiles("phantom.bin", 4, quiet.console));
    EXPECT_EQ(quiet.out.str(), "");
}

}  // namespace
}  // namespace conesim
