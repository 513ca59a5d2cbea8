#include "png/ColourMap.hpp"

#include <cmath>

namespace conesim::tools {

std::vector<std::uint8_t> toDivergingColours(const std::vector<double>& values,
                                             const GreyRange& range, bool logarithmic) {
    std::vector<std::uint8_t> colours(values.size() * 3, 0);
    const GreyRange positive{0.0, range.high, range.offset};
    const GreyRange negative{0.0, -range.low, range.offset};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double v = values[i];
        if (std::isnan(v)) {
            continue;
        }
        const bool below = v < 0.0;
        const double t = below ? rangePosition(-v, negative, logarithmic)
                               : rangePosition(v, positive, logarithmic);
        const auto fade = static_cast<std::uint8_t>(255 - levelOf(t));
        std::uint8_t* pixel = &colours[i * 3];
        pixel[0] = below ? fade : 255;
        pixel[1] = fade;
        pixel[2] = below ? 255 : fade;
    }
    return colours;
}

}  // namespace conesim::tools
