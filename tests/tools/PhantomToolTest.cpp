#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.hpp"
#include "ToolRunner.hpp"
#include "input/SampleVolume.hpp"

namespace conesim {
namespace {

using testing::runTool;
using testing::ScratchDir;
using testing::ToolResult;

struct Volume {
    int x = 0;
    int y = 0;
    int z = 0;
    std::vector<float> values;
    float at(int i, int j, int k) const {
        return values[static_cast<std::size_t>((k * y + j) * x + i)];
    }
};

ToolResult phantom(const ScratchDir& dir, const std::vector<std::string>& args) {
    return runTool(CONESIM_PHANTOM_TOOL, args, dir.path());
}

// Runs the tool on a grid and reads the volume back from its little-endian bytes.
Volume makeVolume(int x, int y, int z, std::vector<std::string> shapes) {
    ScratchDir dir;
    std::vector<std::string> args = {
        "--dims", std::to_string(x) + "x" + std::to_string(y) + "x" + std::to_string(z), "-o",
        "sample.bin"};
    args.insert(args.end(), shapes.begin(), shapes.end());
    const ToolResult result = phantom(dir, args);
    EXPECT_EQ(result.status, 0) << result.err;
    const std::vector<std::uint8_t> bytes = testing::readBytes(dir.file("sample.bin"));
    Volume volume{x, y, z, {}};
    EXPECT_EQ(bytes.size(), static_cast<std::size_t>(x) * y * z * 4);
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        const std::uint32_t bits = bytes[i] | (bytes[i + 1] << 8U) | (bytes[i + 2] << 16U) |
                                   (static_cast<std::uint32_t>(bytes[i + 3]) << 24U);
        float value = 0.0F;
        std::memcpy(&value, &bits, sizeof value);
        volume.values.push_back(value);
    }
    return volume;
}

TEST(PhantomToolTest, HelpPrintsUsageAndSucceeds) {
    testing::expectHelp(CONESIM_PHANTOM_TOOL, "Usage: conesim-phantom --dims XxYxZ -o FILE");
}

TEST(PhantomToolTest, FileIsHeaderlessLittleEndianFloatsXFastest) {
    ScratchDir dir;
    // One voxel (2, 1, 3) of value 1.5 in a 4 x 3 x 5 grid of background 0.25.
    const ToolResult result = phantom(dir, {"--dims", "4x3x5", "-o", "sample.bin", "--background",
                                            "0.25", "--box", "2,1,3,2,1,3,1.5"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<std::uint8_t> bytes = testing::readBytes(dir.file("sample.bin"));
    ASSERT_EQ(bytes.size(), 4U * 3U * 5U * 4U);
    const std::size_t offset = ((3 * 3 + 1) * 4 + 2) * 4;
    // 1.5f is 0x3FC00000, 0.25f is 0x3E800000, least significant byte first.
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + offset, bytes.begin() + offset + 4),
              (std::vector<std::uint8_t>{0x00, 0x00, 0xC0, 0x3F}));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x80, 0x3E}));
}

