// conesim-sweep over an outer axis: the run order, the four-dimensional stack and its header,
// the table's outer column, the open range of angles and which runs make the planes; with
// the real program, and with a stand-in script where only the command lines matter.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "SweepFixture.hpp"
#include "params/SimulationParameters.hpp"
#include "util/Console.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::Counts;
using testing::readText;
using testing::runTool;
using testing::ScratchDir;
using testing::stackHeader;
using testing::SweepToolTest;
using testing::ToolResult;

// The header of a 40 x 40 x inner x outer stack.
std::string stackHeader4(int inner, int outer) {
    return "ObjectType = Image\nNDims = 4\nBinaryData = True\nBinaryDataByteOrderMSB = False\n"
           "CompressedData = False\nElementSpacing = 1 1 1 1\nDimSize = 40 40 " +
           std::to_string(inner) + " " + std::to_string(outer) +
           "\nElementType = MET_UINT\nElementDataFile = stack.raw\n";
}

// The rotation changes the planes: the first run of each angle makes them (mode 3), the
// other runs of that angle read them (mode 5).
TEST_F(SweepToolTest, AnOuterRotationRunsTheWholeSweepPerAngleAndMakesPlanesOncePerAngle) {
    const ToolResult result = sweep({"run.txt", "--set", "detectorLrOffset=0:0.5:2", "--over-open",
                                     "sampleRotation=0:180:3", "-o", "sweep", "--seed", "7"});
    ASSERT_EQ(result.status, 0) << result.err << result.out;
    Counts stacked;
    for (int k = 0; k < 6; ++k) {
        const Counts counts = image("run-00" + std::to_string(k));
        ASSERT_EQ(counts.size(), 1600U) << k;
        stacked.insert(stacked.end(), counts.begin(), counts.end());
    }
    EXPECT_EQ(testing::readValues<std::uint32_t>(dir.file("sweep/stack.raw")), stacked);
    EXPECT_EQ(readText(dir.file("sweep/stack.raw.mhd")), stackHeader4(2, 3));
    EXPECT_TRUE(
        std::regex_match(readText(dir.file("sweep/sweep.csv")),
                         std::regex("detectorLrOffset,sampleRotation,run,status,hits,seconds\n"
                                    "0,0,run-000,0,[0-9]+,[0-9.]+\n"
                                    "0.5,0,run-001,0,[0-9]+,[0-9.]+\n"
                                    "0,60,run-002,0,[0-9]+,[0-9.]+\n"
                                    "0.5,60,run-003,0,[0-9]+,[0-9.]+\n"
                                    "0,120,run-004,0,[0-9]+,[0-9.]+\n"
                                    "0.5,120,run-005,0,[0-9]+,[0-9.]+\n")))
        << readText(dir.file("sweep/sweep.csv"));
    EXPECT_TRUE(std::regex_search(
        result.out,
        std::regex("run-000 detectorLrOffset=0, sampleRotation=0 \\(run mode 3\\)[^\n]*\n"
                   "run-001 detectorLrOffset=0.5, sampleRotation=0 \\(run mode 5\\)[^\n]*\n"
                   "run-002 detectorLrOffset=0, sampleRotation=60 \\(run mode 3\\)")))
        << result.out;
    EXPECT_NE(result.out.find("/sweep/stack.raw (40 x 40 x 2 x 3) and "), std::string::npos)
        << result.out;
    EXPECT_EQ(modeCount(3), 3);
    EXPECT_EQ(modeCount(5), 3);
}

// A stand-in that notes its arguments, keeps its parameter file and leaves an image, and
// fails on the run named in the file "fail" beside the sweep, if any.
class SweepOverScriptTest : public SweepToolTest {
  protected:
    void SetUp() override {
        SweepToolTest::SetUp();
        out = (fs::canonical(dir.path()) / "sweep").string();
        testing::writeText(dir.file("fake.sh"),
                           "#!/bin/sh\n"
                           "echo \"$@\" >> '" +
                               out +
                               "/arguments'\n"
                               "cp \"$5\" '" +
                               out +
                               "/'\"$6\".params\n"
                               "[ \"$6\" = \"$(cat fail 2>/dev/null)\" ] && exit 9\n"
                               "head -c 6400 /dev/zero > '" +
                               out + "/'\"$6\".1.dat\n");
        ::chmod(dir.file("fake.sh").c_str(), 0755);
    }

    ToolResult sweepWith(std::vector<std::string> args) {
        args.insert(args.end(),
                    {"-o", "sweep", "--program", "fake.sh", "--seed", "10", "--threads", "1"});
        return sweep(args);
    }

