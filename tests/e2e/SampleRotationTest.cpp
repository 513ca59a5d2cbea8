// The sample turned by sampleRotation on the built program: a quarter turn makes the planes
// of the volume turned by hand, labels and scattering volumes turn with the sample, a half
// turn mirrors the attenuation plane, voxels turned out of the grid are counted in a
// warning, and planes of one rotation are refused by runs of another.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "PrecalcRunSupport.hpp"
#include "QuarterTurn.hpp"

namespace conesim {
namespace {

using testing::readText;
using testing::runInFolder;
using testing::ScratchDir;
using testing::ShellRun;

// An asymmetric 9 x 4 x 7 sample: odd in x and z, so that a half turn keeps every voxel.
// Its values are multiples of 1/4, so that column sums in any order are exact.
constexpr int kX = 9;
constexpr int kY = 4;
constexpr int kZ = 7;

std::vector<float> asymmetricSample(float low, float high) {
    std::vector<float> values;
    for (int z = 0; z < kZ; ++z) {
        for (int y = 0; y < kY; ++y) {
            for (int x = 0; x < kX; ++x) {
                const bool block = x >= 5 && z <= 2 + y % 2;
                const bool bar = x == 1 && z >= 3;
                values.push_back(block ? high : (bar ? low : 0.0F));
            }
        }
    }
    return values;
}

// Writes the inputs of a run of that sample in mode, with the extension lines, and runs it.
ShellRun runSample(const ScratchDir& dir, int mode, const std::vector<float>& sample,
                   const std::string& extensions) {
    const std::map<int, std::string> values = {{10, std::to_string(kX)},
                                               {11, std::to_string(kY)},
                                               {12, std::to_string(kZ)},
                                               {39, "1000"},
                                               {43, "30"}};
    testing::writePrecalcInputs(dir, mode, sample, values);
    testing::writeText(dir.file("params.txt"),
                       testing::precalcParameters(mode, values) + extensions);
    return runInFolder(dir, "--seed 1 params.txt t");
}

std::string fileBytes(const ScratchDir& dir, const std::string& name) {
    return readText(dir.file(name));
}

TEST(SampleRotation, AQuarterTurnMakesThePlanesOfTheVolumeTurnedByHand) {
    const std::vector<float> sample = asymmetricSample(0.25F, 0.5F);
    const testing::HandTurn byHand = testing::turnByQuarters(sample, kX, kY, kZ, 1);
    ScratchDir turned;
    ScratchDir reference;
    const ShellRun run = runSample(turned, 3, sample, "sampleRotation = 90\n");
    ASSERT_EQ(run.status, 0) << run.console;
    ASSERT_EQ(runSample(reference, 3, byHand.volume, "").status, 0);
    for (const char* name : {"Z_ref-PRE", "Z_iLR-PRE", "Z_iUD-PRE", "Z_ref-PRE.pca",
                             "Z_iLR-PRE.pca", "Z_iUD-PRE.pca"}) {
        EXPECT_EQ(fileBytes(turned, name), fileBytes(reference, name)) << name;
    }
    EXPECT_TRUE(testing::temporaryNames(testing::folderSnapshot(turned)).empty());
    // The bar at x = 1 ends outside the grid along z.
    ASSERT_GT(byHand.lost, 0);
    std::ostringstream warning;
    warning << "WARNING: sampleRotation = 90 degrees turns " << byHand.lost << " of "
            << byHand.nonZero << " non-zero voxels of Sample.bin (a fraction "
            << static_cast<double>(byHand.lost) / static_cast<double>(byHand.nonZero)
            << ") out of the sample's grid; they are left out.\n";
    EXPECT_NE(run.console.find(warning.str()), std::string::npos) << run.console;
    EXPECT_NE(readText(turned.file("OUT/Logger.txt")).find(warning.str()), std::string::npos);
    EXPECT_EQ(runSample(reference, 3, sample, "").console.find("WARNING: sampleRotation"),
              std::string::npos);

    // The record names the rotation; runs of another rotation refuse the maps and planes.
    EXPECT_NE(fileBytes(turned, "Z-PRE.pca.record").find("\nrotation = 90\n"), std::string::npos);
    const auto refused = [&](int mode, const std::string& extensions, int status) {
        const ShellRun other = runSample(turned, mode, sample, extensions);
        EXPECT_EQ(other.status, status % 256) << other.console;
        return other.console;
    };
    EXPECT_NE(refused(5, "", 973)
                  .find("ERROR: The planes (Z-PRE.pca.record) were made with "
                        "rotation = 90; this run has rotation = none."),
              std::string::npos);
    EXPECT_NE(refused(4, "sampleRotation = -90\n", 974)
                  .find("ERROR: The volume maps (Z-PRE.record) were made with rotation = 90; "
                        "this run has rotation = -90."),
              std::string::npos);
    EXPECT_EQ(refused(5, "sampleRotation = 90\n", 0).find("ERROR"), std::string::npos);
    // Mode 4 turns the sample again for its attenuation plane: the same planes.
    const std::string attenuation = fileBytes(turned, "Z_ref-PRE.pca");
    EXPECT_EQ(refused(4, "sampleRotation = 90\n", 0).find("ERROR"), std::string::npos);
    EXPECT_EQ(fileBytes(turned, "Z_ref-PRE.pca"), attenuation);
}

TEST(SampleRotation, LabelAndScatteringVolumesTurnWithTheSample) {
    const std::vector<float> labels = asymmetricSample(1.0F, 2.0F);
    const std::vector<float> eps = asymmetricSample(1e-4F, 3e-4F);
    const std::string materials =
        "lengthUnitMm = 0.1\nsampleMaterials = materials.txt\n"
        "sampleScatterFile = eps.bin\n";
    ScratchDir turned;
    ScratchDir reference;
    for (const ScratchDir* dir : {&turned, &reference}) {
        testing::writeText(dir->file("materials.txt"), "1 1.0 H2O\n2 1.18 C5H8O2\n");
    }
    testing::writeValues(turned.file("eps.bin"), eps);
    testing::writeValues(reference.file("eps.bin"),
                         testing::turnByQuarters(eps, kX, kY, kZ, 3).volume);
    const ShellRun run = runSample(turned, 3, labels, materials + "sampleRotation = 270\n");
    ASSERT_EQ(run.status, 0) << run.console;
    ASSERT_EQ(
        runSample(reference, 3, testing::turnByQuarters(labels, kX, kY, kZ, 3).volume, materials)
            .status,
        0);
    for (const char* name :
         {"Z_ref-PRE.pca", "Z_thick-PRE.pca", "Z_scatter-PRE.pca", "Z_iLR-PRE.pca"}) {
        EXPECT_EQ(fileBytes(turned, name), fileBytes(reference, name)) << name;
    }
    EXPECT_NE(run.console.find("non-zero voxels of eps.bin"), std::string::npos) << run.console;
    EXPECT_TRUE(testing::temporaryNames(testing::folderSnapshot(turned)).empty());
}

TEST(SampleRotation, AHalfTurnMirrorsTheAttenuationPlaneAboutTheCentreColumn) {
    const std::vector<float> sample = asymmetricSample(0.25F, 0.75F);
    ScratchDir dir;
    ASSERT_EQ(runSample(dir, 3, sample, "").status, 0);
    const auto unturned = testing::readValues<double>(dir.file("Z_ref-PRE.pca"));
    const ShellRun run = runSample(dir, 3, sample, "sampleRotation = 180\n");
    ASSERT_EQ(run.status, 0) << run.console;
    EXPECT_EQ(run.console.find("WARNING: sampleRotation"), std::string::npos) << run.console;
    const auto half = testing::readValues<double>(dir.file("Z_ref-PRE.pca"));
    ASSERT_EQ(half.size(), std::size_t{kX * kY});
    for (int y = 0; y < kY; ++y) {
        for (int x = 0; x < kX; ++x) {
            EXPECT_EQ(half[y * kX + x], unturned[y * kX + (2 * (kX / 2) - x)]) << x << " " << y;
        }
    }
    EXPECT_NE(half, unturned);
}

}  // namespace
}  // namespace conesim
