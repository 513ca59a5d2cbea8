// The built program's sampling against what a physicist expects of it: an open field is
// flat to its edge rows and columns, a narrow sensitive strip counts Poisson photons in every
// column, a thick slab transmits exp(-N) however small, and a mask's interpolation zone
// transmits its mean clear fraction. "Within the counting error" is within 4 sigma of the
// expected count, sigma from the expected count; every run has a fixed seed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iostream>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "CountingError.hpp"
#include "PrecalcRunSupport.hpp"
#include "ZeroPlaneRun.hpp"

namespace conesim {
namespace {

using testing::expectWithinCountingError;
using testing::ScratchDir;

// Runs the program on params.txt with the given settings changed (the zero-plane set-up:
// a 20 x 20 sample plane of 1-unit voxels at 62, no masks unless their images are written)
// and returns the final image.
std::vector<std::uint32_t> imageOf(const ScratchDir& dir, std::map<int, std::string> settings,
                                   const std::string& options = "--threads 2 --seed 7") {
    settings.emplace(40, "100000000");
    testing::writeText(dir.file("params.txt"), testing::parameterFileText(settings));
    const testing::ShellRun run = testing::runInFolder(dir, options + " params.txt t");
    EXPECT_EQ(run.status, 0) << run.console;
    return testing::readValues<std::uint32_t>(dir.file("OUT/t.1.dat"));
}

double total(const std::vector<std::uint32_t>& image) {
    return static_cast<double>(std::accumulate(image.begin(), image.end(), std::uint64_t{0}));
}

TEST(SamplingPhysics, OpenFieldIsFlatToItsEdgeRowsAndColumns) {
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, "8000000");
    // 64 x 64 pixels at 1000: the cone's half-angle is atan(32.5 / 1000) = 0.032 rad.
    const std::vector<std::uint32_t> image =
        imageOf(dir, {{25, "64"}, {26, "64"}, {27, "1000"}, {31, "0"}, {39, "8000000"}});
    ASSERT_EQ(image.size(), 64U * 64U);
    double interior = 0.0;
    for (int row = 1; row < 63; ++row) {
        for (int column = 1; column < 63; ++column) {
            interior += image[static_cast<std::size_t>(row * 64 + column)];
        }
    }
    interior /= 62.0 * 62.0;
    for (int edge : {0, 63}) {
        double row = 0.0;
        double column = 0.0;
        for (int k = 0; k < 64; ++k) {
            row += image[static_cast<std::size_t>(edge * 64 + k)];
            column += image[static_cast<std::size_t>(k * 64 + edge)];
        }
        EXPECT_NEAR(row / 64.0 / interior, 1.0, 0.03) << "row " << edge;
        EXPECT_NEAR(column / 64.0 / interior, 1.0, 0.03) << "column " << edge;
        std::cout << "edge " << edge << ": row " << row / 64.0 / interior << ", column "
                  << column / 64.0 / interior << " of the interior mean\n";
    }
    // The cone ends at the pixels' outer edges: nothing is drawn that no pixel can catch
    // (but the few photons within 1e-6 pixel of a pixel centre, where the pixel fraction is
    // a rounding error that the windows may refuse).
    EXPECT_GT(total(image), 8000000.0 * (1.0 - 1e-5));
}

TEST(SamplingPhysics, NarrowSensitiveStripCountsPoissonPhotonsInEveryColumn) {
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, "2048000");
    // 2048 x 1 pixels at 20000 (half-angle 0.05 rad) behind a strip of 0.02 pixel: a mean of
    // 20 counts per column.
    const std::vector<std::uint32_t> image = imageOf(dir, {{25, "2048"},
                                                           {26, "1"},
                                                           {27, "20000"},
                                                           {31, "0"},
                                                           {34, "0.02"},
                                                           {35, "0.2"},
                                                           {39, "2048000"}});
    ASSERT_EQ(image.size(), 2048U);
    const double mean = total(image) / 2048.0;
    double variance = 0.0;
    for (std::uint32_t count : image) {
        variance += (count - mean) * (count - mean);
        ASSERT_GT(count, 0U) << "an empty column";
    }
    variance /= 2047.0;
    std::cout << "strip: mean " << mean << ", variance / mean " << variance / mean << "\n";
    EXPECT_NEAR(mean, 20.0, 0.5);
    EXPECT_GT(variance / mean, 0.85);
    EXPECT_LT(variance / mean, 1.15);
}

TEST(SamplingPhysics, ThickSlabTransmitsExpMinusN) {
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, "30000000");
    // N = 12 in every column of the plane, which the whole cone crosses: exp(-12) = 6.1e-6
    // (the 15-bit floor of 1/32768 would give 5 times as many photons).
    testing::writeValues(dir.file("Z_ref-PRE.pca"), std::vector<double>(400, 12.0));
    const double photons = 30000000.0;
    const std::vector<std::uint32_t> image = imageOf(dir, {{31, "0"}, {39, "30000000"}});
    expectWithinCountingError(total(image), photons, std::exp(-12.0));
}

// A 100 x 100 mask whose columns alternate opaque and clear.
std::string alternatingColumns() {
    std::ostringstream text;
    text << "P2\n# alternating columns\n100 100\n255\n";
    for (int row = 0; row < 100; ++row) {
        for (int column = 0; column < 100; ++column) {
            text << (column % 2 == 0 ? 255 : 0) << ' ';
        }
        text << '\n';
    }
    return text.str();
}

TEST(SamplingPhysics, MaskInterpolationZoneTransmitsItsMeanClearFraction) {
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, "8000000");
    testing::writeText(dir.file("pre.pgm"), alternatingColumns());
    // The mask at 200, 5 pixels per unit, the 40-pixel detector at 1000: the cone covers
    // mask columns 29.5 to 69.5, 20 whole periods of an opacity that the interpolation
    // turns into a triangle wave from 1 to 0 and back, whose mean clear fraction is 1/2.
    // (A draw modulo 1000 would stop 0.35 % more photons: 10 sigma here.)
    const double photons = 8000000.0;
    const std::vector<std::uint32_t> image = imageOf(
        dir,
        {{2, "200"}, {3, "5"}, {9, "300"}, {22, "400"}, {27, "1000"}, {31, "0"}, {39, "8000000"}});
    expectWithinCountingError(total(image), photons, 0.5);
}

}  // namespace
}  // namespace conesim
