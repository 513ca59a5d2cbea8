// The turn of the sample about y: quarter turns as exact permutations across bands of rows,
// and single voxels moved by the stated convention in physical lengths.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "PrecalcFixtures.hpp"
#include "QuarterTurn.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/SampleRotation.hpp"

namespace conesim {
namespace {

struct Turned {
    std::vector<float> volume;
    RotationLoss loss;
};

Turned turnFile(const std::vector<float>& in, int dimX, int dimY, int dimZ, VoxelSizes sizes,
                double degrees, std::int64_t bandBytes = kRotationBandBytes) {
    testing::ScratchDir dir;
    testing::writeValues(dir.file("in.bin"), in);
    testing::writeText(dir.file("out.bin"), "");
    testing::CapturedConsole captured;
    std::ostringstream log;
    Turned result;
    EXPECT_EQ(
        rotateVolumeFile(captured.console, log, dir.file("in.bin"), dir.file("out.bin"), "out.bin",
                         dimX, dimY, dimZ, sizes, degrees, result.loss, nullptr, bandBytes),
        kPrecalcOk);
    result.volume = testing::readValues<float>(dir.file("out.bin"));
    return result;
}

TEST(SampleRotation, QuarterTurnsPermuteVoxelsInEveryBandSize) {
    const int dimX = 7, dimY = 5, dimZ = 4;  // bands of 1, 2 (the last one short) and 5 rows
    const std::vector<float> in = testing::makeVolume(dimX, dimY, dimZ, [](int x, int y, int z) {
        return (x + y + z) % 5 == 0 ? 0.0F : static_cast<float>(1 + x + 10 * y + 100 * z);
    });
    for (int quarter = 0; quarter < 4; ++quarter) {
        const testing::HandTurn expected = testing::turnByQuarters(in, dimX, dimY, dimZ, quarter);
        for (std::int64_t band : {dimX * dimZ * 4, 2 * dimX * dimZ * 4, 1 << 22}) {
            for (double degrees : {90.0 * quarter, 90.0 * quarter - 360.0}) {
                const Turned turned = turnFile(in, dimX, dimY, dimZ, {1, 3, 1}, degrees, band);
                EXPECT_EQ(turned.volume, expected.volume) << degrees << " band " << band;
                EXPECT_EQ(turned.loss.nonZero, expected.nonZero);
                EXPECT_EQ(turned.loss.lost, expected.lost) << degrees;
            }
        }
    }
}

TEST(SampleRotation, VoxelsMoveByPhysicalOffsetsToTheNearestVoxel) {
    // 9 x 1 x 9 voxels about voxel (4, 4); value 5 at (8, 4) and 7 at (8, 8).
    std::vector<float> in(81, 0.0F);
    in[4 * 9 + 8] = 5.0F;
    in[8 * 9 + 8] = 7.0F;
    // 90 degrees with voxels twice as deep as wide: (4, 0) becomes (0, 4), two voxels in z;
    // (4, 8) becomes (-8, 4), out of the grid.
    Turned turned = turnFile(in, 9, 1, 9, {1, 1, 2}, 90.0);
    EXPECT_EQ(turned.volume[6 * 9 + 4], 5.0F);
    EXPECT_EQ(turned.loss.nonZero, 2);
    EXPECT_EQ(turned.loss.lost, 1);
    // 30 degrees: (4, 0) becomes (3.46, 2), nearest voxel (7, 6), whose centre came from
    // (3.60, 0.23), voxel (8, 4); (4, 4) becomes (1.46, 5.46): voxel (5, 9), out of the grid.
    turned = turnFile(in, 9, 1, 9, {1, 1, 1}, 30.0);
    EXPECT_EQ(turned.volume[6 * 9 + 7], 5.0F);
    EXPECT_EQ(turned.loss.lost, 1);
    // 45 degrees: (4, 4) becomes (0, 5.66), voxel (4, 10), out; (4, 0) stays in.
    EXPECT_EQ(turnFile(in, 9, 1, 9, {1, 1, 1}, 45.0).loss.lost, 1);
}

}  // namespace
}  // namespace conesim
