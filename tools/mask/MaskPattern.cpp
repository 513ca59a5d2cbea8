#include "mask/MaskPattern.hpp"

#include <cmath>
#include <sstream>

namespace conesim::tools {

std::string MaskPattern::describe() const {
    std::ostringstream text;
    switch (kind) {
        case PatternKind::Grating:
            text << "grating period " << period << " aperture " << aperture << " offset " << offset
                 << (vertical ? " vertical" : " horizontal");
            break;
        case PatternKind::Uniform:
            text << (opaque ? "uniform opaque" : "uniform clear");
            break;
        case PatternKind::Random:
            text << "random clear fraction " << clearFraction << " seed " << seed;
            break;
    }
    if (invert) {
        text << " inverted";
    }
    return text.str();
}

MaskRows::MaskRows(const MaskPattern& pattern, std::int64_t size)
    : pattern_(pattern), size_(size), generator_(pattern.seed) {
    pixelsLeft_ = static_cast<std::uint64_t>(size) * static_cast<std::uint64_t>(size);
    clearLeft_ = static_cast<std::uint64_t>(
        std::llround(pattern.clearFraction * static_cast<double>(pixelsLeft_)));
    if (clearLeft_ > pixelsLeft_) {
        clearLeft_ = pixelsLeft_;
    }
}

// Selection sampling: each pixel is clear with probability (clear pixels left) / (pixels
// left), which places exactly the requested number of clear pixels, uniformly at random.
bool MaskRows::randomClear() {
    const auto high = static_cast<std::uint64_t>(generator_.next());
    const auto low = static_cast<std::uint64_t>(generator_.next());
    const std::uint64_t draw = (high << 15U) | low;  // uniform in 0 .. 2^30 - 1
    const bool clear = draw * pixelsLeft_ < (clearLeft_ << 30U);
    --pixelsLeft_;
    if (clear) {
        --clearLeft_;
    }
    return clear;
}

void MaskRows::next(std::vector<std::uint8_t>& row) {
    row.assign(static_cast<std::size_t>(size_), 0);
    for (std::int64_t column = 0; column < size_; ++column) {
        bool clear = false;
        switch (pattern_.kind) {
            case PatternKind::Grating: {
                const std::int64_t u = pattern_.vertical ? column : row_;
                std::int64_t phase = (u - pattern_.offset) % pattern_.period;
                if (phase < 0) {
                    phase += pattern_.period;
                }
                clear = phase < pattern_.aperture;
                break;
            }
            case PatternKind::Uniform:
                clear = !pattern_.opaque;
                break;
            case PatternKind::Random:
                clear = randomClear();
                break;
        }
        if (pattern_.invert) {
            clear = !clear;
        }
        row[static_cast<std::size_t>(column)] = clear ? 0 : 1;
    }
    ++row_;
}

}  // namespace conesim::tools
