#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>

#include "PrecalcFixtures.hpp"
#include "precalc/InterfaceAngleFit.hpp"
#include "precalc/InterfaceAngleMaps.hpp"
#include "precalc/MapNames.hpp"

namespace conesim {
namespace {

using testing::atIndex;
using testing::CapturedConsole;
using testing::makeVolume;
using testing::readValues;
using testing::sampleRecord;
using testing::ScratchDir;
using testing::WorkingDirectory;
using testing::writeValues;

// Slices held by hand for the per-voxel fit: slot k is the slice at depth offset k - depth.
struct HandWindow {
    HandWindow(int depth, int width) : slices(2 * depth + 1, std::vector<float>(width, 0.0f)) {
        for (auto& slice : slices) pointers.push_back(slice.data());
    }
    std::vector<std::vector<float>> slices;
    std::vector<const float*> pointers;
};

TEST(InterfaceAngleFit, SearchRangeShrinksNearTheFaces) {
    EXPECT_EQ(InterfaceAngleFit::searchRange(5, 50, 100), 5);
    EXPECT_EQ(InterfaceAngleFit::searchRange(5, 2, 100), 2);
    EXPECT_EQ(InterfaceAngleFit::searchRange(5, 97, 100), 2);
    EXPECT_EQ(InterfaceAngleFit::searchRange(20, 10, 15), 4);
    EXPECT_EQ(InterfaceAngleFit::searchRange(1, 2, 5), 1);
}

TEST(InterfaceAngleFit, QualifiesOnlyNewMaterialInsideTheMargins) {
    // across 2: x and y must lie in 3 .. dim - 4, z in 2 .. dimZ - 3.
    EXPECT_TRUE(InterfaceAngleFit::qualifies(3, 3, 2, 10, 10, 10, 2, 0.5f, 0.0f));
    EXPECT_TRUE(InterfaceAngleFit::qualifies(6, 6, 7, 10, 10, 10, 2, 0.5f, 0.0f));
    EXPECT_FALSE(InterfaceAngleFit::qualifies(2, 5, 5, 10, 10, 10, 2, 0.5f, 0.0f));
    EXPECT_FALSE(InterfaceAngleFit::qualifies(7, 5, 5, 10, 10, 10, 2, 0.5f, 0.0f));
    EXPECT_FALSE(InterfaceAngleFit::qualifies(5, 2, 5, 10, 10, 10, 2, 0.5f, 0.0f));
    EXPECT_FALSE(InterfaceAngleFit::qualifies(5, 7, 5, 10, 10, 10, 2, 0.5f, 0.0f));
    EXPECT_FALSE(InterfaceAngleFit::qualifies(5, 5, 1, 10, 10, 10, 2, 0.5f, 0.0f));
    EXPECT_FALSE(InterfaceAngleFit::qualifies(5, 5, 8, 10, 10, 10, 2, 0.5f, 0.0f));
    EXPECT_FALSE(InterfaceAngleFit::qualifies(5, 5, 5, 10, 10, 10, 2, 1.0f, 0.0f));
    EXPECT_FALSE(InterfaceAngleFit::qualifies(5, 5, 5, 10, 10, 10, 2, 0.5f, 0.5f));
}

TEST(InterfaceAngleFit, NeighboursMatchingOnTheSearchLimitAreTrimmedInPairs) {
    // Voxel at column 4 with value 7; neighbours at columns 2, 3 | 5, 6.
    for (int limitAtEnd = 0; limitAtEnd < 2; ++limitAtEnd) {
        HandWindow window(3, 9);
        auto put = [&](int column, int zoff) { window.slices[3 + zoff][column] = 7.0f; };
        put(4, 0);
        put(3, -1);
        put(5, 1);
        if (limitAtEnd == 0) {
            put(2, -3);  // on the limit -depth
            put(6, 2);
        } else {
            put(2, -2);
            put(6, 3);  // on the limit +depth
        }
        InterfaceAngleFit fit(2, 3, 1.0f, 1.0f);
        const float angle = fit.angle(window.pointers.data(), 4, 1, 3);
        EXPECT_EQ(fit.foundDepths(), limitAtEnd == 0 ? (std::vector<float>{-3, -1, 1, 2})
                                                     : (std::vector<float>{-2, -1, 1, 3}));
        // Only the inner pair (-1, -1) and (1, 1) is fitted: slope 1.
        EXPECT_FLOAT_EQ(angle, 0.7853982f);
    }
}

TEST(InterfaceAngleFit, WithoutLimitMatchesAllNeighboursAreFitted) {
    HandWindow window(3, 9);
    auto put = [&](int column, int zoff) { window.slices[3 + zoff][column] = 7.0f; };
    put(4, 0);
    put(2, -2);
    put(3, -1);
    put(5, 1);
    put(6, 1);
    InterfaceAngleFit fit(2, 3, 1.0f, 1.0f);
    // Sxy = 4 + 1 + 1 + 2 = 8, Sxx = 10.
    EXPECT_EQ(fit.angle(window.pointers.data(), 4, 1, 3),
              static_cast<float>(std::atan(static_cast<double>(8.0f / 10.0f))));
}

TEST(InterfaceAngleFit, TheSearchStaysWithinTheShrunkRange) {
    // Depth 5 but range 2: a match at offset -3 is out of reach and counts as not found.
    HandWindow window(5, 9);
    auto put = [&](int column, int zoff) { window.slices[5 + zoff][column] = 7.0f; };
    put(4, 0);
    put(2, -3);
    put(3, -1);
    put(5, 1);
    put(6, 2);
    InterfaceAngleFit fit(2, 5, 1.0f, 1.0f);
    const float angle = fit.angle(window.pointers.data(), 4, 1, 2);
    EXPECT_EQ(fit.foundDepths(), (std::vector<float>{5, -1, 1, 2}));
    EXPECT_FLOAT_EQ(angle, 0.7853982f);
    // With the full range the match at -3 is found and the outer pair is fitted.
    InterfaceAngleFit wide(2, 5, 1.0f, 1.0f);
    EXPECT_NE(wide.angle(window.pointers.data(), 4, 1, 5), angle);
    EXPECT_EQ(wide.foundDepths(), (std::vector<float>{-3, -1, 1, 2}));
}

TEST(InterfaceAngleFit, FirstMatchFromTheFrontWinsAndTrimmingStopsAtOnePair) {
    HandWindow window(2, 7);
    window.slices[2][3] = 4.0f;
    window.slices[0][2] = 4.0f;  // offset -2: on the limit
    window.slices[1][4] = 4.0f;  // offset -1 ...
    window.slices[4][4] = 4.0f;  // ... found before +2
    InterfaceAngleFit fit(1, 2, 1.0f, 1.0f);
    // One pair only: it is fitted even though an end lies on the limit.
    EXPECT_EQ(fit.angle(window.pointers.data(), 3, 1, 2),
              static_cast<float>(std::atan(static_cast<double>(1.0f / 2.0f))));
    EXPECT_EQ(fit.foundDepths(), (std::vector<float>{-2, -1}));

    // An isolated value: every entry keeps the sentinel; the last pair has equal depths.
    HandWindow lonely(4, 11);
    lonely.slices[4][5] = 9.0f;
    InterfaceAngleFit lonelyFit(3, 4, 1.0f, 1.0f);
    EXPECT_EQ(lonelyFit.angle(lonely.pointers.data(), 5, 1, 4), 0.0f);
    EXPECT_EQ(lonelyFit.foundDepths(), std::vector<float>(6, 4.0f));
}

TEST(InterfaceAngleFit, NeighbourColumnsFollowTheStride) {
    // Slices of 5 x 5; the voxel at (2, 2); UD neighbours are rows 1 and 3 of column 2.
    HandWindow window(1, 25);
    window.slices[1][12] = 3.0f;
    window.slices[0][7] = 3.0f;   // (2, 1) at offset -1
    window.slices[2][17] = 3.0f;  // (2, 3) at offset +1
    window.slices[1][11] = 3.0f;  // LR neighbours at offset 0
    window.slices[1][13] = 3.0f;
    InterfaceAngleFit fit(1, 1, 0.5f, 1.0f);
    // Slope 1 / 0.5 = 2.
    EXPECT_FLOAT_EQ(fit.angle(window.pointers.data(), 12, 5, 1), 1.1071487f);
    EXPECT_EQ(fit.angle(window.pointers.data(), 12, 1, 1), 0.0f);
}

class InterfaceAngleMapFiles : public ::testing::Test {
  protected:
    ScratchDir dir;
    WorkingDirectory cwd{dir.path()};
    CapturedConsole io;
    std::ostringstream log;
    MapNames names;

