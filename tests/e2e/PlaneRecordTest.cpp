// The record published with the map and plane sets, the plane folder and its writer lock,
// on the built program: maps or planes made under other settings are refused in modes 4 and
// 5 with both values named; planes without a record are read as before; a run in mode 3 or
// 4 refuses a folder another live process is writing; a missing plane folder is refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "PrecalcRunSupport.hpp"
#include "precalc/PlaneFolderLock.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::folderSnapshot;
using testing::readText;
using testing::runInFolder;
using testing::ScratchDir;
using testing::ShellRun;
using testing::writeText;

// The parameter file of a run in mode with the given lines after END.
void writeParameters(const ScratchDir& dir, int mode, const std::string& extensions,
                     std::map<int, std::string> overrides = {}) {
    writeText(dir.file("params.txt"),
              testing::precalcParameters(mode, std::move(overrides)) + extensions);
}

TEST(PlaneRecords, PublishedWithEachSetAndNamingHowItWasMade) {
    ScratchDir dir;
    testing::writePrecalcInputs(dir, 3, testing::opaqueSample());
    writeParameters(dir, 3, "deflectionModel = phase\n", {{43, "30"}});
    const ShellRun run = runInFolder(dir, "params.txt Final");
    ASSERT_EQ(run.status, 0) << run.console;
    const std::string record =
        "# conesim: the settings the maps or planes in this folder were made with\n"
        "deflectionModel = phase\n"
        "sampleEnergy = 30\n"
        "sampleFile = Sample.bin\n"
        "sampleFileBytes = 12800\n"
        "materials = none\n"
        "rotation = none\n"
        "units = voxel values\n";
    EXPECT_EQ(readText(dir.file("Z-PRE.record")), record);
    EXPECT_EQ(readText(dir.file("Z-PRE.pca.record")), record);
    // The phase model needs no interface angle maps; the plane set is the interface model's.
    EXPECT_FALSE(fs::exists(dir.file("Z_iLR-PRE")));
    EXPECT_FALSE(fs::exists(dir.file("Z_iUD-PRE.mhd")));
    for (const char* name : {"Z_ref-PRE", "Z_ref-PRE.mhd", "Z_ref-PRE.pca", "Z_iLR-PRE.pca",
                             "Z_iUD-PRE.pca", "Z_iLR-PRE.pgm", "Z_iUD-PRE.pca.mhd"}) {
        EXPECT_TRUE(fs::exists(dir.file(name))) << name;
    }
    EXPECT_FALSE(fs::exists(dir.file("Z-PRE.lock")));

    // Mode 4 of the same settings makes the same planes again.
    const auto afterThree = folderSnapshot(dir);
    writeParameters(dir, 4, "deflectionModel = phase\n", {{43, "30"}});
    ASSERT_EQ(runInFolder(dir, "params.txt Final").status, 0);
    writeParameters(dir, 3, "deflectionModel = phase\n", {{43, "30"}});
    EXPECT_EQ(folderSnapshot(dir), afterThree);
}

TEST(PlaneRecords, ModesFourAndFiveRefuseMapsAndPlanesOfOtherSettingsNamingBothValues) {
    ScratchDir dir;
    testing::writePrecalcInputs(dir, 3, testing::opaqueSample());
    writeParameters(dir, 3, "deflectionModel = phase\n");
    ASSERT_EQ(runInFolder(dir, "params.txt Final").status, 0);
    const auto before = folderSnapshot(dir);

    // Runs the file in the folder and expects it refused with status and message.
    const auto expectRefused = [&](int status, const std::string& message) {
        const ShellRun run = runInFolder(dir, "params.txt Final");
        EXPECT_EQ(run.status, status % 256) << message;
        EXPECT_NE(run.console.find(message), std::string::npos) << run.console;
    };
    writeParameters(dir, 4, "");
    expectRefused(974,
                  "ERROR: The volume maps (Z-PRE.record) were made with deflectionModel = phase; "
                  "this run has deflectionModel = interface. Make them again in run mode 3, or "
                  "give planeFolder the folder of maps made for this run.\n");
    writeParameters(dir, 5, "deflectionModel = interface\n");
    expectRefused(973,
                  "ERROR: The planes (Z-PRE.pca.record) were made with deflectionModel = phase; "
                  "this run has deflectionModel = interface. Make them again in run mode 3 or "
                  "4, or give planeFolder the folder of planes made for this run.\n");
    // Another energy, then another sample.
    writeParameters(dir, 5, "deflectionModel = phase\n", {{43, "40"}});
    expectRefused(973, "made with sampleEnergy = 100; this run has sampleEnergy = 40.");
    testing::writeValues(dir.file("Other.bin"), testing::opaqueSample());
    writeParameters(dir, 4, "deflectionModel = phase\n", {{17, "./Other.bin"}});
    expectRefused(974, "made with sampleFile = Sample.bin; this run has sampleFile = Other.bin.");
    writeParameters(dir, 5, "deflectionModel = phase\n");
    EXPECT_EQ(runInFolder(dir, "params.txt Final").status, 0);

    // A refused run changed nothing; the written parameter file is the only difference.
    auto after = folderSnapshot(dir);
    after.erase("Other.bin");
    after["params.txt"] = before.at("params.txt");
    EXPECT_EQ(after, before);
}

