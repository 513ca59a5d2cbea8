// A sample given as materials, run through the built program and compared with xraylib's
// own values read here at test time: the refractive index map holds -delta(E0) and the
// attenuation plane mu(E0) t of each material; a block transmits exp(-mu t) and, under a
// weighted spectrum, the weighted mean of exp(-mu(E) t) (beam hardening); a PMMA rod in
// water deflects by the difference of the two deltas. Counting errors: 4 sigma, sigma from
// the expected count; fixed seeds.
#include <gtest/gtest.h>
#include <xraylib/xraylib.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "CountingError.hpp"
#include "PrecalcRunSupport.hpp"

namespace conesim {
namespace {

using testing::countedHits;
using testing::expectWithinCountingError;
using testing::ScratchDir;

struct Material {
    const char* compound;  // as the materials file and xraylib write it
    double density;        // g/cm^3
};

const Material kWater{"H2O", 1.0};
const Material kPmma{"C5H8O2", 1.18};
const Material kPolyethylene{"C2H4", 0.94};
const Material kAluminium{"Al", 2.70};
const Material kBone{"Bone, Cortical (ICRP)", 1.92};

double mu(const Material& m, double energy) {
    return CS_Total_CP(m.compound, energy, nullptr) * m.density;
}
double delta(const Material& m, double energy) {
    return 1.0 - Refractive_Index_Re(m.compound, energy, m.density, nullptr);
}

std::string materialLine(int label, const Material& m) {
    return std::to_string(label) + " " + std::to_string(m.density) + " \"" + m.compound + "\"\n";
}

// Writes the inputs of a run in mode over a label volume of dimX x dimY x dimZ unit voxels
// with the materials, at energy E0 (spectrum and value 43), with further extension lines.
void writeMaterialRun(const ScratchDir& dir, int mode, const std::vector<float>& labels, int dimX,
                      int dimY, int dimZ, const std::vector<Material>& materials,
                      const std::string& photons, double energy, double lengthUnitMm,
                      const std::string& spectrum = "", const std::string& extra = "") {
    testing::writePrecalcInputs(dir, mode, labels,
                                {{10, std::to_string(dimX)},
                                 {11, std::to_string(dimY)},
                                 {12, std::to_string(dimZ)},
                                 {31, "0"},
                                 {39, photons},
                                 {40, "100000000"},
                                 {43, std::to_string(energy)}});
    std::string file = "# label density compound\n";
    for (std::size_t i = 0; i < materials.size(); ++i) {
        file += materialLine(static_cast<int>(i) + 1, materials[i]);
    }
    testing::writeText(dir.file("materials.txt"), file);
    testing::writeText(dir.file("Spectrum"),
                       spectrum.empty() ? std::to_string(energy) + "\n" : spectrum);
    testing::writeText(dir.file("params.txt"),
                       testing::readText(dir.file("params.txt")) +
                           "lengthUnitMm = " + std::to_string(lengthUnitMm) +
                           "\nsampleMaterials = materials.txt\n" + extra);
}

TEST(SampleMaterials, MapAndAttenuationPlaneAgreeWithXraylib) {
    // Five materials side by side, two columns each, two slices deep: 0.02 cm of each.
    const std::vector<Material> materials{kWater, kPmma, kPolyethylene, kAluminium, kBone};
    const int dimX = 10;
    const int dimY = 2;
    const int dimZ = 2;
    std::vector<float> labels(dimX * dimY * dimZ);
    for (std::size_t i = 0; i < labels.size(); ++i) {
        labels[i] = static_cast<float>((i % dimX) / 2 + 1);
    }
    for (const double energy : {15.0, 20.0, 30.0, 60.0, 100.0}) {
        ScratchDir dir;
        writeMaterialRun(dir, 3, labels, dimX, dimY, dimZ, materials, "10", energy, 0.1);
        const testing::ShellRun run =
            testing::runInFolder(dir, "--threads 2 --seed 1 params.txt t");
        ASSERT_EQ(run.status, 0) << run.console;
        const auto map = testing::readValues<float>(dir.file("Z_ref-PRE"));
        const auto plane = testing::readValues<double>(dir.file("Z_ref-PRE.pca"));
        const auto thickness = testing::readValues<double>(dir.file("Z_thick-PRE.pca"));
        ASSERT_EQ(map.size(), labels.size());
        ASSERT_EQ(plane.size(), static_cast<std::size_t>(dimX * dimY));
        ASSERT_EQ(thickness.size(), materials.size() * dimX * dimY);
        for (int x = 0; x < dimX; ++x) {
            const Material& m = materials[static_cast<std::size_t>(x / 2)];
            const double expectedDelta = delta(m, energy);
            const double expectedMuT = mu(m, energy) * 0.02;
            EXPECT_NEAR(-map[static_cast<std::size_t>(x)], expectedDelta, 0.005 * expectedDelta)
                << m.compound << " at " << energy << " keV";
            EXPECT_NEAR(plane[static_cast<std::size_t>(x)], expectedMuT, 0.005 * expectedMuT)
                << m.compound << " at " << energy << " keV";
            EXPECT_NEAR(thickness[static_cast<std::size_t>(x / 2 * dimX * dimY + x)], 0.02, 1e-12);
        }
        EXPECT_NE(run.console.find("sampleValueScale plays no part"), std::string::npos);
        const std::string record = testing::readText(dir.file("Z-PRE.pca.record"));
        EXPECT_NE(record.find("deflectionModel = phase"), std::string::npos) << record;
        EXPECT_NE(record.find("5 Bone, Cortical (ICRP) 1.92"), std::string::npos) << record;
        EXPECT_NE(record.find("units = lengthUnitMm 0.1"), std::string::npos) << record;
        // The headers give the spacing in millimetres: 1 length unit of 0.1 mm.
        EXPECT_NE(
            testing::readText(dir.file("Z_ref-PRE.mhd")).find("ElementSpacing = 0.1 0.1 0.1\n"),
            std::string::npos);
        EXPECT_NE(
            testing::readText(dir.file("Z_ref-PRE.pca.mhd")).find("ElementSpacing = 0.1 0.1\n"),
            std::string::npos);
    }
}

TEST(SampleMaterials, WaterBlockTransmitsExpMinusMuT) {
    // 20 x 20 x 8 voxels of water, 1.5 mm each along the beam: 1.2 cm at 20 keV.
    ScratchDir dir;
    const std::vector<float> labels(testing::kSampleX * testing::kSampleY * testing::kSampleZ,
                                    1.0F);
    writeMaterialRun(dir, 3, labels, testing::kSampleX, testing::kSampleY, testing::kSampleZ,
                     {kWater}, "200000", 20.0, 1.5);
    const testing::ShellRun run = testing::runInFolder(dir, "--threads 2 --seed 5 params.txt t");
    ASSERT_EQ(run.status, 0) << run.console;
    expectWithinCountingError(countedHits(dir), 200000.0, std::exp(-mu(kWater, 20.0) * 1.2));
}

TEST(SampleMaterials, AluminiumUnderAWeightedSpectrumTransmitsTheWeightedMean) {
    // 0.5 mm of aluminium (8 voxels of 0.0625 mm) under 15, 25 and 40 keV weighted 1 : 3 : 2,
    // planes made at 25 keV.
    const double energies[] = {15.0, 25.0, 40.0};
    const double weights[] = {1.0, 3.0, 2.0};
    double expected = 0.0;
    for (int i = 0; i < 3; ++i) {
        expected += weights[i] / 6.0 * std::exp(-mu(kAluminium, energies[i]) * 0.05);
    }
    ScratchDir dir;
    const std::vector<float> labels(testing::kSampleX * testing::kSampleY * testing::kSampleZ,
                                    1.0F);
    writeMaterialRun(dir, 3, labels, testing::kSampleX, testing::kSampleY, testing::kSampleZ,
                     {kAluminium}, "400000", 25.0, 0.0625, "15 1\n25 3\n40 2\n",
                     "photonEnergies = spectrum\nspectrumWeights = 1\n");
    const testing::ShellRun run = testing::runInFolder(dir, "--threads 2 --seed 7 params.txt t");
    ASSERT_EQ(run.status, 0) << run.console;
    expectWithinCountingError(countedHits(dir), 400000.0, expected);

    // Mode 5 reads the thickness planes and gives the same physics.
    ScratchDir again;
    for (const char* name : {"Z_ref-PRE.pca", "Z_iLR-PRE.pca", "Z_iUD-PRE.pca", "Z_thick-PRE.pca",
                             "Z-PRE.pca.record"}) {
        std::filesystem::copy_file(dir.file(name), again.file(name));
    }
    writeMaterialRun(again, 5, labels, testing::kSampleX, testing::kSampleY, testing::kSampleZ,
                     {kAluminium}, "400000", 25.0, 0.0625, "15 1\n25 3\n40 2\n",
                     "photonEnergies = spectrum\nspectrumWeights = 1\n");
    const testing::ShellRun second =
        testing::runInFolder(again, "--threads 2 --seed 9 params.txt t");
    ASSERT_EQ(second.status, 0) << second.console;
    expectWithinCountingError(countedHits(again), 400000.0, expected);

    // Without the thickness planes mode 5 ends as with a missing plane (971).
    std::filesystem::remove(again.file("Z_thick-PRE.pca"));
    const testing::ShellRun missing =
        testing::runInFolder(again, "--threads 2 --seed 9 params.txt t");
    EXPECT_EQ(missing.status, 971 % 256) << missing.console;
    EXPECT_NE(missing.console.find("Z_thick-PRE.pca"), std::string::npos) << missing.console;
}

TEST(SampleMaterials, PmmaRodInWaterDeflectsByTheDifferenceOfTheDeltas) {
    // A PMMA rod of radius 10 voxels along y through a water block of 32 x 4 x 32 voxels.
    const int dimX = 32;
    const int dimY = 4;
    const int dimZ = 32;
    std::vector<float> labels(dimX * dimY * dimZ, 1.0F);
    for (int z = 0; z < dimZ; ++z) {
        for (int y = 0; y < dimY; ++y) {
            for (int x = 0; x < dimX; ++x) {
                const double dx = x - 15.5;
                const double dz = z - 15.5;
                if (dx * dx + dz * dz < 100.0) {
                    labels[static_cast<std::size_t>((z * dimY + y) * dimX + x)] = 2.0F;
                }
            }
        }
    }
    const double energy = 20.0;
    ScratchDir dir;
    writeMaterialRun(dir, 3, labels, dimX, dimY, dimZ, {kWater, kPmma}, "10", energy, 0.1);
    const testing::ShellRun run = testing::runInFolder(dir, "--threads 2 --seed 1 params.txt t");
    ASSERT_EQ(run.status, 0) << run.console;
    const auto map = testing::readValues<float>(dir.file("Z_ref-PRE"));
    const double deltaWater = delta(kWater, energy);
    const double deltaPmma = delta(kPmma, energy);
    EXPECT_NEAR(-map[0], deltaWater, 0.005 * deltaWater);
    const std::size_t centre = static_cast<std::size_t>((16 * dimY + 1) * dimX + 16);
    EXPECT_NEAR(-map[centre], deltaPmma, 0.005 * deltaPmma);

    // Summed from the water beside the rod to its centre, the deflection times the voxel
    // width is minus the rise of the projected decrement: (delta_PMMA - delta_water) times
    // the central chord of 20 voxels (the analytic chord is 2 sqrt(100 - 0.25) = 19.97).
    const auto lr = testing::readValues<double>(dir.file("Z_iLR-PRE.pca"));
    double sum = 0.0;
    for (int x = 2; x <= 15; ++x) {
        sum += lr[static_cast<std::size_t>(dimX + x)];
    }
    const double expected = -(deltaPmma - deltaWater) * 20.0;
    EXPECT_NEAR(sum, expected, 0.005 * std::fabs(expected));
    EXPECT_LT(sum, 0.0);  // the rod's left half turns photons to the left
}

TEST(SampleMaterials, ValuesThatAreNoLabelAreRefusedBeforeAnyMap) {
    ScratchDir dir;
    std::vector<float> labels(testing::kSampleX * testing::kSampleY * testing::kSampleZ, 1.0F);
    labels[(2 * testing::kSampleY + 3) * testing::kSampleX + 4] = 3.0F;
    labels[(5 * testing::kSampleY + 0) * testing::kSampleX + 0] = 3.0F;
    writeMaterialRun(dir, 3, labels, testing::kSampleX, testing::kSampleY, testing::kSampleZ,
                     {kWater, kPmma}, "10", 20.0, 0.1);
    const testing::ShellRun run = testing::runInFolder(dir, "params.txt t");
    EXPECT_EQ(run.status, 32) << run.console;
    EXPECT_NE(run.console.find("ERROR: Sample file Sample.bin holds the value 3 in 2 voxels (the "
                               "first at x, y, z = 4, 3, 2), which is neither 0 (vacuum) nor a "
                               "label of materials file materials.txt."),
              std::string::npos)
        << run.console;
    EXPECT_FALSE(std::filesystem::exists(dir.file("Z_ref-PRE")));
}

TEST(SampleMaterials, WrongMaterialsFilesAreRefusedWithLineAndValue) {
    const struct {
        std::string file;
        std::string message;
    } cases[] = {
        {"1 1.0 H2O\n2 1.0 Xq7\n",
         "ERROR: Materials file materials.txt, line 2: xraylib does not know the compound Xq7"},
        {"1 1.0 H2O\n# water again\n1 1.18 C5H8O2\n",
         "ERROR: Materials file materials.txt, line 3: the label 1 was given on line 1 "
         "already."},
        {"1 1.0 H2O scatter=0.1 x\n",
         "ERROR: Materials file materials.txt, line 1: unknown field x after the scatter=0.1."},
        {"1 1.0 H2O scatter=-0.1\n",
         "ERROR: Materials file materials.txt, line 1: the scattering scatter=-0.1 is not a "
         "number of at least 0 (rad^2/mm, the variance of the scattering angle per mm)."},
        {"1 1.0 H2O spread=0.1\n",
         "ERROR: Materials file materials.txt, line 1: unknown field spread=0.1 after the "
         "compound."},
        {"0 1.0 H2O\n", "line 1: the label 0 is not a positive integer."},
        {"1 -2 H2O\n", "line 1: the density -2 is not a positive number (g/cm^3)."},
        {"1 1.0\n", "line 1: expected LABEL DENSITY COMPOUND, found 2 words."},
        {"1 1.92 \"Bone, Cortical (ICRP)\n", "line 1: the quoted compound"},
        {"# nothing\n", "ERROR: Materials file materials.txt gives no material."},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        const std::vector<float> labels(testing::kSampleX * testing::kSampleY * testing::kSampleZ,
                                        1.0F);
        writeMaterialRun(dir, 3, labels, testing::kSampleX, testing::kSampleY, testing::kSampleZ,
                         {kWater}, "10", 20.0, 0.1);
        testing::writeText(dir.file("materials.txt"), c.file);
        const testing::ShellRun run = testing::runInFolder(dir, "params.txt t");
        EXPECT_EQ(run.status, 32) << run.console;
        EXPECT_NE(run.console.find(c.message), std::string::npos) << run.console;
    }
}

}  // namespace
}  // namespace conesim