TEST(PhantomToolTest, PrintsTheSampleDimensionsAndFileSize) {
    ScratchDir dir;
    const ToolResult result = phantom(dir, {"--dims", "10x20x30", "-o", "s.bin"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "Wrote s.bin: 10 x 20 x 30 voxels, 24000 bytes.\n"
              "Wrote s.bin.mhd: its MetaImage header.\n"
              "Parameter file values 10 to 12:\n"
              "sampleDimX = 10\nsampleDimY = 20\nsampleDimZ = 30\n");
}

TEST(PhantomToolTest, ProgramAcceptsTheFileForThePrintedDimensions) {
    ScratchDir dir;
    ASSERT_EQ(phantom(dir, {"--dims", "7x5x3", "-o", "s.bin", "--sphere", "3,2,1,2,1"}).status, 0);
    const SampleVolume volume = loadSampleVolume(dir.file("s.bin"), 7, 5, 3, 1.0F, 3);
    EXPECT_TRUE(volume.loaded);
    const SampleVolume wrong = loadSampleVolume(dir.file("s.bin"), 7, 5, 4, 1.0F, 3);
    EXPECT_FALSE(wrong.loaded);
}

TEST(PhantomToolTest, SphereCoversVoxelsWithinItsRadiusInclusive) {
    const Volume v = makeVolume(16, 16, 16, {"--sphere", "8,7,6,3,2.5"});
    EXPECT_EQ(v.at(8, 7, 6), 2.5F);   // centre
    EXPECT_EQ(v.at(11, 7, 6), 2.5F);  // distance 3 along x: on the surface
    EXPECT_EQ(v.at(12, 7, 6), 0.0F);  // just outside
    EXPECT_EQ(v.at(8, 10, 6), 2.5F);
    EXPECT_EQ(v.at(8, 11, 6), 0.0F);
    EXPECT_EQ(v.at(8, 7, 3), 2.5F);
    EXPECT_EQ(v.at(8, 7, 2), 0.0F);
    EXPECT_EQ(v.at(10, 9, 7), 2.5F);  // 4 + 4 + 1 = 9 <= 9
    EXPECT_EQ(v.at(10, 9, 8), 0.0F);  // 4 + 4 + 4 = 12 > 9
}

TEST(PhantomToolTest, CylindersRunAlongTheirAxis) {
    const Volume z = makeVolume(12, 12, 12, {"--cylinder", "z,4,6,2,1"});
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(z.at(4, 6, k), 1.0F);
        EXPECT_EQ(z.at(6, 6, k), 1.0F);
        EXPECT_EQ(z.at(7, 6, k), 0.0F);
        EXPECT_EQ(z.at(4, 9, k), 0.0F);
    }
    // Along y the two centre values are x and z; along x they are y and z.
    const Volume y = makeVolume(12, 12, 12, {"--cylinder", "y,3,8,1,2"});
    EXPECT_EQ(y.at(3, 0, 8), 2.0F);
    EXPECT_EQ(y.at(3, 11, 8), 2.0F);
    EXPECT_EQ(y.at(3, 5, 9), 2.0F);
    EXPECT_EQ(y.at(3, 5, 10), 0.0F);
    EXPECT_EQ(y.at(8, 5, 3), 0.0F);
    const Volume x = makeVolume(12, 12, 12, {"--cylinder", "x,3,8,1,4,2,5"});
    EXPECT_EQ(x.at(2, 3, 8), 4.0F);
    EXPECT_EQ(x.at(5, 3, 8), 4.0F);
    EXPECT_EQ(x.at(1, 3, 8), 0.0F);  // before FROM
    EXPECT_EQ(x.at(6, 3, 8), 0.0F);  // after TO
    EXPECT_EQ(x.at(3, 4, 8), 4.0F);
    EXPECT_EQ(x.at(3, 5, 8), 0.0F);
}

TEST(PhantomToolTest, BoxCoversItsCornersInclusive) {
    const Volume v = makeVolume(8, 8, 8, {"--box", "1,2,3,4,5,6,3"});
    int covered = 0;
    for (float value : v.values) {
        covered += value == 3.0F ? 1 : 0;
    }
    EXPECT_EQ(covered, 4 * 4 * 4);
    EXPECT_EQ(v.at(1, 2, 3), 3.0F);
    EXPECT_EQ(v.at(4, 5, 6), 3.0F);
    EXPECT_EQ(v.at(0, 2, 3), 0.0F);
    EXPECT_EQ(v.at(4, 5, 7), 0.0F);
}

TEST(PhantomToolTest, LaterShapesOverwriteEarlierOnes) {
    const Volume v = makeVolume(
        8, 8, 8, {"--box", "0,0,0,7,7,7,1", "--sphere", "4,4,4,1,2", "--box", "4,4,4,4,4,4,3"});
    EXPECT_EQ(v.at(0, 0, 0), 1.0F);
    EXPECT_EQ(v.at(5, 4, 4), 2.0F);
    EXPECT_EQ(v.at(4, 4, 4), 3.0F);
}

