#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "TestSupport.hpp"
#include "ToolRunner.hpp"
#include "formats/MaskImage.hpp"

namespace conesim {
namespace {

using testing::runTool;
using testing::ScratchDir;
using testing::ToolResult;

ToolResult maskTool(const ScratchDir& dir, const std::vector<std::string>& args) {
    return runTool(CONESIM_MASK_TOOL, args, dir.path());
}

// Writes a size x size mask with the given pattern options and reads it back through the
// program's own mask reader: 1 opaque, 0 clear.
std::vector<std::uint8_t> readBack(int size, std::vector<std::string> pattern) {
    ScratchDir dir;
    std::vector<std::string> args = {"--size", std::to_string(size), "-o", "mask.pgm"};
    args.insert(args.end(), pattern.begin(), pattern.end());
    const ToolResult result = maskTool(dir, args);
    EXPECT_EQ(result.status, 0) << result.err;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size) * size, 0);
    bool active = true;
    const std::int64_t count = readMaskImage(dir.file("mask.pgm"), buffer, size * size, active);
    EXPECT_EQ(count, size * size);
    EXPECT_TRUE(active);
    return buffer;
}

int clearCount(const std::vector<std::uint8_t>& mask) {
    return static_cast<int>(std::count(mask.begin(), mask.end(), 0));
}

TEST(MaskToolTest, HelpPrintsUsageAndSucceeds) {
    testing::expectHelp(CONESIM_MASK_TOOL, "Usage: conesim-mask --size N -o FILE PATTERN");
}

TEST(MaskToolTest, FileHasTheFourHeaderLinesTheProgramSkips) {
    ScratchDir dir;
    const ToolResult result = maskTool(dir, {"--size", "4", "-o", "m.pgm", "--grating", "2,1"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(testing::readText(dir.file("m.pgm")),
              "P2\n"
              "# conesim-mask grating period 2 aperture 1 offset 0 vertical\n"
              "4 4\n"
              "255\n"
              "0 255 0 255\n0 255 0 255\n0 255 0 255\n0 255 0 255\n");
    EXPECT_EQ(result.out,
              "Wrote m.pgm: 4 x 4 mask, grating period 2 aperture 1 offset 0 vertical.\n");
}

TEST(MaskToolTest, VerticalGratingPeriodApertureAndOffsetLandOnColumns) {
    // Period 5, aperture 2, offset 1: columns 1, 2, 6, 7 clear, every row alike.
    const std::vector<std::uint8_t> mask = readBack(10, {"--grating", "5,2,1,v"});
    for (int row = 0; row < 10; ++row) {
        for (int column = 0; column < 10; ++column) {
            const bool clear = column == 1 || column == 2 || column == 6 || column == 7;
            EXPECT_EQ(mask[static_cast<std::size_t>(row * 10 + column)], clear ? 0 : 1)
                << row << "," << column;
        }
    }
}

TEST(MaskToolTest, HorizontalGratingLandsOnRowsAndNegativeOffsetsWrap) {
    // Period 4, aperture 1, offset -1: rows 3 and 7 clear (row - (-1) = 4, 8).
    const std::vector<std::uint8_t> mask = readBack(8, {"--grating", "4,1,-1,h"});
    for (int row = 0; row < 8; ++row) {
        for (int column = 0; column < 8; ++column) {
            EXPECT_EQ(mask[static_cast<std::size_t>(row * 8 + column)],
                      (row == 3 || row == 7) ? 0 : 1)
                << row << "," << column;
        }
    }
}

TEST(MaskToolTest, InvertSwapsClearAndOpaque) {
    const std::vector<std::uint8_t> mask = readBack(6, {"--grating", "3,1", "--invert"});
    for (int column = 0; column < 6; ++column) {
        EXPECT_EQ(mask[static_cast<std::size_t>(column)], column % 3 == 0 ? 1 : 0);
    }
}

TEST(MaskToolTest, UniformMasksAreAllClearOrAllOpaque) {
    EXPECT_EQ(clearCount(readBack(7, {"--clear"})), 49);
    EXPECT_EQ(clearCount(readBack(7, {"--open"})), 49);
    EXPECT_EQ(clearCount(readBack(7, {"--opaque"})), 0);
    ScratchDir dir;
    ASSERT_EQ(maskTool(dir, {"--size", "2", "-o", "m.pgm", "--opaque"}).status, 0);
    EXPECT_EQ(testing::readText(dir.file("m.pgm")),
              "P2\n# conesim-mask uniform opaque\n2 2\n255\n255 255\n255 255\n");
}

TEST(MaskToolTest, RandomMaskHasExactlyTheClearFractionAndFollowsItsSeed) {
    const std::vector<std::uint8_t> first = readBack(50, {"--random", "0.3,42"});
    EXPECT_EQ(clearCount(first), 750);
    EXPECT_EQ(readBack(50, {"--random", "0.3,42"}), first);
    const std::vector<std::uint8_t> other = readBack(50, {"--random", "0.3,43"});
    EXPECT_EQ(clearCount(other), 750);
    EXPECT_NE(other, first);
    // Spread over the whole mask, not bunched at its start: each half holds some.
    const int firstHalf = static_cast<int>(std::count(first.begin(), first.begin() + 1250, 0));
    EXPECT_GT(firstHalf, 250);
    EXPECT_LT(firstHalf, 500);
    EXPECT_EQ(clearCount(readBack(10, {"--random", "0"})), 0);
    EXPECT_EQ(clearCount(readBack(10, {"--random", "1"})), 100);
}

TEST(MaskToolTest, BadArgumentsAreUsageErrors) {
    ScratchDir dir;
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--size", "8", "-o", "m.pgm"},
        {"--size", "8", "--clear"},
        {"-o", "m.pgm", "--clear"},
        {"--size", "0", "-o", "m.pgm", "--clear"},
        {"--size", "10001", "-o", "m.pgm", "--clear"},
        {"--size", "eight", "-o", "m.pgm", "--clear"},
        {"--size", "8", "-o", "m.pgm", "--clear", "--opaque"},
        {"--size", "8", "-o", "m.pgm", "--grating", "0,0"},
        {"--size", "8", "-o", "m.pgm", "--grating", "4,5"},
        {"--size", "8", "-o", "m.pgm", "--grating", "4,1,0,d"},
        {"--size", "8", "-o", "m.pgm", "--grating", "4.5,1"},
        {"--size", "8", "-o", "m.pgm", "--random", "1.5"},
        {"--size", "8", "-o", "m.pgm", "--random", "0.5,-3"},
        {"--size", "8", "-o", "m.pgm", "--stripes"},
        {"--size", "8", "-o", "m.pgm", "--grating"},
    };
    testing::expectUsageErrors(CONESIM_MASK_TOOL, "conesim-mask", bad, dir.path());
    EXPECT_TRUE(testing::fileNames(dir.path()).empty());
    const ToolResult grating =
        maskTool(dir, {"--size", "8", "-o", "m.pgm", "--grating", "4,1,0,d"});
    EXPECT_NE(grating.err.find("the orientation 'd'"), std::string::npos) << grating.err;
}

TEST(MaskToolTest, UnwritableOutputFailsAndLeavesNoFile) {
    ScratchDir dir;
    const ToolResult result = maskTool(dir, {"--size", "4", "-o", "no/m.pgm", "--clear"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "conesim-mask: cannot create no/m.pgm\n");
    EXPECT_TRUE(testing::fileNames(dir.path()).empty());
}

}  // namespace
}  // namespace conesim