    int build(const std::vector<float>& volume, int dimX, int dimY, int dimZ, VoxelSizes sizes,
              int across, int depth) {
        writeValues("sample.bin", volume);
        return buildInterfaceAngleMaps(sampleRecord("sample.bin", dimX, dimY, dimZ), names,
                                       io.console, log, sizes, across, depth, 3);
    }
};

// A boundary between 0.3 and 0.6 that deepens by one slice per voxel step in +x.
float tiltedBoundary(int x, int, int z) {
    return z < x + 15 ? 0.3f : 0.6f;
}

TEST_F(InterfaceAngleMapFiles, TiltedBoundaryGivesPiOverFourAcrossAndZeroAlong) {
    const int dimX = 20, dimY = 12, dimZ = 60;
    ASSERT_EQ(build(makeVolume(dimX, dimY, dimZ, tiltedBoundary), dimX, dimY, dimZ,
                    {1.0f, 1.0f, 1.0f}, 3, 20),
              kPrecalcOk);
    EXPECT_EQ(names[1], "Z_iLR-PRE");
    EXPECT_EQ(names[2], "Z_iUD-PRE");
    const std::vector<float> lr = readValues<float>("Z_iLR-PRE");
    const std::vector<float> ud = readValues<float>("Z_iUD-PRE");
    ASSERT_EQ(lr.size(), std::size_t{dimX} * dimY * dimZ);
    ASSERT_EQ(ud.size(), lr.size());
    for (int z = 0; z < dimZ; ++z) {
        for (int y = 0; y < dimY; ++y) {
            for (int x = 0; x < dimX; ++x) {
                const float a = atIndex(lr, dimX, dimY, x, y, z);
                EXPECT_EQ(atIndex(ud, dimX, dimY, x, y, z), 0.0f);
                const bool boundary = z == x + 15;
                const bool inside = x >= 4 && x < 16 && y >= 4 && y < 8;
                if (boundary && inside) {
                    EXPECT_EQ(a, 0.7853982f) << x << " " << y << " " << z;
                } else {
                    EXPECT_EQ(a, 0.0f) << x << " " << y << " " << z;
                }
            }
        }
    }
}

TEST_F(InterfaceAngleMapFiles, DeeperVoxelsGiveTheArctangentOfTwo) {
    const int dimX = 20, dimY = 10, dimZ = 60;
    ASSERT_EQ(build(makeVolume(dimX, dimY, dimZ, tiltedBoundary), dimX, dimY, dimZ,
                    {1.0f, 1.0f, 2.0f}, 3, 20),
              kPrecalcOk);
    const std::vector<float> lr = readValues<float>("Z_iLR-PRE");
    for (int x = 5; x < 16; ++x) {
        const float angle = atIndex(lr, dimX, dimY, x, 5, x + 15);
        EXPECT_EQ(angle, static_cast<float>(std::atan(2.0))) << x;
        EXPECT_NEAR(angle, 1.1071487, 1e-7);
    }
}

TEST_F(InterfaceAngleMapFiles, BoundaryAcrossTheBeamGivesZero) {
    const int dimX = 12, dimY = 12, dimZ = 12;
    const auto flat = [](int, int, int z) { return z < 6 ? 0.2f : 0.4f; };
    ASSERT_EQ(build(makeVolume(dimX, dimY, dimZ, flat), dimX, dimY, dimZ, {1, 1, 1}, 2, 3),
              kPrecalcOk);
    for (const char* name : {"Z_iLR-PRE", "Z_iUD-PRE"}) {
        const std::vector<float> map = readValues<float>(name);
        ASSERT_EQ(map.size(), 12u * 12 * 12);
        for (float v : map) EXPECT_EQ(std::bit_cast<std::uint32_t>(v), 0u) << name;
    }
}

TEST_F(InterfaceAngleMapFiles, NewMaterialOfExactlyOneGetsNoAngle) {
    const int dimX = 20, dimY = 10, dimZ = 60;
    const auto toOne = [](int x, int, int z) { return z < x + 15 ? 0.3f : 1.0f; };
    ASSERT_EQ(build(makeVolume(dimX, dimY, dimZ, toOne), dimX, dimY, dimZ, {1, 1, 1}, 3, 20),
              kPrecalcOk);
    for (float v : readValues<float>("Z_iLR-PRE")) EXPECT_EQ(v, 0.0f);
}

TEST_F(InterfaceAngleMapFiles, ShallowSamplesGiveMapsOfZeros) {
    // dimZ 4 has no slice in 2 .. dimZ - 3; depth beyond dimZ leaves zero slots.
    const int dimX = 9, dimY = 9, dimZ = 4;
    const auto varied = [](int x, int y, int z) { return 0.1f * ((x + 2 * y + 3 * z) % 5); };
    ASSERT_EQ(build(makeVolume(dimX, dimY, dimZ, varied), dimX, dimY, dimZ, {1, 1, 1}, 1, 10),
              kPrecalcOk);
    for (const char* name : {"Z_iLR-PRE", "Z_iUD-PRE"}) {
        const std::vector<float> map = readValues<float>(name);
        ASSERT_EQ(map.size(), std::size_t{dimX} * dimY * dimZ);
        for (float v : map) EXPECT_EQ(v, 0.0f);
    }
}

TEST_F(InterfaceAngleMapFiles, MessagesGoToConsoleAndLog) {
    const std::vector<float> volume(2 * 2 * 2, 0.5f);
    ASSERT_EQ(build(volume, 2, 2, 2, {1, 1, 1}, 1, 1), kPrecalcOk);
    const std::string expected =
        "Making inferface angle files Z_iLR-PRE and Z_iUD-PRE\n"
        "Calculating interface angles in LR direction.\n"
        "Calculating slice 0\nCalculating slice 1\n"
        "Calculating interface angles in UD direction.\n"
        "Calculating slice 0\nCalculating slice 1\n";
    EXPECT_EQ(io.out.str(), expected);
    EXPECT_EQ(log.str(), expected);
}

TEST_F(InterfaceAngleMapFiles, MapOnAFullDeviceIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::filesystem::create_symlink("/dev/full", "Z_iUD-PRE");
    const int dimX = 32, dimY = 32, dimZ = 40;
    EXPECT_EQ(
        build(makeVolume(dimX, dimY, dimZ, tiltedBoundary), dimX, dimY, dimZ, {1, 1, 1}, 2, 3),
        kMapWriteFailed);
    const std::string message = "ERROR: Cannot write file Z_iUD-PRE.\n";
    EXPECT_NE(io.out.str().find(message), std::string::npos);
    EXPECT_NE(log.str().find(message), std::string::npos);
    EXPECT_EQ(std::filesystem::file_size("Z_iLR-PRE"), std::uintmax_t{4} * dimX * dimY * dimZ);
}

TEST_F(InterfaceAngleMapFiles, MapThatCannotBeCreatedIsReported) {
    std::filesystem::create_directory("Z_iLR-PRE");
    EXPECT_EQ(build(std::vector<float>(8, 0.5f), 2, 2, 2, {1, 1, 1}, 1, 1), kMapWriteFailed);
    EXPECT_EQ(io.out.str(),
              "Making inferface angle files Z_iLR-PRE and Z_iUD-PRE\n"
              "ERROR: Cannot write file Z_iLR-PRE.\n");
    EXPECT_EQ(log.str(), io.out.str());
}

// The angle maps as the plain per-voxel procedure gives them: a window shifted by copying,
// every voxel visited in file order. The streamed maps must equal it bit for bit.
std::vector<float> plainAngleMap(const std::vector<float>& volume, int dimX, int dimY, int dimZ,
                                 bool alongY, float lateral, float dz, int across, int depth) {
    const std::int64_t s = std::int64_t{dimX} * dimY;
    std::vector<std::vector<float>> window(2 * depth + 1, std::vector<float>(s, 0.0f));
    auto slice = [&](int z) {
        return std::vector<float>(volume.begin() + z * s, volume.begin() + (z + 1) * s);
    };
    std::vector<float> result;
    InterfaceAngleFit fit(across, depth, lateral, dz);
    for (int z = 0; z < dimZ; ++z) {
        if (z == 0) {
            for (int k = 0; k < depth && k < dimZ; ++k) window[depth + 1 + k] = slice(k);
        }
        for (int k = 0; k < 2 * depth; ++k) window[k] = window[k + 1];
        window[2 * depth] = z + depth < dimZ ? slice(z + depth) : std::vector<float>(s, 0.0f);
        std::vector<const float*> slots;
        for (auto& w : window) slots.push_back(w.data());
        for (int y = 0; y < dimY; ++y) {
            for (int x = 0; x < dimX; ++x) {
                const std::int64_t j = std::int64_t{y} * dimX + x;
                float angle = 0.0f;
                if (InterfaceAngleFit::qualifies(x, y, z, dimX, dimY, dimZ, across,
                                                 window[depth][j], window[depth - 1][j])) {
                    angle = fit.angle(slots.data(), j, alongY ? dimX : 1,
                                      InterfaceAngleFit::searchRange(depth, z, dimZ));
                }
                result.push_back(angle);
            }
        }
    }
    return result;
}

TEST_F(InterfaceAngleMapFiles, PhantomMapsEqualThePlainProcedure) {
    struct Case {
        int dimX, dimY, dimZ, across, depth;
    };
    for (const Case c : {Case{24, 20, 30, 2, 4}, Case{18, 22, 9, 3, 12}, Case{16, 16, 40, 1, 1}}) {
        const std::vector<float> volume = testing::makePhantom(c.dimX, c.dimY, c.dimZ);
        const VoxelSizes sizes{0.5f, 0.75f, 0.25f};
        ASSERT_EQ(build(volume, c.dimX, c.dimY, c.dimZ, sizes, c.across, c.depth), kPrecalcOk);
        const std::vector<float> lr = readValues<float>("Z_iLR-PRE");
        const std::vector<float> ud = readValues<float>("Z_iUD-PRE");
        const auto plainLr = plainAngleMap(volume, c.dimX, c.dimY, c.dimZ, false, sizes.x, sizes.z,
                                           c.across, c.depth);
        const auto plainUd = plainAngleMap(volume, c.dimX, c.dimY, c.dimZ, true, sizes.y, sizes.z,
                                           c.across, c.depth);
        EXPECT_EQ(lr, plainLr) << c.dimZ;
        EXPECT_EQ(ud, plainUd) << c.dimZ;
        int nonZero = 0;
        for (float v : lr) nonZero += v != 0.0f;
        EXPECT_GT(nonZero, 0) << c.dimZ;
    }
}

}  // namespace
}  // namespace conesim
