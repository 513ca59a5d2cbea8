// MetaImage headers beside the tools' raw outputs, and conesim-png reading images through
// such headers: what it accepts, what it refuses and how much of a header it reads.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.hpp"
#include "ToolRunner.hpp"
#include "common/PngIo.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::runTool;
using testing::ScratchDir;
using testing::ToolResult;

std::vector<std::uint8_t> pngPixels(const std::string& path) {
    tools::GreyImage image;
    std::string error;
    EXPECT_TRUE(tools::readGreyPng(path, image, error)) << error;
    return image.pixels;
}

// A 2-D header with the given element type and data file; extra lines go before the data
// file, which must come last.
std::string header(const std::string& type, const std::string& dims, const std::string& data,
                   const std::string& extra = "BinaryDataByteOrderMSB = False\n") {
    return "ObjectType = Image\nNDims = " +
           std::to_string(std::count(dims.begin(), dims.end(), ' ') + 1) + "\nDimSize = " + dims +
           "\nElementType = " + type + "\n" + extra + "ElementDataFile = " + data + "\n";
}

TEST(MetaImageToolTest, PhantomHeaderDescribesTheVolume) {
    ScratchDir dir;
    ASSERT_EQ(runTool(CONESIM_PHANTOM_TOOL, {"--dims", "5x4x3", "-o", "v.bin"}, dir.path()).status,
              0);
    EXPECT_EQ(testing::readText(dir.file("v.bin.mhd")),
              "ObjectType = Image\n"
              "NDims = 3\n"
              "BinaryData = True\n"
              "BinaryDataByteOrderMSB = False\n"
              "CompressedData = False\n"
              "ElementSpacing = 1 1 1\n"
              "DimSize = 5 4 3\n"
              "ElementType = MET_FLOAT\n"
              "ElementDataFile = v.bin\n");
    ASSERT_EQ(
        runTool(CONESIM_PHANTOM_TOOL,
                {"--dims", "2x2x2", "-o", "w.bin", "--voxel-size", "0.01,0.02,0.5"}, dir.path())
            .status,
        0);
    EXPECT_NE(testing::readText(dir.file("w.bin.mhd")).find("ElementSpacing = 0.01 0.02 0.5\n"),
              std::string::npos);
}

TEST(MetaImageToolTest, PhantomHeaderThatCannotBeWrittenLeavesNoVolume) {
    ScratchDir dir;
    ASSERT_EQ(::mkfifo(dir.file("v.bin.mhd").c_str(), 0600), 0);
    const ToolResult result =
        runTool(CONESIM_PHANTOM_TOOL, {"--dims", "2x2x2", "-o", "v.bin"}, dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "conesim-phantom: refusing to write v.bin.mhd: it is a named pipe, not a regular "
              "file\n");
    EXPECT_EQ(testing::fileNames(dir.path()), (std::vector<std::string>{"v.bin.mhd"}));
}

TEST(MetaImageToolTest, PngShowsOneSliceOfAPhantomVolume) {
    ScratchDir dir;
    // Slice z = 1 holds a box at x 1..2, y 0; everything else is 0.
    ASSERT_EQ(runTool(CONESIM_PHANTOM_TOOL,
                      {"--dims", "4x2x3", "-o", "v.bin", "--box", "1,0,1,2,0,1,2"}, dir.path())
                  .status,
              0);
    ToolResult result = runTool(CONESIM_PNG_TOOL, {"v.bin.mhd", "--slice", "1"}, dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "Range: 0 to 2\nWrote v.bin.png: 4 x 2, grey 0 to 255 for 0 to 2 (linear).\n");
    EXPECT_EQ(pngPixels(dir.file("v.bin.png")),
              (std::vector<std::uint8_t>{0, 255, 255, 0, 0, 0, 0, 0}));
    const std::vector<std::pair<std::vector<std::string>, std::string>> refusals = {
        {{"v.bin.mhd"}, "v.bin.mhd: a volume of 3 slices; choose one with --slice K (0 to 2)"},
        {{"v.bin.mhd", "--slice", "3"}, "v.bin.mhd: --slice 3 is beyond its 3 slices (0 to 2)"},
    };
    for (const auto& [args, message] : refusals) {
        result = runTool(CONESIM_PNG_TOOL, args, dir.path());
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "conesim-png: " + message + "\n");
    }
}

