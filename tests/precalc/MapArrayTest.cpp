#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>

#include "PrecalcFixtures.hpp"
#include "precalc/MapArray.hpp"

namespace conesim {
namespace {

using testing::CapturedConsole;
using testing::readBytes;
using testing::readText;
using testing::readValues;
using testing::ScratchDir;
using testing::WorkingDirectory;
using testing::writeBytes;
using testing::writeValues;

class MapArrayFiles : public ::testing::Test {
  protected:
    ScratchDir dir;
    WorkingDirectory cwd{dir.path()};
    CapturedConsole io;
    std::ostringstream log;

    static std::vector<float> ramp(int n) {
        std::vector<float> values(static_cast<std::size_t>(n));
        std::iota(values.begin(), values.end(), 1.0f);
        return values;
    }
};

TEST_F(MapArrayFiles, OpenFloatMapReadsTheFirstValues) {
    writeValues("map", ramp(10));
    MapArray map = MapArray::openFloatMap("map", 2, 2, 1);
    EXPECT_TRUE(map.isOpen());
    EXPECT_TRUE(map.hasFloatData());
    EXPECT_FALSE(map.hasDoubleData());
    EXPECT_EQ(map.count(), 4);
    EXPECT_EQ(map.floatData(), (std::vector<float>{1, 2, 3, 4}));
}

TEST_F(MapArrayFiles, OpenFloatMapOfAMissingFileIsNotOpenAndHoldsZeros) {
    MapArray map = MapArray::openFloatMap("absent", 3, 1, 2);
    EXPECT_FALSE(map.isOpen());
    EXPECT_EQ(map.floatData(), std::vector<float>(6, 0.0f));
    EXPECT_EQ(map.readRange(0, 6), 0);
}

TEST_F(MapArrayFiles, ReadRangeIsAbsoluteAndMayGoBackwardsOrOverlap) {
    writeValues("map", ramp(12));
    MapArray map = MapArray::openFloatMap("map", 2, 2, 1);
    EXPECT_EQ(map.readRange(8, 4), 4);
    EXPECT_EQ(map.floatData(), (std::vector<float>{9, 10, 11, 12}));
    EXPECT_EQ(map.readRange(2, 4), 4);
    EXPECT_EQ(map.floatData(), (std::vector<float>{3, 4, 5, 6}));
    EXPECT_EQ(map.readRange(3, 2), 2);
    EXPECT_EQ(map.floatData(), (std::vector<float>{4, 5, 5, 6}));
}

TEST_F(MapArrayFiles, ReadRangeIntoTheEndStoresWholeValuesAndFailsAfterwards) {
    // Ten values and two stray bytes: the request from 8 finds two complete values.
    std::vector<std::uint8_t> bytes(42, 0);
    const std::vector<float> values = ramp(10);
    std::memcpy(bytes.data(), values.data(), 40);
    bytes[40] = 0xAB;
    bytes[41] = 0xCD;
    writeBytes("map", bytes.data(), bytes.size());
    MapArray map = MapArray::openFloatMap("map", 2, 2, 1);
    map.floatData() = {-1, -2, -3, -4};
    EXPECT_EQ(map.readRange(8, 4), 2);
    // Elements not stored keep their previous content, untouched by the stray bytes.
    EXPECT_EQ(map.floatData(), (std::vector<float>{9, 10, -3, -4}));
    // The stream ran into the end: every later request delivers nothing.
    EXPECT_EQ(map.readRange(0, 4), 0);
    EXPECT_EQ(map.floatData(), (std::vector<float>{9, 10, -3, -4}));
}

TEST_F(MapArrayFiles, ReadRangeAtOrBeyondTheEndDeliversNothing) {
    writeValues("map", ramp(8));
    MapArray atEnd = MapArray::openFloatMap("map", 2, 2, 1);
    EXPECT_EQ(atEnd.readRange(8, 4), 0);
    MapArray beyond = MapArray::openFloatMap("map", 2, 2, 1);
    EXPECT_EQ(beyond.readRange(100, 4), 0);
    EXPECT_EQ(beyond.floatData(), (std::vector<float>{1, 2, 3, 4}));
}

TEST_F(MapArrayFiles, ShortFileAtOpenLeavesZerosAndAFailedStream) {
    writeValues("map", ramp(3));
    MapArray map = MapArray::openFloatMap("map", 2, 2, 1);
    EXPECT_TRUE(map.isOpen());
    EXPECT_EQ(map.floatData(), (std::vector<float>{1, 2, 3, 0}));
    EXPECT_EQ(map.readRange(0, 2), 0);
}

TEST_F(MapArrayFiles, ReadRangeUsesByteOffsetsBeyondFourGibibytes) {
    // A sparse file: value 2^30 + 1 sits at byte offset 4 * (2^30 + 1), past 2^32.
    const std::int64_t index = (std::int64_t{1} << 30) + 1;
    {
        std::ofstream out("big", std::ios::binary);
        out.seekp(static_cast<std::streamoff>(index * 4));
        const float values[2] = {42.0f, 43.0f};
        out.write(reinterpret_cast<const char*>(values), sizeof(values));
        ASSERT_TRUE(out.good());
    }
    MapArray map = MapArray::openFloatMap("big", 2, 1, 1);
    EXPECT_EQ(map.readRange(index, 2), 2);
    EXPECT_EQ(map.floatData(), (std::vector<float>{42.0f, 43.0f}));
}

TEST_F(MapArrayFiles, WriteBinaryOfAHundredSquarePlaneIsEightyThousandBytes) {
    MapArray map = MapArray::createDoubleMap("plane", 100, 100, 1);
    EXPECT_FALSE(map.isOpen());
    for (std::size_t i = 0; i < map.doubleData().size(); ++i) {
        map.doubleData()[i] = static_cast<double>(i) * 0.5 - 3.25;
    }
    EXPECT_EQ(map.writeBinary(io.console, log), 10000);
    EXPECT_EQ(std::filesystem::file_size("plane.pca"), 80000u);
    EXPECT_EQ(readValues<double>("plane.pca"), map.doubleData());
    EXPECT_EQ(log.str(), "\nWriting binary file plane.pca\n");
    EXPECT_EQ(io.out.str(), "");
}

TEST_F(MapArrayFiles, WriteBinaryStoresLittleEndianDoublesInIndexOrder) {
    MapArray map = MapArray::createDoubleMap("plane", 2, 1, 1);
    map.doubleData() = {1.0, -2.0};
    ASSERT_EQ(map.writeBinary(io.console, log), 2);
    EXPECT_EQ(readBytes("plane.pca"), (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0xF0, 0x3F,  //
                                                                 0, 0, 0, 0, 0, 0, 0, 0xC0}));
}

TEST_F(MapArrayFiles, WriteBinaryThatCannotCreateItsFileSaysSo) {
    std::filesystem::create_directory("plane.pca");
    MapArray map = MapArray::createDoubleMap("plane", 2, 2, 1);
    EXPECT_EQ(map.writeBinary(io.console, log), 0);
    EXPECT_EQ(io.out.str(), "Error: Cannot write.\nERROR: Cannot write file plane.pca.\n");
    EXPECT_EQ(log.str(), "ERROR: Cannot write file plane.pca.\n");
}

TEST_F(MapArrayFiles, WriteBinaryOnAFullDeviceSaysSo) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::filesystem::create_symlink("/dev/full", "plane.pca");
    MapArray map = MapArray::createDoubleMap("plane", 10, 10, 1);
    EXPECT_EQ(map.writeBinary(io.console, log), 0);
    EXPECT_EQ(io.out.str(), "ERROR: Cannot write file plane.pca.\n");
    EXPECT_EQ(log.str(), "\nWriting binary file plane.pca\nERROR: Cannot write file plane.pca.\n");
}

