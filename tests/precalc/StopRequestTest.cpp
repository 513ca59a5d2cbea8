#include <gtest/gtest.h>

#include <filesystem>

#include "PrecalcFixtures.hpp"
#include "precalc/Collapse.hpp"
#include "precalc/InterfaceAngleMaps.hpp"
#include "precalc/MapFileErrors.hpp"
#include "precalc/PendingMapFiles.hpp"
#include "precalc/RefractiveIndexMap.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::CapturedConsole;

struct StoppedRun : ::testing::Test {
    testing::ScratchDir dir;
    testing::WorkingDirectory cwd{dir.path()};
    SampleVolume sample = testing::sampleRecord("Sample.bin", 12, 12, 8);
    CapturedConsole console;
    std::ostringstream log;
    MapNames names;
    volatile std::sig_atomic_t stop = 1;

    StoppedRun() { testing::writeValues("Sample.bin", testing::makePhantom(12, 12, 8)); }
};

TEST_F(StoppedRun, MapStepsEndAndRemoveTheirUnfinishedFiles) {
    EXPECT_EQ(buildRefractiveIndexMap(sample, names, console.console, log, 1000.0F, 3, 30.0, &stop),
              kPrecalcStopped);
    EXPECT_FALSE(fs::exists("Z_ref-PRE"));
    EXPECT_EQ(
        buildInterfaceAngleMaps(sample, names, console.console, log, {1, 1, 1}, 3, 20, 3, &stop),
        kPrecalcStopped);
    EXPECT_FALSE(fs::exists("Z_iLR-PRE"));
    EXPECT_FALSE(fs::exists("Z_iUD-PRE"));
    // The run that called them says once what the stop left behind.
    EXPECT_EQ(console.out.str().find("stopped"), std::string::npos);
    EXPECT_EQ(log.str().find("stopped"), std::string::npos);
}

// Given the run's pending files, a stopped step removes only its own temporary file; the
// map of an earlier run under the real name stays as it was.
TEST_F(StoppedRun, StepsWritingUnderTemporaryNamesLeaveTheEarlierMaps) {
    for (const char* map : {"Z_ref-PRE", "Z_iLR-PRE", "Z_iUD-PRE"}) {
        testing::writeText(map, "earlier");
    }
    PendingMapFiles files(".partial-test");
    files.add({"Z_ref-PRE", "Z_iLR-PRE", "Z_iUD-PRE"});
    EXPECT_EQ(buildRefractiveIndexMap(sample, names, console.console, log, 1000.0F, 3, 30.0, &stop,
                                      &files),
              kPrecalcStopped);
    EXPECT_EQ(buildInterfaceAngleMaps(sample, names, console.console, log, {1, 1, 1}, 3, 20, 3,
                                      &stop, &files),
              kPrecalcStopped);
    for (const char* map : {"Z_ref-PRE", "Z_iLR-PRE", "Z_iUD-PRE"}) {
        EXPECT_EQ(testing::readText(map), "earlier") << map;
        EXPECT_FALSE(fs::exists(std::string(map) + ".partial-test")) << map;
    }
}

TEST_F(StoppedRun, CollapsesEndBeforeWritingAPlane) {
    volatile std::sig_atomic_t go = 0;
    ASSERT_EQ(buildRefractiveIndexMap(sample, names, console.console, log, 1000.0F, 3, 30.0, &go),
              kPrecalcOk);
    ASSERT_EQ(
        buildInterfaceAngleMaps(sample, names, console.console, log, {1, 1, 1}, 3, 20, 3, &go),
        kPrecalcOk);
    std::vector<float> plane;
    EXPECT_EQ(collapseInterfaceMap(console.console, log, "Z_iLR-PRE", "Z_ref-PRE", 12, 12, 8, plane,
                                   &stop),
              kPrecalcStopped);
    EXPECT_FALSE(fs::exists("Z_iLR-PRE.pca"));
    std::vector<double> attenuation;
    EXPECT_EQ(collapseAttenuation(console.console, log, sample, "Z_ref-PRE", 3, attenuation, &stop),
              kPrecalcStopped);
    EXPECT_FALSE(fs::exists("Z_ref-PRE.pca"));
    // The finished maps stay.
    EXPECT_EQ(fs::file_size("Z_ref-PRE"), 12U * 12U * 8U * 4U);
}

TEST(UnfinishedFiles, OnlyRegularFilesAreDiscarded) {
    testing::ScratchDir dir;
    testing::WorkingDirectory cwd(dir.path());
    testing::writeText("half", "abc");
    fs::create_directory("folder");
    fs::create_symlink("/dev/null", "device");
    discardUnfinishedFile("half");
    discardUnfinishedFile("folder");
    discardUnfinishedFile("device");
    discardUnfinishedFile("absent");
    EXPECT_FALSE(fs::exists("half"));
    EXPECT_TRUE(fs::is_directory("folder"));
    EXPECT_TRUE(fs::is_symlink("device"));
}

}  // namespace
}  // namespace conesim
