#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"
#include "ToolRunner.hpp"
#include "common/PngIo.hpp"

namespace conesim {
namespace {

using testing::runTool;
using testing::ScratchDir;
using testing::ToolResult;
using tools::GreyImage;

ToolResult pngTool(const ScratchDir& dir, const std::vector<std::string>& args) {
    return runTool(CONESIM_PNG_TOOL, args, dir.path());
}

GreyImage readPng(const std::string& path) {
    GreyImage image;
    std::string error;
    EXPECT_TRUE(tools::readGreyPng(path, image, error)) << error;
    return image;
}

std::uint8_t linearGrey(double v, double low, double high) {
    return static_cast<std::uint8_t>(std::floor(255.0 * (v - low) / (high - low) + 0.5));
}

TEST(PngToolTest, HelpPrintsUsageAndSucceeds) {
    testing::expectHelp(CONESIM_PNG_TOOL, "Usage: conesim-png INPUT");
}

TEST(PngToolTest, RawImageRowsBecomePngRowsScaledToFullRange) {
    ScratchDir dir;
    const std::vector<std::uint32_t> counts = {5, 10, 20, 30, 40, 50, 60, 4294967295U};
    testing::writeValues(dir.file("final.dat"), counts);
    const ToolResult result = pngTool(dir, {"final.dat", "--width", "4"});
    ASSERT_EQ(result.status, 0) << result.err;
    const GreyImage png = readPng(dir.file("final.png"));
    EXPECT_EQ(png.width, 4U);
    EXPECT_EQ(png.height, 2U);
    ASSERT_EQ(png.pixels.size(), 8U);
    EXPECT_EQ(png.pixels.front(), 0);
    EXPECT_EQ(png.pixels.back(), 255);  // the largest count is unsigned, not -1
    EXPECT_EQ(png.pixels[1], 0);        // tiny against 2^32 - 1
}

TEST(PngToolTest, WidthComesFromTheParameterFile) {
    ScratchDir dir;
    testing::writeText(dir.file("run.txt"), testing::parameterFileText({{25, "3"}, {10, "2"}}));
    testing::writeValues(dir.file("img.dat"), std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5});
    ASSERT_EQ(pngTool(dir, {"img.dat", "--params", "run.txt", "-o", "a.png"}).status, 0);
    const GreyImage raw = readPng(dir.file("a.png"));
    EXPECT_EQ(raw.width, 3U);
    EXPECT_EQ(raw.height, 2U);
    // A plane's row length is sampleDimX.
    testing::writeValues(dir.file("Z_ref-PRE.pca"),
                         std::vector<double>{-1.0, 0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0});
    ASSERT_EQ(pngTool(dir, {"Z_ref-PRE.pca", "--params", "run.txt"}).status, 0);
    const GreyImage plane = readPng(dir.file("Z_ref-PRE.png"));
    EXPECT_EQ(plane.width, 2U);
    EXPECT_EQ(plane.height, 4U);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(plane.pixels[i], linearGrey(static_cast<double>(i) - 1.0, -1.0, 6.0)) << i;
    }
}

TEST(PngToolTest, RefusedParameterFileIsNamed) {
    ScratchDir dir;
    testing::writeText(dir.file("short.txt"), "a = 1\n");
    testing::writeValues(dir.file("img.dat"), std::vector<std::uint32_t>{0, 1});
    const ToolResult result = pngTool(dir, {"img.dat", "--params", "short.txt"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("cannot use parameter file short.txt"), std::string::npos)
        << result.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("img.png")));
}

TEST(PngToolTest, ProgramPgmKeepsItsSizeAndGreyLevels) {
    ScratchDir dir;
    testing::writeText(dir.file("Final1.pgm"), testing::programPgm({0, 1, 5, 10, 3, 7}, 3));
    ASSERT_EQ(pngTool(dir, {"Final1.pgm"}).status, 0);
    const GreyImage png = readPng(dir.file("Final1.png"));
    EXPECT_EQ(png.width, 3U);
    EXPECT_EQ(png.height, 2U);
    // The PGM holds 0 26 128 / 255 77 179; their range is 0 .. 255, so they pass unchanged.
    EXPECT_EQ(png.pixels, (std::vector<std::uint8_t>{0, 26, 128, 255, 77, 179}));
}

TEST(PngToolTest, MaskImageFromTheMaskToolIsRead) {
    ScratchDir dir;
    ASSERT_EQ(
        runTool(CONESIM_MASK_TOOL, {"--size", "4", "-o", "m.pgm", "--grating", "2,1"}, dir.path())
            .status,
        0);
    ASSERT_EQ(pngTool(dir, {"m.pgm", "-o", "mask.png"}).status, 0);
    const GreyImage png = readPng(dir.file("mask.png"));
    EXPECT_EQ(png.width, 4U);
    EXPECT_EQ(png.height, 4U);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(png.pixels[i], i % 2 == 0 ? 0 : 255) << i;
    }
}

