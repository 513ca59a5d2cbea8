// The precalculation's files under temporary names: where each is written, how whole sets
// are published, and what is removed when a run does not get that far.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "PrecalcFixtures.hpp"
#include "precalc/Collapse.hpp"
#include "precalc/InterfaceAngleMaps.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/PendingMapFiles.hpp"
#include "precalc/RefractiveIndexMap.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::CapturedConsole;
using testing::readBytes;
using testing::readText;
using testing::ScratchDir;
using testing::WorkingDirectory;
using testing::writeText;

class PendingFolder : public ::testing::Test {
  protected:
    ScratchDir dir;
    WorkingDirectory cwd{dir.path()};
};

TEST_F(PendingFolder, NamesLieInThePlaneFolderAndArePublishedThere) {
    fs::create_directory("planes");
    PendingMapFiles files;
    files.setFolder("planes");
    files.add({"Z_ref-PRE.pca"});
    const std::string suffix = ".partial-" + std::to_string(::getpid());
    EXPECT_EQ(files.pathOf("Z_ref-PRE.pca"), "planes/Z_ref-PRE.pca" + suffix);
    EXPECT_EQ(files.pathOf("Z_iLR-PRE"), "planes/Z_iLR-PRE");
    writeText(files.pathOf("Z_ref-PRE.pca"), "new");
    std::string failed;
    ASSERT_TRUE(files.publish({{"Z_ref-PRE.pca"}}, failed)) << failed;
    EXPECT_EQ(readText("planes/Z_ref-PRE.pca"), "new");
    EXPECT_FALSE(fs::exists("Z_ref-PRE.pca"));
    // "." is the working folder, named as before.
    EXPECT_EQ(inPlaneFolder(".", "Z_ref-PRE"), "Z_ref-PRE");
    EXPECT_EQ(inPlaneFolder("", "Z_ref-PRE"), "Z_ref-PRE");
    EXPECT_EQ(inPlaneFolder("a/b", "Z_ref-PRE"), "a/b/Z_ref-PRE");
}

TEST_F(PendingFolder, PendingNamesAreWrittenUnderTheProcessSuffix) {
    PendingMapFiles files;
    files.add({"Z_ref-PRE", "Z_ref-PRE.pca"});
    const std::string suffix = ".partial-" + std::to_string(::getpid());
    EXPECT_EQ(files.pathOf("Z_ref-PRE"), "Z_ref-PRE" + suffix);
    EXPECT_EQ(files.pathOf("Z_ref-PRE.pca"), "Z_ref-PRE.pca" + suffix);
    EXPECT_EQ(files.pathOf("Z_iLR-PRE"), "Z_iLR-PRE");
    EXPECT_EQ(mapFilePath(&files, "Z_ref-PRE"), "Z_ref-PRE" + suffix);
    EXPECT_EQ(mapFilePath(nullptr, "Z_ref-PRE"), "Z_ref-PRE");
}

