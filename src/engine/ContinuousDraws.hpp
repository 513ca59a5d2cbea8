// Continuous variates from the run's 15-bit draws: each uniform takes two draws (30 bits),
// so that no step of 1/32768 shows in a spot, a blur or the choice among more than 32768
// spectrum entries. The draws are made in the order written here: a caller's place in the
// photon's draw sequence is therefore fixed.
#pragma once

#include <cmath>
#include <cstdint>

#include "util/RandomGenerator.hpp"

namespace conesim {

inline constexpr std::uint32_t kDrawsPer30Bits = 2;
inline constexpr std::uint32_t kDrawsPerGaussianPair = 2 * kDrawsPer30Bits;

// An index from 0 to count - 1 (count >= 1), each with probability 1/count to within
// count/2^30: floor(u * count) for a 30-bit uniform u.
inline std::size_t drawIndex(RandomGenerator& random, std::size_t count) {
    const std::uint64_t bits = draw30Bits(random);
    return static_cast<std::size_t>((bits * static_cast<std::uint64_t>(count)) >> 30U);
}

// Two independent standard normal variates.
struct GaussianPair {
    double first;
    double second;
};

// cos and sin of a 30-bit phase, the angle 2 pi bits / 2^30, to within a few units in the
// last place, with short chains of operations: the phase is split exactly, in integers,
// into the nearest of 64 steps around the circle, whose cos and sin a table holds, and a
// rest of at most pi/64, whose cos and sin follow from their Taylor series to the 8th and
// 7th power (the first terms left out are below 1e-16); the angle-sum formulas join them.
struct CircleDirection {
    double cos;
    double sin;
};

namespace circle {

inline constexpr int kSteps = 64;

// cos and sin of 2 pi k / 64 for k = 0 .. 63, from the Taylor series of the angle folded into
// the first eighth of a turn (converged to the last bit long before the series ends).
constexpr CircleDirection stepDirection(int k) {
    constexpr double kPi = 3.141592653589793;
    // k = 16 * quarter + o; an o beyond the eighth turn (8) folds onto 16 - o, with cos and
    // sin swapped.
    const int quarter = k / 16;
    int o = k % 16;
    const bool swap = o > 8;
    if (swap) {
        o = 16 - o;
    }
    const double x = kPi / 32.0 * o;  // at most pi/4
    double c = 0.0;
    double s = 0.0;
    double term = 1.0;
    for (int n = 0; n < 40; ++n) {  // term = x^n / n!
        if (n % 4 == 0) {
            c += term;
        } else if (n % 4 == 1) {
            s += term;
        } else if (n % 4 == 2) {
            c -= term;
        } else {
            s -= term;
        }
        term = term * x / (n + 1);
    }
    double along = swap ? s : c;
    double across = swap ? c : s;
    // Turning by quarter turns: (c, s), (-s, c), (-c, -s), (s, -c).
    switch (quarter) {
        case 1:
            return {-across, along};
        case 2:
            return {-along, -across};
        case 3:
            return {across, -along};
        default:
            return {along, across};
    }
}

struct StepTable {
    CircleDirection step[kSteps];
};
constexpr StepTable makeStepTable() {
    StepTable table{};
    for (int k = 0; k < kSteps; ++k) {
        table.step[k] = stepDirection(k);
    }
    return table;
}
inline constexpr StepTable kStepTable = makeStepTable();

}  // namespace circle

inline CircleDirection circleDirection(std::uint32_t bits) {
    constexpr double kRadiansPerBit = 6.283185307179586 / 1073741824.0;  // 2 pi / 2^30
    const std::uint32_t nearest = (bits + (1U << 23U)) >> 24U;           // 0 .. 64
    const auto rest = static_cast<std::int32_t>(bits) - static_cast<std::int32_t>(nearest << 24U);
    const double x = static_cast<double>(rest) * kRadiansPerBit;  // -pi/64 .. pi/64
    const double x2 = x * x;
    const double s = x * (1.0 + x2 * (-1.0 / 6.0 + x2 * (1.0 / 120.0 - x2 * (1.0 / 5040.0))));
    const double c =
        1.0 + x2 * (-0.5 + x2 * (1.0 / 24.0 + x2 * (-1.0 / 720.0 + x2 * (1.0 / 40320.0))));
    const CircleDirection& step = circle::kStepTable.step[nearest & (circle::kSteps - 1)];
    return {step.cos * c - step.sin * s, step.sin * c + step.cos * s};
}

// Box-Muller from two 30-bit uniforms: u1 in (0, 1] (never log(0)) for the radius, then a
// phase of 30 bits. The largest value is sqrt(2 ln 2^30), about 6.45: the tails beyond it
// (2e-10 of all draws) are cut off.
inline GaussianPair drawGaussianPair(RandomGenerator& random) {
    constexpr double kStep = 1.0 / 1073741824.0;  // 2^-30
    const double u1 = (static_cast<double>(draw30Bits(random)) + 1.0) * kStep;
    const CircleDirection direction = circleDirection(draw30Bits(random));
    const double radius = std::sqrt(-2.0 * std::log(u1));
    return {radius * direction.cos, radius * direction.sin};
}

// The standard deviation of a Gaussian of full width fwhm at half maximum.
inline double sigmaOfFwhm(double fwhm) {
    return fwhm / (2.0 * std::sqrt(2.0 * std::log(2.0)));
}

}  // namespace conesim