TEST(PhantomToolTest, UntiltedSlabIsAWallOfItsThicknessThroughTheCentre) {
    // Grid centre x = 4.5; thickness 4 covers x = 3, 4, 5, 6 on every row and slice.
    const Volume v = makeVolume(10, 6, 5, {"--slab", "0,4,1"});
    for (int k = 0; k < 5; ++k) {
        for (int j = 0; j < 6; ++j) {
            for (int i = 0; i < 10; ++i) {
                EXPECT_EQ(v.at(i, j, k), (i >= 3 && i <= 6) ? 1.0F : 0.0F) << i << j << k;
            }
        }
    }
    // About x: a horizontal wall across y; an offset moves it along its normal.
    const Volume h = makeVolume(6, 10, 5, {"--slab", "0,2,1,x,2"});
    for (int j = 0; j < 10; ++j) {
        EXPECT_EQ(h.at(2, j, 2), (j == 6 || j == 7) ? 1.0F : 0.0F) << j;
    }
}

TEST(PhantomToolTest, TiltedSlabFollowsItsAngle) {
    // 45 degrees about y: normal (cos 45, 0, sin 45) through the centre (10, 10, 10) of a
    // 21^3 grid; the mid-plane holds the points with x - 10 = -(z - 10).
    const Volume v = makeVolume(21, 21, 21, {"--slab", "45,2,5"});
    for (int k = 0; k < 21; ++k) {
        const int onPlane = 20 - k;
        EXPECT_EQ(v.at(onPlane, 3, k), 5.0F) << k;
        // One voxel along x moves sqrt(1/2) = 0.71 from the plane (inside half thickness
        // 1); two voxels move 1.41 (outside).
        if (onPlane + 2 <= 20) {
            EXPECT_EQ(v.at(onPlane + 1, 3, k), 5.0F) << k;
            EXPECT_EQ(v.at(onPlane + 2, 3, k), 0.0F) << k;
        }
        if (onPlane - 2 >= 0) {
            EXPECT_EQ(v.at(onPlane - 2, 3, k), 0.0F) << k;
        }
    }
}

TEST(PhantomToolTest, BadArgumentsAreUsageErrors) {
    ScratchDir dir;
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--dims", "8x8x8"},
        {"-o", "s.bin"},
        {"--dims", "8x8", "-o", "s.bin"},
        {"--dims", "0x8x8", "-o", "s.bin"},
        {"--dims", "3001x8x8", "-o", "s.bin"},
        {"--dims", "8x8x8", "-o", "s.bin", "--sphere", "1,2,3,4"},
        {"--dims", "8x8x8", "-o", "s.bin", "--sphere", "1,2,3,x,5"},
        {"--dims", "8x8x8", "-o", "s.bin", "--cylinder", "w,1,2,3,4"},
        {"--dims", "8x8x8", "-o", "s.bin", "--cylinder", "z,1,2,3,4,5"},
        {"--dims", "8x8x8", "-o", "s.bin", "--box", "1,2,3,4,5,6"},
        {"--dims", "8x8x8", "-o", "s.bin", "--slab", "10,0,1"},
        {"--dims", "8x8x8", "-o", "s.bin", "--slab", "10,2,1,z"},
        {"--dims", "8x8x8", "-o", "s.bin", "--background", "much"},
        {"--dims", "8x8x8", "-o", "s.bin", "--frobnicate"},
        {"--dims", "8x8x8", "-o", "s.bin", "--sphere"},
    };
    testing::expectUsageErrors(CONESIM_PHANTOM_TOOL, "conesim-phantom", bad, dir.path());
    EXPECT_TRUE(testing::fileNames(dir.path()).empty());
    const ToolResult sphere =
        phantom(dir, {"--dims", "8x8x8", "-o", "s.bin", "--sphere", "1,2,3,x,5"});
    EXPECT_NE(sphere.err.find("'x' is not a number"), std::string::npos) << sphere.err;
}

