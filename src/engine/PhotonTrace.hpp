// One photon through the whole chain: emission, pre-sample mask, coded-aperture window,
// sample plane, post-sample mask, sensitive-area window, rounding, dithering, quantum
// efficiency and the detector bounds, with the laboratory effects a run switches on (focal
// spot, photon energy, detector blur). The photon's state lives here and nowhere else; the
// caller counts, reports and writes images. Inline: every loop calls it once per photon.
#pragma once

#include <cstdint>
#include <type_traits>

#include "engine/ContinuousDraws.hpp"
#include "engine/PhotonSetup.hpp"
#include "util/NumericHelpers.hpp"
#include "util/RandomGenerator.hpp"

namespace conesim {

// What happened to one photon.
struct PhotonOutcome {
    bool counted = false;    //!< passed the sensitive-area test (counts under countHitsOnly)
    bool scored = false;     //!< counted on the detector, at pixel
    std::int64_t pixel = 0;  //!< row * width + column of a scored photon
};

namespace trace {

// Column and row change of each dither draw (draw mod 25).
struct DitherStep {
    std::int8_t column;
    std::int8_t row;
};
inline constexpr DitherStep kDither[25] = {
    {1, 1},  {-1, 1}, {1, -1}, {-1, -1}, {1, 0},  {1, 0},  {1, 0},  {-1, 0}, {-1, 0},
    {-1, 0}, {1, 0},  {1, 0},  {1, 0},   {-1, 0}, {-1, 0}, {-1, 0}, {0, 0},  {0, 0},
    {0, 0},  {0, 0},  {0, 0},  {0, 0},   {0, 0},  {0, 0},  {0, 0}};

// One axis of the current photon after the sample: the tangent of its path, and whether
// its path is its own (deflected, or leaving from a point of the focal spot), so that the
// table's detector results no longer apply.
struct AxisState {
    double tangent;
    bool ownPath;
};

// The sensitive-area test of one axis. A path the table describes takes the table's result
// and its rounded pixel; any other path is tested on its own detector coordinate, which
// undeflected holds when it is already known (the path of a displaced photon that nothing
// deflected, whose flags then hold the result). With blurred set, coordinate receives the
// detector coordinate and pixel is left alone: the blur moves the coordinate before it is
// rounded.
inline bool detectorAxis(const AxisState& state, const AxisTable& table, std::size_t index,
                         std::uint8_t flags, double offset, const AxisGeometry& axis,
                         const double* undeflected, bool blurred, double& coordinate,
                         std::int64_t& pixel) {
    if (!state.ownPath) {
        if (blurred) {
            coordinate = detectorCoordinate(state.tangent, 0.0, axis);
        } else {
            pixel = table.pixel(index);
        }
        return (flags & AxisTable::kDetector) != 0;
    }
    if (undeflected != nullptr) {
        if ((flags & AxisTable::kDetector) == 0) {
            return false;
        }
        coordinate = *undeflected;
    } else {
        coordinate = detectorCoordinate(state.tangent, offset, axis);
        if (!insideWindow(coordinate, axis.detectorPif, axis.detectorOffset)) {
            return false;
        }
    }
    if (!blurred) {
        pixel = roundHalfAway(static_cast<float>(coordinate));
    }
    return true;
}

// One direction index: a magnitude draw, then a sign draw.
inline std::size_t drawDirection(RandomGenerator& random) {
    const std::int32_t magnitude = random.next();
    const std::int32_t sign = random.next();
    return AxisTable::index(magnitude, sign);
}

// The chain for one photon. kEffects false: the plain chain, which never looks at the
// effects; true: the effects the set-up switches on. The draws come in this order: LR
// direction (magnitude, sign), UD direction, focal spot (two 30-bit uniforms giving the LR
// and UD offsets), energy (one 30-bit uniform), pre-sample mask, sample (absorption,
// undeflected passage), post-sample mask, detector blur (two 30-bit uniforms giving the LR
// and UD displacements), dithering, quantum efficiency; each only when the photon gets there
// and the effect or test applies.
template <bool kEffects>
inline PhotonOutcome tracePhotonWith(const PhotonSetup& s, const AxisTable& tableX,
                                     const AxisTable& tableY, RandomGenerator& random) {
    PhotonOutcome outcome;
    const std::size_t ix = drawDirection(random);
    const std::size_t iy = drawDirection(random);
    PhotonState photon;
    std::conditional_t<kEffects, EnergyFactors, PlaneEnergy> energy{};
    bool displacedX = false;
    bool displacedY = false;
    bool blurred = false;
    if constexpr (kEffects) {
        const PhotonEffects& effects = s.effects;
        if (effects.focalSpot) {
            const GaussianPair offsets = drawGaussianPair(random);
            displacedX = effects.spotSigmaX > 0.0;
            displacedY = effects.spotSigmaY > 0.0;
            if (displacedX) {
                photon.offsetX = effects.spotSigmaX * offsets.first;
            }
            if (displacedY) {
                photon.offsetY = effects.spotSigmaY * offsets.second;
            }
        }
        energy = kUnitEnergyFactors;
        if (effects.photonEnergy) {
            energy = effects.energyFactors[drawIndex(random, effects.energyFactors.size())];
        }
        blurred = effects.blur;
    }
    // A photon from a point of the focal spot has its own undeflected path along a displaced
    // axis: the table's tests are made on it instead, by the functions the table is built
    // from, the pre-sample mask first (a photon it stops needs no more).
    AxisState sx{0.0, displacedX};
    AxisState sy{0.0, displacedY};
    std::uint8_t flagsX = 0;
    std::uint8_t flagsY = 0;
    float preMaskU = 0.0F;
    float preMaskV = 0.0F;
    double undeflectedX = 0.0;  // detector coordinates of a displaced photon's own path
    double undeflectedY = 0.0;
    if (displacedX) {
        sx.tangent = tableX.tangent(ix);
        if (s.preMaskActive) {
            flagsX = AxisTable::preMaskFlags(sx.tangent, photon.offsetX, s.axisX, preMaskU);
        }
    } else {
        flagsX = tableX.flags(ix);
    }
    if (displacedY) {
        sy.tangent = tableY.tangent(iy);
        if (s.preMaskActive) {
            flagsY = AxisTable::preMaskFlags(sy.tangent, photon.offsetY, s.axisY, preMaskV);
        }
    } else {
        flagsY = tableY.flags(iy);
    }
    if (s.preMaskActive && (flagsX & flagsY & AxisTable::kOnPreMask) != 0) {
        if (!displacedX) {
            preMaskU = maskCoordinate(tableX.tangent(ix), 0.0, s.preMask);
        }
        if (!displacedY) {
            preMaskV = maskCoordinate(tableY.tangent(iy), 0.0, s.preMask);
        }
        if (maskStops(s.preMask, preMaskU, preMaskV, random)) {
            return outcome;
        }
    }
    if (displacedX) {
        flagsX |= AxisTable::beyondMaskFlags(sx.tangent, photon.offsetX, s.axisX, undeflectedX);
    }
    if (displacedY) {
        flagsY |= AxisTable::beyondMaskFlags(sy.tangent, photon.offsetY, s.axisY, undeflectedY);
    }
    // Whether undeflectedX and undeflectedY still describe the paths.
    bool keepX = displacedX;
    bool keepY = displacedY;
    const std::uint8_t both = flagsX & flagsY;
    if ((both & AxisTable::kAperture) == 0) {
        return outcome;
    }
    const bool crossesSample = s.sampleActive && (both & AxisTable::kOnSample) != 0;
    if (crossesSample || s.postMaskActive || blurred) {
        sx.tangent = tableX.tangent(ix);
        sy.tangent = tableY.tangent(iy);
    }
    if (crossesSample) {
        PathTangents tangents{sx.tangent, sy.tangent};
        const double startX = photon.offsetX;
        const double startY = photon.offsetY;
        photon.angleX = tableX.angle(ix);
        photon.angleY = tableY.angle(iy);
        if (transportThroughSample(photon, tangents, s.sample, s.planes, s.showAll, random,
                                   energy)) {
            return outcome;
        }
        const bool changedX = tangents.x != sx.tangent || photon.offsetX != startX;
        const bool changedY = tangents.y != sy.tangent || photon.offsetY != startY;
        sx = {tangents.x, sx.ownPath || changedX};
        sy = {tangents.y, sy.ownPath || changedY};
        keepX = keepX && !changedX;
        keepY = keepY && !changedY;
    }
    if (s.postMaskActive) {
        const float u = maskCoordinate(sx.tangent, photon.offsetX, s.postMask);
        const float v = maskCoordinate(sy.tangent, photon.offsetY, s.postMask);
        if ((onGrid(u, s.postMask.size) & onGrid(v, s.postMask.size)) &&
            maskStops(s.postMask, u, v, random)) {
            return outcome;
        }
    }
    std::int64_t column = 0;
    std::int64_t row = 0;
    double x = 0.0;
    double y = 0.0;
    if (!detectorAxis(sx, tableX, ix, flagsX, photon.offsetX, s.axisX,
                      keepX ? &undeflectedX : nullptr, blurred, x, column) ||
        !detectorAxis(sy, tableY, iy, flagsY, photon.offsetY, s.axisY,
                      keepY ? &undeflectedY : nullptr, blurred, y, row)) {
        return outcome;
    }
    outcome.counted = true;
    if constexpr (kEffects) {
        if (blurred) {
            const GaussianPair shift = drawGaussianPair(random);
            column = roundHalfAway(static_cast<float>(x + s.effects.blurSigma * shift.first));
            row = roundHalfAway(static_cast<float>(y + s.effects.blurSigma * shift.second));
        }
    }
    if (s.ditherPhotons) {
        const DitherStep step = kDither[random.next() % 25];
        column += step.column;
        row += step.row;
    }
    if (s.efficiencyLimit < static_cast<float>(random.next())) {
        return outcome;
    }
    if (column < 0 || column >= s.width || row < 0 || row >= s.height) {
        return outcome;
    }
    outcome.scored = true;
    outcome.pixel = row * s.width + column;
    return outcome;
}

// The most draws one photon makes: four for its direction, one per mask, two in the sample,
// one for dithering and one for the efficiency, and those of every effect.
inline constexpr std::uint32_t kMostDrawsPerPhoton =
    4 + 1 + 2 + 1 + 1 + 1 + PhotonEffects::kSpotDraws + PhotonEffects::kEnergyDraws +
    PhotonEffects::kBlurDraws;

}  // namespace trace

// Traces one photon with its own draws from random. tableX and tableY are the set-up's
// tables (passed so that a loop fetches them once).
inline PhotonOutcome tracePhoton(const PhotonSetup& s, const AxisTable& tableX,
                                 const AxisTable& tableY, RandomGenerator& random) {
    if (s.effects.any) {
        return trace::tracePhotonWith<true>(s, tableX, tableY, random);
    }
    return trace::tracePhotonWith<false>(s, tableX, tableY, random);
}

}  // namespace conesim