TEST_F(MapArrayFiles, TakeAsFloatRoundsAndReleasesTheBuffers) {
    MapArray map = MapArray::createDoubleMap("plane", 3, 1, 1);
    map.doubleData() = {0.1, 1e-9, -2.5};
    const std::vector<float> values = map.takeAsFloat();
    EXPECT_EQ(values, (std::vector<float>{0.1f, 1e-9f, -2.5f}));
    EXPECT_FALSE(map.hasDoubleData());
    EXPECT_TRUE(map.doubleData().empty());
    // Nothing left to preview.
    EXPECT_FALSE(map.writeMapPgm(io.console, log));
    EXPECT_EQ(io.out.str(), "No result data found. \n");
    EXPECT_FALSE(std::filesystem::exists("plane.pgm"));
}

TEST_F(MapArrayFiles, PreviewSumsTheSlicesAndRescales) {
    MapArray map = MapArray::createDoubleMap("two", 2, 2, 2);
    map.doubleData() = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_TRUE(map.writeMapPgm(io.console, log));
    EXPECT_EQ(readText("two.pgm"), "P2\n2 2\n255\n0 85 170 255 \n");
    EXPECT_EQ(log.str(),
              "Writing PGM file ( two.pgm )\n"
              "Min: 6\nMax: 12\nRange: 42.5\nRescaled as 0 to 255\n\n");
    EXPECT_EQ(io.out.str(), "");
}

