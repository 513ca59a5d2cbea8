// Rounding helpers shared by the photon loop, the masks and the sample transport.
#pragma once

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>

namespace conesim {

inline constexpr double kPixelTolerance = 0.000001;

// The floor of v, except that a value at most 1e-6 above its truncation (and every negative
// value) comes back unchanged.
inline float floorWithTolerance(float v) {
    float t = std::trunc(v);
    return (static_cast<double>(v - t) <= kPixelTolerance) ? v : t;
}

// The ceiling of v, with the same tolerance: v itself when at most 1e-6 above its truncation.
inline float ceilWithTolerance(float v) {
    float t = std::trunc(v);
    return (static_cast<double>(v - t) <= kPixelTolerance) ? v : t + 1.0F;
}

// A divisor fixed for a run. When d is a power of two whose reciprocal is a normal number,
// x * (1 / d) is the same exact quotient as x / d, rounded the same way, and a
// multiplication takes a fraction of the time of a division; whether d is one is decided
// once, here, instead of at every division.
class Divisor {
  public:
    Divisor() = default;
    explicit Divisor(double d) : value_(d), exact_(false) {
        const auto bits = std::bit_cast<std::uint64_t>(d);
        const std::uint64_t exponent = (bits >> 52U) & 0x7FFU;
        if ((bits & 0xFFFFFFFFFFFFFULL) == 0 && exponent >= 1 && exponent <= 2045) {
            const std::uint64_t sign = bits & 0x8000000000000000ULL;
            reciprocal_ = std::bit_cast<double>(sign | ((2046U - exponent) << 52U));
            exact_ = true;
        }
    }
    double divide(double x) const { return exact_ ? x * reciprocal_ : x / value_; }
    double value() const { return value_; }

    bool operator==(const Divisor&) const = default;

  private:
    double value_ = 1.0;
    double reciprocal_ = 1.0;
    bool exact_ = true;
};

// x / d, by multiplication when d is a power of two (see Divisor).
inline double divideExactly(double x, double d) {
    return Divisor(d).divide(x);
}

// Whether a coordinate lies on a grid of size cells: 0 <= u < size, in single precision;
// false for NaN.
inline bool onGrid(float u, std::int64_t size) {
    // Both comparisons without a branch between them: photons fall on either side at random.
    return static_cast<bool>(static_cast<int>(u >= 0.0F) &
                             static_cast<int>(u < static_cast<float>(size)));
}

// Rounds half away from zero: 2.5 -> 3, -2.5 -> -3, 2.4999 -> 2. A value beyond the 32-bit
// range, or NaN (a photon whose direction a corrupt plane destroyed), gives the extreme of
// the range, which lies outside every detector.
inline std::int32_t roundHalfAway(float v) {
    float a = std::fabs(v);
    if (!(a < 2147483520.0F)) {
        return v < 0 ? INT32_MIN : INT32_MAX;
    }
    // Both candidates, then a choice: whether a coordinate rounds up is a coin toss for
    // the photons, which a branch would mispredict half the time.
    const float down = std::trunc(a);
    const float up = std::trunc(a + 1.0F);
    const float n = a - down >= 0.5F ? up : down;
    auto result = static_cast<std::int32_t>(n);
    return v < 0 ? -result : result;
}

}  // namespace conesim
