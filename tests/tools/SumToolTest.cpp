#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
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
    EXPECT_EQ(result.out,
              "Added 3 images of 3 x 2 pixels into total.dat and total.pgm.\n"
              "Wrote total.dat.mhd: its MetaImage header.\n");
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
    testing::writeValues(dir.file("b.dat"), Counts{1, 2, 3, 5});
    ASSERT_EQ(sumTool(dir, {"--params", "run.txt", "-o", "s", "a.dat", "b.dat"}).status, 0);
    EXPECT_EQ(testing::readText(dir.file("s.pgm")), testing::programPgm(Counts{2, 4, 6, 9}, 2));
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
        {{"--width", "1", "-o", "no/out", "six.dat"}, "cannot create no/out.dat"},
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

TEST(SumToolTest, FileNamedTwiceIsRefusedUnderAnyOfItsNames) {
    ScratchDir dir;
    testing::writeValues(dir.file("a.dat"), Counts{1, 2});
    testing::writeValues(dir.file("b.dat"), Counts{3, 4});
    std::filesystem::create_hard_link(dir.file("a.dat"), dir.file("hard.dat"));
    std::filesystem::create_symlink("b.dat", dir.path() / "soft.dat");
    const std::vector<Refusal> refusals = {
        {{"a.dat", "b.dat", "a.dat"}, "a.dat is named twice; each run's image may be added once"},
        {{"a.dat", "b.dat", "hard.dat"},
         "a.dat and hard.dat are the same file; each run's image may be added once"},
        {{"soft.dat", "a.dat", "b.dat"},
         "soft.dat and b.dat are the same file; each run's image may be added once"},
        {{"./a.dat", "a.dat"},
         "./a.dat and a.dat are the same file; each run's image may be added once"},
    };
    const std::vector<std::string> before = testing::fileNames(dir.path());
    for (const Refusal& refusal : refusals) {
        std::vector<std::string> args = {"--width", "2", "-o", "s"};
        args.insert(args.end(), refusal.args.begin(), refusal.args.end());
        const ToolResult result = sumTool(dir, args);
        EXPECT_EQ(result.status, 1) << refusal.message;
        EXPECT_EQ(result.err, "conesim-sum: " + refusal.message + "\n");
        EXPECT_EQ(testing::fileNames(dir.path()), before);
    }
}

TEST(SumToolTest, IdenticalImagesAreAddedWithAWarning) {
    ScratchDir dir;
    testing::writeValues(dir.file("a.dat"), Counts{5, 0, 7});
    testing::writeValues(dir.file("b.dat"), Counts{1, 1, 1});
    testing::writeValues(dir.file("c.dat"), Counts{5, 0, 7});
    testing::writeValues(dir.file("d.dat"), Counts{5, 0, 7});
    const ToolResult result =
        sumTool(dir, {"--width", "3", "-o", "s", "a.dat", "b.dat", "c.dat", "d.dat"});
    ASSERT_EQ(result.status, 0);
    // Each copy is named once, against the first image it repeats.
    EXPECT_EQ(result.err,
              "conesim-sum: warning: c.dat holds the same counts as a.dat, pixel for pixel: most "
              "likely copies of one run, whose photons the sum counts twice\n"
              "conesim-sum: warning: d.dat holds the same counts as a.dat, pixel for pixel: most "
              "likely copies of one run, whose photons the sum counts twice\n");
    EXPECT_EQ(testing::readValues<std::uint32_t>(dir.file("s.dat")), (Counts{16, 1, 22}));
}

TEST(SumToolTest, EmptyImagesAndImagesOfEqualTotalsGiveNoWarning) {
    ScratchDir dir;
    testing::writeValues(dir.file("zero1.dat"), Counts{0, 0, 0, 0});
    testing::writeValues(dir.file("zero2.dat"), Counts{0, 0, 0, 0});
    testing::writeValues(dir.file("a.dat"), Counts{1, 2, 3, 4});
    testing::writeValues(dir.file("b.dat"), Counts{4, 3, 2, 1});
    const ToolResult result =
        sumTool(dir, {"--width", "2", "-o", "s", "zero1.dat", "zero2.dat", "a.dat", "b.dat"});
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
}

TEST(SumToolTest, HeaderDescribesTheSumWithThePixelSizesOfTheParameterFile) {
    ScratchDir dir;
    testing::writeText(dir.file("run.txt"),
                       testing::parameterFileText({{25, "3"}, {28, "0.5"}, {29, "0.25"}}));
    testing::writeValues(dir.file("a.dat"), Counts{1, 2, 3, 4, 5, 6});
    ASSERT_EQ(sumTool(dir, {"--params", "run.txt", "-o", "s", "a.dat"}).status, 0);
    EXPECT_EQ(testing::readText(dir.file("s.dat.mhd")),
              "ObjectType = Image\n"
              "NDims = 2\n"
              "BinaryData = True\n"
              "BinaryDataByteOrderMSB = False\n"
              "CompressedData = False\n"
              "ElementSpacing = 0.5 0.25\n"
              "DimSize = 3 2\n"
              "ElementType = MET_UINT\n"
              "ElementDataFile = s.dat\n");
    ASSERT_EQ(sumTool(dir, {"--width", "2", "-o", "t.pgm", "a.dat"}).status, 0);
    const std::string header = testing::readText(dir.file("t.dat.mhd"));
    EXPECT_NE(header.find("ElementSpacing = 1 1\nDimSize = 2 3\n"), std::string::npos) << header;
    EXPECT_NE(header.find("ElementDataFile = t.dat\n"), std::string::npos) << header;
}

TEST(SumToolTest, HeaderThatCannotBeWrittenLeavesNoImageEither) {
    ScratchDir dir;
    testing::writeValues(dir.file("a.dat"), Counts{1, 2});
    ASSERT_EQ(sumTool(dir, {"--width", "2", "-o", "s", "a.dat"}).status, 0);
    const std::string pgm = testing::readText(dir.file("s.pgm"));
    // The header's name is taken by a folder: the refusal comes before any image is replaced.
    std::filesystem::remove(dir.file("s.dat.mhd"));
    std::filesystem::create_directory(dir.file("s.dat.mhd"));
    testing::writeValues(dir.file("b.dat"), Counts{9, 9});
    const ToolResult result = sumTool(dir, {"--width", "2", "-o", "s", "a.dat", "b.dat"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "conesim-sum: refusing to write s.dat.mhd: it is a folder, not a regular file\n");
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
