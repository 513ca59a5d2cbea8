#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.hpp"
#include "input/MaskImage.hpp"

namespace conesim {
namespace {

using testing::ScratchDir;
using Bytes = std::vector<std::uint8_t>;

struct MaskRead {
    std::int64_t result = 0;
    bool active = true;
    Bytes buffer;
};

MaskRead readMask(const std::string& path, std::int64_t size, bool active = true) {
    MaskRead read;
    read.active = active;
    read.buffer.assign(static_cast<std::size_t>(size * size), 0);
    read.result = readMaskImage(path, read.buffer, size * size, read.active);
    return read;
}

TEST(MaskImageTest, ThreeByThreeExample) {
    ScratchDir dir;
    const std::string path = dir.file("mask.pgm");
    testing::writeText(path, "P2\n# made by hand\n3 3\n255\n0 255 0\n255 255 255\n0 0 1\n");
    const MaskRead read = readMask(path, 3);
    EXPECT_EQ(read.result, 9);
    EXPECT_TRUE(read.active);
    EXPECT_EQ(read.buffer, (Bytes{0, 1, 0, 1, 1, 1, 0, 0, 1}));
}

TEST(MaskImageTest, OnlyPositiveValuesAreOpaqueInAnyLayout) {
    ScratchDir dir;
    const std::string path = dir.file("mask.pgm");
    // Header lines are not parsed, values may be spread over lines and tabs as they come.
    testing::writeText(path, "anything\nat all\n\n\t\n1\t-3 0\n\n  7 -1 2 0 255 -255\n");
    const MaskRead read = readMask(path, 3);
    EXPECT_EQ(read.result, 9);
    EXPECT_EQ(read.buffer, (Bytes{1, 0, 0, 1, 0, 1, 0, 1, 0}));
}

TEST(MaskImageTest, MissingCommentLineShiftsTheRasterByOneRow) {
    ScratchDir dir;
    const std::string path = dir.file("mask.pgm");
    testing::writeText(path, "P2\n3 3\n255\n1 1 1\n0 0 0\n1 0 1\n");
    const MaskRead read = readMask(path, 3);
    EXPECT_EQ(read.result, 9);
    // The first pixel row went with the fourth skipped line; the last row stays clear.
    EXPECT_EQ(read.buffer, (Bytes{0, 0, 0, 1, 0, 1, 0, 0, 0}));
}

TEST(MaskImageTest, LargerImageIsReadInFileOrder) {
    ScratchDir dir;
    const std::string path = dir.file("big.pgm");
    // 200 x 200 image: pixel (row, col) is opaque when col >= 100 (right half) or row == 1.
    std::string text = "P2\n# big\n200 200\n255\n";
    for (int row = 0; row < 200; ++row) {
        for (int col = 0; col < 200; ++col) {
            text += (col >= 100 || row == 1) ? "255 " : "0 ";
        }
        text += "\n";
    }
    testing::writeText(path, text);
    const MaskRead read = readMask(path, 100);
    ASSERT_EQ(read.result, 10000);
    for (int maskRow = 0; maskRow < 100; ++maskRow) {
        const int imageRow = maskRow / 2;
        const bool rightHalf = maskRow % 2 == 1;
        const std::uint8_t expected = (rightHalf || imageRow == 1) ? 1 : 0;
        for (int col = 0; col < 100; ++col) {
            ASSERT_EQ(read.buffer[static_cast<std::size_t>(maskRow * 100 + col)], expected)
                << "mask row " << maskRow << " column " << col;
        }
    }
}

TEST(MaskImageTest, ShortFilesLeaveTheRestClear) {
    ScratchDir dir;
    const std::string headerOnly = dir.file("header.pgm");
    testing::writeText(headerOnly, "P2\n# c\n2 2\n255");  // no line end after the last line
    const MaskRead header = readMask(headerOnly, 2);
    EXPECT_EQ(header.result, 4);
    EXPECT_TRUE(header.active);
    EXPECT_EQ(header.buffer, (Bytes{0, 0, 0, 0}));

    const std::string empty = dir.file("empty.pgm");
    testing::writeText(empty, "");
    const MaskRead none = readMask(empty, 2);
    EXPECT_EQ(none.result, 4);
    EXPECT_TRUE(none.active);
    EXPECT_EQ(none.buffer, (Bytes{0, 0, 0, 0}));

    const std::string fewer = dir.file("fewer.pgm");
    testing::writeText(fewer, "P2\n# c\n2 2\n255\n5 9");  // last value without a line end
    EXPECT_EQ(readMask(fewer, 2).buffer, (Bytes{1, 1, 0, 0}));

    const std::string surplus = dir.file("surplus.pgm");
    testing::writeText(surplus, "P2\n# c\n2 2\n255\n0 1 0 1 1 1 1 1\n");
    EXPECT_EQ(readMask(surplus, 2).buffer, (Bytes{0, 1, 0, 1}));
}

TEST(MaskImageTest, NonNumericTokenEndsTheReading) {
    ScratchDir dir;
    const std::string path = dir.file("mask.pgm");
    testing::writeText(path, "P2\n# c\n2 2\n255\n1 x 1 1\n");
    const MaskRead read = readMask(path, 2);
    EXPECT_EQ(read.result, 4);
    EXPECT_EQ(read.buffer, (Bytes{1, 0, 0, 0}));
}

TEST(MaskImageTest, InactiveMaskIsNotRead) {
    ScratchDir dir;
    const std::string path = dir.file("mask.pgm");
    testing::writeText(path, "P2\n# c\n1 1\n255\n255\n");
    const MaskRead read = readMask(path, 1, false);
    EXPECT_EQ(read.result, 1);
    EXPECT_FALSE(read.active);
    EXPECT_EQ(read.buffer, (Bytes{0}));
}

TEST(MaskImageTest, UnopenableFileSwitchesTheMaskOff) {
    ScratchDir dir;
    const MaskRead missing = readMask(dir.file("none.pgm"), 2);
    EXPECT_EQ(missing.result, 2);
    EXPECT_FALSE(missing.active);
    EXPECT_EQ(missing.buffer, (Bytes{0, 0, 0, 0}));

    std::filesystem::create_directory(dir.file("folder"));
    const MaskRead folder = readMask(dir.file("folder"), 2);
    EXPECT_EQ(folder.result, 2);
    EXPECT_FALSE(folder.active);
}

TEST(MaskImageTest, StatedCountLargerThanTheBufferDoesNotOverrun) {
    ScratchDir dir;
    const std::string path = dir.file("mask.pgm");
    testing::writeText(path, "P2\n# c\n2 2\n255\n1 1 1 1 1 1\n");
    Bytes buffer(2, 0);
    bool active = true;
    EXPECT_EQ(readMaskImage(path, buffer, 4, active), 4);
    EXPECT_EQ(buffer, (Bytes{1, 1}));
}

}  // namespace
}  // namespace conesim
