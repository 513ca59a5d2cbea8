// The imaging physics of the photon chain against the formulas a physicist writes down, on
// whole loops with fixed seeds, within the counting error: the refraction lever arm, the
// focal-spot penumbra of an edge, the transmission of a slab for a two-energy spectrum, the
// energy dependence of refraction and the detector blur of a pencil beam.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "LoopCase.hpp"
#include "precalc/RefractiveIndexMap.hpp"

namespace conesim {
namespace {

using testing::LoopCase;

// The counts of each column (axis 0) or row (axis 1), summed over the other axis.
std::vector<double> profile(const std::vector<std::uint32_t>& image, std::uint32_t width,
                            int axis) {
    const std::size_t height = image.size() / width;
    std::vector<double> sums(axis == 0 ? width : height, 0.0);
    for (std::size_t i = 0; i < image.size(); ++i) {
        sums[axis == 0 ? i % width : i / width] += image[i];
    }
    return sums;
}

// Mean position of a profile, its variance and the standard error of the mean.
struct Moments {
    double mean = 0.0;
    double variance = 0.0;
    double error = 0.0;
    double count = 0.0;
};
Moments moments(const std::vector<double>& counts) {
    Moments m;
    double sum = 0.0;
    double squares = 0.0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const double x = static_cast<double>(i);
        m.count += counts[i];
        sum += counts[i] * x;
        squares += counts[i] * x * x;
    }
    m.mean = sum / m.count;
    m.variance = squares / m.count - m.mean * m.mean;
    m.error = std::sqrt(m.variance / m.count);
    return m;
}

// A slit in the pre-sample mask, one clear mask column at the axis, and a sample plane of
// uniform LR deflection. Source to detector L = 200, mask at 50 with 1 pixel per unit (the
// slit's image is a triangle of half-width 4 detector pixels, whose centroid rounding to
// pixels leaves unbiased), sample mid-plane zMid = 100, 64 x 8 pixels of 1.
void slitThroughDeflectingPlane(LoopCase& c, float deflection) {
    c.p.detectorWidth = 64;
    c.p.detectorHeight = 8;
    c.p.detectorPosition = 200;
    c.p.preMaskSize = 64;
    c.p.preMaskPosition = 50;
    c.p.preMaskScale = 1.0F;
    c.preMask.assign(64 * 64, 1);
    for (int row = 0; row < 64; ++row) {
        c.preMask[static_cast<std::size_t>(row * 64 + 32)] = 0;
    }
    c.p.postMaskActive = false;
    c.p.ditherPhotons = false;
    c.p.photonsToRun = 600000;
    c.geometry = makeSampleGeometry(40, 40, 2, 1.0F, 1.0F, 1.0F, 99.0F);
    EXPECT_EQ(c.geometry.zMid, 100.0F);
    // A trace of material, so that every photon crossing the plane is deflected.
    c.planes.attenuation.assign(1600, 1e-6);
    c.planes.lr.assign(1600, deflection);
    c.planes.ud.assign(1600, 0.0F);
}

Moments slitImage(LoopCase& c, std::uint32_t seed) {
    std::vector<std::uint32_t> image;
    c.runInto(seed, image);
    return moments(profile(image, c.p.detectorWidth, 0));
}

TEST(ImagingPhysics, LeverArmMovesASlitImageByDeflectionTimesSampleToDetector) {
    LoopCase straight;
    slitThroughDeflectingPlane(straight, 0.0F);
    const Moments undeflected = slitImage(straight, 1);
    // The slit on the axis images onto the detector's centre column.
    EXPECT_NEAR(undeflected.mean, 32.0, 4.0 * undeflected.error);
    for (const float deflection : {0.02F, -0.0137F}) {
        LoopCase bent;
        slitThroughDeflectingPlane(bent, deflection);
        const Moments deflected = slitImage(bent, 2);
        const double shift = deflected.mean - undeflected.mean;
        const double error = std::hypot(deflected.error, undeflected.error);
        // D (L - zMid) / pixel size.
        const double expected = static_cast<double>(deflection) * (200.0 - 100.0) / 1.0;
        EXPECT_NEAR(shift, expected, 4.0 * error) << deflection;
        // Sharp enough to tell the lever arm from the whole source distance.
        EXPECT_LT(4.0 * error, 0.1 * std::fabs(expected));
    }
}

TEST(ImagingPhysics, SingleEnergyRefractsByTheInverseSquareOfItsEnergy) {
    // Planes made at E0 = 20 keV; a spectrum of the one energy E = 40 keV bends the slit's
    // beamlet by (E0/E)^2 = 1/4 of what it is bent at E0.
    LoopCase straight;
    slitThroughDeflectingPlane(straight, 0.0F);
    const Moments undeflected = slitImage(straight, 3);
    const float deflection = 0.04F;
    LoopCase atPlaneEnergy;
    slitThroughDeflectingPlane(atPlaneEnergy, deflection);
    atPlaneEnergy.p.sampleEnergy = 20.0F;
    const Moments atE0 = slitImage(atPlaneEnergy, 4);
    LoopCase higher;
    slitThroughDeflectingPlane(higher, deflection);
    higher.p.sampleEnergy = 20.0F;
    higher.p.extensions.photonEnergies = PhotonEnergyMode::kSpectrum;
    higher.energies = {40.0F};
    const Moments atE = slitImage(higher, 5);

    const double shiftE0 = atE0.mean - undeflected.mean;
    const double shiftE = atE.mean - undeflected.mean;
    EXPECT_NEAR(shiftE0, deflection * 100.0, 4.0 * std::hypot(atE0.error, undeflected.error));
    EXPECT_NEAR(shiftE, 0.25 * deflection * 100.0, 4.0 * std::hypot(atE.error, undeflected.error));
    // The ratio of the two shifts, with its error propagated.
    const double ratioError = std::hypot(atE.error, undeflected.error) / shiftE0 +
                              0.25 * std::hypot(atE0.error, undeflected.error) / shiftE0;
    EXPECT_NEAR(shiftE / shiftE0, 0.25, 4.0 * ratioError);
}

// The position where a rising profile first reaches level, interpolated between pixels.
double firstCrossing(const std::vector<double>& esf, double level) {
    for (std::size_t i = 1; i < esf.size(); ++i) {
        if (esf[i - 1] < level && esf[i] >= level) {
            return static_cast<double>(i - 1) + (level - esf[i - 1]) / (esf[i] - esf[i - 1]);
        }
    }
    return -1.0;
}

TEST(ImagingPhysics, FocalSpotBlursAnEdgeIntoAnErrorFunctionOfTheProjectedSpotWidth) {
    // An opaque half-plane in the pre-sample mask at zm = 500 with its edge on the axis, the
    // detector at L = 2000 (pixels of 0.5), a focal spot of FWHM F = 2. The edge's image is
    // the spot's Gaussian seen through the edge: an error function whose derivative has a
    // full width at half maximum of F (L - zm) / zm = 6 units = 12 pixels.
    constexpr double kSpot = 2.0;
    constexpr double kL = 2000.0;
    constexpr double kZm = 500.0;
    constexpr double kPixel = 0.5;
    LoopCase c;
    c.p.detectorWidth = 80;
    c.p.detectorHeight = 8;
    c.p.detectorPosition = 2000;
    c.p.detectorPixelSizeX = 0.5F;
    c.p.detectorPixelSizeY = 0.5F;
    c.p.preMaskSize = 400;
    c.p.preMaskPosition = 500;
    c.p.preMaskScale = 20.0F;  // the mask's own edge ramp is 0.4 pixels wide on the detector
    c.preMask = testing::grating(400, 400, 200);  // columns 0..199 opaque
    c.p.postMaskActive = false;
    c.p.sampleActive = false;
    c.p.ditherPhotons = false;
    c.p.photonsToRun = 6000000;
    c.p.extensions.focalSpotFwhmX = kSpot;
    c.p.extensions.focalSpotFwhmY = kSpot;
    std::vector<std::uint32_t> image;
    c.runInto(6, image);
    std::vector<double> esf = profile(image, 80, 0);
    // The open beam, well beyond the penumbra and the cone's own blurred edge.
    double open = 0.0;
    for (int column = 64; column <= 72; ++column) {
        open += esf[static_cast<std::size_t>(column)] / 9.0;
    }
    for (double& value : esf) {
        value /= open;
    }
    // Beyond the penumbra, the opaque side is dark.
    EXPECT_LT(esf[10], 0.001);
    // The edge-spread function at -1 and +1 standard deviation of its derivative.
    const double low = firstCrossing(esf, 0.5 * std::erfc(1.0 / std::sqrt(2.0)));
    const double high = firstCrossing(esf, 1.0 - 0.5 * std::erfc(1.0 / std::sqrt(2.0)));
    ASSERT_GT(low, 0.0);
    ASSERT_GT(high, low);
    // Pixels add the variance of a one-pixel box.
    const double sigma = std::sqrt(std::pow((high - low) / 2.0, 2) - 1.0 / 12.0);
    const double fwhm = 2.0 * std::sqrt(2.0 * std::log(2.0)) * sigma;
    const double expected = kSpot * (kL - kZm) / kZm / kPixel;
    EXPECT_NEAR(fwhm, expected, 0.05 * expected);
    // The half-way point lies at the edge's geometric image (mask edge at -0.025 units,
    // magnified 4 times: column 40 - 0.2), whatever the spot.
    EXPECT_NEAR(firstCrossing(esf, 0.5), 39.8, 0.3);
}

// A uniform slab of attenuation n over the whole cone, without deflection: 32 x 32 pixels
// of 1 at 150, no masks.
void slab(LoopCase& c, double attenuation) {
    c.p.detectorWidth = 32;
    c.p.detectorHeight = 32;
    c.p.preMaskActive = false;
    c.p.postMaskActive = false;
    c.p.ditherPhotons = false;
    c.p.photonsToRun = 800000;
    c.geometry = makeSampleGeometry(100, 100, 2, 1.0F, 1.0F, 1.0F, 99.0F);
    c.planes.attenuation.assign(10000, attenuation);
    c.planes.lr.assign(10000, 0.0F);
    c.planes.ud.assign(10000, 0.0F);
    c.p.sampleEnergy = 20.0F;
    c.energies = {15.0F, 30.0F};
}

TEST(ImagingPhysics, TwoEnergySpectrumTransmitsTheMeanOfBothAttenuations) {
    constexpr double kN = 2.0;
    LoopCase open;
    slab(open, 0.0);
    std::vector<std::uint32_t> image;
    const double openHits = open.runInto(7, image);

    LoopCase spectrum;
    slab(spectrum, kN);
    spectrum.p.extensions.photonEnergies = PhotonEnergyMode::kSpectrum;
    const double spectrumHits = spectrum.runInto(8, image);
    // exp(-N muRef(E) / muRef(E0)), averaged over the two energies.
    const double mu0 = referenceAttenuation(20.0);
    const double expected = 0.5 * (std::exp(-kN * referenceAttenuation(15.0) / mu0) +
                                   std::exp(-kN * referenceAttenuation(30.0) / mu0));
    const double transmitted = spectrumHits / openHits;
    const double error = std::sqrt(expected * (1.0 - expected) / openHits);
    EXPECT_NEAR(transmitted, expected, 4.0 * error);

    // The mean energy, which the planes were made at, transmits exp(-N): far from the
    // spectrum's mean.
    LoopCase mean;
    slab(mean, kN);
    const double meanHits = mean.runInto(9, image);
    EXPECT_NEAR(meanHits / openHits, std::exp(-kN), 4.0 * error);
    EXPECT_GT(std::fabs(expected - std::exp(-kN)), 20.0 * error);
}

TEST(ImagingPhysics, DetectorBlurSpreadsAPencilBeamByItsStandardDeviation) {
    // A pin-hole: one clear pixel at the axis of a pre-sample mask at 100 with 2 pixels per
    // unit, the detector at 200 (pixels of 1): the pencil's own image is a tent of half-width
    // h = 1 pixel (variance h^2 / 6), and rounding to pixels adds 1/12.
    for (const double sigma : {2.0, 1.2}) {
        LoopCase c;
        c.p.detectorWidth = 24;
        c.p.detectorHeight = 24;
        c.p.detectorPosition = 200;
        c.p.preMaskSize = 64;
        c.p.preMaskPosition = 100;
        c.p.preMaskScale = 2.0F;
        c.preMask.assign(64 * 64, 1);
        c.preMask[32 * 64 + 32] = 0;
        c.p.postMaskActive = false;
        c.p.sampleActive = false;
        c.p.ditherPhotons = false;
        c.p.countHitsOnly = true;
        c.p.photonsToRun = 20000;
        c.p.extensions.detectorBlurSigma = sigma;
        std::vector<std::uint32_t> image;
        c.runInto(10, image);
        for (int axis : {0, 1}) {
            const Moments m = moments(profile(image, 24, axis));
            EXPECT_NEAR(m.mean, 12.0, 4.0 * m.error) << sigma << " axis " << axis;
            const double spread = std::sqrt(m.variance - 1.0 / 6.0 - 1.0 / 12.0);
            EXPECT_NEAR(spread, sigma, 0.05 * sigma) << "axis " << axis;
        }
    }
}

}  // namespace
}  // namespace conesim
