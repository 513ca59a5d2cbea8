// The pre-sample mask moved across the beam: the engine's loop equals the plain reference
// bit for bit, a shift of 0 leaves every coordinate as it was, and a shift s moves the
// beamlets on the detector by s * L / zMask.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "LoopCase.hpp"

namespace conesim {
namespace {

using testing::LoopCase;

TEST(MaskShift, CoordinateMovesByShiftTimesScale) {
    const std::vector<std::uint8_t> pixels(100, 0);
    const MaskGeometry mask{pixels.data(), 10, 40.0F, 2.5F};
    const MaskGeometry moved = mask.shiftedBy(0.75);
    EXPECT_EQ(maskCoordinate(0.01, 0.2, moved),
              static_cast<float>((0.01 * 40.0 + 0.2 - 0.75) * 2.5 + 5.0));
    EXPECT_EQ(maskCoordinate(0.01, 0.2, mask.shiftedBy(0.0)), maskCoordinate(0.01, 0.2, mask));
    EXPECT_EQ(maskCoordinate(-0.0, -0.0, mask.shiftedBy(0.0)), maskCoordinate(-0.0, -0.0, mask));
    EXPECT_FALSE(moved == mask);
}

TEST(MaskShift, ShiftedMaskEqualsTheReferenceLoop) {
    LoopCase c;
    const auto unshifted = c.run(2);
    c.p.extensions.preMaskShiftX = 0.37;
    c.p.extensions.preMaskShiftY = -1.21;
    const auto shifted = c.run(2);
    EXPECT_NE(shifted.second, unshifted.second);
    // Along x alone: the y axis keeps the x axis's table geometry apart from its shift.
    c.p.extensions.preMaskShiftY = 0.0;
    c.run(5);
}

TEST(MaskShift, ShiftedMaskWithFocalSpotEqualsTheReferenceLoop) {
    LoopCase c;
    c.p.extensions.focalSpotFwhmX = 0.4;
    c.p.extensions.focalSpotFwhmY = 0.2;
    c.p.extensions.preMaskShiftX = -0.6;
    c.p.extensions.preMaskShiftY = 0.15;
    c.run(6);
}

// Columns summed over the rows.
std::vector<double> columnProfile(LoopCase& c, std::uint32_t seed) {
    std::vector<std::uint32_t> image;
    c.runInto(seed, image);
    std::vector<double> profile(c.p.detectorWidth, 0.0);
    for (std::size_t i = 0; i < image.size(); ++i) {
        profile[i % c.p.detectorWidth] += image[i];
    }
    return profile;
}

TEST(MaskShift, BeamletsMoveByShiftTimesMagnification) {
    LoopCase c;
    c.p.postMaskActive = false;
    c.p.sampleActive = false;
    c.p.photonsToRun = 400000;
    // zMask 50, L 150: a magnification of 3, so 1 length unit is three detector pixels.
    const std::vector<double> still = columnProfile(c, 7);
    c.p.extensions.preMaskShiftX = 1.0;
    const std::vector<double> moved = columnProfile(c, 8);
    const std::size_t width = still.size();
    double worst = 0.0;
    double unmovedWorst = 0.0;
    for (std::size_t j = width / 4; j + 3 < 3 * width / 4; ++j) {
        const double sigma = std::sqrt(still[j] + moved[j + 3] + 1.0);
        worst = std::max(worst, std::fabs(moved[j + 3] - still[j]) / sigma);
        unmovedWorst = std::max(unmovedWorst, std::fabs(moved[j] - still[j]) / sigma);
    }
    EXPECT_LT(worst, 5.0);          // counting error alone
    EXPECT_GT(unmovedWorst, 20.0);  // the beamlets did move
}

}  // namespace
}  // namespace conesim
