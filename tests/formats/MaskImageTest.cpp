#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.hpp"
#include "formats/MaskImage.hpp"

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

// The raster as formatted stream input reads it: four lines skipped, then integers until
// the first extraction that fails.
Bytes streamReading(const std::string& text, std::size_t count) {
    std::istringstream in(text);
    for (int line = 0; line < 4; ++line) {
        in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    Bytes buffer(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        int value = 0;
        if (!(in >> value)) {
            break;
        }
        buffer[i] = value > 0 ? 1 : 0;
    }
    return buffer;
}

TEST(MaskImageTest, TokensGiveTheIntegersThatStreamInputGives) {
    const char* tokens[] = {"12abc",       "1.5",
                            "12-3",        "+4",
                            "+-5",         "-0",
                            "007",         "2147483647",
                            "2147483648",  "-2147483648",
                            "-",           "+",
                            "-2147483649", "99999999999999999999",
                            "0x10",        "3+",
                            "1-1-1",       "-1+2",
                            "5e2",         "--5",
                            "0-0"};
    ScratchDir dir;
    const std::string path = dir.file("mask.pgm");
    for (const char* token : tokens) {
        const std::string text = "P2\n# c\n3 3\n255\n1 " + std::string(token) + " 1 1 1 1 1 1 1\n";
        testing::writeText(path, text);
        EXPECT_EQ(readMask(path, 3).buffer, streamReading(text, 9)) << token;
    }
}

TEST(MaskImageTest, OverlongHeaderLineLeavesTheMaskClearWithANote) {
    ScratchDir dir;
    const std::string path = dir.file("mask.pgm");
    // A header line of 4096 characters (and a carriage return) is skipped; 4098 are not.
    testing::writeText(path, "P2\n" + std::string(4096, '#') + "\r\n2 2\n255\n1 1 1 1\n");
    EXPECT_EQ(readMask(path, 2).buffer, (Bytes{1, 1, 1, 1}));
    testing::writeText(path, "P2\n# c\n" + std::string(4098, '2') + "\n255\n1 1 1 1\n");
    Bytes buffer(4, 0);
    bool active = true;
    std::string note;
    EXPECT_EQ(readMaskImage(path, buffer, 4, active, &note), 4);
    EXPECT_TRUE(active);
    EXPECT_EQ(buffer, (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(note, "line 3 of its header is longer than 4096 characters; the mask is left clear");
    // An endless device is refused within its first line.
    std::string deviceNote;
    EXPECT_EQ(readMaskImage("/dev/zero", buffer, 4, active, &deviceNote), 4);
    EXPECT_EQ(deviceNote,
              "line 1 of its header is longer than 4096 characters; the mask is left clear");
}

TEST(MaskImageTest, OverlongTokenLeavesTheRestClearWithANote) {
    ScratchDir dir;
    const std::string path = dir.file("mask.pgm");
    testing::writeText(path, "P2\n# c\n2 2\n255\n1 " + std::string(63, '0') + "1 " +
                                 std::string(65, '9') + " 1\n");
    Bytes buffer(4, 0);
    bool active = true;
    std::string note;
    EXPECT_EQ(readMaskImage(path, buffer, 4, active, &note), 4);
    EXPECT_EQ(buffer, (Bytes{1, 1, 0, 0}));
    EXPECT_EQ(note,
              "holds a token longer than 64 characters (\"99999999999999999999...\"); the "
              "rest of the mask is left clear");
}

struct RunMaskRead {
    Bytes buffer = Bytes(4, 0);
    bool active = true;
    std::string console;
    std::vector<std::string> warnings;
};

RunMaskRead readForRun(const std::string& name, const std::string& path, bool active = true) {
    RunMaskRead read;
    read.active = active;
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
    readRunMask(name, path, read.buffer, 4, read.active, console, read.warnings);
    read.console = out.str();
    return read;
}

TEST(MaskImageTest, RunMaskTellsWhyAMaskIsOffOrPartlyClear) {
    ScratchDir dir;
    const std::string missing = dir.file("none.pgm");
    const RunMaskRead absent = readForRun("Pre-sample", missing);
    EXPECT_FALSE(absent.active);
    const std::string absentWarning = "WARNING: Pre-sample mask image " + missing +
                                      " does not exist; the pre-sample mask is off.";
    EXPECT_EQ(absent.console, absentWarning + "\n");
    EXPECT_EQ(absent.warnings, std::vector<std::string>{absentWarning});

    std::filesystem::create_directory(dir.file("folder"));
    const RunMaskRead folder = readForRun("Post-sample", dir.file("folder"));
    EXPECT_EQ(folder.warnings,
              std::vector<std::string>{"WARNING: Post-sample mask image " + dir.file("folder") +
                                       " cannot be read; the post-sample mask is off."});

    const std::string longToken = dir.file("long.pgm");
    testing::writeText(longToken, "P2\n# c\n2 2\n255\n1 " + std::string(70, 'x') + "\n");
    const RunMaskRead partly = readForRun("Post-sample", longToken);
    EXPECT_TRUE(partly.active);
    EXPECT_EQ(partly.buffer, (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(partly.warnings,
              std::vector<std::string>{"WARNING: Post-sample mask image " + longToken +
                                       " holds a token longer than 64 characters (\"" +
                                       std::string(20, 'x') +
                                       "...\"); the rest of the mask is left clear."});

    // A mask already off, or read completely, says nothing.
    EXPECT_TRUE(readForRun("Pre-sample", missing, false).warnings.empty());
    const std::string good = dir.file("good.pgm");
    testing::writeText(good, "P2\n# c\n2 2\n255\n0 1 0 1\n");
    const RunMaskRead complete = readForRun("Pre-sample", good);
    EXPECT_EQ(complete.console, "");
    EXPECT_EQ(complete.buffer, (Bytes{0, 1, 0, 1}));
}

}  // namespace
}  // namespace conesim
