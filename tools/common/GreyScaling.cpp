#include "common/GreyScaling.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace conesim::tools {

namespace {

// ln(1 + x / d) for x >= 0 and d > 0; where x / d is beyond the double range, ln(x / d)
// taken as ln x - ln d, which is the same to far better than a grey level.
double logStretch(double x, double d) {
    const double q = x / d;
    return std::isfinite(q) ? std::log1p(q) : std::log(x) - std::log(d);
}

// (high - low) / 10000 as the default logarithmic offset, measured in halves when the span
// itself is beyond the double range, and never below the smallest normal double.
double spanOffset(double low, double high) {
    if (!(high > low)) {
        return 1.0;
    }
    const double span = high - low;
    const double offset = std::isfinite(span) ? span / 10000.0 : (high / 2 - low / 2) / 5000.0;
    return std::max(offset, std::numeric_limits<double>::min());
}

void finiteExtremes(const std::vector<double>& values, double& smallest, double& largest) {
    smallest = std::numeric_limits<double>::infinity();
    largest = -std::numeric_limits<double>::infinity();
    for (double v : values) {
        if (std::isfinite(v)) {
            smallest = std::min(smallest, v);
            largest = std::max(largest, v);
        }
    }
    if (smallest > largest) {
        smallest = 0.0;
        largest = 0.0;
    }
}

}  // namespace

GreyRange rangeOf(const std::vector<double>& values, const GreyScale& scale, double defaultOffset) {
    double smallest = 0.0;
    double largest = 0.0;
    finiteExtremes(values, smallest, largest);
    GreyRange range;
    range.low = scale.low.value_or(smallest);
    range.high = scale.high.value_or(largest);
    if (scale.offset) {
        range.offset = *scale.offset;
    } else if (defaultOffset > 0.0) {
        range.offset = defaultOffset;
    } else {
        range.offset = spanOffset(range.low, range.high);
    }
    return range;
}

GreyRange symmetricRangeOf(const std::vector<double>& values, const GreyScale& scale,
                           double defaultOffset) {
    double smallest = 0.0;
    double largest = 0.0;
    finiteExtremes(values, smallest, largest);
    const double magnitude = std::max(std::fabs(smallest), std::fabs(largest));
    GreyRange range;
    range.low = scale.low ? *scale.low : scale.high ? -*scale.high : -magnitude;
    range.high = scale.high ? *scale.high : scale.low ? -*scale.low : magnitude;
    if (scale.offset) {
        range.offset = *scale.offset;
    } else if (defaultOffset > 0.0) {
        range.offset = defaultOffset;
    } else {
        range.offset = spanOffset(0.0, std::max(-range.low, range.high));
    }
    return range;
}

double rangePosition(double v, const GreyRange& range, bool logarithmic) {
    if (std::isnan(v) || !(range.high > range.low)) {
        return 0.0;
    }
    const double clamped = std::clamp(v, range.low, range.high);
    // Halves when the span is beyond the double range; halving is exact for normal numbers.
    const double k = std::isfinite(range.high - range.low) ? 1.0 : 0.5;
    const double above = clamped * k - range.low * k;
    const double span = range.high * k - range.low * k;
    const double t = logarithmic
                         ? logStretch(above, range.offset * k) / logStretch(span, range.offset * k)
                         : above / span;
    return std::isfinite(t) ? std::clamp(t, 0.0, 1.0) : 0.0;
}

std::uint8_t levelOf(double t) {
    if (!(t > 0.0)) {
        return 0;  // also NaN
    }
    return static_cast<std::uint8_t>(std::clamp(std::floor(255.0 * t + 0.5), 0.0, 255.0));
}

std::vector<std::uint8_t> toGrey(const std::vector<double>& values, const GreyRange& range,
                                 bool logarithmic) {
    std::vector<std::uint8_t> grey(values.size(), 0);
    for (std::size_t i = 0; i < values.size(); ++i) {
        grey[i] = levelOf(rangePosition(values[i], range, logarithmic));
    }
    return grey;
}

}  // namespace conesim::tools
