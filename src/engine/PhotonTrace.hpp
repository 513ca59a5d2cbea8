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
// its path is its own (deflected, leaving from a point of the focal spot, or of a bin the
// table cannot describe), so that the table's detector results no longer apply.
struct AxisState {
    double tangent;
    bool ownPath;
};

// The sensitive-area test of one axis. A path the table describes takes the table's result
// and its rounded pixel; any other path is tested on its own detector coordinate, which
// undeflected holds when it is already known (the path that nothing deflected, whose flags
// then hold the result). With blurred set, coordinate receives the detector coordinate and
// pixel is left alone: the blur moves the coordinate before it is rounded.
inline bool detectorAxis(const AxisState& state, const AxisTable& table, std::uint32_t u,
                         std::uint8_t flags, double offset, const AxisGeometry& axis,
                         const double* undeflected, bool blurred, double& coordinate,
                         std::int64_t& pixel) {
    if (!state.ownPath) {
        if (blurred) {
            coordinate = detectorCoordinate(state.tangent, 0.0, axis);
        } else {
            pixel = table.pixel(u);
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

// One axis of a photon before the sample: its 30-bit direction, the flags of its
// undeflected path and, for a path the table does not describe, the pre-sample mask and
// detector coordinates of that path.
struct AxisStart {
    std::uint32_t u = 0;
    std::uint8_t flags = 0;
    bool own = false;           //!< the flags come from the path itself, not the table
    bool tangentKnown = false;  //!< tangent holds the path's slope (always when own)
    double tangent = 0.0;
    float preMask = 0.0F;      //!< the path's pre-sample mask coordinate, when own
    double undeflected = 0.0;  //!< the path's detector coordinate, once beyondMask ran
};

// The table's flags for u, or, for a displaced path (offset not 0) or a bin that
// straddles a boundary, the pre-sample mask flag of the path itself.
inline AxisStart startAxis(const AxisTable& table, const AxisGeometry& axis, std::uint32_t u,
                           bool displaced, double offset, bool preMaskActive) {
    AxisStart start;
    start.u = u;
    start.flags = table.flags(u);
    start.own = displaced || (start.flags & AxisTable::kExact) != 0;
    if (start.own) {
        start.tangent = table.tangent(u);
        start.tangentKnown = true;
        start.flags =
            preMaskActive ? AxisTable::preMaskFlags(start.tangent, offset, axis, start.preMask) : 0;
    }
    return start;
}

// The slope of the axis's path, computed once.
inline double axisTangent(AxisStart& start, const AxisTable& table) {
    if (!start.tangentKnown) {
        start.tangent = table.tangent(start.u);
        start.tangentKnown = true;
    }
    return start.tangent;
}

// The pre-sample mask test of a photon that falls on the mask; its 30-bit uniform is drawn
// whatever follows. Paths the tables describe are spared their own coordinates (and so
// their tangents) where the outcome does not depend on them: a photon that the coded-
// aperture window refuses anyway, and a cell whose four pixels are all clear or all opaque.
inline bool preMaskStops(const PhotonSetup& s, const AxisTable& tableX, const AxisTable& tableY,
                         AxisStart& ax, AxisStart& ay, double blocking, RandomGenerator& random) {
    const std::uint32_t level = draw30Bits(random);
    if (!ax.own && !ay.own) {
        if ((ax.flags & ay.flags & AxisTable::kAperture) == 0) {
            return true;  // lost here or at the window: the same photon, the same draws
        }
        const std::int64_t column = tableX.preMaskCell(ax.u);
        const std::int64_t row = tableY.preMaskCell(ay.u);
        if (column >= 0 && row >= 0) {
            const MaskCell cell = maskCell(s.preMask, column, row);
            if (cell == MaskCell::kClear) {
                return false;
            }
            if (cell == MaskCell::kOpaque && maskLevel(level) < kSurelyOpaqueLevel * blocking) {
                return true;
            }
        }
    }
    if (!ax.own) {
        ax.preMask = maskCoordinate(axisTangent(ax, tableX), 0.0, s.axisX.preMask);
    }
    if (!ay.own) {
        ay.preMask = maskCoordinate(axisTangent(ay, tableY), 0.0, s.axisY.preMask);
    }
    return maskStopsAt(s.preMask, ax.preMask, ay.preMask, level, blocking);
}

// The rest of the flags of a path of its own, once the pre-sample mask has let it pass.
inline void finishAxis(AxisStart& start, const AxisGeometry& axis, double offset) {
    if (start.own) {
        start.flags |= AxisTable::beyondMaskFlags(start.tangent, offset, axis, start.undeflected);
    }
}

// The chain for one photon. kEffects false: the plain chain, which never looks at the
// effects; true: the effects the set-up switches on. The draws come in this order: LR
// direction (a 30-bit uniform: two draws), UD direction (two draws), focal spot (two 30-bit
// uniforms giving the LR and UD offsets), energy (one 30-bit uniform), pre-sample mask (a 30-bit
// uniform), sample (absorption: a 30-bit uniform; undeflected passage: one draw; small-angle
// scattering where the scattering plane is not 0: a Gaussian pair), post-sample mask
// (a 30-bit uniform), detector blur (two 30-bit uniforms giving the LR and UD displacements),
// dithering, quantum efficiency (one draw, or a 30-bit uniform with a detector material);
// each only when the photon gets there and the effect or test applies.
template <bool kEffects>
inline PhotonOutcome tracePhotonWith(const PhotonSetup& s, const AxisTable& tableX,
                                     const AxisTable& tableY, RandomGenerator& random) {
    PhotonOutcome outcome;
    const std::uint32_t directionX = draw30Bits(random);
    const std::uint32_t directionY = draw30Bits(random);
    PhotonState photon;
    std::conditional_t<kEffects, EnergyFactors, PlaneEnergy> energy{};
    bool displacedX = false;
    bool displacedY = false;
    bool blurred = false;
    // The masks' and the detector's materials at the photon's energy.
    const LayerTransmission* layers = &s.planeLayers;
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
            const std::size_t entry = drawEnergyIndex(effects, random);
            energy = effects.energyFactors[entry];
            if (!effects.layers.empty()) {
                layers = &effects.layers[entry];
            }
        }
        blurred = effects.blur;
    }
    // A photon from a point of the focal spot, or in a bin of directions that straddles a
    // boundary, has its own undeflected path along that axis: the table's tests are made on
    // it instead, by the functions the table is built from, the pre-sample mask first (a
    // photon it stops needs no more).
    AxisStart ax =
        startAxis(tableX, s.axisX, directionX, displacedX, photon.offsetX, s.preMaskActive);
    AxisStart ay =
        startAxis(tableY, s.axisY, directionY, displacedY, photon.offsetY, s.preMaskActive);
    if (s.preMaskActive && (ax.flags & ay.flags & AxisTable::kOnPreMask) != 0 &&
        preMaskStops(s, tableX, tableY, ax, ay, layers->preMaskBlocking, random)) {
        return outcome;
    }
    finishAxis(ax, s.axisX, photon.offsetX);
    finishAxis(ay, s.axisY, photon.offsetY);
    const std::uint8_t both = ax.flags & ay.flags;
    if ((both & AxisTable::kAperture) == 0) {
        return outcome;
    }
    // Whether the undeflected coordinates still describe the paths.
    bool keepX = ax.own;
    bool keepY = ay.own;
    const bool crossesSample = s.sampleActive && (both & AxisTable::kOnSample) != 0;
    if (crossesSample || s.postMaskActive || blurred) {
        axisTangent(ax, tableX);
        axisTangent(ay, tableY);
    }
    AxisState sx{ax.tangent, ax.own};
    AxisState sy{ay.tangent, ay.own};
    if (crossesSample) {
        PathTangents tangents{sx.tangent, sy.tangent};
        const double startX = photon.offsetX;
        const double startY = photon.offsetY;
        photon.angleX = tableX.angle(directionX);
        photon.angleY = tableY.angle(directionY);
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
            maskStops(s.postMask, u, v, random, layers->postMaskBlocking)) {
            return outcome;
        }
    }
    std::int64_t column = 0;
    std::int64_t row = 0;
    double x = 0.0;
    double y = 0.0;
    if (!detectorAxis(sx, tableX, directionX, ax.flags, photon.offsetX, s.axisX,
                      keepX ? &ax.undeflected : nullptr, blurred, x, column) ||
        !detectorAxis(sy, tableY, directionY, ay.flags, photon.offsetY, s.axisY,
                      keepY ? &ay.undeflected : nullptr, blurred, y, row)) {
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
    if (s.detectorLayer) {
        // The probability of interacting in the layer, times the efficiency, against a
        // 30-bit uniform.
        if (unitMidpoint(draw30Bits(random)) > layers->detectorEfficiency) {
            return outcome;
        }
    } else if (s.efficiencyLimit < static_cast<float>(random.next())) {
        return outcome;
    }
    if (column < 0 || column >= s.width || row < 0 || row >= s.height) {
        return outcome;
    }
    outcome.scored = true;
    outcome.pixel = row * s.width + column;
    return outcome;
}

// The most draws one photon makes: four for its direction, two per mask, three in the
// sample and four for its scattering there, one for dithering and two for the efficiency (a
// detector material's 30-bit uniform), and those of every effect.
inline constexpr std::uint32_t kMostDrawsPerPhoton =
    4 + 2 + 3 + kDrawsPerGaussianPair + 2 + 1 + 2 + PhotonEffects::kSpotDraws +
    PhotonEffects::kEnergyDraws + PhotonEffects::kBlurDraws;

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
