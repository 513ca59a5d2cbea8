// The record of how a set of maps or planes was made: its text, and how a run compares it
// with its own settings.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "PrecalcFixtures.hpp"
#include "precalc/PlaneRecord.hpp"

namespace conesim {
namespace {

using testing::ScratchDir;
using testing::WorkingDirectory;

TEST(PlaneRecord, TextNamesModelEnergyAndSampleAndReadsBack) {
    ScratchDir dir;
    WorkingDirectory cwd(dir.path());
    testing::writeValues("sample.bin", std::vector<float>(10, 0.0F));
    std::filesystem::create_directory("a");
    const PlaneRecord record = makePlaneRecord(DeflectionModel::kPhase, 17.5F, "./a/../sample.bin");
    const std::string text = planeRecordText(record);
    EXPECT_EQ(text,
              "# conesim: the settings the maps or planes in this folder were made with\n"
              "deflectionModel = phase\n"
              "sampleEnergy = 17.5\n"
              "sampleFile = sample.bin\n"
              "sampleFileBytes = 40\n"
              "materials = none\n"
              "rotation = none\n"
              "units = voxel values\n");
    const PlaneRecord read = parsePlaneRecord("\n# comment\nsampleEnergy=17.5\r\n junk\n");
    EXPECT_EQ(read.valueOf("sampleEnergy"), "17.5");
    EXPECT_EQ(read.valueOf("deflectionModel"), "");
    // The energy as single precision takes it, shortest form.
    EXPECT_EQ(makePlaneRecord(DeflectionModel::kInterface, 0.1F, "x").valueOf("sampleEnergy"),
              "0.1");
    EXPECT_EQ(makePlaneRecord(DeflectionModel::kInterface, 0.1F, "x").valueOf("sampleFileBytes"),
              "unknown");
}

TEST(PlaneRecord, CheckFindsAbsentMatchingAndTheFirstDifference) {
    ScratchDir dir;
    WorkingDirectory cwd(dir.path());
    const PlaneRecord wanted = makePlaneRecord(DeflectionModel::kInterface, 30.0F, "s.bin");
    RecordDifference difference;
    EXPECT_EQ(checkPlaneRecord("Z-PRE.pca.record", wanted, difference), RecordCheck::kAbsent);
    ASSERT_TRUE(writePlaneRecord("Z-PRE.pca.record", wanted));
    EXPECT_EQ(checkPlaneRecord("Z-PRE.pca.record", wanted, difference), RecordCheck::kMatches);
    // Extra keys of a later version are left alone; a key it lacks is "(none)".
    testing::writeText("Z-PRE.pca.record", planeRecordText(wanted) + "future = 1\n");
    EXPECT_EQ(checkPlaneRecord("Z-PRE.pca.record", wanted, difference), RecordCheck::kMatches);
    testing::writeText("Z-PRE.pca.record", "deflectionModel = interface\nsampleEnergy = 40\n");
    EXPECT_EQ(checkPlaneRecord("Z-PRE.pca.record", wanted, difference), RecordCheck::kDiffers);
    EXPECT_EQ(difference.key, "sampleEnergy");
    EXPECT_EQ(difference.recorded, "40");
    EXPECT_EQ(difference.wanted, "30");
    testing::writeText("Z-PRE.pca.record", "deflectionModel = interface\nsampleEnergy = 30\n");
    EXPECT_EQ(checkPlaneRecord("Z-PRE.pca.record", wanted, difference), RecordCheck::kDiffers);
    EXPECT_EQ(difference.key, "sampleFile");
    EXPECT_EQ(difference.recorded, "(none)");
    EXPECT_EQ(difference.wanted, "s.bin");
    // An empty record names nothing; a folder under the name cannot be read.
    testing::writeText("Z-PRE.pca.record", "");
    EXPECT_EQ(checkPlaneRecord("Z-PRE.pca.record", wanted, difference), RecordCheck::kDiffers);
    EXPECT_EQ(difference.key, "deflectionModel");
    std::filesystem::remove("Z-PRE.pca.record");
    std::filesystem::create_directory("Z-PRE.pca.record");
    EXPECT_EQ(checkPlaneRecord("Z-PRE.pca.record", wanted, difference), RecordCheck::kUnreadable);
}

TEST(PlaneRecord, ARecordWithoutARotationLineReadsAsNone) {
    ScratchDir dir;
    WorkingDirectory cwd(dir.path());
    const PlaneRecord unturned = makePlaneRecord(DeflectionModel::kInterface, 30.0F, "s.bin");
    std::string older = planeRecordText(unturned);
    older.erase(older.find("rotation = none\n"), 16);
    testing::writeText("r", older);
    RecordDifference difference;
    EXPECT_EQ(checkPlaneRecord("r", unturned, difference), RecordCheck::kMatches);
    const PlaneRecord turned =
        makePlaneRecord(DeflectionModel::kInterface, 30.0F, "s.bin", "none", "voxel values", "90");
    EXPECT_EQ(checkPlaneRecord("r", turned, difference), RecordCheck::kDiffers);
    EXPECT_EQ(difference.recorded, "none");
}

}  // namespace
}  // namespace conesim