// A sweep's 4-D stack, 2 x 1 images for 3 inner by 2 outer values: slice K alone counts the
// runs (inner index fastest), with --outer J it is inner index K of outer value J.
TEST(MetaImageToolTest, PngShowsOneRunOfAFourDimensionalStack) {
    ScratchDir dir;
    std::vector<std::uint32_t> runs;
    for (std::uint32_t run = 0; run < 6; ++run) {
        runs.insert(runs.end(), {run, 10 * run + 10});
    }
    testing::writeValues(dir.file("s.raw"), runs);
    testing::writeText(dir.file("s.mhd"), header("MET_UINT", "2 1 3 2", "s.raw"));
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--slice", "5"}, {"--outer", "1", "--slice", "2"}}) {
        std::vector<std::string> command = {"s.mhd"};
        command.insert(command.end(), args.begin(), args.end());
        const ToolResult result = runTool(CONESIM_PNG_TOOL, command, dir.path());
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out,
                  "Range: 5 to 60\nWrote s.png: 2 x 1, grey 0 to 255 for 5 to 60 (linear).\n");
    }
    const std::vector<std::pair<std::vector<std::string>, std::string>> refusals = {
        {{"s.mhd"},
         "s.mhd: a volume of 6 slices; choose one with --slice K (0 to 5, or --outer J and --slice "
         "K)"},
        {{"s.mhd", "--outer", "2", "--slice", "0"},
         "s.mhd: --outer 2 is beyond its 2 outer values (0 to 1)"},
        {{"s.mhd", "--outer", "0", "--slice", "3"},
         "s.mhd: --slice 3 is beyond its 3 slices per outer value (0 to 2)"},
    };
    for (const auto& [args, message] : refusals) {
        const ToolResult result = runTool(CONESIM_PNG_TOOL, args, dir.path());
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "conesim-png: " + message + "\n");
    }
}

TEST(MetaImageToolTest, PngReadsEachElementTypeFromTheHeadersFolder) {
    ScratchDir dir;
    fs::create_directory(dir.path() / "sub");
    testing::writeValues(dir.file("sub/u.raw"), std::vector<std::uint32_t>{0, 4294967295U, 10, 20});
    testing::writeValues(dir.file("sub/f.raw"), std::vector<float>{-1.0F, 1.0F, 0.0F, 0.5F});
    testing::writeValues(dir.file("sub/d.raw"), std::vector<double>{2.0, 4.0, 3.0, 6.0});
    testing::writeText(dir.file("sub/u.mhd"), header("MET_UINT", "2 2", "u.raw"));
    testing::writeText(dir.file("sub/f.mhd"), header("MET_FLOAT", "4 1", "f.raw"));
    testing::writeText(dir.file("sub/d.mhd"),
                       header("MET_DOUBLE", "1 4", dir.file("sub/d.raw"),
                              "ElementSpacing = 2 2\nElementByteOrderMSB = false\r\n"));
    ASSERT_EQ(runTool(CONESIM_PNG_TOOL, {"sub/u.mhd"}, dir.path()).status, 0);
    EXPECT_EQ(pngPixels(dir.file("sub/u.png")), (std::vector<std::uint8_t>{0, 255, 0, 0}));
    ASSERT_EQ(runTool(CONESIM_PNG_TOOL, {"sub/f.mhd", "-o", "f.png"}, dir.path()).status, 0);
    EXPECT_EQ(pngPixels(dir.file("f.png")), (std::vector<std::uint8_t>{0, 255, 128, 191}));
    ASSERT_EQ(runTool(CONESIM_PNG_TOOL, {"sub/d.mhd", "-o", "d.png"}, dir.path()).status, 0);
    EXPECT_EQ(pngPixels(dir.file("d.png")), (std::vector<std::uint8_t>{0, 128, 64, 255}));
}

