// sampleRotation on the built program: a quarter turn makes the planes of the volume turned
// by hand, with labels and scattering turning alike; a half turn mirrors the attenuation
// plane; lost voxels are counted in a warning; planes of another rotation are refused.
#include <gtest/gtest.h>

#include <sstream>

#include "PrecalcRunSupport.hpp"
#include "QuarterTurn.hpp"

namespace conesim {
namespace {

using testing::readText;
using testing::ScratchDir;
using testing::ShellRun;
using testing::turnByQuarters;

// 9 x 4 x 7 voxels, odd in x and z so that a half turn keeps every voxel; values that are
// multiples of 1/4, so that column sums in any order are exact.
constexpr int kX = 9, kY = 4, kZ = 7;

std::vector<float> asymmetricSample(float bar, float block) {
    std::vector<float> values;
    for (int z = 0; z < kZ; ++z) {
        for (int y = 0; y < kY; ++y) {
            for (int x = 0; x < kX; ++x) {
                values.push_back(x >= 5 && z <= 2 + y % 2 ? block : (x == 1 && z >= 3 ? bar : 0));
            }
        }
    }
    return values;
}

// Writes the inputs of a run of the sample in mode, with the extension lines, and runs it.
ShellRun runSample(const ScratchDir& dir, int mode, const std::vector<float>& sample,
                   const std::string& extensions) {
    const std::map<int, std::string> values = {{10, "9"}, {11, "4"}, {12, "7"}, {39, "1000"}};
    testing::writePrecalcInputs(dir, mode, sample, values);
    testing::writeText(dir.file("params.txt"),
                       testing::precalcParameters(mode, values) + extensions);
    return testing::runInFolder(dir, "--seed 1 params.txt t");
}

void expectSameFiles(const ScratchDir& a, const ScratchDir& b, std::vector<std::string> names) {
    for (const std::string& name : names) {
        EXPECT_EQ(readText(a.file(name)), readText(b.file(name))) << name;
    }
    EXPECT_TRUE(testing::temporaryNames(testing::folderSnapshot(a)).empty());
}

TEST(SampleRotation, AQuarterTurnMakesThePlanesOfTheVolumeTurnedByHandAndIsRecorded) {
    const std::vector<float> sample = asymmetricSample(0.25F, 0.5F);
    const testing::HandTurn byHand = turnByQuarters(sample, kX, kY, kZ, 1);
    ScratchDir turned, reference;
    const ShellRun run = runSample(turned, 3, sample, "sampleRotation = 90\n");
    ASSERT_EQ(run.status, 0) << run.console;
    ASSERT_EQ(runSample(reference, 3, byHand.volume, "").status, 0);
    expectSameFiles(turned, reference,
                    {"Z_ref-PRE", "Z_iLR-PRE", "Z_ref-PRE.pca", "Z_iLR-PRE.pca", "Z_iUD-PRE.pca"});
    ASSERT_GT(byHand.lost, 0);  // the bar at x = 1 leaves the grid along z
    std::ostringstream warning;
    warning << "WARNING: sampleRotation = 90 degrees turns " << byHand.lost << " of "
            << byHand.nonZero << " non-zero voxels of Sample.bin (a fraction "
            << static_cast<double>(byHand.lost) / static_cast<double>(byHand.nonZero)
            << ") out of the sample's grid; they are left out.\n";
    EXPECT_NE(run.console.find(warning.str()), std::string::npos) << run.console;
    EXPECT_NE(readText(turned.file("OUT/Logger.txt")).find(warning.str()), std::string::npos);

    EXPECT_NE(readText(turned.file("Z-PRE.pca.record")).find("\nrotation = 90\n"),
              std::string::npos);
    const auto console = [&](int mode, const std::string& extensions, int status) {
        const ShellRun other = runSample(turned, mode, sample, extensions);
        EXPECT_EQ(other.status, status % 256) << other.console;
        return other.console;
    };
    EXPECT_NE(console(5, "", 973)
                  .find("ERROR: The planes (Z-PRE.pca.record) were made with "
                        "rotation = 90; this run has rotation = none."),
              std::string::npos);
    EXPECT_NE(console(4, "sampleRotation = -90\n", 974)
                  .find("ERROR: The volume maps (Z-PRE.record) were made with rotation = 90; "
                        "this run has rotation = -90."),
              std::string::npos);
    EXPECT_EQ(console(5, "sampleRotation = 90\n", 0).find("ERROR"), std::string::npos);
    // Mode 4 turns the sample again for the attenuation plane.
    EXPECT_EQ(console(4, "sampleRotation = 90\n", 0).find("ERROR"), std::string::npos);
    expectSameFiles(turned, reference, {"Z_ref-PRE.pca"});
}

TEST(SampleRotation, LabelAndScatteringVolumesTurnWithTheSample) {
    const std::vector<float> labels = asymmetricSample(1.0F, 2.0F);
    const std::vector<float> eps = asymmetricSample(1e-4F, 3e-4F);
    const std::string settings =
        "lengthUnitMm = 0.1\nsampleMaterials = materials.txt\n"
        "sampleScatterFile = eps.bin\n";
    ScratchDir turned, reference;
    for (const ScratchDir* dir : {&turned, &reference}) {
        testing::writeText(dir->file("materials.txt"), "1 1.0 H2O\n2 1.18 C5H8O2\n");
    }
    testing::writeValues(turned.file("eps.bin"), eps);
    testing::writeValues(reference.file("eps.bin"), turnByQuarters(eps, kX, kY, kZ, 3).volume);
    const ShellRun run = runSample(turned, 3, labels, settings + "sampleRotation = 270\n");
    ASSERT_EQ(run.status, 0) << run.console;
    EXPECT_NE(run.console.find("non-zero voxels of eps.bin"), std::string::npos) << run.console;
    const auto turnedLabels = turnByQuarters(labels, kX, kY, kZ, 3).volume;
    ASSERT_EQ(runSample(reference, 3, turnedLabels, settings).status, 0);
    expectSameFiles(turned, reference, {"Z_ref-PRE.pca", "Z_thick-PRE.pca", "Z_scatter-PRE.pca"});
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
    ASSERT_EQ(half.size(), unturned.size());
    for (std::size_t at = 0; at < half.size(); ++at) {
        EXPECT_EQ(half[at], unturned[at - at % kX + (kX - 1 - at % kX)]) << at;
    }
    EXPECT_NE(half, unturned);
}

}  // namespace
}  // namespace conesim