namespace conesim {
namespace {

TEST(SampleMaterials, ModeFourMakesTheSamePlanesFromTheLabelVolume) {
    std::vector<float> labels(testing::kSampleX * testing::kSampleY * testing::kSampleZ, 1.0F);
    for (std::size_t i = 0; i < labels.size(); i += 3) {
        labels[i] = i % 2 == 0 ? 2.0F : 0.0F;
    }
    ScratchDir dir;
    writeMaterialRun(dir, 3, labels, testing::kSampleX, testing::kSampleY, testing::kSampleZ,
                     {kWater, kAluminium}, "10", 30.0, 0.1);
    ASSERT_EQ(testing::runInFolder(dir, "params.txt t").status, 0);
    const std::string attenuation = testing::readText(dir.file("Z_ref-PRE.pca"));
    const std::string thickness = testing::readText(dir.file("Z_thick-PRE.pca"));
    const std::string deflection = testing::readText(dir.file("Z_iLR-PRE.pca"));
    std::filesystem::remove(dir.file("Z_thick-PRE.pca"));
    writeMaterialRun(dir, 4, labels, testing::kSampleX, testing::kSampleY, testing::kSampleZ,
                     {kWater, kAluminium}, "10", 30.0, 0.1);
    const testing::ShellRun run = testing::runInFolder(dir, "params.txt u");
    ASSERT_EQ(run.status, 0) << run.console;
    EXPECT_EQ(testing::readText(dir.file("Z_ref-PRE.pca")), attenuation);
    EXPECT_EQ(testing::readText(dir.file("Z_thick-PRE.pca")), thickness);
    EXPECT_EQ(testing::readText(dir.file("Z_iLR-PRE.pca")), deflection);
}

}  // namespace
}  // namespace conesim