TEST(MetaImageToolTest, SumHeaderShowsTheSameImageAsItsRawFile) {
    ScratchDir dir;
    testing::writeValues(dir.file("a.dat"), std::vector<std::uint32_t>{1, 9, 100, 4, 0, 7});
    ASSERT_EQ(runTool(CONESIM_SUM_TOOL, {"--width", "3", "-o", "s", "a.dat"}, dir.path()).status,
              0);
    ASSERT_EQ(
        runTool(CONESIM_PNG_TOOL, {"s.dat", "--width", "3", "--log", "-o", "raw.png"}, dir.path())
            .status,
        0);
    ASSERT_EQ(runTool(CONESIM_PNG_TOOL, {"s.dat.mhd", "--log", "-o", "mhd.png"}, dir.path()).status,
              0);
    EXPECT_EQ(pngPixels(dir.file("mhd.png")), pngPixels(dir.file("raw.png")));
}

TEST(MetaImageToolTest, PngRefusesHeadersItCannotRead) {
    ScratchDir dir;
    testing::writeValues(dir.file("d.raw"), std::vector<std::uint32_t>{1, 2, 3, 4});
    const std::string msb = "BinaryDataByteOrderMSB = False\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {header("MET_SHORT", "2 2", "d.raw"),
         "ElementType 'MET_SHORT' is not supported (MET_UINT, MET_FLOAT or MET_DOUBLE)"},
        {header("MET_UINT", "2 2", "d.raw", "BinaryDataByteOrderMSB = True\n"),
         "big-endian data (BinaryDataByteOrderMSB = True) is not supported"},
        {header("MET_UINT", "2 2", "d.raw", ""),
         "the header does not say BinaryDataByteOrderMSB = False"},
        {header("MET_UINT", "2 2", "d.raw", "BinaryDataByteOrderMSB = no\n"),
         "BinaryDataByteOrderMSB 'no' is not True or False"},
        {header("MET_UINT", "2 2", "d.raw", msb + "CompressedData = True\n"),
         "compressed data (CompressedData = True) is not supported"},
        {header("MET_UINT", "2 2", "d.raw", msb + "BinaryData = False\n"),
         "ASCII data (BinaryData = False) is not supported"},
        {header("MET_UINT", "2 2", "d.raw", msb + "ElementNumberOfChannels = 3\n"),
         "ElementNumberOfChannels '3': only single-channel images are supported"},
        {header("MET_UINT", "2 2", "d.raw", msb + "HeaderSize = -1\n"),
         "HeaderSize '-1' is not supported (only 0)"},
        {header("MET_UINT", "2 2", "LOCAL"),
         "data inside the header (ElementDataFile = LOCAL) is not supported"},
        {header("MET_UINT", "2 2", "LIST 2D"),
         "a list of data files (ElementDataFile = LIST) is not supported"},
        {header("MET_UINT", "2 2 1 1 1", "d.raw"), "NDims '5' is not 2, 3 or 4"},
        {"NDims = 2\nDimSize = 2 x\nElementType = MET_UINT\n" + msb + "ElementDataFile = d.raw\n",
         "DimSize '2 x' is not 2 whole numbers from 1 to 2147483647"},
        {"NDims = 2\nDimSize = 2 0\nElementType = MET_UINT\n" + msb + "ElementDataFile = d.raw\n",
         "DimSize '2 0' is not 2 whole numbers from 1 to 2147483647"},
        {"NDims = 2\nElementType = MET_UINT\n" + msb + "ElementDataFile = d.raw\n", "no DimSize"},
        {"ObjectType = Mesh\nNDims = 2\nElementDataFile = d.raw\n",
         "ObjectType 'Mesh' is not Image"},
        {"NDims = 2\nDimSize = 2 2\n", "the header ends without ElementDataFile"},
        {"NDims = 2\nthis line has no equals sign\n",
         "line 2 'this line has no equals sign' is not Key = Value"},
    };
    for (const auto& [text, message] : cases) {
        testing::writeText(dir.file("h.mhd"), text);
        const ToolResult result = runTool(CONESIM_PNG_TOOL, {"h.mhd"}, dir.path());
        EXPECT_EQ(result.status, 1) << message;
        EXPECT_EQ(result.err, "conesim-png: h.mhd: " + message + "\n");
    }
    // The data file must hold exactly what the header describes.
    testing::writeText(dir.file("h.mhd"), header("MET_DOUBLE", "2 2", "d.raw"));
    ToolResult result = runTool(CONESIM_PNG_TOOL, {"h.mhd"}, dir.path());
    EXPECT_EQ(result.err,
              "conesim-png: d.raw: holds 16 bytes, but h.mhd describes 2 x 2 MET_DOUBLE values\n");
    testing::writeText(dir.file("h.mhd"), header("MET_DOUBLE", "1000000 2", "d.raw"));
    result = runTool(CONESIM_PNG_TOOL, {"h.mhd"}, dir.path());
    EXPECT_EQ(result.err,
              "conesim-png: d.raw: holds 16 bytes, but h.mhd describes 1000000 x "
              "2 MET_DOUBLE values\n");
    // A PNG wider or taller than libpng writes is refused by its size, before any data.
    for (const auto& [size, shown] :
         {std::pair{"1000001 1", "1000001 x 1"}, std::pair{"1 1000001", "1 x 1000001"},
          std::pair{"2147483647 2147483647", "2147483647 x 2147483647"}}) {
        testing::writeText(dir.file("h.mhd"), header("MET_DOUBLE", size, "d.raw"));
        result = runTool(CONESIM_PNG_TOOL, {"h.mhd"}, dir.path());
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "conesim-png: h.mhd is " + std::string(shown) +
                                  " pixels; a PNG holds at most 1000000 x 1000000 (libpng's "
                                  "limit)\n");
    }
    testing::writeText(dir.file("h.mhd"), header("MET_UINT", "2 2", "none.raw"));
    result = runTool(CONESIM_PNG_TOOL, {"h.mhd"}, dir.path());
    EXPECT_EQ(result.err, "conesim-png: cannot open none.raw: no such file\n");
    EXPECT_EQ(testing::fileNames(dir.path()), (std::vector<std::string>{"d.raw", "h.mhd"}));
}

