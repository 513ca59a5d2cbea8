#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.hpp"
#include "formats/ImageWriters.hpp"

namespace conesim {
namespace {

using testing::ScratchDir;
using Pixels = std::vector<std::uint32_t>;

struct ConsoleCapture {
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
};

std::string pgmOf(const Pixels& pixels, std::uint32_t width) {
    ScratchDir dir;
    ConsoleCapture capture;
    const std::string path = dir.file("image.pgm");
    const bool written = writeDetectorPgm(
        path, width, pixels.data(), static_cast<std::int64_t>(pixels.size()), capture.console);
    EXPECT_TRUE(written);
    EXPECT_EQ(capture.out.str(), "");
    return testing::readText(path);
}

TEST(DetectorPgmTest, RescalesToGreyLevelsWithHalvesRoundedUp) {
    // scale 25.5: 1 -> 25.5 -> 26, 5 -> 127.5 -> 128.
    EXPECT_EQ(pgmOf({0, 1, 5, 10}, 4), "P2\n4 1\n255\n0\t26\t128\t255\t\n");
}

TEST(DetectorPgmTest, RowsAreTabTerminatedLines) {
    EXPECT_EQ(pgmOf({1, 2, 3, 4, 5, 6}, 3), "P2\n3 2\n255\n0\t51\t102\t\n153\t204\t255\t\n");
    EXPECT_EQ(pgmOf({9, 9, 3, 9, 3, 3}, 2), "P2\n2 3\n255\n255\t255\t\n0\t255\t\n0\t0\t\n");
}

TEST(DetectorPgmTest, MinimumAboveZeroIsShiftedToZero) {
    EXPECT_EQ(pgmOf({100, 102, 101, 104}, 2), "P2\n2 2\n255\n0\t128\t\n64\t255\t\n");
}

TEST(DetectorPgmTest, EqualPixelsAllComeOutZero) {
    EXPECT_EQ(pgmOf({0, 0, 0, 0}, 2), "P2\n2 2\n255\n0\t0\t\n0\t0\t\n");
    EXPECT_EQ(pgmOf({7, 7, 7}, 3), "P2\n3 1\n255\n0\t0\t0\t\n");
    EXPECT_EQ(pgmOf({7}, 1), "P2\n1 1\n255\n0\t\n");
}

TEST(DetectorPgmTest, PixelsAreUnsigned) {
    // 4294967295 is the largest count, not -1: it maps to 255 and 0 stays 0.
    EXPECT_EQ(pgmOf({0, 4294967295U}, 2), "P2\n2 1\n255\n0\t255\t\n");
    EXPECT_EQ(pgmOf({4294967295U, 2147483648U}, 1), "P2\n1 2\n255\n255\t\n0\t\n");
}

TEST(DetectorPgmTest, SinglePrecisionArithmeticDecidesTheLevels) {
    // Counts beyond 2^24 collapse in single precision: 16777217 reads as 16777216.
    EXPECT_EQ(pgmOf({16777216, 16777217, 16777218}, 3), "P2\n3 1\n255\n0\t0\t255\t\n");
}

TEST(DetectorPgmTest, EmptyImagesWriteOnlyTheHeader) {
    EXPECT_EQ(pgmOf({}, 4), "P2\n4 0\n255\n");
    EXPECT_EQ(pgmOf({}, 0), "P2\n0 0\n255\n");
    // Without a row length no rows can be formed.
    EXPECT_EQ(pgmOf({1, 2, 3}, 0), "P2\n0 0\n255\n");
}

TEST(DetectorPgmTest, PartialLastRowStillEndsItsLine) {
    EXPECT_EQ(pgmOf({0, 5, 10}, 2), "P2\n2 1\n255\n0\t128\t\n255\t\n");
}

TEST(DetectorPgmTest, LargeImageHasOneLinePerRow) {
    const std::uint32_t width = 1000;
    const std::uint32_t height = 1200;
    Pixels pixels(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint32_t>(i % 256);
    }
    const std::string text = pgmOf(pixels, width);
    ASSERT_EQ(text.substr(0, 16), "P2\n1000 1200\n255");
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    std::getline(lines, line);
    std::getline(lines, line);
    std::size_t rows = 0;
    std::size_t index = 0;
    while (std::getline(lines, line)) {
        std::istringstream values(line);
        std::uint32_t value = 0;
        std::size_t inRow = 0;
        while (values >> value) {
            ASSERT_EQ(value, pixels[index]) << "pixel " << index;
            ++index;
            ++inRow;
        }
        ASSERT_EQ(inRow, width) << "row " << rows;
        ++rows;
    }
    EXPECT_EQ(rows, height);
    EXPECT_EQ(text.back(), '\n');
}

TEST(DetectorPgmTest, ReplacesAnExistingFile) {
    ScratchDir dir;
    ConsoleCapture capture;
    const std::string path = dir.file("image.pgm");
    testing::writeText(path, std::string(10000, 'x'));
    const Pixels pixels{3, 4};
    ASSERT_TRUE(writeDetectorPgm(path, 2, pixels.data(), 2, capture.console));
    EXPECT_EQ(testing::readText(path), "P2\n2 1\n255\n0\t255\t\n");
}

TEST(DetectorRawTest, LittleEndianWordsInImageOrder) {
    ScratchDir dir;
    ConsoleCapture capture;
    const std::string path = dir.file("image.dat");
    const Pixels pixels{1, 0x01020304U, 4294967295U, 0};
    ASSERT_TRUE(writeDetectorRaw(path, 4, pixels.data(), capture.console));
    EXPECT_EQ(capture.out.str(), "");
    EXPECT_EQ(testing::readBytes(path),
              (std::vector<std::uint8_t>{1, 0, 0, 0, 4, 3, 2, 1, 255, 255, 255, 255, 0, 0, 0, 0}));
}

TEST(DetectorRawTest, SizeIsFourBytesPerPixel) {
    ScratchDir dir;
    ConsoleCapture capture;
    const std::string path = dir.file("image.dat");
    Pixels pixels(400 * 400);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint32_t>(i * 2654435761U);
    }
    ASSERT_TRUE(writeDetectorRaw(path, 160000, pixels.data(), capture.console));
    EXPECT_EQ(std::filesystem::file_size(path), 640000U);
    EXPECT_EQ(testing::readValues<std::uint32_t>(path), pixels);

