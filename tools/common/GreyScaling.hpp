// Maps image values to 8-bit grey levels, linearly or logarithmically, between a low and a
// high value (by default the image's own smallest and largest), and signed values to
// positions on either side of 0 for the diverging colour map. No value, however large,
// small or not a number, gives anything but a level from 0 to 255.
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
    double offset = 1.0;  //!< the logarithmic offset d in use, always positive
};

// The range in use: the given bounds, else the smallest and largest finite values.
// defaultOffset is the logarithmic d when none is given; a value <= 0 asks for
// (high - low) / 10000 (at least the smallest normal double, 1 when high = low).
GreyRange rangeOf(const std::vector<double>& values, const GreyScale& scale, double defaultOffset);

// The range of the diverging map, symmetric about 0: -M to M with M the largest finite |v|,
// unless bounds are given (one given bound sets the other to its negative). defaultOffset
// as for rangeOf, with M / 10000 in place of (high - low) / 10000.
GreyRange symmetricRangeOf(const std::vector<double>& values, const GreyScale& scale,
                           double defaultOffset);

// Where v lies from range.low (0) to range.high (1) after clamping it to the range:
// linear (v - low) / (high - low), or logarithmic ln(1 + (v - low) / d) /
// ln(1 + (high - low) / d). 0 for NaN and for a range with high <= low. A span beyond the
// double range is measured in halves, so that no step overflows.
double rangePosition(double v, const GreyRange& range, bool logarithmic);

// Linear: grey = 255 * (v - low) / (high - low); logarithmic: grey =
// 255 * ln(1 + (v - low) / d) / ln(1 + (high - low) / d). Values are first clamped to
// low .. high; halves round up; a range with high = low, and values that are not
// numbers, give 0.
std::vector<std::uint8_t> toGrey(const std::vector<double>& values, const GreyRange& range,
                                 bool logarithmic);

// 255 * t rounded, halves up, for t in 0 .. 1; 0 below and for NaN, 255 above.
std::uint8_t levelOf(double t);

}  // namespace conesim::tools
