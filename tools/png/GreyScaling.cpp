#include "png/GreyScaling.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace conesim::tools {

GreyRange rangeOf(const std::vector<double>& values, const GreyScale& scale, double defaultOffset) {
    double smallest = std::numeric_limits<double>::infinity();
    double largest = -std::numeric_limits<double>::infinity();
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
    GreyRange range;
    range.low = scale.low.value_or(smallest);
    range.high = scale.high.value_or(largest);
    if (scale.offset) {
        range.offset = *scale.offset;
    } else if (defaultOffset > 0.0) {
        range.offset = defaultOffset;
    } else {
        range.offset = range.high > range.low ? (range.high - range.low) / 10000.0 : 1.0;
    }
    return range;
}

std::vector<std::uint8_t> toGrey(const std::vector<double>& values, const GreyRange& range,
                                 bool logarithmic) {
    std::vector<std::uint8_t> grey(values.size(), 0);
    const double span = range.high - range.low;
    if (!(span > 0.0)) {
        return grey;
    }
    const double logSpan = std::log1p(span / range.offset);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double v = values[i];
        if (std::isnan(v)) {
            continue;
        }
        const double above = std::clamp(v, range.low, range.high) - range.low;
        const double t = logarithmic ? std::log1p(above / range.offset) / logSpan : above / span;
        grey[i] = static_cast<std::uint8_t>(std::clamp(std::floor(255.0 * t + 0.5), 0.0, 255.0));
    }
    return grey;
}

}  // namespace conesim::tools
