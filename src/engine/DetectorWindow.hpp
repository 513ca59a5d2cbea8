// The window test on a detector coordinate: which fraction of each pixel lets photons
// through (the coded-aperture window on the undeflected path, the sensitive area on the
// deflected one).
#pragma once

#include "util/NumericHelpers.hpp"

namespace conesim {

// Pixel fraction of a detector coordinate: u - floorWithTolerance(u as float).
inline double pixelFraction(double u) {
    return u - static_cast<double>(floorWithTolerance(static_cast<float>(u)));
}

// The window test of a pixel fraction: 0 <= fraction - offset <= pif.
inline bool fractionInWindow(double fraction, float pif, float offset) {
    const double shifted = fraction - static_cast<double>(offset);
    // Both limits without a branch between them: photons fall on either side at random.
    return static_cast<bool>(static_cast<int>(shifted >= 0.0) &
                             static_cast<int>(shifted <= static_cast<double>(pif)));
}

// The window test of one coordinate: 0 <= frac - offset <= pif.
inline bool insideWindow(double coordinate, float pif, float offset) {
    return fractionInWindow(pixelFraction(coordinate), pif, offset);
}

}  // namespace conesim
