// One photon through the whole chain: emission, pre-sample mask, coded-aperture window,
// sample plane, post-sample mask, sensitive-area window, rounding, dithering, quantum
// efficiency and the detector bounds. The photon's state lives here and nowhere else; the
// caller counts, reports and writes images. Inline: every loop calls it once per photon.
#pragma once

#include <cstdint>

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
// the sample deflected it (then the table's detector results no longer apply).
struct AxisState {
    double tangent;
    bool deflected;
};

// The detector window result and rounded pixel of one axis.
inline bool detectorAxis(const AxisState& state, const AxisTable& table, std::size_t index,
                         std::uint8_t flags, double offset, const AxisGeometry& axis,
                         std::int64_t& pixel) {
    if (!state.deflected) {
        pixel = table.pixel(index);
        return (flags & AxisTable::kDetector) != 0;
    }
    const double coordinate = detectorCoordinate(state.tangent, offset, axis);
    if (!insideWindow(coordinate, axis.detectorPif, axis.detectorOffset)) {
        return false;
    }
    pixel = roundHalfAway(static_cast<float>(coordinate));
    return true;
}

// One direction index: a magnitude draw, then a sign draw.
inline std::size_t drawDirection(RandomGenerator& random) {
    const std::int32_t magnitude = random.next();
    const std::int32_t sign = random.next();
    return AxisTable::index(magnitude, sign);
}

}  // namespace trace

// Traces one photon with its own draws from random. tableX and tableY are the set-up's
// tables (passed so that a loop fetches them once).
inline PhotonOutcome tracePhoton(const PhotonSetup& s, const AxisTable& tableX,
                                 const AxisTable& tableY, RandomGenerator& random) {
    using trace::AxisState;
    PhotonOutcome outcome;
    const std::size_t ix = trace::drawDirection(random);
    const std::size_t iy = trace::drawDirection(random);
    const std::uint8_t flagsX = tableX.flags(ix);
    const std::uint8_t flagsY = tableY.flags(iy);
    const std::uint8_t both = flagsX & flagsY;
    if (s.preMaskActive && (both & AxisTable::kOnPreMask) != 0 &&
        maskStops(s.preMask, maskCoordinate(tableX.tangent(ix), 0.0, s.preMask),
                  maskCoordinate(tableY.tangent(iy), 0.0, s.preMask), random)) {
        return outcome;
    }
    if ((both & AxisTable::kAperture) == 0) {
        return outcome;
    }
    AxisState sx{0.0, false};
    AxisState sy{0.0, false};
    PhotonState photon;
    const bool crossesSample = s.sampleActive && (both & AxisTable::kOnSample) != 0;
    if (crossesSample || s.postMaskActive) {
        sx.tangent = tableX.tangent(ix);
        sy.tangent = tableY.tangent(iy);
    }
    if (crossesSample) {
        PathTangents tangents{sx.tangent, sy.tangent};
        photon.angleX = tableX.angle(ix);
        photon.angleY = tableY.angle(iy);
        if (transportThroughSample(photon, tangents, s.sample, s.planes, s.showAll, random)) {
            return outcome;
        }
        sx = {tangents.x, tangents.x != sx.tangent || photon.offsetX != 0.0};
        sy = {tangents.y, tangents.y != sy.tangent || photon.offsetY != 0.0};
    }
    if (s.postMaskActive) {
        const float u = maskCoordinate(sx.tangent, photon.offsetX, s.postMask);
        const float v = maskCoordinate(sy.tangent, photon.offsetY, s.postMask);
        if (onGrid(u, s.postMask.size) && onGrid(v, s.postMask.size) &&
            maskStops(s.postMask, u, v, random)) {
            return outcome;
        }
    }
    std::int64_t column = 0;
    std::int64_t row = 0;
    if (!trace::detectorAxis(sx, tableX, ix, flagsX, photon.offsetX, s.axisX, column) ||
        !trace::detectorAxis(sy, tableY, iy, flagsY, photon.offsetY, s.axisY, row)) {
        return outcome;
    }
    outcome.counted = true;
    if (s.ditherPhotons) {
        const trace::DitherStep step = trace::kDither[random.next() % 25];
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

}  // namespace conesim
