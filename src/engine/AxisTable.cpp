#include "engine/AxisTable.hpp"

#include <cmath>

#include "util/NumericHelpers.hpp"

namespace conesim {
namespace {

// Which side of the interval 0 <= c < size a coordinate lies on, as onGrid compares it.
std::int8_t gridSide(float c, std::int64_t size) {
    if (!(c >= 0.0F)) {
        return -1;
    }
    return c < static_cast<float>(size) ? 0 : 1;
}

// Which side of a window a pixel fraction lies on, as fractionInWindow compares it.
std::int8_t windowSide(double fraction, float pif, float offset) {
    const double shifted = fraction - static_cast<double>(offset);
    if (!(shifted >= 0.0)) {
        return -1;
    }
    return shifted <= static_cast<double>(pif) ? 0 : 1;
}

// Everything a u decides on one axis, in a form in which equal keys at both ends of a bin
// mean equal results for every u between them: each result is an interval test on a
// quantity that grows (or falls) with u, so only the side of each interval matters; the
// window tests also need the same pixel floor at both ends, outside the tolerance zone
// just above an integer, where the fraction is not a growing function of u.
struct EdgeKey {
    std::int8_t preMaskSide;
    std::int8_t sampleSide;
    std::int8_t apertureSide;
    std::int8_t detectorSide;
    float floor;
    bool clean;
    std::int32_t pixel;

    bool operator==(const EdgeKey&) const = default;
};

EdgeKey edgeKey(double tangent, const AxisGeometry& axis) {
    const double detector = detectorCoordinate(tangent, 0.0, axis);
    const auto narrowed = static_cast<float>(detector);
    const float floor = fractionFloor(narrowed);
    const double fraction = detector - static_cast<double>(floor);
    return EdgeKey{gridSide(maskCoordinate(tangent, 0.0, axis.preMask), axis.preMask.size),
                   gridSide(sampleCoordinate(tangent, 0.0, axis.sampleMid, axis.sampleScale,
                                             axis.sampleCentre),
                            axis.sampleSize),
                   windowSide(fraction, axis.aperturePif, axis.apertureOffset),
                   windowSide(fraction, axis.detectorPif, axis.detectorOffset),
                   floor,
                   static_cast<double>(narrowed - floor) > kPixelTolerance,
                   roundHalfAway(narrowed)};
}

}  // namespace

AxisTable::AxisTable(const AxisGeometry& axis) : cone_(axis.cone) {
    constexpr std::uint32_t kBins = 1U << (30U - kBinShift);
    constexpr std::uint32_t kBinWidth = 1U << kBinShift;
    flags_.resize(kBins);
    pixels_.resize(kBins);
    preMaskCells_.assign(kBins, -1);
    for (std::uint32_t bin = 0; bin < kBins; ++bin) {
        const std::uint32_t first = bin * kBinWidth;
        const double tangent = this->tangent(first);
        const EdgeKey low = edgeKey(tangent, axis);
        const EdgeKey high = edgeKey(this->tangent(first + kBinWidth - 1), axis);
        if (!(low == high) || !low.clean) {
            flags_[bin] = kExact;
            pixels_[bin] = kFarPixel;
            continue;
        }
        float preMask = 0.0F;
        double detector = 0.0;
        flags_[bin] = preMaskFlags(tangent, 0.0, axis, preMask) |
                      beyondMaskFlags(tangent, 0.0, axis, detector);
        pixels_[bin] = encodePixel(low.pixel);
        // The cell of a coordinate on the mask (0 <= c < size, below 2^15) is its truncation.
        float lastPreMask = 0.0F;
        preMaskFlags(this->tangent(first + kBinWidth - 1), 0.0, axis, lastPreMask);
        if ((flags_[bin] & kOnPreMask) != 0 && std::trunc(preMask) == std::trunc(lastPreMask) &&
            preMask < 32767.0F) {
            preMaskCells_[bin] = static_cast<std::int16_t>(preMask);
        }
    }
}

double AxisTable::exactShare() const {
    std::size_t exact = 0;
    for (const std::uint8_t flags : flags_) {
        exact += (flags & kExact) != 0 ? 1U : 0U;
    }
    return static_cast<double>(exact) / static_cast<double>(flags_.size());
}

}  // namespace conesim
