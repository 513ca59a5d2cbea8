// The built program's materials against xraylib's own tables, read here at test time: a gold
// mask transmits exp(-mu_Au(E) t), a CsI layer catches 1 - exp(-mu_CsI(E) t) of the photons,
// and a filter under a weighted spectrum of three energies transmits the weighted mean of
// exp(-mu(E) t), the beam hardening. Within the counting error: 4 sigma, sigma from the
// expected count; fixed seeds.
#include <gtest/gtest.h>
#include <xraylib/xraylib.h>

#include <cmath>
#include <iostream>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "CountingError.hpp"
#include "PrecalcRunSupport.hpp"
#include "ZeroPlaneRun.hpp"

namespace conesim {
namespace {

using testing::expectWithinCountingError;
using testing::ScratchDir;

// mu in 1/cm straight from xraylib.
double mu(const char* compound, double density, double energy) {
    return CS_Total_CP(compound, energy, nullptr) * density;
}

// A 100 x 100 mask whose every pixel is opaque.
std::string opaqueMask() {
    std::ostringstream text;
    text << "P2\n# opaque\n100 100\n255\n";
    for (int i = 0; i < 100 * 100; ++i) {
        text << "255 ";
    }
    return text.str();
}

// Runs the zero-plane set-up (40 x 40 pixels, the sample's planes 0 so that it changes
// nothing) with a spectrum and extension settings; returns the counted photons.
double countedPhotons(const std::string& spectrum, const std::string& extensions,
                      const std::string& photons, bool opaquePreMask) {
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, photons);
    testing::writeText(dir.file("Spectrum"), spectrum);
    if (opaquePreMask) {
        testing::writeText(dir.file("pre.pgm"), opaqueMask());
    }
    // No dithering; the pre-sample mask, 100 pixels of 1 unit at 50, covers the cone; the
    // photons' energy is the spectrum's mean (sample energy 0) unless they draw their own.
    testing::writeText(
        dir.file("params.txt"),
        testing::parameterFileText({{31, "0"}, {39, photons}, {40, "100000000"}, {43, "0"}}) +
            extensions);
    const testing::ShellRun run = testing::runInFolder(dir, "--threads 2 --seed 3 params.txt t");
    EXPECT_EQ(run.status, 0) << run.console;
    return testing::countedHits(dir);
}

TEST(MaterialPhysics, GoldMaskTransmitsAndCsiLayerCatchesWhatXraylibSays) {
    // 20 um of gold (0.2 length units of 0.1 mm) as the opaque mask transmits exp(-mu t);
    // 150 um of CsI as the detector's layer catches 1 - exp(-mu t).
    const struct {
        const char* extensions;
        bool opaqueMask;
        double energy;
        double expected;
    } cases[] = {
        {"preMaskMaterial = Au:19.3\npreMaskThickness = 0.2\n", true, 20.0,
         std::exp(-mu("Au", 19.3, 20.0) * 0.002)},
        {"preMaskMaterial = Au:19.3\npreMaskThickness = 0.2\n", true, 40.0,
         std::exp(-mu("Au", 19.3, 40.0) * 0.002)},
        {"detectorMaterial = CsI:4.51\ndetectorThickness = 1.5\n", false, 20.0,
         1.0 - std::exp(-mu("CsI", 4.51, 20.0) * 0.015)},
        {"detectorMaterial = CsI:4.51\ndetectorThickness = 1.5\n", false, 60.0,
         1.0 - std::exp(-mu("CsI", 4.51, 60.0) * 0.015)},
    };
    for (const auto& c : cases) {
        const double counted = countedPhotons(std::to_string(c.energy) + "\n",
                                              std::string("lengthUnitMm = 0.1\n") + c.extensions,
                                              "500000", c.opaqueMask);
        expectWithinCountingError(counted, 500000.0, c.expected);
    }
}

TEST(MaterialPhysics, FilterUnderAWeightedSpectrumTransmitsTheWeightedMean) {
    // 0.5 mm of aluminium (as the opaque mask) under 15, 25 and 40 keV weighted 1 : 3 : 2.
    const double energies[] = {15.0, 25.0, 40.0};
    const double weights[] = {1.0, 3.0, 2.0};
    double expected = 0.0;
    for (int i = 0; i < 3; ++i) {
        expected += weights[i] / 6.0 * std::exp(-mu("Al", 2.70, energies[i]) * 0.05);
    }
    const double photons = 1000000.0;
    const double counted =
        countedPhotons("15 1\n25 3\n40 2\n",
                       "lengthUnitMm = 0.1\npreMaskMaterial = Al:2.70\npreMaskThickness = 5\n"
                       "photonEnergies = spectrum\nspectrumWeights = 1\n",
                       "1000000", true);
    expectWithinCountingError(counted, photons, expected);
    // The mean of the three energies' transmissions alike would be well outside.
    double alike = 0.0;
    for (const double energy : energies) {
        alike += std::exp(-mu("Al", 2.70, energy) * 0.05) / 3.0;
    }
    EXPECT_GT(std::fabs(alike - expected) * photons, 20.0 * std::sqrt(photons * expected));
}

TEST(MaterialPhysics, MaterialSettingsAreRefusedWithTheirLineAndCause) {
    const struct {
        std::string extensions;
        std::string message;
    } cases[] = {
        {"lengthUnitMm = 0.1\npreMaskMaterial = Xq2:3\npreMaskThickness = 1\n",
         "extension setting \"preMaskMaterial\" (value \"Xq2:3\") names a compound, Xq2, that "
         "is neither a chemical formula nor a NIST compound xraylib knows"},
        {"lengthUnitMm = 0.1\ndetectorMaterial = CsI\ndetectorThickness = 1\n",
         "extension setting \"detectorMaterial\" (value \"CsI\") is not a compound with its "
         "density after a colon (for example Au:19.3)"},
        {"lengthUnitMm = 0.1\npostMaskMaterial = Au:19.3\n",
         "extension setting \"postMaskMaterial\" (value \"Au:19.3\") needs postMaskThickness "
         "above 0 (length units)"},
        {"detectorMaterial = CsI:4.51\ndetectorThickness = 1.5\n",
         "extension setting \"detectorMaterial\" (value \"CsI:4.51\") needs lengthUnitMm, the "
         "millimetres of one length unit, above 0"},
        {"spectrumWeights = 2\n",
         "extension setting \"spectrumWeights\" (value \"2\") is not 0 "
         "or 1"},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        testing::prepareZeroPlaneRun(dir, "1000");
        testing::writeText(dir.file("params.txt"), testing::parameterFileText() + c.extensions);
        const testing::ShellRun run = testing::runInFolder(dir, "params.txt");
        EXPECT_EQ(run.status, 11) << run.console;
        EXPECT_NE(run.console.find(c.message), std::string::npos) << run.console;
    }
}

// A spectrum entry below xraylib's tables is named before the photons run.
TEST(MaterialPhysics, EnergiesOutsideXraylibsTablesAreNamed) {
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, "1000");
    testing::writeText(dir.file("Spectrum"), "0.05 1\n20 1\n");
    testing::writeText(dir.file("params.txt"),
                       testing::parameterFileText({{43, "20"}}) +
                           "lengthUnitMm = 0.1\ndetectorMaterial = CsI:4.51\n"
                           "detectorThickness = 1.5\nphotonEnergies = spectrum\n"
                           "spectrumWeights = 1\n");
    const testing::ShellRun run = testing::runInFolder(dir, "--seed 1 params.txt t");
    EXPECT_EQ(run.status, 0) << run.console;
    EXPECT_NE(run.console.find("WARNING: 1 of the spectrum's 2 energies lie outside xraylib's "
                               "tables for the run's materials (the first: 0.05 keV); the "
                               "materials do not act on photons of those energies.\n"),
              std::string::npos)
        << run.console;
}

}  // namespace
}  // namespace conesim
