// Filtered back-projection against closed forms: the analytic sinograms of discs (chord
// 2 sqrt(r^2 - s^2) times the value, the disc's centre moving as the sample turns), the
// derivative of a disc's chord for the refraction, and the rotation convention.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "precalc/PhaseDeflection.hpp"
#include "recon/BackProjection.hpp"
#include "recon/TruthVolumes.hpp"

namespace conesim::tools {
namespace {

struct Disc {
    double x = 0.0;  //!< centre offset from the rotation axis (length units)
    double z = 0.0;
    double radius = 1.0;
    double value = 1.0;
};

double chord(const Disc& d, double s) {
    const double q = d.radius * d.radius - s * s;
    return q > 0.0 ? 2.0 * std::sqrt(q) * d.value : 0.0;
}

// A 64 x 2 x 64 grid of unit voxels, 96 detector columns 0.75 apart, one row per slice.
ParallelGeometry smallGeometry(std::size_t angles, double coverage) {
    ParallelGeometry g;
    g.columns = 96;
    g.rows = 2;
    g.columnSpacing = 0.75;
    g.columnOrigin = -48.0 * 0.75;
    g.rowOrigin = -1.0;
    g.dimX = 64;
    g.dimY = 2;
    g.dimZ = 64;
    for (std::size_t a = 0; a < angles; ++a) {
        g.anglesDegrees.push_back(coverage * static_cast<double>(a) / static_cast<double>(angles));
    }
    return g;
}

// The sinogram of disc: at angle t its centre is seen at x cos t - z sin t. With derivative,
// minus the derivative of the chord averaged over each column, (P(s + ds/2) - P(s - ds/2)) / ds.
std::vector<float> discSinogram(const ParallelGeometry& g, const Disc& d, bool derivative) {
    std::vector<float> values;
    for (const double degrees : g.anglesDegrees) {
        const double t = degrees * std::numbers::pi / 180.0;
        const double centre = d.x * std::cos(t) - d.z * std::sin(t);
        for (std::uint32_t row = 0; row < g.rows; ++row) {
            for (std::uint32_t c = 0; c < g.columns; ++c) {
                const double s = g.columnOrigin + c * g.columnSpacing - centre;
                const double h = g.columnSpacing / 2.0;
                values.push_back(static_cast<float>(
                    derivative ? -(chord(d, s + h) - chord(d, s - h)) / g.columnSpacing
                               : chord(d, s)));
            }
        }
    }
    return values;
}

// Mean of slice y = 1 over the voxels within `inside` of the disc's centre (inside > 0) or
// beyond -inside of it.
double meanOver(const ParallelGeometry& g, const std::vector<float>& volume, const Disc& d,
                double inside) {
    double sum = 0.0;
    int count = 0;
    for (std::int64_t k = 0; k < g.dimZ; ++k) {
        for (std::int64_t i = 0; i < g.dimX; ++i) {
            const double r = std::hypot(static_cast<double>(i - g.centreX()) - d.x,
                                        static_cast<double>(k - g.centreZ()) - d.z);
            if (inside > 0.0 ? r < inside : (r > -inside && std::hypot(i - 32.0, k - 32.0) < 28)) {
                sum += volume[static_cast<std::size_t>((k * g.dimY + 1) * g.dimX + i)];
                ++count;
            }
        }
    }
    return sum / count;
}

TEST(ReconstructionTest, DiscsReconstructToTheirValueOver180And360Degrees) {
    const Disc disc{6.0, -4.0, 14.0, 0.02};
    for (const double coverage : {180.0, 360.0}) {
        const ParallelGeometry g = smallGeometry(coverage == 180.0 ? 90 : 180, coverage);
        const std::vector<float> sinogram = discSinogram(g, disc, false);
        for (const FilterWindow window : {FilterWindow::kRamLak, FilterWindow::kHann}) {
            const BackProjectionResult r =
                reconstructVolumes(g, {{&sinogram, FilterKind::kRamp, 1.0}}, window, 2);
            EXPECT_EQ(r.slicesOutside, 0);
            EXPECT_NEAR(meanOver(g, r.volumes[0], disc, 11.0), 0.02, 0.02 * 0.01) << coverage;
            EXPECT_NEAR(meanOver(g, r.volumes[0], disc, -17.0), 0.0, 0.02 * 0.01) << coverage;
        }
    }
}

TEST(ReconstructionTest, TheRefractionOfADiscReconstructsToItsDecrement) {
    // The program's deflection is minus the derivative of the projected decrement.
    const Disc disc{-5.0, 7.0, 12.0, 3e-7};
    const ParallelGeometry g = smallGeometry(90, 180.0);
    const std::vector<float> sinogram = discSinogram(g, disc, true);
    const BackProjectionResult r =
        reconstructVolumes(g, {{&sinogram, FilterKind::kHilbert, 1.0}}, FilterWindow::kRamLak, 1);
    EXPECT_NEAR(meanOver(g, r.volumes[0], disc, 9.0), 3e-7, 3e-7 * 0.02);
    EXPECT_NEAR(meanOver(g, r.volumes[0], disc, -15.0), 0.0, 3e-7 * 0.02);
}

TEST(ReconstructionTest, TheProgramsOwnPhaseDeflectionReconstructsToAPositiveDecrement) {
    // The deflection the phase model derives from a projected decrement, one detector row
    // per projection on a grid of the columns' spacing, back-projects to +delta.
    const Disc disc{4.0, 3.0, 12.0, 5e-7};
    const ParallelGeometry g = smallGeometry(90, 180.0);
    std::vector<float> sinogram;
    for (const double degrees : g.anglesDegrees) {
        const double t = degrees * std::numbers::pi / 180.0;
        const double centre = disc.x * std::cos(t) - disc.z * std::sin(t);
        std::vector<double> projected;
        for (std::uint32_t c = 0; c < g.columns; ++c) {
            projected.push_back(chord(disc, g.columnOrigin + c * g.columnSpacing - centre));
        }
        const std::vector<double> deflection = deflectionFromProjection(
            projected, static_cast<int>(g.columns), 1, false, g.columnSpacing);
        for (std::uint32_t row = 0; row < g.rows; ++row) {
            sinogram.insert(sinogram.end(), deflection.begin(), deflection.end());
        }
    }
    const BackProjectionResult r =
        reconstructVolumes(g, {{&sinogram, FilterKind::kHilbert, 1.0}}, FilterWindow::kRamLak, 1);
    EXPECT_NEAR(meanOver(g, r.volumes[0], disc, 9.0), 5e-7, 5e-7 * 0.02);
}

TEST(ReconstructionTest, AQuarterTurnMovesXIntoZInReconstructionAndTruthAlike) {
    // Seen at 90 degrees, a disc at z = +10 lies at s = -10: it must reconstruct at
    // voxel z = centre + 10, not mirrored.
    const Disc disc{0.0, 10.0, 3.0, 1.0};
    ParallelGeometry g = smallGeometry(90, 180.0);
    const std::vector<float> sinogram = discSinogram(g, disc, false);
    const BackProjectionResult r =
        reconstructVolumes(g, {{&sinogram, FilterKind::kRamp, 1.0}}, FilterWindow::kRamLak, 2);
    double sum = 0.0;
    double sumX = 0.0;
    double sumZ = 0.0;
    for (std::size_t i = 0; i < r.volumes[0].size(); ++i) {
        const double v = r.volumes[0][i] > 0.5F ? r.volumes[0][i] : 0.0;
        sum += v;
        sumX += v * static_cast<double>(i % 64);
        sumZ += v * static_cast<double>(i / 128);
    }
    EXPECT_NEAR(sumX / sum, 32.0, 0.25);  // mirrored it would lie at z = 22
    EXPECT_NEAR(sumZ / sum, 42.0, 0.25);
    // The truth turns the same way: (5, 0) goes to (0, 5) at 90 degrees, to (0, -5) at -90.
    FloatVolume v;
    v.dimX = 11;
    v.dimY = 1;
    v.dimZ = 11;
    v.values.assign(121, 0.0F);
    v.values[5 * 11 + 10] = 1.0F;
    FloatVolume turned = v;
    rotateVolume(turned, 90.0, 1.0, 1.0);
    EXPECT_EQ(turned.values[10 * 11 + 5], 1.0F);
    rotateVolume(v, -90.0, 1.0, 1.0);
    EXPECT_EQ(v.values[0 * 11 + 5], 1.0F);
}

TEST(ReconstructionTest, AGaussianBlobReconstructsPointwiseFromUnevenlySpacedAngles) {
    // f = exp(-r^2 / 2 sigma^2) projects to sqrt(2 pi) sigma exp(-s^2 / 2 sigma^2); the
    // angles step unevenly (1 to 2 degrees), which the angular weights must absorb.
    constexpr double kSigma = 4.0;
    ParallelGeometry g = smallGeometry(0, 180.0);
    for (double degrees = 0.0; degrees < 180.0; degrees += (g.anglesDegrees.size() % 2) + 1.0) {
        g.anglesDegrees.push_back(degrees);
    }
    const double x0 = 3.0;
    const double z0 = -6.0;
    std::vector<float> sinogram;
    for (const double degrees : g.anglesDegrees) {
        const double t = degrees * std::numbers::pi / 180.0;
        const double centre = x0 * std::cos(t) - z0 * std::sin(t);
        for (std::uint32_t row = 0; row < g.rows; ++row) {
            for (std::uint32_t c = 0; c < g.columns; ++c) {
                const double s = g.columnOrigin + c * g.columnSpacing - centre;
                sinogram.push_back(static_cast<float>(std::sqrt(2.0 * std::numbers::pi) * kSigma *
                                                      std::exp(-s * s / (2.0 * kSigma * kSigma))));
            }
        }
    }
    const BackProjectionResult r =
        reconstructVolumes(g, {{&sinogram, FilterKind::kRamp, 1.0}}, FilterWindow::kRamLak, 2);
    double worst = 0.0;
    for (std::int64_t k = 0; k < g.dimZ; ++k) {
        for (std::int64_t i = 0; i < g.dimX; ++i) {
            const double dx = static_cast<double>(i - g.centreX()) - x0;
            const double dz = static_cast<double>(k - g.centreZ()) - z0;
            if (dx * dx + dz * dz < 100.0) {
                const double want = std::exp(-(dx * dx + dz * dz) / (2.0 * kSigma * kSigma));
                worst = std::max(worst, std::fabs(r.volumes[0][(k * 2 + 1) * 64 + i] - want));
            }
        }
    }
    EXPECT_LT(worst, 0.01);
}

TEST(ReconstructionTest, RampOfAGaussianAndHilbertOfItsDerivativeAgree) {
    // The ramp of a Gaussian against its closed form, and for g = -P' the two filters must
    // agree: i sgn(w) / 2 pi times -2 pi i w is |w|.
    constexpr std::size_t kLength = 80;
    constexpr double kSpacing = 0.5;
    std::vector<float> projected;
    std::vector<float> derivative;
    for (std::size_t n = 0; n < kLength; ++n) {
        const double s = (static_cast<double>(n) - 37.0) * kSpacing;
        const double p = std::exp(-s * s / 8.0);
        projected.push_back(static_cast<float>(p));
        derivative.push_back(static_cast<float>(s / 4.0 * p));
    }
    ProjectionFilter ramp(FilterKind::kRamp, FilterWindow::kRamLak, kLength, kSpacing);
    ProjectionFilter hilbert(FilterKind::kHilbert, FilterWindow::kRamLak, kLength, kSpacing);
    EXPECT_EQ(ramp.paddedLength(), 256U);
    std::vector<float> a(kLength);
    std::vector<float> b(kLength);
    ramp.apply(projected.data(), a.data());
    hilbert.apply(derivative.data(), b.data());
    // The ramp of exp(-s^2 / 2 sigma^2) at s = 0 is sqrt(2 pi) / (2 pi^2 sigma), sigma 2.
    const float peak = *std::max_element(a.begin(), a.end());
    EXPECT_EQ(a[37], peak);
    EXPECT_NEAR(peak,
                std::sqrt(2.0 * std::numbers::pi) / (4.0 * std::numbers::pi * std::numbers::pi),
                0.01 * peak);
    for (std::size_t n = 0; n < kLength; ++n) {
        EXPECT_NEAR(b[n], a[n], 0.01 * peak) << n;
    }
}

TEST(ReconstructionTest, ProjectionWeightsShareOutHalfATurn) {
    const std::vector<double> half = projectionWeights({0.0, 60.0, 120.0});
    const std::vector<double> full = projectionWeights({0.0, 90.0, 180.0, 270.0});
    for (const double w : half) {
        EXPECT_DOUBLE_EQ(w, std::numbers::pi / 3.0);
    }
    for (const double w : full) {
        EXPECT_DOUBLE_EQ(w, std::numbers::pi / 4.0);
    }
    EXPECT_DOUBLE_EQ(angularCoverage({0.0, 2.0, 4.0, 6.0}), 8.0);
}

}  // namespace
}  // namespace conesim::tools