TEST(PhantomToolTest, UnwritableOutputFailsAndLeavesNoFile) {
    ScratchDir dir;
    const ToolResult result = phantom(dir, {"--dims", "4x4x4", "-o", "missing/s.bin"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "conesim-phantom: cannot create missing/s.bin\n");
    EXPECT_TRUE(testing::fileNames(dir.path()).empty());
}

TEST(PhantomToolTest, SupersampledVoxelsHoldTheMeanOfTheirSubSamples) {
    // Sub-samples of voxel x at x - 0.375, x - 0.125, x + 0.125, x + 0.375: the first box
    // covers half of voxel 0, the second three quarters of voxel 2 and all of voxel 3, each
    // over the background 1.
    const Volume v = makeVolume(4, 2, 2,
                                {"--supersample", "4", "--background", "1", "--box",
                                 "-10,-10,-10,0,10,10,3", "--box", "1.75,-10,-10,10,10,10,5"});
    for (int k = 0; k < 2; ++k) {
        for (int j = 0; j < 2; ++j) {
            EXPECT_EQ(v.at(0, j, k), 2.0F);
            EXPECT_EQ(v.at(1, j, k), 1.0F);
            EXPECT_EQ(v.at(2, j, k), 4.0F);
            EXPECT_EQ(v.at(3, j, k), 5.0F);
        }
    }
    // A sphere's voxels add up to its volume, 4/3 pi R^3, within 0.5 %.
    const Volume ball =
        makeVolume(24, 24, 24, {"--supersample", "8", "--sphere", "11.5,11.5,11.5,8,1"});
    double sum = 0.0;
    for (float value : ball.values) {
        EXPECT_GE(value, 0.0F);
        EXPECT_LE(value, 1.0F);
        sum += value;
    }
    EXPECT_NEAR(sum / (4.0 / 3.0 * 3.14159265358979 * 512.0), 1.0, 0.005);
    // Without it a voxel takes the value at its centre.
    EXPECT_EQ(makeVolume(4, 1, 1, {"--supersample", "1", "--box", "-10,-10,-10,0,10,10,3"}).values,
              (std::vector<float>{3.0F, 0.0F, 0.0F, 0.0F}));
}

TEST(PhantomToolTest, SupersampleOutsideItsRangeIsAUsageError) {
    ScratchDir dir;
    for (const char* n : {"0", "17", "2.5"}) {
        const ToolResult result =
            phantom(dir, {"--dims", "4x2x2", "-o", "s.bin", "--supersample", n});
        EXPECT_EQ(result.status, 2) << n;
        EXPECT_EQ(result.err, std::string("conesim-phantom: --supersample '") + n +
                                  "' is not a whole number from 1 to 16\nTry 'conesim-phantom "
                                  "--help'.\n");
    }
}

}  // namespace
}  // namespace conesim

namespace conesim {
namespace {

TEST(PhantomLabelsTest, LabelShapesOverwriteEarlierOnes) {
    const Volume v = makeVolume(
        8, 8, 8,
        {"--labels", "--background", "1", "--cylinder", "y,3.5,3.5,2,2", "--box", "3,3,3,4,4,4,3"});
    EXPECT_EQ(v.at(0, 0, 0), 1.0F);
    EXPECT_EQ(v.at(2, 0, 3), 2.0F);
    EXPECT_EQ(v.at(3, 3, 3), 3.0F);
}

TEST(PhantomLabelsTest, ValuesThatAreNoLabelAreUsageErrors) {
    ScratchDir dir;
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--sphere", "4,4,4,2,1.5"},
         "--labels: shape 1 has VALUE 1.5, which is not a whole number from 0 to 16777216"},
        {{"--box", "0,0,0,1,1,1,-2"}, "shape 1 has VALUE -2"},
        {{"--background", "0.5"}, "--labels needs a --background that is a whole number"},
        {{"--supersample", "2"}, "--labels takes no --supersample above 1"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--labels", "--dims", "8x8x8", "-o", "s.bin"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolResult result = phantom(dir, args);
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
    EXPECT_TRUE(testing::fileNames(dir.path()).empty());
}

}  // namespace
}  // namespace conesim