TEST(PngToolTest, MinAndMaxClampAndLogarithmicScaling) {
    ScratchDir dir;
    testing::writeValues(dir.file("a.dat"), std::vector<std::uint32_t>{0, 25, 50, 75, 100});
    ASSERT_EQ(pngTool(dir, {"a.dat", "--width", "5", "--min", "25", "--max", "75"}).status, 0);
    EXPECT_EQ(readPng(dir.file("a.png")).pixels, (std::vector<std::uint8_t>{0, 0, 128, 255, 255}));
    testing::writeValues(dir.file("b.dat"), std::vector<std::uint32_t>{0, 1, 99});
    ASSERT_EQ(pngTool(dir, {"b.dat", "--width", "3", "--log"}).status, 0);
    // 255 * ln(2) / ln(100) = 38.4
    EXPECT_EQ(readPng(dir.file("b.png")).pixels, (std::vector<std::uint8_t>{0, 38, 255}));
    ASSERT_EQ(pngTool(dir, {"b.dat", "--width", "3", "--log", "--log-offset", "99"}).status, 0);
    // 255 * ln(1 + 1/99) / ln(2) = 3.68
    EXPECT_EQ(readPng(dir.file("b.png")).pixels, (std::vector<std::uint8_t>{0, 4, 255}));
}

TEST(PngToolTest, EqualValuesComeOutBlack) {
    ScratchDir dir;
    testing::writeValues(dir.file("a.dat"), std::vector<std::uint32_t>{7, 7, 7, 7});
    ASSERT_EQ(pngTool(dir, {"a.dat", "--width", "2"}).status, 0);
    EXPECT_EQ(readPng(dir.file("a.png")).pixels, (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST(PngToolTest, RefusedInputsFailWithTheFileNamed) {
    ScratchDir dir;
    testing::writeValues(dir.file("six.dat"), std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6});
    testing::writeText(dir.file("odd.dat"), "12345");
    testing::writeText(dir.file("binary.pgm"), "P5\n2 2\n255\nabcd");
    testing::writeText(dir.file("short.pgm"), "P2\n3 3\n255\n1 2 3\n");
    testing::writeText(dir.file("word.pgm"), "P2\n2 1\n255\n1 x\n");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"six.dat", "--width", "4"}, "six.dat: 6 values do not form whole rows of width 4"},
        {{"odd.dat", "--width", "1"}, "odd.dat: size 5 bytes is not a whole number of 4-byte"},
        {{"none.dat", "--width", "1"}, "cannot open none.dat"},
        {{"binary.pgm"}, "binary.pgm: not an ASCII greyscale image"},
        {{"short.pgm"}, "short.pgm: holds 3 values"},
        {{"word.pgm"}, "word.pgm: value 2 'x' is not a whole number"},
        {{"six.dat", "--width", "6", "-o", "no/six.png"}, "cannot create no/six.png"},
    };
    for (const Case& c : cases) {
        const ToolResult result = pngTool(dir, c.args);
        EXPECT_EQ(result.status, 1) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
    for (const std::string& name : testing::fileNames(dir.path())) {
        EXPECT_EQ(name.find(".png"), std::string::npos) << name;
    }
}

TEST(PngToolTest, BadArgumentsAreUsageErrors) {
    ScratchDir dir;
    testing::writeValues(dir.file("a.dat"), std::vector<std::uint32_t>{1, 2});
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"a.dat"},
        {"a.dat", "--width", "0"},
        {"a.dat", "--width", "-2"},
        {"a.dat", "--width", "2", "--min", "low"},
        {"a.dat", "--width", "2", "--min", "5", "--max", "1"},
        {"a.dat", "--width", "2", "--log-offset", "0"},
        {"a.dat", "--width", "2", "--type", "tif"},
        {"a.dat", "b.dat", "--width", "2"},
        {"a.raw", "--width", "2"},
        {"a.dat", "--width", "2", "--gamma", "2"},
        {"a.dat", "--width"},
    };
    testing::expectUsageErrors(CONESIM_PNG_TOOL, "conesim-png", bad, dir.path());
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.png")));
}

TEST(PngToolTest, EveryRunPrintsTheRangeItMapped) {
    ScratchDir dir;
    testing::writeValues(dir.file("a.dat"), std::vector<std::uint32_t>{3, 7, 11, 4000000000U});
    ToolResult result = pngTool(dir, {"a.dat", "--width", "2"});
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "Range: 3 to 4000000000\n"
              "Wrote a.png: 2 x 2, grey 0 to 255 for 3 to 4000000000 (linear).\n");
    result = pngTool(dir, {"a.dat", "--width", "2", "--log", "--max", "0.125"});
    ASSERT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    result = pngTool(dir, {"a.dat", "--width", "2", "--log", "--min", "-2.5e-7", "--max", "11"});
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "Range: -2.5e-07 to 11\n"
              "Wrote a.png: 2 x 2, grey 0 to 255 for -2.5e-07 to 11 (logarithmic).\n");
}

