#include <gtest/gtest.h>

#include <climits>
#include <cmath>

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

}  // namespace
}  // namespace conesim
