// The run's one random generator: PCG32 (XSH-RR output, 64-bit state, the single-stream
// increment 1442695040888963407) from the reference implementation, reduced to the top 15
// bits of each output so that every draw is uniform in 0..32767. The sequence is the same on
// every platform, so a run with a known seed is reproducible bit for bit.
#pragma once

#include <cstdint>
#include <pcg_random.hpp>

namespace conesim {

class RandomGenerator {
  public:
    static constexpr std::int32_t kMax = 32767;  //!< largest value a draw can give

    RandomGenerator() : engine_(0U) {}
    explicit RandomGenerator(std::uint64_t seedValue) : engine_(seedValue) {}

    // The state becomes (seed + c) * a + c, a and c the generator's multiplier and
    // increment.
    void seed(std::uint64_t seedValue) { engine_.seed(seedValue); }

    // One draw in 0..32767.
    std::int32_t next() { return static_cast<std::int32_t>(engine_() >> 17U); }

    // Moves the generator delta draws ahead, exactly as delta calls of next() would, in
    // O(log delta) steps (the state's affine map raised to the power delta by squaring).
    void advance(std::uint64_t delta) { engine_.advance(delta); }

    // Equal generators give equal draws from here on.
    bool operator==(const RandomGenerator& other) const { return engine_ == other.engine_; }

  private:
    pcg32_oneseq engine_;
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
