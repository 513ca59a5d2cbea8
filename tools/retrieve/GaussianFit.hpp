// A Gaussian fitted to an illumination curve: the counts a detector pixel records at a few
// analyser (or beamlet) positions. The curve is f(x) = a / (s sqrt(2 pi)) exp(-(x - c)^2 / 2 s^2)
// with a the integral (all photons of the beamlet, whatever its width), c the centre and s^2
// the variance.
#pragma once

#include <cstdint>
#include <span>

namespace conesim::tools {

struct GaussianCurve {
    double integral = 0.0;  //!< area under the curve: counts x position unit
    double centre = 0.0;    //!< position of the peak
    double variance = 0.0;  //!< squared width, position unit squared
};

// Why a curve has no Gaussian; kFitted when it has one.
enum class FitOutcome : std::uint8_t {
    kFitted,
    kTooFewCounts,   //!< fewer counts than asked for, or fewer than three positions with counts
    kFlatCurve,      //!< no peak: the counts do not fall off on both sides
    kNoConvergence,  //!< the iteration did not settle
    kCentreOutside,  //!< the peak lies outside the positions measured
};
constexpr int kFitOutcomeCount = 5;

// The peak height a / (s sqrt(2 pi)) of a curve.
double peakHeight(const GaussianCurve& curve);
// The curve's value at position x.
double curveValue(const GaussianCurve& curve, double x);

// Fits positions/counts (three or more distinct positions, counts >= 0) by the maximum of the
// Poisson likelihood, ln f being a parabola in x: the counts of a Monte Carlo run are Poisson
// numbers, and at that maximum the fitted curve sums over the positions to exactly the
// counts measured. The start comes from the parabola through ln(counts) weighted by the
// squared counts, which is already exact for a noise-free Gaussian. A total below
// minimumCounts gives kTooFewCounts.
FitOutcome fitGaussian(std::span<const double> positions, std::span<const double> counts,
                       double minimumCounts, GaussianCurve& curve);

// The Gaussian of a known variance through two points (x1, c1) and (x2, c2), x1 != x2,
// c1, c2 > 0: centre (x1 + x2) / 2 - variance ln(c1 / c2) / (x2 - x1). False when a count is
// not positive.
bool gaussianThroughTwoPoints(double x1, double c1, double x2, double c2, double variance,
                              GaussianCurve& curve);

}  // namespace conesim::tools
