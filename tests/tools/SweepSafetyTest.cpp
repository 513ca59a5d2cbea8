// conesim-sweep keeps apart what must not mix: files of its names that it did not write,
// runs on planes that do not change, a run log among its own files, and a stack, header
// and table that disagree after a full disk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "ProgramRun.hpp"
#include "SweepFixture.hpp"
#include "TestSupport.hpp"
#include "ToolRunner.hpp"
#include "sweep/SweepFiles.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::stackHeader;
using testing::SweepToolTest;
using testing::ToolResult;

TEST_F(SweepToolTest, FilesOfItsNamesAreRefusedUnlessForcedAndNeverWrittenThroughALink) {
    testing::writeText(dir.file("main.txt"), "mine\n");
    fs::create_directory(dir.path() / "o2");
    fs::create_symlink("../main.txt", dir.path() / "o2/params.txt");
    const std::vector<std::string> args = {"run.txt", "--set", "detectorLrOffset=0:0:1", "-o",
                                           "o2"};
    const ToolResult refused = sweep(args);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              "conesim-sweep: o2 holds params.txt, which this sweep writes; give --force to "
              "replace them, or another -o DIR\n");
    EXPECT_EQ(testing::fileNames(dir.path() / "o2"), std::vector<std::string>{"params.txt"});

    std::vector<std::string> forcedArgs = args;
    forcedArgs.push_back("--force");
    const ToolResult forced = sweep(forcedArgs);
    ASSERT_EQ(forced.status, 0) << forced.err;
    // The link went, not the file it led to; the copy is a file of its own.
    EXPECT_EQ(readText(dir.file("main.txt")), "mine\n");
    EXPECT_FALSE(fs::is_symlink(dir.path() / "o2/params.txt"));
    EXPECT_EQ(readText(dir.file("o2/params.txt")), parameters);
}

TEST_F(SweepToolTest, RunsThatWouldMixOrMisleadAreRefusedBeforeAnyFolderIsMade) {
    const auto expectRefused = [&](const std::string& setting, const std::string& message) {
        const ToolResult result = sweep({"run.txt", "--set", setting, "-o", "sweep"});
        EXPECT_EQ(result.status, 1) << setting;
        EXPECT_EQ(result.err, "conesim-sweep: run.txt" + message + "\n") << setting;
        EXPECT_FALSE(fs::exists(dir.path() / "sweep")) << setting;
    };
    // Mode 5 reads planes made earlier: a setting that changes them would change nothing.
    writeParameters({{32, "5"}});
    expectRefused("sampleEnergy=20:30:2",
                  " has run mode 5, which reads the planes an earlier run left, but sampleEnergy "
                  "changes the sample planes, so every run would use the same ones; set run mode "
                  "3 (or 4) in the file");
    // The run log appends to its file: among the sweep's own files it would mix with them.
    const std::string folder = (fs::canonical(dir.path()) / "sweep").string();
    for (const char* log : {"stack.raw", "params.txt", "sweep.csv", "./stack.raw.mhd",
                            "run-001.log", "run-000.1.dat"}) {
        writeParameters({{46, log}});
        expectRefused("detectorLrOffset=0:0.5:2",
                      ": the run log's name " + std::string(log) +
                          " (value 46) is one of the sweep's own files in " + folder +
                          " (params.txt, stack.raw, stack.raw.mhd, sweep.csv, run-NNN.*), whose "
                          "content the log would mix with its own; give the log another name");
    }
}

TEST_F(SweepToolTest, AFullDiskLeavesStackHeaderAndTableInAgreement) {
    // A stand-in that leaves a 40 x 40 image; the sweep may write no file beyond 16000
    // bytes, so that the third image does not fit into the stack (as on a full disk).
    const std::string out = (fs::canonical(dir.path()) / "sweep").string();
    testing::writeText(dir.file("fake.sh"),
                       "#!/bin/sh\nhead -c 6400 /dev/zero > '" + out + "/'\"$4\".1.dat\n");
    ::chmod(dir.file("fake.sh").c_str(), 0755);
    testing::ProgramCall call(CONESIM_SWEEP_TOOL,
                              {"run.txt", "--seed", "7", "--set", "detectorLrOffset=0:0.5:4", "-o",
                               "sweep", "--program", "fake.sh"},
                              dir.path());
    call.fileSizeBytes = 16000;
    EXPECT_EQ(testing::runProgram(call).shellStatus(), 1);
    EXPECT_EQ(fs::file_size(out + "/stack.raw"), 2U * 6400U);
    EXPECT_EQ(readText(out + "/stack.raw.mhd"), stackHeader(2));
    tools::SweepTable table;
    std::string error;
    ASSERT_TRUE(tools::readSweepTable(out + "/sweep.csv", table, error)) << error;
    ASSERT_EQ(table.rows.size(), 3U);
    EXPECT_EQ(table.rows[0].status, 0);
    EXPECT_EQ(table.rows[1].status, 0);
    // The run whose image found no room is listed as failed, so no reader counts it.
    EXPECT_EQ(table.rows[2].runName, "run-002");
    EXPECT_EQ(table.rows[2].status, 1);
    EXPECT_FALSE(fs::exists(out + "/run-003.log"));

    // A header that cannot be replaced (here a folder that appeared under its name) leaves
    // the stack at the images the table counts as finished.
    testing::writeText(dir.file("fake.sh"), "#!/bin/sh\nhead -c 6400 /dev/zero > '" + out +
                                                "/'\"$4\".1.dat\n[ \"$4\" = run-001 ] && rm '" +
                                                out + "/stack.raw.mhd' && mkdir '" + out +
                                                "/stack.raw.mhd'\nexit 0\n");
    const ToolResult result = sweep({"run.txt", "--seed", "7", "--set", "detectorLrOffset=0:0.5:4",
                                     "-o", "sweep", "--program", "fake.sh", "--force"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(fs::file_size(out + "/stack.raw"), 6400U);
    ASSERT_TRUE(tools::readSweepTable(out + "/sweep.csv", table, error)) << error;
    ASSERT_EQ(table.rows.size(), 2U);
    EXPECT_EQ(table.rows[0].status, 0);
    EXPECT_EQ(table.rows[1].status, 1);
}

}  // namespace
}  // namespace conesim