    // The run mode, apertureLrOffset and detectorLrOffset that run k was given.
    std::tuple<int, float, float> runSettings(int k) {
        std::ostringstream messages;
        std::istringstream noInput;
        Console console{messages, noInput};
        SimulationParameters p;
        p.readFile(dir.file("sweep/run-00" + std::to_string(k) + ".params"), console);
        EXPECT_TRUE(p.parameterFileLoaded) << messages.str();
        return {p.runMode, p.apertureLrOffset, p.detectorLrOffset};
    }

    std::string out;
};

TEST_F(SweepOverScriptTest, SeedsRunModesAndTheHeaderAfterAFailureFollowTheRunOrder) {
    // The outer analyser offset changes no plane: only the very first run makes them.
    writeParameters({{5, "0.5"}});
    ToolResult result = sweepWith(
        {"run.txt", "--set", "apertureLrOffset=0:0.25:2", "--over", "detectorLrOffset=0:0.5:2"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(
        std::regex_match(readText(dir.file("sweep/arguments")),
                         std::regex("--seed 10 [^\n]* run-000\n--seed 11 [^\n]* run-001\n"
                                    "--seed 12 [^\n]* run-002\n--seed 13 [^\n]* run-003\n")))
        << readText(dir.file("sweep/arguments"));
    const float aperture[] = {0.0F, 0.25F, 0.0F, 0.25F};
    const float detector[] = {0.0F, 0.0F, 0.5F, 0.5F};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(runSettings(k), std::make_tuple(k == 0 ? 3 : 5, aperture[k], detector[k])) << k;
    }
    EXPECT_EQ(readText(dir.file("sweep/stack.raw.mhd")), stackHeader4(2, 2));

    // An inner setting that changes the planes: every run makes its own.
    fs::remove_all(dir.path() / "sweep");
    result = sweepWith({"run.txt", "--set", "sampleValueScale=500:1000:2", "--over-open",
                        "sampleRotation=0:90:2"});
    ASSERT_EQ(result.status, 0) << result.err;
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(std::get<0>(runSettings(k)), 3) << k;
    }

    // A failure: the header describes the finished runs, four-dimensional while they fill
    // whole outer values, otherwise the plain run after run volume.
    const std::vector<std::string> args = {
        "run.txt", "--set", "detectorLrOffset=0:0.5:2", "--over-open", "sampleRotation=0:180:3",
        "--force"};
    testing::writeText(dir.file("fail"), "run-003");
    EXPECT_EQ(sweepWith(args).status, 9);
    EXPECT_EQ(readText(dir.file("sweep/stack.raw.mhd")), stackHeader(3));
    EXPECT_TRUE(
        std::regex_match(readText(dir.file("sweep/sweep.csv")),
                         std::regex("detectorLrOffset,sampleRotation,run,status,hits,seconds\n"
                                    "(0(\\.5)?,(0|60),run-00[0-2],0,,[0-9.]+\n){3}"
                                    "0.5,60,run-003,9,,[0-9.]+\n")))
        << readText(dir.file("sweep/sweep.csv"));
    testing::writeText(dir.file("fail"), "run-002");
    EXPECT_EQ(sweepWith(args).status, 9);
    EXPECT_EQ(readText(dir.file("sweep/stack.raw.mhd")), stackHeader4(2, 1));
}

TEST(SweepCommandLineTest, OuterAxisUsageErrors) {
    ScratchDir dir;
    const auto with = [](std::vector<std::string> more) {
        std::vector<std::string> args = {"p.txt", "-o", "d", "--set", "detectorLrOffset=0:1:3"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {with({"--over", "sampleRotation=0:90:2", "--over-open", "sampleRotation=0:90:2"}),
         "one outer axis at most: --over sampleRotation is already given"},
        {with({"--over", "detectorLrOffset=0:1:2"}),
         "detectorLrOffset is given both with --set and as the outer axis"},
        {with({"--over", "runMode=3:5:2"}),
         "--over: runMode cannot be swept: the sweep chooses the run mode itself"},
        {with({"--over", "sampleRotation=0:90:40000"}),
         "the outer axis's 40000 values times the 3 of --set make more than 100000 runs (the "
         "most a sweep may have)"},
    };
    for (const auto& [args, message] : cases) {
        const ToolResult result = runTool(CONESIM_SWEEP_TOOL, args, dir.path());
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.err, "conesim-sweep: " + message + "\nTry 'conesim-sweep --help'.\n");
    }
}

}  // namespace
}  // namespace conesim
