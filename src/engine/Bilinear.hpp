// Bilinear look-up in a row-major plane, shared by the masks and the sample planes.
#pragma once

#include <cmath>
#include <cstdint>

#include "util/NumericHelpers.hpp"

namespace conesim {

// The two neighbouring grid lines of one coordinate and the weight of the upper one.
struct BilinearAxis {
    std::int64_t low;   //!< index of the lower grid line (the coordinate truncated)
    std::int64_t high;  //!< index of the upper grid line
    float fraction;     //!< weight of the upper line; 1 when the coordinate is on a line
};

// u must be >= 0. A coordinate within 1e-6 above a grid line puts all weight on it.
inline BilinearAxis bilinearAxis(float u) {
    float t = std::trunc(u);
    float fraction = u - t;
    bool onLine = static_cast<double>(fraction) <= kPixelTolerance;
    float low = onLine ? u : t;
    float high = onLine ? u : t + 1.0F;
    // Corner indices are formed exactly in integers: the coordinates lie far below 2^24 per
    // axis, so truncating each coordinate gives the same pixel as truncating the sum.
    return {static_cast<std::int64_t>(low), static_cast<std::int64_t>(high),
            onLine ? 1.0F : fraction};
}

// Interpolated value at (column axis u, row axis v). A corner at or beyond count adds 0;
// there is no clamping across columns, so a corner past the last column reads the next row.
// A negative index (callers keep coordinates >= 0; only a corrupt value gets there) adds 0
// too: compared unsigned, it lies beyond every count.
template <typename Value, typename Plane>
inline Value sampleBilinear(const Plane& plane, std::int64_t width, std::int64_t count,
                            const BilinearAxis& u, const BilinearAxis& v) {
    if (count <= 0) {
        return Value{0};
    }
    // A corner beyond the plane reads element 0 and is then replaced by 0, so that the
    // choice is a select rather than a branch (corners beyond the edge come at random).
    auto at = [&](std::int64_t column, std::int64_t row) -> Value {
        const std::int64_t index = width * row + column;
        const bool inside = static_cast<std::uint64_t>(index) < static_cast<std::uint64_t>(count);
        const auto value = static_cast<Value>(plane[inside ? index : 0]);
        return inside ? value : Value{0};
    };
    float fu = u.fraction;
    float fv = v.fraction;
    Value sum{0};
    sum += static_cast<Value>((1.0F - fu) * fv) * at(u.low, v.high);
    sum += static_cast<Value>(fu * fv) * at(u.high, v.high);
    sum += static_cast<Value>((1.0F - fu) * (1.0F - fv)) * at(u.low, v.low);
    sum += static_cast<Value>(fu * (1.0F - fv)) * at(u.high, v.low);
    return sum;
}

template <typename Value, typename Plane>
inline Value sampleBilinear(const Plane& plane, std::int64_t width, std::int64_t count, float u,
                            float v) {
    return sampleBilinear<Value>(plane, width, count, bilinearAxis(u), bilinearAxis(v));
}

}  // namespace conesim
