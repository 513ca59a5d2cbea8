#include "engine/AxisTable.hpp"

#include <cmath>

#include "util/NumericHelpers.hpp"

namespace conesim {

AxisTable::AxisTable(const AxisGeometry& axis)
    : halfAngle_(axis.halfAngle), flags_(kEntries), pixels_(kEntries) {
    std::vector<double> all(kEntries);
    for (std::size_t i = 0; i < kEntries; ++i) {
        all[i] = std::tan(angle(i));
        mirrored_ = mirrored_ && ((i & 1U) == 0 || all[i] == -all[i - 1]);
    }
    if (mirrored_) {
        tangents_.resize(kEntries / 2);
        for (std::size_t m = 0; m < kEntries / 2; ++m) {
            tangents_[m] = all[2 * m];
        }
    } else {
        tangents_ = std::move(all);
    }
    for (std::size_t i = 0; i < kEntries; ++i) {
        const double tangent = this->tangent(i);

        const double coordinate = detectorCoordinate(tangent, 0.0, axis);
        std::uint8_t flags = 0;
        if (insideWindow(coordinate, axis.aperturePif, axis.apertureOffset)) {
            flags |= kAperture;
        }
        if (insideWindow(coordinate, axis.detectorPif, axis.detectorOffset)) {
            flags |= kDetector;
        }
        if (onGrid(maskCoordinate(tangent, 0.0, axis.preMask), axis.preMask.size)) {
            flags |= kOnPreMask;
        }
        if (onGrid(
                sampleCoordinate(tangent, 0.0, axis.sampleMid, axis.sampleScale, axis.sampleSize),
                axis.sampleSize)) {
            flags |= kOnSample;
        }
        flags_[i] = flags;
        pixels_[i] = encodePixel(roundHalfAway(static_cast<float>(coordinate)));
    }
}

}  // namespace conesim
