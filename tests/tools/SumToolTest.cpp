#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"
#include "ToolRunner.hpp"

namespace conesim {
namespace {

using testing::runTool;
using testing::ScratchDir;
using testing::ToolResult;
using Counts = std::vector<std::uint32_t>;

ToolResult sumTool(const ScratchDir& dir, const std::vector<std::string>& args) {
    return runTool(CONESIM_SUM_TOOL, args, dir.path());
}

TEST(SumToolTest, HelpPrintsUsageAndSucceeds) {
    testing::expectHelp(CONESIM_SUM_TOOL, "Usage: conesim-sum (--width W | --params FILE) -o OUT");
}

TEST(SumToolTest, AddsPixelByPixelInTheProgramsLayouts) {
    ScratchDir dir;
    testing::writeValues(dir.file("a.dat"), Counts{0, 1, 2, 3, 4, 5});
    testing::writeValues(dir.file("b.dat"), Counts{10, 0, 20, 0, 30, 0});
    testing::writeValues(dir.file("c.dat"), Counts{1, 1, 1, 1, 1, 1});
    const ToolResult result =
        sumTool(dir, {"--width", "3", "-o", "total", "a.dat", "b.dat", "c.dat"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "Added 3 images of 3 x 2 pixels into total.dat and total.pgm.\n");
    const Counts sum = {11, 2, 23, 4, 35, 6};
    // Raw: 4 bytes per pixel, least significant first, no header.
    const std::vector<std::uint8_t> bytes = testing::readBytes(dir.file("total.dat"));
    ASSERT_EQ(bytes.size(), 24U);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<std::uint8_t>{11, 0, 0, 0, 2, 0, 0, 0}));
    EXPECT_EQ(testing::readValues<std::uint32_t>(dir.file("total.dat")), sum);
    // min 2, max 35, scale 255 / 33: exactly the program's final image.
    EXPECT_EQ(testing::readText(dir.file("total.pgm")), testing::programPgm(sum, 3));
    EXPECT_EQ(testing::readText(dir.file("total.pgm")).substr(0, 11), "P2\n3 2\n255\n");
}

TEST(SumToolTest, DatEndingOfOutIsDroppedAndLargeCountsStayUnsigned) {
    ScratchDir dir;
    testing::writeValues(dir.file("a.dat"), Counts{4294967000U, 0});
    testing::writeValues(dir.file("b.dat"), Counts{295U, 0});
    ASSERT_EQ(sumTool(dir, {"--width", "1", "-o", "s.dat", "a.dat", "b.dat"}).status, 0);
    EXPECT_EQ(testing::readValues<std::uint32_t>(dir.file("s.dat")), (Counts{4294967295U, 0}));
    EXPECT_EQ(testing::readText(dir.file("s.pgm")), "P2\n1 2\n255\n255\t\n0\t\n");
}

TEST(SumToolTest, WidthComesFromTheParameterFile) {
    ScratchDir dir;
    testing::writeText(dir.file("run.txt"), testing::parameterFileText({{25, "2"}}));
    testing::writeValues(dir.file("a.dat"), Counts{1, 2, 3, 4});
    ASSERT_EQ(sumTool(dir, {"--params", "run.txt", "-o", "s", "a.dat", "a.dat"}).status, 0);
    EXPECT_EQ(testing::readText(dir.file("s.pgm")), testing::programPgm(Counts{2, 4, 6, 8}, 2));
}

struct Refusal {
    std::vector<std::string> args;
    std::string message;
};

TEST(SumToolTest, RefusesWithoutLeavingAnyOutput) {
    ScratchDir dir;
    testing::writeValues(dir.file("six.dat"), Counts{1, 2, 3, 4, 5, 6});
    testing::writeValues(dir.file("four.dat"), Counts{1, 2, 3, 4});
    testing::writeValues(dir.file("big.dat"), Counts{0, 0, 0, 0, 0, 4294967295U});
    testing::writeText(dir.file("odd.dat"), "123456");
    testing::writeText(dir.file("empty.dat"), "");
    const std::vector<Refusal> refusals = {
        {{"--width", "2", "-o", "out", "six.dat", "four.dat"},
         "images of different sizes: four.dat has 4 pixels, six.dat has 6"},
        {{"--width", "4", "-o", "out", "six.dat"},
         "six.dat: 6 pixels do not form whole rows of width 4"},
        {{"--width", "2", "-o", "out", "six.dat", "big.dat"},
         "the sum passes 4294967295 counts at pixel 5 (column 1, row 2) when adding big.dat"},
        {{"--width", "1", "-o", "out", "odd.dat"},
         "odd.dat: size 6 bytes is not a whole number of 4-byte counts"},
        {{"--width", "1", "-o", "out", "empty.dat"}, "empty.dat: the image holds no pixel"},
        {{"--width", "1", "-o", "out", "none.dat"}, "cannot open none.dat"},
        {{"--width", "1", "-o", "no/out", "six.dat"}, "cannot write no/out.dat"},
    };
    const std::vector<std::string> before = testing::fileNames(dir.path());
    for (const Refusal& refusal : refusals) {
        const ToolResult result = sumTool(dir, refusal.args);
        EXPECT_EQ(result.status, 1) << refusal.message;
        EXPECT_NE(result.err.find("conesim-sum: " + refusal.message), std::string::npos)
            << result.err;
        EXPECT_EQ(testing::fileNames(dir.path()), before) << refusal.message;
    }
}

TEST(SumToolTest, RefusedSumLeavesAnEarlierOutputUntouched) {
    ScratchDir dir;
    testing::writeValues(dir.file("a.dat"), Counts{1, 2});
    testing::writeValues(dir.file("max.dat"), Counts{4294967295U, 0});
    ASSERT_EQ(sumTool(dir, {"--width", "2", "-o", "s", "a.dat"}).status, 0);
    const std::string pgm = testing::readText(dir.file("s.pgm"));
    EXPECT_EQ(sumTool(dir, {"--width", "2", "-o", "s", "a.dat", "max.dat"}).status, 1);
    EXPECT_EQ(testing::readValues<std::uint32_t>(dir.file("s.dat")), (Counts{1, 2}));
    EXPECT_EQ(testing::readText(dir.file("s.pgm")), pgm);
}

TEST(SumToolTest, BadArgumentsAreUsageErrors) {
    ScratchDir dir;
    testing::writeValues(dir.file("a.dat"), Counts{1, 2});
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--width", "2", "a.dat"},
        {"--width", "2", "-o", "s"},
        {"-o", "s", "a.dat"},
        {"--width", "0", "-o", "s", "a.dat"},
        {"--width", "two", "-o", "s", "a.dat"},
        {"--width", "2", "-o", "s", "--average", "a.dat"},
        {"--width", "2", "a.dat", "-o"},
    };
    testing::expectUsageErrors(CONESIM_SUM_TOOL, "conesim-sum", bad, dir.path());
    EXPECT_EQ(testing::fileNames(dir.path()), (std::vector<std::string>{"a.dat"}));
}

}  // namespace
}  // namespace conesim
