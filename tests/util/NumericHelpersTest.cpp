#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "engine/Bilinear.hpp"
#include "engine/DetectorWindow.hpp"
#include "util/NumericHelpers.hpp"
#include "util/RandomGenerator.hpp"

namespace conesim {
namespace {

TEST(RandomGenerator, KnownSequencesFromSeed) {
    RandomGenerator a(42);
    EXPECT_EQ(a.next(), 24954);
    EXPECT_EQ(a.next(), 13699);
    EXPECT_EQ(a.next(), 14683);
    EXPECT_EQ(a.next(), 8720);
    RandomGenerator b(0);
    EXPECT_EQ(b.next(), 29713);
    EXPECT_EQ(b.next(), 15679);
    EXPECT_EQ(b.next(), 17662);
    EXPECT_EQ(b.next(), 22322);
}

TEST(RandomGenerator, ReseedingRepeatsAndStaysInRange) {
    RandomGenerator a(1234567);
    RandomGenerator b(1234567);
    int maxSeen = 0;
    for (int i = 0; i < 200000; ++i) {
        int value = a.next();
        ASSERT_EQ(value, b.next());
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 32767);
        maxSeen = std::max(maxSeen, value);
    }
    EXPECT_EQ(maxSeen, 32767);
}

TEST(NumericHelpers, FloorAndCeilWithTolerance) {
    EXPECT_EQ(floorWithTolerance(2.7F), 2.0F);
    EXPECT_EQ(ceilWithTolerance(2.7F), 3.0F);
    EXPECT_EQ(floorWithTolerance(3.0F), 3.0F);
    EXPECT_EQ(ceilWithTolerance(3.0F), 3.0F);
    // Within the tolerance above an integer the value comes back unchanged.
    EXPECT_EQ(floorWithTolerance(2.0000005F), 2.0000005F);
    EXPECT_EQ(ceilWithTolerance(2.0000005F), 2.0000005F);
    // Negative values come back unchanged.
    EXPECT_EQ(floorWithTolerance(-1.5F), -1.5F);
}

TEST(NumericHelpers, RoundHalfAwayFromZero) {
    EXPECT_EQ(roundHalfAway(2.5F), 3);
    EXPECT_EQ(roundHalfAway(-2.5F), -3);
    EXPECT_EQ(roundHalfAway(2.4999F), 2);
    EXPECT_EQ(roundHalfAway(10.5F), 11);
    EXPECT_EQ(roundHalfAway(3.49F), 3);
    EXPECT_EQ(roundHalfAway(-0.4F), 0);
    EXPECT_EQ(roundHalfAway(-0.6F), -1);
    // Beyond the 32-bit range and NaN: an extreme that lies outside every detector.
    EXPECT_EQ(roundHalfAway(1e20F), INT32_MAX);
    EXPECT_EQ(roundHalfAway(-1e20F), INT32_MIN);
    EXPECT_EQ(roundHalfAway(std::nanf("")), INT32_MAX);
    EXPECT_EQ(roundHalfAway(2147483392.0F), 2147483392);
}

TEST(WindowTest, InclusiveLimitsOnThePixelFraction) {
    EXPECT_TRUE(insideWindow(10.25, 1.0F, 0.0F));
    EXPECT_TRUE(insideWindow(10.25, 0.25F, 0.0F));  // upper limit inclusive
    EXPECT_FALSE(insideWindow(10.26, 0.25F, 0.0F));
    EXPECT_TRUE(insideWindow(10.5, 0.5F, 0.5F));  // lower limit inclusive
    EXPECT_FALSE(insideWindow(10.49, 0.5F, 0.5F));
    EXPECT_DOUBLE_EQ(pixelFraction(7.75), 0.75);
}

TEST(Bilinear, ExactPixelAndHalfway) {
    const std::vector<float> plane = {1, 2, 3, 4, 5, 6};  // 3 wide, 2 rows
    EXPECT_FLOAT_EQ(sampleBilinear<float>(plane, 3, 6, 1.0F, 1.0F), 5.0F);
    EXPECT_FLOAT_EQ(sampleBilinear<float>(plane, 3, 6, 0.5F, 0.0F), 1.5F);
    EXPECT_FLOAT_EQ(sampleBilinear<float>(plane, 3, 6, 0.0F, 0.5F), 2.5F);
    EXPECT_FLOAT_EQ(sampleBilinear<float>(plane, 3, 6, 0.5F, 0.5F), 3.0F);
}

TEST(Bilinear, CornerPastLastColumnReadsNextRowAndBeyondCountIsZero) {
    const std::vector<float> plane = {1, 2, 3, 4, 5, 6};
    // Between column 2 and "column 3", which is the first pixel of the next row.
    EXPECT_FLOAT_EQ(sampleBilinear<float>(plane, 3, 6, 2.5F, 0.0F), 0.5F * 3 + 0.5F * 4);
    // On the last row the corner past the end contributes 0.
    EXPECT_FLOAT_EQ(sampleBilinear<float>(plane, 3, 6, 2.5F, 1.0F), 0.5F * 6);
    // A negative corner index, which only a corrupt coordinate can give, contributes 0.
    const BilinearAxis before{-1, 0, 0.5F};
    const BilinearAxis row{0, 0, 1.0F};
    EXPECT_FLOAT_EQ(sampleBilinear<float>(plane, 3, 6, before, row), 0.5F * 1);
}

TEST(Bilinear, IndexIsExactForWidePlanes) {
    // A 10000-wide plane: the single-precision index of column 9999 in row 5000 would be
    // off by one pixel; the look-up must read exactly that pixel.
    const std::int64_t width = 10000;
    std::vector<std::uint8_t> plane(static_cast<std::size_t>(width * 5001), 0);
    plane[static_cast<std::size_t>(5000 * width + 9999)] = 1;
    auto value = [&](std::int64_t i) { return static_cast<float>(plane[i]); };
    struct View {
        decltype(value)& f;
        float operator[](std::int64_t i) const { return f(i); }
    } view{value};
    EXPECT_FLOAT_EQ(sampleBilinear<float>(view, width, width * 5001, 9999.0F, 5000.0F), 1.0F);
}

}  // namespace
}  // namespace conesim
