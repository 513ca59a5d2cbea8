// The change of direction of a ray crossing a tilted boundary between two refractive
// indices: Snell's law nBefore * sin(theta) = nAfter * sin(theta'), deviation theta' - theta.
#pragma once

#include <cmath>

namespace conesim {

// Interface angles strictly between -0.25 and 0.25 rad do not refract.
inline constexpr double kRefractionThreshold = 0.25;

inline bool interfaceRefracts(double theta) {
    return !(theta > -kRefractionThreshold && theta < kRefractionThreshold);
}

// theta' - theta for a ray entering the boundary at interface angle theta.
// At grazing incidence onto a less dense medium sin(theta) * nBefore / nAfter can exceed 1
// in magnitude, where Snell's law has no real solution (total internal reflection). The
// argument is then clamped to [-1, 1]: the ray leaves the boundary grazing it, at
// asin(+-1) = +-pi/2. This keeps the deflection finite and continuous with the values just
// below the critical angle, and no NaN can reach a deflection plane.
inline double snellDeflection(double theta, double nBefore, double nAfter) {
    double sine = std::sin(theta) * nBefore / nAfter;
    if (sine > 1.0) {
        sine = 1.0;
    } else if (sine < -1.0) {
        sine = -1.0;
    }
    return std::asin(sine) - theta;
}

}  // namespace conesim