TEST_F(MapArrayFiles, PreviewNumbersUseSixDigitsWhateverTheLogPrecision) {
    MapArray map = MapArray::createDoubleMap("tiny", 3, 1, 1);
    map.doubleData() = {-1.2579520e-08, 0.0, 3.3333333333e-9};
    log.precision(15);
    EXPECT_TRUE(map.writeMapPgm(io.console, log));
    EXPECT_EQ(log.str(),
              "Writing PGM file ( tiny.pgm )\n"
              "Min: -1.25795e-08\nMax: 3.33333e-09\nRange: 1.60248e+10\n"
              "Rescaled as 0 to 255\n\n");
    // (v - min) * scale truncated toward zero.
    EXPECT_EQ(readText("tiny.pgm"), "P2\n3 1\n255\n0 201 255 \n");
}

TEST_F(MapArrayFiles, PreviewOfEqualValuesIsAllZeroWithScaleOne) {
    MapArray map = MapArray::createDoubleMap("flat", 3, 2, 1);
    map.doubleData().assign(6, 0.75);
    EXPECT_TRUE(map.writeMapPgm(io.console, log));
    EXPECT_EQ(readText("flat.pgm"), "P2\n3 2\n255\n0 0 0 0 0 0 \n");
    EXPECT_EQ(log.str(),
              "Writing PGM file ( flat.pgm )\n"
              "Min: 0.75\nMax: 0.75\nRange: 1\nRescaled as 0 to 255\n\n");
}

TEST_F(MapArrayFiles, PreviewThatCannotBeWrittenIsReportedAfterItsReportLines) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::filesystem::create_symlink("/dev/full", "full.pgm");
    std::filesystem::create_directory("dir.pgm");
    for (const char* name : {"full", "dir"}) {
        CapturedConsole local;
        std::ostringstream localLog;
        MapArray map = MapArray::createDoubleMap(name, 2, 1, 1);
        map.doubleData() = {1, 2};
        EXPECT_FALSE(map.writeMapPgm(local.console, localLog)) << name;
        const std::string file = std::string(name) + ".pgm";
        EXPECT_EQ(local.out.str(), "ERROR: Cannot write file " + file + ".\n");
        EXPECT_EQ(localLog.str(), "Writing PGM file ( " + file +
                                      " )\nMin: 1\nMax: 2\nRange: 255\nRescaled as 0 to "
                                      "255\n\nERROR: Cannot write file " +
                                      file + ".\n");
    }
}

}  // namespace
}  // namespace conesim
