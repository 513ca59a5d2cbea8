// Numeric arguments at the edges of their ranges and of their types: the ends of every
// documented range are accepted, values just beyond them and values no type holds are
// refused with the option and value named, and nothing is written.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.hpp"
#include "ToolRunner.hpp"
#include "common/PngIo.hpp"

namespace conesim {
namespace {

using testing::runTool;
using testing::ScratchDir;
using testing::ToolResult;

struct Refused {
    std::vector<std::string> args;
    std::string message;  //!< the first line of standard error, after "<tool>: "
};

void expectRefused(const char* program, const std::string& tool,
                   const std::vector<Refused>& cases) {
    ScratchDir dir;
    testing::writeValues(dir.file("a.dat"), std::vector<std::uint32_t>{1, 2});
    for (const Refused& c : cases) {
        const ToolResult result = runTool(program, c.args, dir.path());
        EXPECT_EQ(result.status, 2) << c.message;
        EXPECT_EQ(result.err, tool + ": " + c.message + "\nTry '" + tool + " --help'.\n");
    }
    EXPECT_EQ(testing::fileNames(dir.path()), (std::vector<std::string>{"a.dat"}));
}

TEST(ArgumentRangeTest, MaskValuesBeyondTheirRanges) {
    const auto mask = [](const std::string& pattern, const std::string& value) {
        return std::vector<std::string>{"--size", "8", "-o", "m.pgm", pattern, value};
    };
    expectRefused(
        CONESIM_MASK_TOOL, "conesim-mask",
        {{mask("--grating", "8,3,-9223372036854775808"),
          "--grating '8,3,-9223372036854775808': the offset '-9223372036854775808' is not a "
          "whole number from -1000000000 to 1000000000"},
         {mask("--grating", "8,3,1000000001"),
          "--grating '8,3,1000000001': the offset '1000000001' is not a whole number from "
          "-1000000000 to 1000000000"},
         {mask("--grating", "1000000001,1"),
          "--grating '1000000001,1': the period '1000000001' is not a whole number from 1 to "
          "1000000000"},
         {mask("--grating", "99999999999999999999,1"),
          "--grating '99999999999999999999,1': the period '99999999999999999999' is not a whole "
          "number from 1 to 1000000000"},
         {mask("--grating", "4,5"),
          "--grating '4,5': the aperture '5' is not a whole number from 0 to 4 (the period)"},
         {mask("--random", "nan"),
          "--random 'nan': the clear fraction 'nan' is not a number from 0 to 1"},
         {mask("--random", "0.5,9223372036854775808"),
          "--random '0.5,9223372036854775808': the seed '9223372036854775808' is not a whole "
          "number from 0 to 9223372036854775807"},
         {{"--size", "10001", "-o", "m.pgm", "--clear"},
          "--size '10001' is not a whole number from 1 to 10000"}});
    ScratchDir dir;
    for (const char* grating : {"1000000000,1000000000,-1000000000", "1,0,1000000000"}) {
        const ToolResult result = runTool(
            CONESIM_MASK_TOOL, {"--size", "2", "-o", "m.pgm", "--grating", grating}, dir.path());
        EXPECT_EQ(result.status, 0) << grating << result.err;
    }
    const ToolResult seed =
        runTool(CONESIM_MASK_TOOL,
                {"--size", "2", "-o", "m.pgm", "--random", "1,9223372036854775807"}, dir.path());
    EXPECT_EQ(seed.status, 0) << seed.err;
}

TEST(ArgumentRangeTest, PhantomValuesBeyondTheirRanges) {
    const auto phantom = [](const std::string& option, const std::string& value) {
        return std::vector<std::string>{"--dims", "4x4x4", "-o", "v.bin", option, value};
    };
    expectRefused(
        CONESIM_PHANTOM_TOOL, "conesim-phantom",
        {{phantom("--background", "1e39"),
          "--background '1e39' is not a number from -1e38 to 1e38"},
         {phantom("--background", "-1e39"),
          "--background '-1e39' is not a number from -1e38 to 1e38"},
         {phantom("--background", "1e999"),
          "--background '1e999' is not a number from -1e38 to 1e38"},
         {phantom("--sphere", "1,1,1,2,1e39"),
          "--sphere '1,1,1,2,1e39': VALUE '1e39' is not a number from -1e38 to 1e38"},
         {phantom("--sphere", "1e300,1,1,1e300,1"),
          "--sphere '1e300,1,1,1e300,1': CX '1e300' is not a number from -1e6 to 1e6"},
         {phantom("--sphere", "1,1,1,-1,1"),
          "--sphere '1,1,1,-1,1': R '-1' is not a number from 0 to 1e6"},
         {phantom("--cylinder", "z,1,1,1,1,0,1e7"),
          "--cylinder 'z,1,1,1,1,0,1e7': TO '1e7' is not a number from -1e6 to 1e6"},
         {phantom("--box", "0,0,0,1,1,1,inf"),
          "--box '0,0,0,1,1,1,inf': VALUE 'inf' is not a number from -1e38 to 1e38"},
         {phantom("--slab", "1e308,2,1"),
          "--slab '1e308,2,1': ANGLE '1e308' is not a number from -360 to 360"},
         {phantom("--slab", "10,0,1"),
          "--slab '10,0,1': THICKNESS '0' is not a number from 1e-6 to 1e6"},
         {phantom("--slab", "10,2,1,x,-2e6"),
          "--slab '10,2,1,x,-2e6': OFFSET '-2e6' is not a number from -1e6 to 1e6"},
         {phantom("--voxel-size", "0"),
          "--voxel-size '0': the size '0' is not a number from 1e-30 to 1e30"},
         {phantom("--voxel-size", "1,2"), "--voxel-size '1,2' needs 1 or 3 comma-separated values"},
         {{"--dims", "4x4x3001", "-o", "v.bin"},
          "--dims '4x4x3001': the program accepts at most 3000 voxels per axis"}});
    // The ends of each range: finite voxels, every one of them written.
    ScratchDir dir;
    const ToolResult result =
        runTool(CONESIM_PHANTOM_TOOL,
                {"--dims", "3x1x1", "-o", "v.bin", "--background", "-1e38", "--cylinder",
                 "x,0,0,0,3,-1e6,1e6", "--sphere", "-1e6,0,0,1e6,1e38", "--slab", "360,1e6,5,x,1e6",
                 "--box", "2,0,0,2,0,0,-1e38"},
                dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    // The slab lies 1e6 voxels off the centre, beyond the grid: it covers nothing.
    const std::vector<float> voxels = testing::readValues<float>(dir.file("v.bin"));
    EXPECT_EQ(voxels, (std::vector<float>{1e38F, 3.0F, -1e38F}));
}

TEST(ArgumentRangeTest, PngAndSumValuesBeyondTheirRanges) {
    const auto png = [](const std::string& option, const std::string& value) {
        return std::vector<std::string>{"a.dat", "--width", "2", option, value};
    };
    expectRefused(
        CONESIM_PNG_TOOL, "conesim-png",
        {{{"a.dat", "--width", "2", "--log", "--log-offset", "1e-320"},
          "--log-offset '1e-320' is not a number from 1e-300 to 1e300"},
         {png("--log-offset", "2e300"),
          "--log-offset '2e300' is not a number from 1e-300 to 1e300"},
         {png("--min", "-1e301"), "--min '-1e301' is not a number from -1e300 to 1e300"},
         {png("--max", "nan"), "--max 'nan' is not a number from -1e300 to 1e300"},
         {{"a.dat", "--width", "1000001"},
          "--width '1000001' is not a whole number from 1 to 1000000"},
         {{"a.mhd", "--slice", "-1"}, "--slice '-1' is not a whole number from 0 to 2147483646"},
         {{"a.dat", "--width", "2", "--slice", "0"}, "--slice is for 3-D .mhd volumes"},
         {{"a.dat", "--width", "2", "--colormap", "--min", "1"},
          "--colormap is symmetric about 0: --min must be at most 0 and --max at least 0"},
         {png("--" + std::string(100, 'x'), "1"),
          "unknown argument '--xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...'"}});
    expectRefused(CONESIM_SUM_TOOL, "conesim-sum",
                  {{{"--width", "4294967296", "-o", "s", "a.dat"},
                    "--width '4294967296' is not a whole number from 1 to 4294967295"},
                   {{"--width", "-1", "-o", "s", "a.dat"},
                    "--width '-1' is not a whole number from 1 to 4294967295"}});
}

// The log offset and the bounds at the ends of their ranges, and an image that spans the
// whole double range: every grey level is a number from 0 to 255, never NaN made a level.
TEST(ArgumentRangeTest, PngExtremesGiveOrderedGreyLevels) {
    ScratchDir dir;
    const double huge = 1.7976931348623157e308;
    testing::writeValues(dir.file("p.pca"), std::vector<double>{-huge, 0.0, huge, 1e-300});
    const std::vector<std::vector<std::string>> runs = {
        {"p.pca", "--width", "4", "--log", "--log-offset", "1e-300"},
        {"p.pca", "--width", "4", "--log", "--log-offset", "1e300"},
        {"p.pca", "--width", "4", "--log"},
        {"p.pca", "--width", "4"},
        {"p.pca", "--width", "4", "--min", "-1e300", "--max", "1e300", "--log"},
    };
    for (const auto& args : runs) {
        const ToolResult result = runTool(CONESIM_PNG_TOOL, args, dir.path());
        ASSERT_EQ(result.status, 0) << result.err;
        tools::GreyImage png;
        std::string error;
        ASSERT_TRUE(tools::readGreyPng(dir.file("p.png"), png, error)) << error;
        const auto& grey = png.pixels;
        SCOPED_TRACE(::testing::PrintToString(args));
        EXPECT_EQ(grey[0], 0);
        EXPECT_EQ(grey[2], 255);
        EXPECT_LE(grey[1], grey[3]);
    }
    // Linear over the whole double range: 0 lies half way.
    ASSERT_EQ(runTool(CONESIM_PNG_TOOL, {"p.pca", "--width", "4"}, dir.path()).status, 0);
    tools::GreyImage png;
    std::string error;
    ASSERT_TRUE(tools::readGreyPng(dir.file("p.png"), png, error));
    EXPECT_EQ(png.pixels, (std::vector<std::uint8_t>{0, 128, 255, 128}));
}

// Every tool's long options take their value as the next word or after "=" in their own
// word; a flag takes a truth value so, and refuses any other with the whole word.
TEST(ArgumentRangeTest, LongOptionsTakeTheirValueAfterAnEqualsSign) {
    ScratchDir dir;
    ToolResult result =
        runTool(CONESIM_MASK_TOOL, {"--size=8", "--output=m.pgm", "--grating=4,1,0"}, dir.path());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(testing::readText(dir.file("m.pgm")).rfind("P2\n", 0), 0U);
    result = runTool(CONESIM_PHANTOM_TOOL, {"--dims=4x4x4", "-o", "p.bin", "--labels=maybe"},
                     dir.path());
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.substr(0, result.err.find('\n')),
              "conesim-phantom: unknown argument '--labels=maybe'");
    result = runTool(CONESIM_PARAMS_TOOL, {"new", "--output=p.txt"}, dir.path());
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.substr(0, result.err.find('\n')),
              "conesim-params: -o is for the set command only");
}

}  // namespace
}  // namespace conesim
