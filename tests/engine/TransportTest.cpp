#include <gtest/gtest.h>

#include <cmath>

#include "engine/MaskTransmission.hpp"
#include "engine/SampleTransport.hpp"

namespace conesim {
namespace {

PhotonSource sourceWithAngles(double ax, double ay, bool showAll = true) {
    PhotonSource source;
    source.angleX = ax;
    source.angleY = ay;
    source.showAll = showAll;
    return source;
}

struct Plane4x4 {
    SampleGeometry geometry = makeSampleGeometry(4, 4, 2, 1.0F, 1.0F, 1.0F, 5049.0F);
    SamplePlanes planes;
    explicit Plane4x4(double attenuation, float lr = 0.0F, float ud = 0.0F) {
        planes.attenuation.assign(16, attenuation);
        planes.lr.assign(16, lr);
        planes.ud.assign(16, ud);
    }
};

TEST(SampleTransport, MissingTheSampleChangesNothingAndDrawsNothing) {
    Plane4x4 plane(100.0);
    for (bool showAll : {true, false}) {
        PhotonSource source = sourceWithAngles(0.1, 0.0, showAll);
        PathTangents tangents{std::tan(0.1), 0.0};
        RandomGenerator random(7);
        const RandomGenerator before = random;
        EXPECT_FALSE(
            transportThroughSample(source, tangents, plane.geometry, plane.planes, random));
        EXPECT_TRUE(random == before);
        EXPECT_EQ(source.angleX, 0.1);
    }
}

TEST(SampleTransport, ZeroAttenuationRemovesOnlyWhenNotShowingAll) {
    Plane4x4 plane(0.0);
    RandomGenerator random(7);
    PathTangents tangents{0.0, 0.0};
    PhotonSource shown = sourceWithAngles(0.0, 0.0, true);
    EXPECT_FALSE(transportThroughSample(shown, tangents, plane.geometry, plane.planes, random));
    PhotonSource hidden = sourceWithAngles(0.0, 0.0, false);
    EXPECT_TRUE(transportThroughSample(hidden, tangents, plane.geometry, plane.planes, random));
    EXPECT_TRUE(random == RandomGenerator(7));
}

TEST(SampleTransport, DeflectedPathLeavesFromItsCrossingPoint) {
    // zMid = (2 / 2) * 1 + 5049 = 5050; a deflection of 0.001 rad in LR.
    Plane4x4 plane(1e-9, 0.001F, 0.0F);
    // Find a seed whose first draw is not above R (~32767) and whose second is not above the
    // undeflected threshold: with N tiny, R = 32767 and threshold = 32767, so any draws pass.
    RandomGenerator random(3);
    PhotonSource source = sourceWithAngles(0.0, 0.0);
    PathTangents tangents{0.0, 0.0};
    EXPECT_FALSE(transportThroughSample(source, tangents, plane.geometry, plane.planes, random));
    EXPECT_DOUBLE_EQ(source.angleX, static_cast<double>(0.001F));
    // The new path passes through the crossing (0 at zMid): offset = -tan(0.001) * 5050.
    EXPECT_DOUBLE_EQ(source.offsetX, -std::tan(source.angleX) * 5050.0);
    EXPECT_NEAR(source.offsetX, -5.05, 0.001);
    EXPECT_EQ(source.offsetY, 0.0);
    EXPECT_EQ(tangents.x, std::tan(source.angleX));
}

TEST(SampleTransport, LargeAttenuationAlwaysAbsorbs) {
    Plane4x4 plane(1000.0);
    int absorbed = 0;
    RandomGenerator random(11);
    for (int i = 0; i < 1000; ++i) {
        PhotonSource source = sourceWithAngles(0.0, 0.0);
        PathTangents tangents{0.0, 0.0};
        absorbed += transportThroughSample(source, tangents, plane.geometry, plane.planes, random);
    }
    EXPECT_EQ(absorbed, 1000);
}

TEST(MaskTransmission, OpaqueCentreAlwaysStopsClearNeverDoes) {
    std::vector<std::uint8_t> pixels(100 * 100, 0);
    pixels[50 * 100 + 50] = 1;
    MaskGeometry mask{pixels.data(), 100, 50.0F, 1.0F};
    RandomGenerator random(5);
    PhotonSource source = sourceWithAngles(0.0, 0.0);
    for (int i = 0; i < 100; ++i) {
        EXPECT_TRUE(maskBlocks(source, PathTangents{0.0, 0.0}, mask, random));
    }
    pixels[50 * 100 + 50] = 0;
    for (int i = 0; i < 100; ++i) {
        EXPECT_FALSE(maskBlocks(source, PathTangents{0.0, 0.0}, mask, random));
    }
}

TEST(MaskTransmission, HalfwayBetweenOpaqueAndClearStopsHalfTheTime) {
    std::vector<std::uint8_t> pixels(10 * 10, 0);
    pixels[5 * 10 + 4] = 1;  // row 5, column 4 opaque; column 5 clear
    MaskGeometry mask{pixels.data(), 10, 10.0F, 1.0F};
    // u = tan * 10 + 5 = 4.5 needs tan = -0.05; v = 5 exactly.
    PathTangents tangents{-0.05, 0.0};
    RandomGenerator random(9);
    RandomGenerator mirror(9);
    PhotonSource source = sourceWithAngles(0.0, 0.0);
    for (int i = 0; i < 2000; ++i) {
        // Stopped when 500 > (u + 0.5) * 1000 / 2^30 for the 30-bit u of the next two draws.
        const double u = static_cast<double>(mirror.next()) * 32768.0 + mirror.next();
        const bool expected = 500.0 > (u + 0.5) * 1000.0 / 1073741824.0;
        ASSERT_EQ(maskBlocks(source, tangents, mask, random), expected);
    }
}

TEST(MaskTransmission, OutsideTheMaskPassesWithoutADraw) {
    std::vector<std::uint8_t> pixels(10 * 10, 1);
    MaskGeometry mask{pixels.data(), 10, 10.0F, 1.0F};
    RandomGenerator random(9);
    PhotonSource source = sourceWithAngles(0.0, 0.0);
    EXPECT_FALSE(maskBlocks(source, PathTangents{0.5, 0.0}, mask, random));     // u = 10
    EXPECT_FALSE(maskBlocks(source, PathTangents{-0.501, 0.0}, mask, random));  // u < 0
    EXPECT_TRUE(random == RandomGenerator(9));
    MaskGeometry empty{pixels.data(), 0, 10.0F, 1.0F};
    EXPECT_FALSE(maskBlocks(source, PathTangents{0.0, 0.0}, empty, random));
    // A path that a corrupt plane turned into NaN misses the mask instead of reading
    // outside it.
    EXPECT_FALSE(maskBlocks(source, PathTangents{std::nan(""), 0.0}, mask, random));
    EXPECT_FALSE(maskBlocks(source, PathTangents{0.0, std::nan("")}, mask, random));
    EXPECT_TRUE(random == RandomGenerator(9));
}

}  // namespace
}  // namespace conesim