TEST(MetaImageToolTest, HeaderReadingIsBounded) {
    ScratchDir dir;
    testing::writeValues(dir.file("d.raw"), std::vector<std::uint32_t>{1, 2, 3, 4});
    // A line of 4096 characters is read; one more is refused.
    const std::string longest = "Comment = " + std::string(4086, 'c') + "\n";
    testing::writeText(dir.file("h.mhd"), longest + header("MET_UINT", "2 2", "d.raw"));
    EXPECT_EQ(runTool(CONESIM_PNG_TOOL, {"h.mhd"}, dir.path()).status, 0);
    testing::writeText(dir.file("h.mhd"),
                       "NDims = 2\nComment = " + std::string(5000000, 'c') + "\n");
    ToolResult result = runTool(CONESIM_PNG_TOOL, {"h.mhd"}, dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "conesim-png: h.mhd: line 2 is longer than 4096 characters\n");
    // Many short lines: refused once 64 KiB have passed without the data file.
    std::string many;
    while (many.size() < 70000) {
        many += "Comment = more\n";
    }
    testing::writeText(dir.file("h.mhd"), many + header("MET_UINT", "2 2", "d.raw"));
    result = runTool(CONESIM_PNG_TOOL, {"h.mhd"}, dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "conesim-png: h.mhd: no ElementDataFile within the first 65536 bytes\n");
}

}  // namespace
}  // namespace conesim