TEST_F(PendingFolder, PublishingReplacesTheEarlierSetAndLeavesNoTemporaryName) {
    for (const char* name : {"a", "b", "c"}) {
        writeText(name, std::string("old ") + name);
    }
    {
        PendingMapFiles files(".tmp");
        files.add({"a", "b", "c"});
        for (const char* name : {"a", "b", "c"}) {
            writeText(files.pathOf(name), std::string("new ") + name);
        }
        std::string failed;
        ASSERT_TRUE(files.publish({{"a", "b"}, {"c"}}, failed));
        EXPECT_EQ(failed, "");
        EXPECT_FALSE(files.isPending("a"));
        EXPECT_EQ(files.pathOf("a"), "a");
    }
    for (const char* name : {"a", "b", "c"}) {
        EXPECT_EQ(readText(name), std::string("new ") + name);
    }
    EXPECT_EQ(testing::fileNamesIn("."), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(PendingFolder, AFolderUnderAnyNameKeepsEverySetFromBeingPublished) {
    writeText("a", "old a");
    fs::create_directory("d");
    {
        PendingMapFiles files(".tmp");
        files.add({"a", "b", "c", "d"});
        for (const char* name : {"a", "b", "c", "d"}) {
            writeText(files.pathOf(name), "new");
        }
        std::string failed;
        EXPECT_FALSE(files.publish({{"a", "b"}, {"c", "d"}}, failed));
        EXPECT_EQ(failed, "d");
        EXPECT_EQ(readText("a"), "old a");
        EXPECT_FALSE(fs::exists("b"));
        EXPECT_FALSE(fs::exists("c"));
    }
    // Unpublished temporaries go with the object; the folder stays.
    EXPECT_EQ(testing::fileNamesIn("."), (std::vector<std::string>{"a", "d"}));
    EXPECT_TRUE(fs::is_directory("d"));
}

TEST_F(PendingFolder, ARenameThatFailsLeavesNoPartOfItsSet) {
    for (const char* name : {"a", "b", "c", "x"}) {
        writeText(name, std::string("old ") + name);
    }
    PendingMapFiles files(".tmp");
    files.add({"x", "a", "b", "c"});
    writeText(files.pathOf("x"), "new x");
    writeText(files.pathOf("a"), "new a");
    writeText(files.pathOf("c"), "new c");
    fs::remove(files.pathOf("b"));  // b's temporary file is gone
    std::string failed;
    EXPECT_FALSE(files.publish({{"x"}, {"a", "b", "c"}}, failed));
    EXPECT_EQ(failed, "b");
    // The set published before stays; of the broken set neither the new a nor the old b
    // and c remain, so nothing can mix them.
    EXPECT_EQ(readText("x"), "new x");
    EXPECT_FALSE(fs::exists("a"));
    EXPECT_FALSE(fs::exists("b"));
    EXPECT_FALSE(fs::exists("c"));
    files.discard();
    EXPECT_EQ(testing::fileNamesIn("."), (std::vector<std::string>{"x"}));
}

TEST_F(PendingFolder, DiscardRemovesFilesAndLinksButNeverFoldersOrWhatLinksPointTo) {
    writeText("target", "kept");
    PendingMapFiles files(".tmp");
    files.add({"file", "link", "folder", "never"});
    writeText("file.tmp", "unfinished");
    // What stands under a temporary name when the run ends, whatever made it.
    fs::remove("link.tmp");
    fs::create_symlink("target", "link.tmp");
    fs::remove("folder.tmp");
    fs::create_directory("folder.tmp");
    files.discard();
    EXPECT_EQ(testing::fileNamesIn("."), (std::vector<std::string>{"folder.tmp", "target"}));
    EXPECT_EQ(readText("target"), "kept");
    EXPECT_FALSE(files.isPending("file"));
}

// The whole chain through temporary names gives byte for byte the files of the chain that
// writes under the real names, and touches no real name until it is published.
TEST_F(PendingFolder, TheChainThroughTemporaryNamesMakesTheSameFiles) {
    const int dimX = 24, dimY = 20, dimZ = 16;
    testing::writeValues("sample.bin", testing::makePhantom(dimX, dimY, dimZ));
    const SampleVolume sample = testing::sampleRecord("sample.bin", dimX, dimY, dimZ);
    auto runChain = [&](const PendingMapFiles* files) {
        CapturedConsole io;
        std::ostringstream log;
        MapNames names;
        std::vector<float> lr, ud;
        std::vector<double> attenuation;
        ASSERT_EQ(
            buildRefractiveIndexMap(sample, names, io.console, log, 2.5f, 3, 60.0, nullptr, files),
            kPrecalcOk);
        ASSERT_EQ(buildInterfaceAngleMaps(sample, names, io.console, log, {1, 1, 1}, 3, 6, 3,
                                          nullptr, files),
                  kPrecalcOk);
        ASSERT_EQ(collapseInterfaceMap(io.console, log, names[1], names[0], dimX, dimY, dimZ, lr,
                                       nullptr, files),
                  kPrecalcOk);
        ASSERT_EQ(collapseInterfaceMap(io.console, log, names[2], names[0], dimX, dimY, dimZ, ud,
                                       nullptr, files),
                  kPrecalcOk);
        ASSERT_EQ(
            collapseAttenuation(io.console, log, sample, names[0], 3, attenuation, nullptr, files),
            kPrecalcOk);
        // Messages name the real files, never the temporary ones.
        EXPECT_EQ(io.out.str().find(".tmp"), std::string::npos);
        EXPECT_EQ(log.str().find(".tmp"), std::string::npos);
    };
    runChain(nullptr);
    std::vector<std::string> names = {"Z_ref-PRE",     "Z_iLR-PRE",     "Z_iUD-PRE",
                                      "Z_ref-PRE.pca", "Z_iLR-PRE.pca", "Z_iUD-PRE.pca",
                                      "Z_iLR-PRE.pgm", "Z_iUD-PRE.pgm"};
    std::vector<std::vector<std::uint8_t>> direct;
    for (const std::string& name : names) {
        direct.push_back(readBytes(name));
        writeText(name, "earlier");
    }
    PendingMapFiles files(".tmp");
    files.add(names);
    runChain(&files);
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(readText(names[i]), "earlier") << names[i];
        EXPECT_EQ(readBytes(names[i] + ".tmp"), direct[i]) << names[i];
    }
}

// A link planted at a map's temporary name before the run: the map is made under a new file
// of its own, and the file the link led to keeps its bytes.
TEST_F(PendingFolder, PlantedLinkAtATemporaryMapNameRedirectsNothing) {
    writeText("victim", "precious");
    PendingMapFiles files;
    fs::create_symlink("victim",
                       files.pathOf("Z_ref-PRE") + ".partial-" + std::to_string(::getpid()));
    fs::create_directory("Z_iLR-PRE.partial-" + std::to_string(::getpid()));
    ASSERT_TRUE(files.add({"Z_ref-PRE"}));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(files.pathOf("Z_ref-PRE"))));
    std::ofstream(files.pathOf("Z_ref-PRE")) << "map";
    EXPECT_EQ(readText("victim"), "precious");
    std::string error;
    EXPECT_FALSE(files.add({"Z_iLR-PRE"}, &error));
    EXPECT_EQ(error,
              "cannot create Z_iLR-PRE.partial-" + std::to_string(::getpid()) + ": it is a folder");
}

}  // namespace
}  // namespace conesim
