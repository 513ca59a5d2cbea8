// The sample turned about y before the precalculation: quarter turns as exact permutations,
// any angle as the nearest source voxel of each voxel centre, across bands of rows, and the
// count of the non-zero voxels turned out of the grid.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "PrecalcFixtures.hpp"
#include "QuarterTurn.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/SampleRotation.hpp"

namespace conesim {
namespace {

using testing::CapturedConsole;
using testing::ScratchDir;

struct Turned {
    std::vector<float> volume;
    RotationLoss loss;
};

Turned turnFile(const ScratchDir& dir, const std::vector<float>& in, int dimX, int dimY, int dimZ,
                VoxelSizes sizes, double degrees, std::int64_t bandBytes) {
    testing::writeValues(dir.file("in.bin"), in);
    testing::writeText(dir.file("out.bin"), "");
    CapturedConsole captured;
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
    ScratchDir dir;
    // Distinct values, a few zeros, an x-z plane longer in x than in z.
    const int dimX = 7, dimY = 5, dimZ = 4;
    const std::vector<float> in = testing::makeVolume(dimX, dimY, dimZ, [](int x, int y, int z) {
        return (x + y + z) % 5 == 0 ? 0.0F : static_cast<float>(1 + x + 10 * y + 100 * z);
    });
    const std::int64_t planeBytes = std::int64_t{dimX} * dimZ * 4;
    for (int quarter = 0; quarter < 4; ++quarter) {
        const testing::HandTurn expected = testing::turnByQuarters(in, dimX, dimY, dimZ, quarter);
        for (std::int64_t band : {planeBytes, 2 * planeBytes, kRotationBandBytes}) {
            for (double degrees : {90.0 * quarter, 90.0 * quarter - 360.0}) {
                const Turned turned =
                    turnFile(dir, in, dimX, dimY, dimZ, {1.0F, 3.0F, 1.0F}, degrees, band);
                EXPECT_EQ(turned.volume, expected.volume) << degrees << " band " << band;
                EXPECT_EQ(turned.loss.nonZero, expected.nonZero);
                EXPECT_EQ(turned.loss.lost, expected.lost) << degrees;
            }
        }
    }
}

TEST(SampleRotation, AnyAngleTakesTheNearestSourceOfEachCentreInPhysicalLengths) {
    ScratchDir dir;
    const int dimX = 9, dimY = 2, dimZ = 6;
    const VoxelSizes sizes{0.5F, 1.0F, 1.5F};
    const double degrees = 30.0;
    const std::vector<float> in = testing::makeVolume(dimX, dimY, dimZ, [](int x, int y, int z) {
        return x % 4 == 1 ? 0.0F : static_cast<float>(1 + x + 10 * y + 100 * z);
    });
    const Turned turned = turnFile(dir, in, dimX, dimY, dimZ, sizes, degrees, 1);
    const double t = degrees * M_PI / 180.0;
    const auto nearest = [](double v) { return static_cast<int>(std::floor(v + 0.5)); };
    RotationLoss loss;
    for (int y = 0; y < dimY; ++y) {
        for (int z = 0; z < dimZ; ++z) {
            for (int x = 0; x < dimX; ++x) {
                const double dx = (x - 4) * 0.5;
                const double dz = (z - 3) * 1.5;
                // The source of this centre: the offsets turned back by t.
                const int fromX = 4 + nearest((dx * std::cos(t) + dz * std::sin(t)) / 0.5);
                const int fromZ = 3 + nearest((-dx * std::sin(t) + dz * std::cos(t)) / 1.5);
                const bool inside = fromX >= 0 && fromX < dimX && fromZ >= 0 && fromZ < dimZ;
                const std::size_t at = (std::size_t(z) * dimY + y) * dimX + x;
                const float source =
                    inside ? in[(std::size_t(fromZ) * dimY + y) * dimX + fromX] : 0.0F;
                EXPECT_EQ(turned.volume[at], source) << x << " " << y << " " << z;
                // Where this voxel's own material goes.
                const int toX = 4 + nearest((dx * std::cos(t) - dz * std::sin(t)) / 0.5);
                const int toZ = 3 + nearest((dx * std::sin(t) + dz * std::cos(t)) / 1.5);
                if (in[at] != 0.0F) {
                    ++loss.nonZero;
                    loss.lost += (toX < 0 || toX >= dimX || toZ < 0 || toZ >= dimZ) ? 1 : 0;
                }
            }
        }
    }
    EXPECT_GT(loss.lost, 0);
    EXPECT_EQ(turned.loss.nonZero, loss.nonZero);
    EXPECT_EQ(turned.loss.lost, loss.lost);
}

TEST(SampleRotation, TextsOfTheRecordAndTheLossWarning) {
    EXPECT_EQ(rotationText(0.0), "none");
    EXPECT_EQ(rotationText(-22.5), "-22.5");
    EXPECT_EQ(rotationText(0.1), "0.1");
    CapturedConsole captured;
    std::ostringstream log;
    warnRotationLoss(captured.console, log, "s.bin", 45.0, RotationLoss{8, 0});
    EXPECT_EQ(captured.out.str(), "");
    warnRotationLoss(captured.console, log, "s.bin", 45.0, RotationLoss{8, 2});
    const std::string warning =
        "WARNING: sampleRotation = 45 degrees turns 2 of 8 non-zero voxels of s.bin (a fraction "
        "0.25) out of the sample's grid; they are left out.\n";
    EXPECT_EQ(captured.out.str(), warning);
    EXPECT_EQ(log.str(), warning);
}

TEST(SampleRotation, AMissingInputOrOutputIsReportedWithoutAFile) {
    ScratchDir dir;
    CapturedConsole captured;
    std::ostringstream log;
    RotationLoss loss;
    EXPECT_EQ(rotateVolumeFile(captured.console, log, dir.file("none.bin"), dir.file("out.bin"),
                               "out.bin", 2, 2, 2, {1, 1, 1}, 90.0, loss),
              kCollapseFailed);
    testing::writeValues(dir.file("in.bin"), std::vector<float>(8, 1.0F));
    EXPECT_EQ(rotateVolumeFile(captured.console, log, dir.file("in.bin"), dir.file("no/out.bin"),
                               "out.bin", 2, 2, 2, {1, 1, 1}, 90.0, loss),
              kMapWriteFailed);
    EXPECT_NE(captured.out.str().find("ERROR: Cannot write file out.bin."), std::string::npos);
}

}  // namespace
}  // namespace conesim