// A deflection plane with values of both signs: white at 0, pure blue and red at the ends of
// the symmetric range, halfway colours halfway.
TEST(PngToolTest, ColormapIsADivergingMapSymmetricAboutZero) {
    ScratchDir dir;
    testing::writeValues(dir.file("Z_iLR-PRE.pca"),
                         std::vector<double>{-2e-5, -1e-5, 0.0, 1e-5, 4e-5,
                                             std::numeric_limits<double>::quiet_NaN()});
    ToolResult result = pngTool(dir, {"Z_iLR-PRE.pca", "--width", "3", "--colormap"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "Range: -4e-05 to 4e-05\n"
              "Wrote Z_iLR-PRE.png: 3 x 2, blue at -4e-05, white at 0, red at 4e-05 (linear).\n");
    tools::RgbImage png;
    std::string error;
    ASSERT_TRUE(tools::readRgbPng(dir.file("Z_iLR-PRE.png"), png, error)) << error;
    EXPECT_EQ(png.width, 3U);
    EXPECT_EQ(png.height, 2U);
    // -2e-5 is half way to blue: 255 - 127.5 rounds to 127; -1e-5 a quarter: 255 - 64.
    EXPECT_EQ(png.pixels, (std::vector<std::uint8_t>{127, 127, 255, 191, 191, 255, 255, 255, 255,
                                                     255, 191, 191, 255, 0, 0, 0, 0, 0}));
    // Given bounds: --max alone sets --min to its negative; values beyond are clamped.
    result = pngTool(dir, {"Z_iLR-PRE.pca", "--width", "3", "--colormap", "--max", "1e-5"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find('\n')), "Range: -1e-05 to 1e-05");
    ASSERT_TRUE(tools::readRgbPng(dir.file("Z_iLR-PRE.png"), png, error)) << error;
    EXPECT_EQ(
        std::vector<std::uint8_t>(png.pixels.begin(), png.pixels.begin() + 15),
        (std::vector<std::uint8_t>{0, 0, 255, 0, 0, 255, 255, 255, 255, 255, 0, 0, 255, 0, 0}));
}

TEST(PngToolTest, ColormapOfAnImageOfZerosIsWhiteAndLogarithmicSidesFollowTheirFormula) {
    ScratchDir dir;
    testing::writeValues(dir.file("zero.pca"), std::vector<double>{0.0, 0.0});
    ASSERT_EQ(pngTool(dir, {"zero.pca", "--width", "2", "--colormap"}).status, 0);
    tools::RgbImage png;
    std::string error;
    ASSERT_TRUE(tools::readRgbPng(dir.file("zero.png"), png, error)) << error;
    EXPECT_EQ(png.pixels, std::vector<std::uint8_t>(6, 255));
    // D = 1: -9 lies at ln(10) / ln(100) = 0.5 of the way to blue, 99 at the red end.
    testing::writeValues(dir.file("s.pca"), std::vector<double>{-9.0, 99.0});
    ASSERT_EQ(
        pngTool(dir, {"s.pca", "--width", "2", "--colormap", "--log", "--log-offset", "1"}).status,
        0);
    ASSERT_TRUE(tools::readRgbPng(dir.file("s.png"), png, error)) << error;
    EXPECT_EQ(png.pixels, (std::vector<std::uint8_t>{127, 127, 255, 255, 0, 0}));
}

TEST(PngToolTest, PgmWordsAreBoundedAndQuotedShort) {
    ScratchDir dir;
    testing::writeText(dir.file("long.pgm"), "P2\n2 1\n255\n1 " + std::string(1000000, '7') + "\n");
    ToolResult result = pngTool(dir, {"long.pgm"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "conesim-png: long.pgm: a word longer than 64 characters: '" +
                              std::string(40, '7') + "...'\n");
    testing::writeText(dir.file("word.pgm"), "P2\n2 1\n255\n1 " + std::string(60, 'w') + "\n");
    result = pngTool(dir, {"word.pgm"});
    EXPECT_EQ(result.err, "conesim-png: word.pgm: value 2 '" + std::string(40, 'w') +
                              "...' is not a whole number\n");
    // A mask image's second line is passed over however long it is, with or without "#".
    testing::writeText(dir.file("mask.pgm"),
                       "P2\n" + std::string(100000, 'c') + "\n2 1\n255\n0 255\n");
    result = pngTool(dir, {"mask.pgm"});
    EXPECT_EQ(result.status, 0) << result.err;
    testing::writeText(dir.file("gimp.pgm"), "P2\nCREATOR: GIMP PNM Filter\n2 1\n255\n0 255\n");
    result = pngTool(dir, {"gimp.pgm"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readPng(dir.file("gimp.png")).pixels, (std::vector<std::uint8_t>{0, 255}));
}

TEST(PngToolTest, TypeOverridesTheEnding) {
    ScratchDir dir;
    testing::writeValues(dir.file("plane.bin"), std::vector<double>{0.5, 0.25, 0.0, 1.0});
    ASSERT_EQ(pngTool(dir, {"plane.bin", "--type", "pca", "--width", "2", "-o", "p.png"}).status,
              0);
    const GreyImage png = readPng(dir.file("p.png"));
    EXPECT_EQ(png.width, 2U);
    EXPECT_EQ(png.pixels, (std::vector<std::uint8_t>{128, 64, 0, 255}));
}

}  // namespace
}  // namespace conesim
