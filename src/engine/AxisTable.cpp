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
        float preMask = 0.0F;
        double detector = 0.0;
        flags_[i] = preMaskFlags(tangent, 0.0, axis, preMask) |
                    beyondMaskFlags(tangent, 0.0, axis, detector);
        pixels_[i] = encodePixel(roundHalfAway(static_cast<float>(detector)));
    }
}

}  // namespace conesim
