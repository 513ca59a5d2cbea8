// Maps image values to 8-bit grey levels, linearly or logarithmically, between a low and a
// high value (by default the image's own smallest and largest).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace conesim::tools {

struct GreyScale {
    bool logarithmic = false;
    std::optional<double> low;     //!< --min; the smallest value when unset
    std::optional<double> high;    //!< --max; the largest value when unset
    std::optional<double> offset;  //!< --log-offset d
};

struct GreyRange {
    double low = 0.0;
    double high = 0.0;
    double offset = 1.0;  //!< the logarithmic offset d in use
};

// The range in use: the given bounds, else the smallest and largest finite values.
// defaultOffset is the logarithmic d when none is given; a value <= 0 asks for
// (high - low) / 10000.
GreyRange rangeOf(const std::vector<double>& values, const GreyScale& scale, double defaultOffset);

// Linear: grey = 255 * (v - low) / (high - low); logarithmic: grey =
// 255 * ln(1 + (v - low) / d) / ln(1 + (high - low) / d). Values are first clamped to
// low .. high; halves round up; a range with high = low, and values that are not
// numbers, give 0.
std::vector<std::uint8_t> toGrey(const std::vector<double>& values, const GreyRange& range,
                                 bool logarithmic);

}  // namespace conesim::tools
