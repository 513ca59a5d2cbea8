#include <gtest/gtest.h>

#include <cstdint>

#include "util/RandomGenerator.hpp"

namespace conesim {
namespace {

// The draws that the generator gave before it was the reference implementation's (every
// stored seed's images depend on them): seed 42, a jump of 1000000007 draws, seed 0.
TEST(RandomGenerator, GivesTheStreamOfEarlierRuns) {
    RandomGenerator random(42);
    for (std::int32_t draw : {24954, 13699, 14683, 8720, 31447, 13407}) {
        EXPECT_EQ(random.next(), draw);
    }
    random.advance(1000000007ULL);
    EXPECT_EQ(random.next(), 24004);
    EXPECT_EQ(random.next(), 4416);
    RandomGenerator unseeded;
    EXPECT_EQ(unseeded.next(), 29713);
    EXPECT_EQ(unseeded.next(), 15679);
}

TEST(RandomGenerator, AdvanceEqualsThatManyDraws) {
    for (std::uint64_t delta : {0ULL, 1ULL, 2ULL, 3ULL, 1000ULL, 65537ULL}) {
        RandomGenerator stepped(99);
        for (std::uint64_t i = 0; i < delta; ++i) {
            stepped.next();
        }
        RandomGenerator jumped(99);
        jumped.advance(delta);
        EXPECT_TRUE(jumped == stepped) << delta;
        EXPECT_EQ(jumped.next(), stepped.next());
    }
}

TEST(RandomGenerator, AdvanceComposesAndWrapsAroundThePeriod) {
    RandomGenerator once(5);
    once.advance((1ULL << 53) * 3 + 17);
    RandomGenerator inSteps(5);
    inSteps.advance(1ULL << 53);
    inSteps.advance(17);
    inSteps.advance(1ULL << 54);
    EXPECT_TRUE(once == inSteps);
    // The period is 2^64: a full turn (two half turns) comes back to the start.
    RandomGenerator turned(5);
    turned.advance(1ULL << 63);
    EXPECT_FALSE(turned == RandomGenerator(5));
    turned.advance(1ULL << 63);
    EXPECT_TRUE(turned == RandomGenerator(5));
}

}  // namespace
}  // namespace conesim
