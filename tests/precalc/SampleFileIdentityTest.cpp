// A sample file that is one of the files a run writes is found by name or through any link;
// one that merely holds the same bytes is not.
#include <gtest/gtest.h>

#include <filesystem>

#include "PrecalcFixtures.hpp"
#include "precalc/SampleFileIdentity.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;

TEST(SampleFileIdentity, FoundAsAFileOnlyWhereTheRunModeWritesIt) {
    testing::ScratchDir dir;
    testing::WorkingDirectory cwd(dir.path());
    testing::writeText("Z_ref-PRE", "voxels");
    EXPECT_EQ(mapFileSameAsSample("./Z_ref-PRE", 3), "Z_ref-PRE");
    EXPECT_EQ(mapFileSameAsSample("Z_ref-PRE", 4), "");  // mode 4 only reads the maps
    testing::writeText("phantom.bin", "voxels");
    EXPECT_EQ(mapFileSameAsSample("phantom.bin", 3), "");  // equal bytes, another file
    fs::create_symlink("phantom.bin", "Z_iUD-PRE.pca.mhd");
    EXPECT_EQ(mapFileSameAsSample("phantom.bin", 4), "Z_iUD-PRE.pca.mhd");
    EXPECT_EQ(mapFileSameAsSample("phantom.bin", 5), "");  // mode 5 writes nothing
    EXPECT_EQ(mapFileSameAsSample("absent.bin", 3), "");

    testing::CapturedConsole io;
    EXPECT_FALSE(sampleIsApartFromMapFiles("phantom.bin", 3, io.console));
    EXPECT_EQ(io.out.str(),
              "ERROR: Sample file phantom.bin is the same file as Z_iUD-PRE.pca.mhd, which run "
              "mode 3 writes; copy the sample to a file of its own.\n");
    testing::CapturedConsole quiet;
    EXPECT_TRUE(sampleIsApartFromMapFiles("phantom.bin", 5, quiet.console));
    EXPECT_EQ(quiet.out.str(), "");
}

TEST(SampleFileIdentity, TheLockFileAndThePlaneFolderOfTheRunCount) {
    testing::ScratchDir dir;
    testing::WorkingDirectory cwd(dir.path());
    testing::writeText("phantom.bin", "voxels");
    fs::create_symlink("phantom.bin", "Z-PRE.lock");
    EXPECT_EQ(mapFileSameAsSample("phantom.bin", 3), "Z-PRE.lock");
    fs::remove("Z-PRE.lock");
    fs::create_directory("planes");
    fs::create_symlink("../phantom.bin", "planes/Z-PRE.pca.record");
    EXPECT_EQ(mapFileSameAsSample("phantom.bin", 4, "planes"), "planes/Z-PRE.pca.record");
    fs::remove("planes/Z-PRE.pca.record");
    fs::create_symlink("../phantom.bin", "planes/Z_iLR-PRE");
    EXPECT_EQ(mapFileSameAsSample("phantom.bin", 3, "planes", DeflectionModel::kInterface),
              "planes/Z_iLR-PRE");
    // The phase model writes no interface angle maps.
    EXPECT_EQ(mapFileSameAsSample("phantom.bin", 3, "planes", DeflectionModel::kPhase), "");
}

}  // namespace
}  // namespace conesim