TEST(PlaneRecords, PlanesWithoutARecordAreReadAsTheyAre) {
    ScratchDir dir;
    testing::writePrecalcInputs(dir, 5, testing::emptySample());
    // Hand-made planes: no attenuation, a deflection of 0.01 rad along x.
    testing::writeValues(dir.file("Z_ref-PRE.pca"), std::vector<double>(400, 0.0));
    testing::writeValues(dir.file("Z_iLR-PRE.pca"), std::vector<double>(400, 0.01));
    testing::writeValues(dir.file("Z_iUD-PRE.pca"), std::vector<double>(400, 0.0));
    for (const char* model : {"", "deflectionModel = phase\n"}) {
        writeParameters(dir, 5, model);
        const ShellRun run = runInFolder(dir, "params.txt Final");
        EXPECT_EQ(run.status, 0) << run.console;
        EXPECT_EQ(run.console.find("ERROR"), std::string::npos) << run.console;
    }
}

TEST(PlaneFolder, ModesThreeFourAndFiveWriteAndReadThePlaneFolder) {
    ScratchDir dir;
    testing::writePrecalcInputs(dir, 3, testing::opaqueSample());
    fs::create_directory(dir.path() / "planes");
    writeParameters(dir, 3, "planeFolder = planes\n");
    ASSERT_EQ(runInFolder(dir, "params.txt Final").status, 0);
    for (const char* name : {"Z_ref-PRE", "Z_iUD-PRE.mhd", "Z-PRE.record", "Z_ref-PRE.pca",
                             "Z_iLR-PRE.pgm", "Z-PRE.pca.record"}) {
        EXPECT_TRUE(fs::exists(dir.path() / "planes" / name)) << name;
        EXPECT_FALSE(fs::exists(dir.path() / name)) << name;
    }
    EXPECT_FALSE(fs::exists(dir.path() / "planes" / "Z-PRE.lock"));
    EXPECT_EQ(testing::readValues<double>(dir.file("planes/Z_ref-PRE.pca")),
              std::vector<double>(400, 80.0));
    writeParameters(dir, 4, "planeFolder = planes\n");
    EXPECT_EQ(runInFolder(dir, "params.txt Final").status, 0);
    writeParameters(dir, 5, "planeFolder = planes\n");
    EXPECT_EQ(runInFolder(dir, "params.txt Final").status, 0);
    // The working folder holds no planes of its own.
    writeParameters(dir, 5, "");
    EXPECT_EQ(runInFolder(dir, "params.txt Final").status, 971 % 256);
}

TEST(PlaneFolder, AFolderThatDoesNotExistIsRefusedBeforeAnythingIsWritten) {
    ScratchDir dir;
    testing::writePrecalcInputs(dir, 3, testing::opaqueSample());
    writeParameters(dir, 3, "planeFolder = missing\n");
    const auto before = folderSnapshot(dir);
    const ShellRun run = runInFolder(dir, "params.txt Final");
    EXPECT_EQ(run.status, 16);
    EXPECT_NE(run.console.find("ERROR: The plane folder missing (planeFolder) does not exist or "
                               "is not a folder; create it or name another.\n"),
              std::string::npos)
        << run.console;
    EXPECT_EQ(folderSnapshot(dir), before);
    EXPECT_TRUE(fs::is_empty(dir.path() / "OUT"));
}

TEST(PlaneFolder, AWriterRefusesAFolderAnotherLiveProcessIsWriting) {
    ScratchDir dir;
    testing::writePrecalcInputs(dir, 3, testing::opaqueSample());
    {
        // This test process holds the folder's lock, as a run in flight would.
        PlaneFolderLock held;
        ASSERT_EQ(held.acquire(dir.path().string()), PlaneFolderLock::Result::kLocked);
        const auto before = folderSnapshot(dir);
        for (int mode : {3, 4}) {
            writeParameters(dir, mode, "");
            const ShellRun run = runInFolder(dir, "params.txt Final");
            EXPECT_EQ(run.status, 970 % 256) << run.console;
            EXPECT_NE(run.console.find("ERROR: Another run (process " + std::to_string(::getpid()) +
                                       ") is writing maps and planes in folder " +
                                       fs::canonical(dir.path()).string() +
                                       "; wait until it has finished, or give this run a "
                                       "planeFolder of its own.\n"),
                      std::string::npos)
                << run.console;
        }
        writeParameters(dir, 3, "");
        EXPECT_EQ(folderSnapshot(dir), before);
    }
    // Once the holder has finished, the folder is free again.
    EXPECT_FALSE(fs::exists(dir.file("Z-PRE.lock")));
    EXPECT_EQ(runInFolder(dir, "params.txt Final").status, 0);
    // The file a killed holder left names a process but is locked by none: no stale lock.
    writeText(dir.file("Z-PRE.lock"), "999999\n");
    EXPECT_EQ(runInFolder(dir, "params.txt Final").status, 0);
    EXPECT_FALSE(fs::exists(dir.file("Z-PRE.lock")));
}

}  // namespace
}  // namespace conesim
