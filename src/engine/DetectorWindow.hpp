// The window test on a detector coordinate: which fraction of each pixel lets photons
// through (the coded-aperture window on the undeflected path, the sensitive area on the
// deflected one).
#pragma once

#include <cmath>

#include "util/NumericHelpers.hpp"

namespace conesim {

// The value a pixel fraction is measured from. From coordinate 0 on, floorWithTolerance:
// the integer below, or the coordinate itself when it lies at most 1e-6 above that integer.
// Below 0, where the outer half of pixel 0 lies (the cone reaches the detector's outer
// edge), the floor with the same tolerance, so that the windows repeat every pixel on both
// sides of 0 instead of testing a rounding error there.
inline float fractionFloor(float v) {
    if (v >= 0.0F) {
        return floorWithTolerance(v);
    }
    const float f = std::floor(v);
    return static_cast<double>(v - f) <= kPixelTolerance ? v : f;
}

// Pixel fraction of a detector coordinate: u - fractionFloor(u as float).
inline double pixelFraction(double u) {
    return u - static_cast<double>(fractionFloor(static_cast<float>(u)));
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
