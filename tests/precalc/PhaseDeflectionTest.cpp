// The phase model's steps: the lateral derivative of a projected plane against polynomials
// it must take exactly, its edges, and the projection of a refractive index map file with
// its deflection planes and failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "PrecalcFixtures.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/PhaseDeflection.hpp"

namespace conesim {
namespace {

using testing::CapturedConsole;
using testing::ScratchDir;
using testing::WorkingDirectory;

// A dimX x dimY plane of f(x, y).
template <typename F>
std::vector<double> planeOf(int dimX, int dimY, F f) {
    std::vector<double> plane;
    for (int y = 0; y < dimY; ++y) {
        for (int x = 0; x < dimX; ++x) {
            plane.push_back(f(x, y));
        }
    }
    return plane;
}

TEST(PhaseDeflection, SlopeOfAQuadraticIsExactInsideAndZeroOnTheEdges) {
    // P = x^2 + 3 y: d/dx = 2x wherever the five-column line reaches, and the
    // two-column difference one column from the edge is exact on a quadratic too.
    const int dimX = 9;
    const int dimY = 4;
    const std::vector<double> projected =
        planeOf(dimX, dimY, [](int x, int y) { return double(x) * x + 3.0 * y; });
    const std::vector<double> alongX = deflectionFromProjection(projected, dimX, dimY, false, 0.5);
    for (int y = 0; y < dimY; ++y) {
        for (int x = 0; x < dimX; ++x) {
            const double expected = x == 0 || x == dimX - 1 ? 0.0 : -2.0 * x / 0.5;
            EXPECT_NEAR(alongX[static_cast<std::size_t>(y * dimX + x)], expected, 1e-12)
                << x << ", " << y;
        }
    }
    const std::vector<double> alongY = deflectionFromProjection(projected, dimX, dimY, true, 2.0);
    for (int y = 0; y < dimY; ++y) {
        for (int x = 0; x < dimX; ++x) {
            const double expected = y == 0 || y == dimY - 1 ? 0.0 : -3.0 / 2.0;
            EXPECT_NEAR(alongY[static_cast<std::size_t>(y * dimX + x)], expected, 1e-12)
                << x << ", " << y;
        }
    }
}

TEST(PhaseDeflection, FiveColumnLineAveragesTheStepsOfAStaircase) {
    // Thickness rising by one voxel every third column (slope 1/3): a two-column
    // difference gives 0, 0.5, 0.5 by turns, the five-column line 0.3, 0.3, 0.4.
    const std::vector<double> stairs = planeOf(15, 1, [](int x, int) { return double(x / 3); });
    const std::vector<double> slope = deflectionFromProjection(stairs, 15, 1, false, 1.0);
    for (int x = 2; x < 13; ++x) {
        EXPECT_NEAR(-slope[static_cast<std::size_t>(x)], x % 3 == 1 ? 0.4 : 0.3, 1e-12) << x;
    }
    // A single column or row has no neighbours: no deflection.
    EXPECT_EQ(deflectionFromProjection({5.0}, 1, 1, false, 1.0), std::vector<double>{0.0});
    EXPECT_EQ(deflectionFromProjection({5.0, 7.0}, 1, 2, true, 1.0),
              (std::vector<double>{0.0, 0.0}));
}

class PhaseFolder : public ::testing::Test {
  protected:
    ScratchDir dir;
    WorkingDirectory cwd{dir.path()};
    CapturedConsole io;
    std::ostringstream log;
};

TEST_F(PhaseFolder, ProjectionSumsTheDecrementTimesTheVoxelDepth) {
    // 3 x 2 columns, 4 slices; column j holds n - 1 = -(j + 1) * 1e-6 in every slice.
    std::vector<float> map;
    for (int z = 0; z < 4; ++z) {
        for (int j = 0; j < 6; ++j) {
            map.push_back(static_cast<float>(-(j + 1) * 1e-6));
        }
    }
    testing::writeValues("Z_ref-PRE", map);
    std::vector<double> projected;
    ASSERT_EQ(projectDecrement(io.console, log, "Z_ref-PRE", 3, 2, 4, 0.25F, projected),
              kPrecalcOk);
    ASSERT_EQ(projected.size(), 6U);
    for (int j = 0; j < 6; ++j) {
        EXPECT_NEAR(projected[static_cast<std::size_t>(j)],
                    4 * 0.25 * static_cast<double>(static_cast<float>((j + 1) * 1e-6)), 1e-18);
    }

    // The planes: along x the decrement rises by 1e-6 per column of 0.5 length units.
    std::vector<float> lr;
    std::vector<float> ud;
    ASSERT_EQ(collapsePhaseMaps(io.console, log, "Z_ref-PRE", 3, 2, 4,
                                VoxelSizes{0.5F, 1.0F, 0.25F}, lr, ud),
              kPrecalcOk);
    const std::vector<double> stored = testing::readValues<double>("Z_iLR-PRE.pca");
    ASSERT_EQ(stored.size(), 6U);
    EXPECT_EQ(stored[0], 0.0);
    EXPECT_NEAR(stored[1], -(projected[2] - projected[0]) / 2.0 / 0.5, 1e-18);
    EXPECT_EQ(lr[1], static_cast<float>(stored[1]));
    EXPECT_EQ(testing::readValues<double>("Z_iUD-PRE.pca"), std::vector<double>(6, 0.0));
    EXPECT_TRUE(std::filesystem::exists("Z_iLR-PRE.pgm"));
    EXPECT_TRUE(std::filesystem::exists("Z_iUD-PRE.pgm"));
    EXPECT_NE(io.out.str().find("Projecting the refractive index map for the phase deflection.\n"),
              std::string::npos);
}

TEST_F(PhaseFolder, AMissingOrShortMapEndsTheProjection) {
    std::vector<double> projected;
    EXPECT_EQ(projectDecrement(io.console, log, "Z_ref-PRE", 3, 2, 4, 1.0F, projected),
              kCollapseFailed);
    EXPECT_EQ(io.out.str(),
              "ERROR: Could not open files: Z_ref-PRE or Z_iLR-PRE or Z_iUD-PRE check main "
              "directory.\n");
    testing::writeValues("Z_ref-PRE", std::vector<float>(6 * 3, 0.0F));  // 3 of 4 slices
    EXPECT_EQ(projectDecrement(io.console, log, "Z_ref-PRE", 3, 2, 4, 1.0F, projected),
              kCollapseFailed);
    EXPECT_NE(log.str().find("Error reading values from  |Z_ref-PRE| .\n"), std::string::npos)
        << log.str();
}

}  // namespace
}  // namespace conesim
