// The diverging colour map for signed images (deflection and refraction planes): white at
// 0, turning to pure blue towards the range's low end and to pure red towards its high end.
#pragma once

#include <cstdint>
#include <vector>

#include "common/GreyScaling.hpp"

namespace conesim::tools {

// Red, green and blue of each value, three bytes per value. A value v >= 0 lies at
// t = its position from 0 to range.high (linear or logarithmic, as rangePosition) and is
// (255, 255 - L, 255 - L) with L = 255 t rounded; a negative value lies at the position of
// -v from 0 to -range.low and is (255 - L, 255 - L, 255). Values beyond the range take its
// end's colour; NaN is black. range.low <= 0 <= range.high.
std::vector<std::uint8_t> toDivergingColours(const std::vector<double>& values,
                                             const GreyRange& range, bool logarithmic);

}  // namespace conesim::tools
