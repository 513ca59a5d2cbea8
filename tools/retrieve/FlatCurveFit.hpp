// The sample's illumination curve as the flat field's own measured curve, attenuated, shifted
// and widened: S(x) = T (F * G)(x - shift), F the flat field's counts interpolated linearly
// between its positions and 0 outside them, G a Gaussian of variance sigma^2 >= 0 (the
// sample's angular spread on the detector). No shape is assumed for the beamlet, so a
// trapezoid or any other curve is retrieved without the bias of a Gaussian model.
#pragma once

#include <span>
#include <vector>

#include "retrieve/GaussianFit.hpp"

namespace conesim::tools {

// The flat field's curve: positions in increasing order, counts at each.
struct MeasuredCurve {
    std::vector<double> positions;
    std::vector<double> counts;
};

// Sorts the pairs by position.
MeasuredCurve measuredCurve(std::span<const double> positions, std::span<const double> counts);

// (F * G)(x) for G of the given variance (pixels^2); variance 0 gives F(x) itself.
double widenedCurveValue(const MeasuredCurve& flat, double x, double variance);

struct FlatCurveFit {
    double transmission = 0.0;  //!< T: ratio of the sample's curve to the flat field's
    double shift = 0.0;         //!< refraction, position units
    double variance = 0.0;      //!< sigma^2 >= 0, position units squared
};

// Poisson maximum likelihood of T, shift and sigma^2 over the sample's counts. T has a closed
// form for given shift and sigma^2 (the model adds up to the counts measured); shift and
// sigma^2 are searched by Nelder-Mead from the shift of the centroids. kTooFewCounts when the
// flat field has fewer than three positions with counts or either curve fewer counts than
// minimumCounts; kCentreOutside when the shift exceeds the span of the flat positions;
// kNoConvergence when the search does not settle.
FitOutcome fitFlatCurve(const MeasuredCurve& flat, std::span<const double> positions,
                        std::span<const double> counts, double minimumCounts, FlatCurveFit& fit);

}  // namespace conesim::tools
