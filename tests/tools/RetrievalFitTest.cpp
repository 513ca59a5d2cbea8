// The illumination-curve fit and the pixel retrieval on synthetic Gaussian curves, whose
// amplitude, centre and width are known exactly, and on curves that have no Gaussian.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "retrieve/GaussianFit.hpp"
#include "retrieve/PixelRetrieval.hpp"

namespace conesim::tools {
namespace {

// The counts of a Gaussian of integral a, centre c and variance v at the positions.
std::vector<double> gaussianCounts(const std::vector<double>& positions, double a, double c,
                                   double v) {
    std::vector<double> counts;
    for (const double x : positions) {
        counts.push_back(a / std::sqrt(2.0 * std::numbers::pi * v) *
                         std::exp(-(x - c) * (x - c) / (2.0 * v)));
    }
    return counts;
}

const std::vector<double> kPositions = {0.0, 0.0625, 0.125, 0.1875, 0.25, 0.3125, 0.375};

TEST(GaussianFitTest, NoiseFreeCurvesComeBackExactly) {
    for (const auto& [a, c, v] : std::vector<std::tuple<double, double, double>>{
             {1000.0, 0.1875, 0.004}, {2.5e6, 0.21, 0.0121}, {37.0, 0.05, 0.02}}) {
        GaussianCurve curve;
        ASSERT_EQ(fitGaussian(kPositions, gaussianCounts(kPositions, a, c, v), 0.0, curve),
                  FitOutcome::kFitted);
        EXPECT_NEAR(curve.integral / a, 1.0, 1e-12);
        EXPECT_NEAR(curve.centre, c, 1e-12);
        EXPECT_NEAR(curve.variance / v, 1.0, 1e-11);
    }
    // Positions in any order and unit: a mask moved in micrometres, counted backwards.
    const std::vector<double> microns = {40.0, -20.0, 10.0, 25.0, -5.0};
    GaussianCurve curve;
    ASSERT_EQ(fitGaussian(microns, gaussianCounts(microns, 5e4, 7.5, 300.0), 0.0, curve),
              FitOutcome::kFitted);
    EXPECT_NEAR(curve.integral, 5e4, 5e4 * 1e-12);
    EXPECT_NEAR(curve.centre, 7.5, 1e-10);
    EXPECT_NEAR(curve.variance, 300.0, 300.0 * 1e-11);
    EXPECT_NEAR(peakHeight(curve), 5e4 / std::sqrt(2.0 * std::numbers::pi * 300.0), 1e-6);
    EXPECT_NEAR(curveValue(curve, 7.5 + std::sqrt(300.0)), peakHeight(curve) * std::exp(-0.5),
                1e-6);
}

TEST(GaussianFitTest, PoissonFitSumsToTheCountsAndKeepsZeroCounts) {
    // Counts of a flat-topped curve with zeros at both ends: not a Gaussian, but the
    // maximum of the Poisson likelihood makes the fitted curve add up to what was counted,
    // which keeps the transmission a ratio of photon numbers.
    const std::vector<double> counts = {0, 302, 951, 1240, 917, 318, 0};
    GaussianCurve curve;
    ASSERT_EQ(fitGaussian(kPositions, counts, 20.0, curve), FitOutcome::kFitted);
    double fittedSum = 0.0;
    for (const double x : kPositions) {
        fittedSum += curveValue(curve, x);
    }
    EXPECT_NEAR(fittedSum, 3728.0, 1e-6);
    EXPECT_NEAR(curve.centre, 0.1875, 0.005);
}

TEST(GaussianFitTest, AnOptimumThatRoundingKeepsFromImprovingCountsAsFound) {
    // A flat-field curve of the retrieval demo whose last Newton steps could no longer lower
    // the objective; it once came out as not converged.
    std::vector<double> positions;
    for (int k = 0; k < 9; ++k) {
        positions.push_back(0.375 * k / 8);
    }
    const std::vector<double> counts = {0, 153, 661, 1043, 1154, 1005, 642, 180, 0};
    GaussianCurve curve;
    ASSERT_EQ(fitGaussian(positions, counts, 20.0, curve), FitOutcome::kFitted);
    EXPECT_NEAR(curve.centre, 0.18755, 1e-4);
    EXPECT_NEAR(curve.integral, 227.19, 0.01);
}

TEST(GaussianFitTest, CurvesWithoutAGaussianSayWhy) {
    GaussianCurve untouched{1.0, 2.0, 3.0};
    GaussianCurve curve = untouched;
    const auto fit = [&](const std::vector<double>& positions, const std::vector<double>& counts,
                         double minimum = 20.0) {
        return fitGaussian(positions, counts, minimum, curve);
    };
    EXPECT_EQ(fit(kPositions, {0, 1, 3, 5, 4, 2, 0}), FitOutcome::kTooFewCounts);
    EXPECT_EQ(fit(kPositions, {0, 0, 500, 0, 700, 0, 0}), FitOutcome::kTooFewCounts);
    EXPECT_EQ(fit({0.0, 0.1}, {50, 60}), FitOutcome::kTooFewCounts);
    EXPECT_EQ(fit(kPositions, {100, 100, 100, 100, 100, 100, 100}), FitOutcome::kFlatCurve);
    EXPECT_EQ(fit(kPositions, {400, 200, 100, 50, 100, 200, 400}), FitOutcome::kFlatCurve);
    EXPECT_EQ(fit({1.0, 1.0, 1.0}, {10, 20, 30}), FitOutcome::kFlatCurve);
    // A peak beyond the last position: the rising flank alone.
    EXPECT_EQ(fit(kPositions, gaussianCounts(kPositions, 1e4, 0.6, 0.01)),
              FitOutcome::kCentreOutside);
    EXPECT_EQ(curve.integral, untouched.integral);
    EXPECT_EQ(curve.centre, untouched.centre);
    EXPECT_EQ(curve.variance, untouched.variance);
}

TEST(GaussianFitTest, TwoPointsOfAKnownVarianceFixCentreAndIntegral) {
    const std::vector<double> two = {0.125, 0.25};
    const std::vector<double> counts = gaussianCounts(two, 800.0, 0.2, 0.005);
    GaussianCurve curve;
    ASSERT_TRUE(gaussianThroughTwoPoints(two[0], counts[0], two[1], counts[1], 0.005, curve));
    EXPECT_NEAR(curve.centre, 0.2, 1e-14);
    EXPECT_NEAR(curve.integral, 800.0, 1e-10);
    EXPECT_EQ(curve.variance, 0.005);
    EXPECT_FALSE(gaussianThroughTwoPoints(0.1, 0.0, 0.2, 5.0, 0.005, curve));
    EXPECT_FALSE(gaussianThroughTwoPoints(0.1, 5.0, 0.1, 5.0, 0.005, curve));
    EXPECT_FALSE(gaussianThroughTwoPoints(0.1, 5.0, 0.2, 5.0, 0.0, curve));
}

// The Gaussian model, whose results these Gaussian curves give exactly.
const RetrievalSettings kGaussianModel{CurveModel::kGaussian};

TEST(PixelRetrievalTest, TransmissionShiftAndDarkFieldOfKnownCurves) {
    // Flat field: integral 4000, centre 0.1875, variance 0.004. The sample keeps 62 % of
    // the photons, moves the beamlet by +0.031 pixels and widens it by 0.0015 pixels^2.
    const std::vector<double> flat = gaussianCounts(kPositions, 4000.0, 0.1875, 0.004);
    const std::vector<double> sample = gaussianCounts(kPositions, 2480.0, 0.2185, 0.0055);
    const PixelResult result = retrievePixel(kPositions, flat, kPositions, sample, kGaussianModel);
    EXPECT_EQ(result.flat, FitOutcome::kFitted);
    EXPECT_EQ(result.sample, FitOutcome::kFitted);
    EXPECT_FLOAT_EQ(result.transmission, 0.62F);
    EXPECT_FLOAT_EQ(result.shift, 0.031F);
    EXPECT_NEAR(result.growth, 0.0015F, 1e-9);
    // Same curves but the sample swept over other positions: only the model counts.
    const std::vector<double> other = {0.02, 0.1, 0.15, 0.2, 0.26, 0.33};
    const PixelResult moved = retrievePixel(
        kPositions, flat, other, gaussianCounts(other, 2480.0, 0.2185, 0.0055), kGaussianModel);
    EXPECT_FLOAT_EQ(moved.transmission, 0.62F);
    EXPECT_FLOAT_EQ(moved.shift, 0.031F);
}

TEST(PixelRetrievalTest, TwoSamplePositionsGiveTransmissionAndShiftButNoDarkField) {
    const std::vector<double> flat = gaussianCounts(kPositions, 4000.0, 0.1875, 0.004);
    const std::vector<double> two = {0.125, 0.25};
    // The two-image retrieval assumes the sample keeps the flat field's width.
    const PixelResult result =
        retrievePixel(kPositions, flat, two, gaussianCounts(two, 3000.0, 0.17, 0.004), {});
    EXPECT_FLOAT_EQ(result.transmission, 0.75F);
    EXPECT_FLOAT_EQ(result.shift, -0.0175F);
    EXPECT_TRUE(std::isnan(result.growth));
    // A two-position flat field needs its variance from elsewhere.
    RetrievalSettings settings;
    settings.flatVariance = 0.004;
    const PixelResult both = retrievePixel(two, gaussianCounts(two, 4000.0, 0.1875, 0.004), two,
                                           gaussianCounts(two, 3000.0, 0.17, 0.004), settings);
    EXPECT_FLOAT_EQ(both.transmission, 0.75F);
    EXPECT_FLOAT_EQ(both.shift, -0.0175F);
}

TEST(PixelRetrievalTest, ImagesMarkEveryFailedPixelNaNAndCountWhy) {
    // Four pixels: a good one, one the flat field never lit, one whose sample curve is
    // flat, one whose sample peak left the scanned positions.
    const std::vector<double> good = gaussianCounts(kPositions, 4000.0, 0.1875, 0.004);
    const std::vector<double> shifted = gaussianCounts(kPositions, 4000.0, 0.45, 0.01);
    CurveStack flat{4, 1, kPositions, {}};
    CurveStack sample{4, 1, kPositions, {}};
    for (std::size_t k = 0; k < kPositions.size(); ++k) {
        const auto g = static_cast<std::uint32_t>(std::lround(good[k]));
        flat.counts.insert(flat.counts.end(), {g, 0, g, g});
        sample.counts.insert(sample.counts.end(),
                             {g / 2, 5, 300, static_cast<std::uint32_t>(shifted[k])});
    }
    RetrievalImages images;
    std::string error;
    ASSERT_TRUE(retrieveImages(flat, sample, kGaussianModel, images, error)) << error;
    EXPECT_NEAR(images.transmission[0], 0.5F, 0.002F);
    EXPECT_NEAR(images.refraction[0], 0.0F, 1e-3F);
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_TRUE(std::isnan(images.transmission[i])) << i;
        EXPECT_TRUE(std::isnan(images.refraction[i])) << i;
        EXPECT_TRUE(std::isnan(images.darkfield[i])) << i;
    }
    EXPECT_EQ(images.counts.retrieved, 1);
    EXPECT_EQ(images.counts.flat[static_cast<int>(FitOutcome::kTooFewCounts)], 1);
    EXPECT_EQ(images.counts.sample[static_cast<int>(FitOutcome::kFlatCurve)], 1);
    EXPECT_EQ(images.counts.sample[static_cast<int>(FitOutcome::kCentreOutside)], 1);
}

TEST(PixelRetrievalTest, StacksThatCannotBeComparedAreRefused) {
    CurveStack flat{2, 1, {0.0, 0.1, 0.2}, {1, 1, 2, 2, 1, 1}};
    CurveStack sample = flat;
    RetrievalImages images;
    std::string error;
    sample.width = 1;
    sample.height = 2;
    EXPECT_FALSE(retrieveImages(flat, sample, {}, images, error));
    EXPECT_EQ(error, "the flat field's images are 2 x 1 pixels, the sample's 1 x 2");
    sample = flat;
    sample.positions = {0.1};
    sample.counts = {1, 1};
    EXPECT_FALSE(retrieveImages(flat, sample, {}, images, error));
    EXPECT_EQ(error, "the sample has 1 images; the retrieval needs two or more");
    sample = flat;
    sample.counts.pop_back();
    EXPECT_FALSE(retrieveImages(flat, sample, {}, images, error));
    EXPECT_EQ(error, "the sample holds 5 counts, not 3 images of 2 pixels");
    flat.positions = {0.0, 0.1};
    flat.counts = {1, 1, 2, 2};
    sample = flat;
    EXPECT_FALSE(retrieveImages(flat, sample, {}, images, error));
    EXPECT_EQ(error.rfind("the flat field has only two positions", 0), 0U) << error;
}

}  // namespace
}  // namespace conesim::tools