namespace conesim {
namespace {

TEST(SampleMaterials, InterfaceModelRefractsAtLabelOneAsAtAnyOther) {
    // A PMMA sphere in vacuum, labelled 1 and labelled 2: as an attenuation value, 1 would
    // get no interface angle where the sphere begins, so the planes would differ.
    const int n = 24;
    const auto sphereOf = [&](float label) {
        std::vector<float> labels(static_cast<std::size_t>(n * n * n), 0.0F);
        for (int z = 0; z < n; ++z) {
            for (int y = 0; y < n; ++y) {
                for (int x = 0; x < n; ++x) {
                    const double r2 =
                        (x - 11.5) * (x - 11.5) + (y - 11.5) * (y - 11.5) + (z - 11.5) * (z - 11.5);
                    if (r2 < 64.0) {
                        labels[static_cast<std::size_t>((z * n + y) * n + x)] = label;
                    }
                }
            }
        }
        return labels;
    };
    ScratchDir one;
    writeMaterialRun(one, 3, sphereOf(1.0F), n, n, n, {kPmma}, "10", 20.0, 0.1, "",
                     "deflectionModel = interface\n");
    ASSERT_EQ(testing::runInFolder(one, "params.txt t").status, 0);
    ScratchDir two;
    writeMaterialRun(two, 3, sphereOf(2.0F), n, n, n, {kWater, kPmma}, "10", 20.0, 0.1, "",
                     "deflectionModel = interface\n");
    ASSERT_EQ(testing::runInFolder(two, "params.txt t").status, 0);
    const auto lr = testing::readValues<double>(one.file("Z_iLR-PRE.pca"));
    EXPECT_EQ(lr, testing::readValues<double>(two.file("Z_iLR-PRE.pca")));
    EXPECT_GT(std::count_if(lr.begin(), lr.end(), [](double v) { return v != 0.0; }), 0);
}

}  // namespace
}  // namespace conesim
