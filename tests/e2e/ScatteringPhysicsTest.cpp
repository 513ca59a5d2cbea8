// Small-angle scattering run through the built program: a slit imaged through a uniform
// scattering slab widens by a Gaussian of standard deviation sqrt(EPS t) (L - zMid) on the
// detector (whichever way the photon crossed the sample, and scaled by (E0/E)^4 in variance
// for a photon of energy E); the scattering plane holds the sum of EPS times the voxel depth
// along each column, from a scattering volume or from the materials file; a record that names
// a scattering plane needs it. Fixed seeds throughout.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "PrecalcRunSupport.hpp"
#include "ZeroPlaneRun.hpp"

namespace conesim {
namespace {

using testing::ScratchDir;

// The zero-plane set-up (a 20 x 20 plane of unit voxels, zMid = 62) with 80 x 80 pixels of
// 0.5 at L = 150 (fine pixels, so that rounding to them widens the narrow slit and its
// scattered image alike, to 0.3 % of the added variance), no dithering: the planes stop every
// photon but in a slit of columns 9 to 11 (attenuation slitValue there), and scatter with variance
// (rad^2) everywhere when above 0.
void writeSlit(const ScratchDir& dir, double slitValue, double variance,
               const std::string& extensions = "") {
    testing::prepareZeroPlaneRun(dir, "4000000");
    std::vector<double> attenuation(400, 50.0);
    for (int row = 0; row < 20; ++row) {
        for (int column = 9; column <= 11; ++column) {
            attenuation[static_cast<std::size_t>(row * 20 + column)] = slitValue;
        }
    }
    testing::writeValues(dir.file("Z_ref-PRE.pca"), attenuation);
    if (variance > 0.0) {
        testing::writeValues(dir.file("Z_scatter-PRE.pca"), std::vector<double>(400, variance));
    }
    testing::writeText(dir.file("params.txt"), testing::parameterFileText({{25, "80"},
                                                                           {26, "80"},
                                                                           {28, "0.5"},
                                                                           {29, "0.5"},
                                                                           {31, "0"},
                                                                           {39, "4000000"},
                                                                           {40, "100000000"}}) +
                                                   extensions);
}

// The variance (length units^2) of the image's column profile, the sum over its rows.
double profileVariance(const ScratchDir& dir, const std::string& name) {
    const testing::ShellRun run = testing::runInFolder(dir, "--seed 5 params.txt " + name);
    EXPECT_EQ(run.status, 0) << run.console;
    const auto image = testing::readValues<std::uint32_t>(dir.file("OUT/" + name + ".1.dat"));
    EXPECT_EQ(image.size(), 6400U);
    double sum = 0.0;
    double first = 0.0;
    double second = 0.0;
    for (std::size_t i = 0; i < image.size(); ++i) {
        const double column = 0.5 * static_cast<double>(i % 80);
        sum += image[i];
        first += image[i] * column;
        second += image[i] * column * column;
    }
    const double mean = first / sum;
    return second / sum - mean * mean;
}

// The added variance of the scattered slit's image against (sigma (L - zMid))^2, within 3 %;
// the path turned by a Gaussian angle of variance s^2 moves by tan of it, whose mean square is
// s^2 (1 + 2 s^2) (0.2 % here).
void expectWidening(double plain, double scattered, double angleVariance, const char* what) {
    const double expected =
        angleVariance * (1.0 + 2.0 * angleVariance) * (150.0 - 62.0) * (150.0 - 62.0);
    const double measured = scattered - plain;
    std::cout << what << ": slit variance " << plain << ", scattered " << scattered << "; added "
              << measured << " against " << expected << " (ratio " << measured / expected << ")\n";
    EXPECT_NEAR(measured / expected, 1.0, 0.03) << what;
}

TEST(ScatteringPhysics, SlitWidensByTheGaussianOfTheScatteringPlane) {
    const double variance = 1.2e-3;  // sigma 0.0346 rad: 3.05 length units on the detector
    // Through a slit of no attenuation (the branch of columns without material) and through
    // one of some attenuation (the refracting branch and the undeflected passage).
    for (double slitValue : {0.0, 0.3}) {
        ScratchDir plain;
        writeSlit(plain, slitValue, 0.0);
        ScratchDir scattered;
        writeSlit(scattered, slitValue, variance);
        expectWidening(profileVariance(plain, "plain"), profileVariance(scattered, "scattered"),
                       variance, slitValue == 0.0 ? "empty slit" : "attenuating slit");
    }
}

TEST(ScatteringPhysics, ScatteringVarianceScalesWithTheFourthPowerOfE0OverE) {
    // Photons of 30 keV through planes made at 36 keV: the variance times (36/30)^4 = 2.07.
    const std::string energies = "photonEnergies = spectrum\n";
    const double variance = 6e-4;
    ScratchDir plain;
    writeSlit(plain, 0.0, 0.0, energies);
    ScratchDir scattered;
    writeSlit(scattered, 0.0, variance, energies);
    for (const ScratchDir* dir : {&plain, &scattered}) {
        testing::writeText(dir->file("params.txt"), testing::parameterFileText({{25, "80"},
                                                                                {26, "80"},
                                                                                {28, "0.5"},
                                                                                {29, "0.5"},
                                                                                {31, "0"},
                                                                                {39, "4000000"},
                                                                                {40, "100000000"},
                                                                                {43, "36"}}) +
                                                        energies);
    }
    expectWidening(profileVariance(plain, "plain"), profileVariance(scattered, "scattered"),
                   variance * std::pow(36.0 / 30.0, 4.0), "30 keV through planes of 36 keV");
}

// Mode 3 with a scattering volume of 20 x 20 x 8 voxels, EPS = 1e-4 (1 + x + 2z) rad^2/mm,
// 0.1 mm deep each.
void writeScatterVolumeRun(const ScratchDir& dir, const std::string& extensions) {
    testing::writePrecalcInputs(dir, 3, testing::emptySample(), {{39, "1000"}});
    std::vector<float> eps;
    for (int z = 0; z < testing::kSampleZ; ++z) {
        for (int y = 0; y < testing::kSampleY; ++y) {
            for (int x = 0; x < testing::kSampleX; ++x) {
                eps.push_back(static_cast<float>(1e-4 * (1 + x + 2 * z)));
            }
        }
    }
    testing::writeValues(dir.file("eps.bin"), eps);
    testing::writeText(dir.file("params.txt"),
                       testing::precalcParameters(3, {{39, "1000"}}) + extensions);
}

TEST(ScatteringPhysics, ScatteringPlaneSumsTheVolumeTimesTheVoxelDepth) {
    ScratchDir dir;
    writeScatterVolumeRun(dir, "lengthUnitMm = 0.1\nsampleScatterFile = eps.bin\n");
    const testing::ShellRun run = testing::runInFolder(dir, "--seed 1 params.txt t");
    ASSERT_EQ(run.status, 0) << run.console;
    const auto plane = testing::readValues<double>(dir.file("Z_scatter-PRE.pca"));
    ASSERT_EQ(plane.size(), 400U);
    for (int x = 0; x < 20; ++x) {
        double expected = 0.0;
        for (int z = 0; z < 8; ++z) {
            expected += static_cast<double>(static_cast<float>(1e-4 * (1 + x + 2 * z))) * 0.1;
        }
        EXPECT_NEAR(plane[static_cast<std::size_t>(7 * 20 + x)], expected, 1e-15) << x;
    }
    const std::string header = testing::readText(dir.file("Z_scatter-PRE.pca.mhd"));
    EXPECT_NE(header.find("ElementType = MET_DOUBLE"), std::string::npos) << header;
    EXPECT_NE(header.find("DimSize = 20 20"), std::string::npos) << header;
    EXPECT_NE(testing::readText(dir.file("Z-PRE.pca.record"))
                  .find("scatter = Z_scatter-PRE.pca from eps.bin (12800 bytes), lengthUnitMm "
                        "0.1\n"),
              std::string::npos);

    // Mode 5 reads the plane its record names; without it the run ends as without a plane.
    testing::writeText(dir.file("params.txt"), testing::precalcParameters(5, {{39, "1000"}}));
    EXPECT_EQ(testing::runInFolder(dir, "params.txt five").status, 0);
    std::filesystem::remove(dir.file("Z_scatter-PRE.pca"));
    const testing::ShellRun missing = testing::runInFolder(dir, "params.txt five");
    EXPECT_EQ(missing.status, 971 % 256) << missing.console;
    EXPECT_NE(missing.console.find("ERROR: Could not find file Z_scatter-PRE.pca (the "
                                   "scattering plane these planes were made with)"),
              std::string::npos)
        << missing.console;
}

TEST(ScatteringPhysics, ScatteringVolumeNeedsTheLengthUnitAndTheSampleSize) {
    ScratchDir dir;
    writeScatterVolumeRun(dir, "sampleScatterFile = eps.bin\n");
    const testing::ShellRun unitless = testing::runInFolder(dir, "params.txt t");
    EXPECT_NE(unitless.status, 0);
    EXPECT_NE(unitless.console.find("extension setting \"sampleScatterFile\" (value \"eps.bin\") "
                                    "needs lengthUnitMm"),
              std::string::npos)
        << unitless.console;

    writeScatterVolumeRun(dir, "lengthUnitMm = 0.1\nsampleScatterFile = eps.bin\n");
    testing::writeValues(dir.file("eps.bin"), std::vector<float>(20 * 20 * 7, 1e-4F));
    const testing::ShellRun small = testing::runInFolder(dir, "params.txt t");
    EXPECT_EQ(small.status, 32) << small.console;
    EXPECT_NE(small.console.find("ERROR: Scattering file eps.bin (sampleScatterFile) is missing "
                                 "or not of the sample's size, 20x20x8 floats."),
              std::string::npos)
        << small.console;
    EXPECT_FALSE(std::filesystem::exists(dir.file("Z_scatter-PRE.pca")));
}

TEST(ScatteringPhysics, MaterialsScatterByTheirCoefficientTimesTheirThickness) {
    ScratchDir dir;
    // Water that scatters in the left half (x < 10), PMMA that does not on the right.
    std::vector<float> labels;
    for (int z = 0; z < testing::kSampleZ; ++z) {
        for (int y = 0; y < testing::kSampleY; ++y) {
            for (int x = 0; x < testing::kSampleX; ++x) {
                labels.push_back(x < 10 ? 1.0F : 2.0F);
            }
        }
    }
    testing::writePrecalcInputs(dir, 3, labels, {{39, "1000"}, {43, "30"}});
    testing::writeText(dir.file("materials.txt"), "1 1.0 H2O scatter=2e-4\n2 1.18 C5H8O2\n");
    testing::writeText(dir.file("params.txt"),
                       testing::precalcParameters(3, {{39, "1000"}, {43, "30"}}) +
                           "lengthUnitMm = 0.1\nsampleMaterials = materials.txt\n");
    const testing::ShellRun run = testing::runInFolder(dir, "--seed 1 params.txt t");
    ASSERT_EQ(run.status, 0) << run.console;
    const auto plane = testing::readValues<double>(dir.file("Z_scatter-PRE.pca"));
    ASSERT_EQ(plane.size(), 400U);
    // 8 voxels of 0.1 mm: 2e-4 * 0.8 mm = 1.6e-4 rad^2.
    EXPECT_NEAR(plane[20 * 5 + 3], 1.6e-4, 1e-18);
    EXPECT_EQ(plane[20 * 5 + 13], 0.0);
    EXPECT_NE(testing::readText(dir.file("Z-PRE.pca.record"))
                  .find("materials.txt: 1 H2O 1 scatter=0.0002; 2 C5H8O2 1.18\n"),
              std::string::npos);
}

}  // namespace
}  // namespace conesim