    ASSERT_TRUE(writeDetectorRaw(path, 0, pixels.data(), capture.console));
    EXPECT_EQ(std::filesystem::file_size(path), 0U);
}

TEST(ImageWriterFailureTest, MissingFolderCannotBeCreated) {
    ScratchDir dir;
    const std::string pgm = dir.file("no-such-folder/image.pgm");
    const std::string raw = dir.file("no-such-folder/image.dat");
    const Pixels pixels{1, 2};
    ConsoleCapture capture;
    EXPECT_FALSE(writeDetectorPgm(pgm, 2, pixels.data(), 2, capture.console));
    EXPECT_EQ(capture.out.str(), "ERROR: Cannot create output file.\n");
    EXPECT_FALSE(writeDetectorRaw(raw, 2, pixels.data(), capture.console));
    EXPECT_EQ(capture.out.str(),
              "ERROR: Cannot create output file.\nERROR: Cannot create output file.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("no-such-folder")));
}

// Holds the files this process writes to a few bytes while it lives, as a full disk would:
// a write beyond the limit fails (EFBIG) instead of ending the process (SIGXFSZ ignored).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        previousAction_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousAction_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    void (*previousAction_)(int) = SIG_DFL;
};

// Writes that fail part-way (as on a full disk) are reported with the image's own name, leave
// the earlier image under that name untouched and no temporary file.
TEST(ImageWriterFailureTest, FailedWritesLeaveTheEarlierImage) {
    const Pixels small{1, 2, 3, 4};
    const Pixels large(600000, 7);
    for (const Pixels* pixels : {&small, &large}) {
        const auto count = static_cast<std::int64_t>(pixels->size());
        ScratchDir dir;
        const std::string pgm = dir.file("image.pgm");
        const std::string raw = dir.file("image.dat");
        testing::writeText(pgm, "earlier pgm");
        testing::writeText(raw, "earlier dat");
        ConsoleCapture capture;
        std::string message;
        {
            const FileSizeLimit full(4);
            EXPECT_FALSE(writeDetectorPgm(pgm, 2, pixels->data(), count, capture.console));
            EXPECT_FALSE(writeDetectorRaw(raw, count, pixels->data(), message));
        }
        EXPECT_EQ(capture.out.str(), "ERROR: Cannot write output file " + pgm + ".\n");
        EXPECT_EQ(message, "ERROR: Cannot write output file " + raw + ".");
        EXPECT_EQ(testing::readText(pgm), "earlier pgm");
        EXPECT_EQ(testing::readText(raw), "earlier dat");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                                std::filesystem::directory_iterator()),
                  2);
    }
}

// A name that is no regular file is refused, not written through: a device, a folder, a link
// leading to a device.
TEST(ImageWriterFailureTest, NamesThatAreNoRegularFileAreRefused) {
    ScratchDir dir;
    const Pixels pixels{1, 2};
    std::filesystem::create_directory(dir.file("folder.pgm"));
    std::string message;
    EXPECT_FALSE(writeDetectorPgm(dir.file("folder.pgm"), 2, pixels.data(), 2, message));
    EXPECT_EQ(message, "ERROR: Refusing to write " + dir.file("folder.pgm") +
                           ": it is a folder, not a regular file.");
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("folder.pgm")));
    if (std::filesystem::exists("/dev/full")) {
        ConsoleCapture capture;
        EXPECT_FALSE(writeDetectorRaw("/dev/full", 2, pixels.data(), capture.console));
        EXPECT_EQ(capture.out.str(),
                  "ERROR: Refusing to write /dev/full: it is a character device, not a regular "
                  "file.\n");
        std::filesystem::create_symlink("/dev/full", dir.file("link.dat"));
        EXPECT_FALSE(writeDetectorRaw(dir.file("link.dat"), 2, pixels.data(), message));
        EXPECT_EQ(message, "ERROR: Refusing to write " + dir.file("link.dat") +
                               ": its link leads to /dev/full, a character device, not a "
                               "regular file.");
    }
}

}  // namespace
}  // namespace conesim
