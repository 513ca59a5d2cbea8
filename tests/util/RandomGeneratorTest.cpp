#include <gtest/gtest.h>

#include <cstdint>

#include "util/RandomGenerator.hpp"

namespace conesim {
namespace {

TEST(RandomGenerator, AdvanceEqualsThatManyDraws) {
    for (std::uint64_t delta : {0ULL, 1ULL, 2ULL, 3ULL, 1000ULL, 65537ULL}) {
        RandomGenerator stepped(99);
        for (std::uint64_t i = 0; i < delta; ++i) {
            stepped.next();
        }
        RandomGenerator jumped(99);
        jumped.advance(delta);
        EXPECT_EQ(jumped.state(), stepped.state()) << delta;
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
    EXPECT_EQ(once.state(), inSteps.state());
    // The period is 2^64: a full turn (two half turns) comes back to the start.
    RandomGenerator turned(5);
    turned.advance(1ULL << 63);
    EXPECT_NE(turned.state(), RandomGenerator(5).state());
    turned.advance(1ULL << 63);
    EXPECT_EQ(turned.state(), RandomGenerator(5).state());
}

}  // namespace
}  // namespace conesim
