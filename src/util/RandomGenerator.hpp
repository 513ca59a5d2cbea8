// The run's one random generator: PCG32 (XSH-RR output, 64-bit state), reduced to the
// top 15 bits of each output so that every draw is uniform in 0..32767. The sequence is
// the same on every platform, so a run with a known seed is reproducible bit for bit.
#pragma once

#include <cstdint>

namespace conesim {

class RandomGenerator {
  public:
    static constexpr std::int32_t kMax = 32767;  //!< largest value a draw can give

    RandomGenerator() { seed(0); }
    explicit RandomGenerator(std::uint64_t seedValue) { seed(seedValue); }

    void seed(std::uint64_t seedValue) {
        state_ = 0;
        step();
        state_ += seedValue;
        step();
    }

    // One draw in 0..32767.
    std::int32_t next() { return static_cast<std::int32_t>(nextOutput() >> 17); }

    std::uint64_t state() const { return state_; }

    // Moves the generator delta draws ahead, exactly as delta calls of next() would, in
    // O(log delta) steps: the state follows s -> M s + C, so delta steps are one affine map
    // M^delta s + C (M^delta - 1) / (M - 1), built by squaring.
    void advance(std::uint64_t delta) {
        std::uint64_t accMultiplier = 1;
        std::uint64_t accIncrement = 0;
        std::uint64_t multiplier = kMultiplier;
        std::uint64_t increment = kIncrement;
        while (delta > 0) {
            if ((delta & 1U) != 0) {
                accMultiplier *= multiplier;
                accIncrement = accIncrement * multiplier + increment;
            }
            increment = (multiplier + 1) * increment;
            multiplier *= multiplier;
            delta >>= 1U;
        }
        state_ = accMultiplier * state_ + accIncrement;
    }

  private:
    static constexpr std::uint64_t kMultiplier = 6364136223846793005ULL;
    static constexpr std::uint64_t kIncrement = 1442695040888963407ULL;

    void step() { state_ = state_ * kMultiplier + kIncrement; }

    std::uint32_t nextOutput() {
        std::uint64_t old = state_;
        step();
        auto xorshifted = static_cast<std::uint32_t>(((old >> 18U) ^ old) >> 27U);
        auto rot = static_cast<std::uint32_t>(old >> 59U);
        return (xorshifted >> rot) | (xorshifted << ((-rot) & 31U));
    }

    std::uint64_t state_ = 0;
};

// A 30-bit uniform from two draws, the first giving the high 15 bits: u = d1 * 32768 + d2,
// 0 .. 2^30 - 1. Every probability and every continuous choice of a photon is made from
// such a u, so that no step of 1/32768 shows in an image.
inline std::uint32_t draw30Bits(RandomGenerator& random) {
    const auto high = static_cast<std::uint32_t>(random.next());
    const auto low = static_cast<std::uint32_t>(random.next());
    return (high << 15U) | low;
}

// The mid-point of u's step in (0, 1): (u + 0.5) / 2^30, exact in double precision.
inline double unitMidpoint(std::uint32_t u) {
    return (static_cast<double>(u) + 0.5) * (1.0 / 1073741824.0);
}

}  // namespace conesim
