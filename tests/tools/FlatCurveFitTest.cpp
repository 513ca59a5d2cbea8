// The flat-curve model on curves whose attenuation, shift and widening are known: the
// widened curve against closed forms, and noise-free sample curves fitted back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <tuple>
#include <vector>

#include "retrieve/FlatCurveFit.hpp"
#include "retrieve/PixelRetrieval.hpp"

namespace conesim::tools {
namespace {

// A trapezoid sampled every 1/64 from 0 to 0.5, its corners on positions: rising from 0 at
// 4/64 to 1000 at 10/64, flat to 16/64, falling to 0 at 22/64.
constexpr double kFoot = 4.0 / 64.0;
constexpr double kRamp = 6.0 / 64.0;

std::vector<double> positions() {
    std::vector<double> x;
    for (int k = 0; k <= 32; ++k) {
        x.push_back(k / 64.0);
    }
    return x;
}

double trapezoid(double x) {
    return 1000.0 * std::clamp(std::min((x - kFoot) / kRamp, (22.0 / 64.0 - x) / kRamp), 0.0, 1.0);
}

MeasuredCurve trapezoidCurve() {
    std::vector<double> counts;
    for (const double x : positions()) {
        counts.push_back(trapezoid(x));
    }
    return measuredCurve(positions(), counts);
}

TEST(FlatCurveFitTest, WidenedCurveMatchesClosedForms) {
    const MeasuredCurve flat = trapezoidCurve();
    // Variance 0: the linear interpolation itself.
    EXPECT_DOUBLE_EQ(widenedCurveValue(flat, kFoot + 0.5 * kRamp, 0.0), 500.0);
    EXPECT_DOUBLE_EQ(widenedCurveValue(flat, 0.6, 0.0), 0.0);
    // On the flat top, far from the ramps, a narrow Gaussian changes nothing; on a straight
    // ramp a symmetric Gaussian changes nothing either (the corners lie over 4.4 standard
    // deviations away: e^(-4.4^2 / 2) of the slope's effect).
    EXPECT_NEAR(widenedCurveValue(flat, 0.203125, 1e-4), 1000.0, 1e-3);
    EXPECT_NEAR(widenedCurveValue(flat, kFoot + 0.5 * kRamp, 1e-4), 500.0, 1e-3);
    // At the foot of the ramp the convolution of 0 | slope x (y - foot) is
    // slope x s x phi(0) = slope x s / sqrt(2 pi).
    const double s = 0.01;
    EXPECT_NEAR(widenedCurveValue(flat, kFoot, s * s),
                1000.0 / kRamp * s / std::sqrt(2.0 * std::numbers::pi), 1e-6);
}

TEST(FlatCurveFitTest, NoiseFreeSampleCurvesComeBack) {
    const MeasuredCurve flat = trapezoidCurve();
    const std::vector<double> x = positions();
    for (const auto& [t, shift, variance] : std::vector<std::tuple<double, double, double>>{
             {0.7, 0.0, 0.0}, {0.5, 0.03125, 0.0}, {0.8, 0.05, 2e-4}, {0.9, -0.02, 5e-4}}) {
        std::vector<double> counts;
        for (const double position : x) {
            counts.push_back(t * widenedCurveValue(flat, position - shift, variance));
        }
        FlatCurveFit fit;
        ASSERT_EQ(fitFlatCurve(flat, x, counts, 20.0, fit), FitOutcome::kFitted);
        EXPECT_NEAR(fit.transmission, t, 1e-6) << shift;
        EXPECT_NEAR(fit.shift, shift, 1e-6) << shift;
        EXPECT_NEAR(fit.variance, variance, 1e-6) << shift;
    }
}

TEST(FlatCurveFitTest, CurvesWithoutCountsAreRefused) {
    const MeasuredCurve flat = trapezoidCurve();
    const std::vector<double> x = positions();
    FlatCurveFit fit;
    EXPECT_EQ(fitFlatCurve(flat, x, std::vector<double>(x.size(), 0.0), 20.0, fit),
              FitOutcome::kTooFewCounts);
    const MeasuredCurve dark = measuredCurve(x, std::vector<double>(x.size(), 0.0));
    EXPECT_EQ(fitFlatCurve(dark, x, std::vector<double>(x.size(), 5.0), 20.0, fit),
              FitOutcome::kTooFewCounts);
    // Positions in decreasing order (a beamlet sweep) give the same curve.
    std::vector<double> reversed(x.rbegin(), x.rend());
    std::vector<double> counts;
    for (const double position : reversed) {
        counts.push_back(trapezoid(position));
    }
    const MeasuredCurve sorted = measuredCurve(reversed, counts);
    EXPECT_EQ(sorted.positions, flat.positions);
    EXPECT_EQ(sorted.counts, flat.counts);
}

}  // namespace
}  // namespace conesim::tools
