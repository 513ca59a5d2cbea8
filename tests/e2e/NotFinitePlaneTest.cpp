// Settings that pass validation but make the refractive indices undefined give planes with
// values that are not finite. A mode-3 run names each such plane and how many values of it
// are not finite, as mode 5 does when it reads them.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "PrecalcRunSupport.hpp"

namespace conesim {
namespace {

using testing::ScratchDir;

// A flattened sphere of 0.5 in vacuum, whose surface refracts.
std::vector<float> sphereSample() {
    std::vector<float> volume;
    for (int z = 0; z < testing::kSampleZ; ++z) {
        for (int y = 0; y < testing::kSampleY; ++y) {
            for (int x = 0; x < testing::kSampleX; ++x) {
                const int r2 = (x - 10) * (x - 10) + (y - 10) * (y - 10) + 4 * (z - 4) * (z - 4);
                volume.push_back(r2 < 30 ? 0.5F : 0.0F);
            }
        }
    }
    return volume;
}

// Runs mode 3 with the settings; every plane's warning must match its published file.
void expectWarningsMatchThePlanes(const std::map<int, std::string>& settings) {
    ScratchDir dir;
    testing::writePrecalcInputs(dir, 3, sphereSample(), settings);
    const testing::ShellRun run = testing::runInFolder(dir, "params.txt Final");
    ASSERT_EQ(run.status, 0) << run.console;
    const std::string log = testing::readText(dir.file("OUT/Logger.txt"));
    int warned = 0;
    for (const char* plane : {"Z_ref-PRE.pca", "Z_iLR-PRE.pca", "Z_iUD-PRE.pca"}) {
        int notFinite = 0;
        for (double value : testing::readValues<double>(dir.file(plane))) {
            notFinite += !std::isfinite(value);
        }
        const std::string prefix = std::string("WARNING: ") + plane + " holds ";
        const std::string warning =
            prefix + std::to_string(notFinite) + " values that are not finite numbers.\n";
        if (notFinite > 0) {
            ++warned;
            EXPECT_NE(run.console.find(warning), std::string::npos) << run.console;
            EXPECT_NE(log.find(warning), std::string::npos) << log;
        } else {
            EXPECT_EQ(run.console.find(prefix), std::string::npos) << run.console;
        }
    }
    EXPECT_GT(warned, 0) << "the settings gave no plane value that is not finite";
    // The warnings come after the precalculation, before the photons.
    EXPECT_LT(run.console.find("WARNING: "), run.console.find("Starting Monte-Carlo sim."));
}

TEST(NotFinitePlanes, AVanishingEnergyIsReported) {
    expectWarningsMatchThePlanes({{43, "1e-8"}});
}

TEST(NotFinitePlanes, AVanishingVoxelSizeWithADerivedValueScaleIsReported) {
    expectWarningsMatchThePlanes({{13, "1e-30"}, {16, "0"}});
}

TEST(NotFinitePlanes, OrdinarySettingsGiveNoWarning) {
    ScratchDir dir;
    testing::writePrecalcInputs(dir, 3, sphereSample());
    const testing::ShellRun run = testing::runInFolder(dir, "params.txt Final");
    ASSERT_EQ(run.status, 0) << run.console;
    EXPECT_EQ(run.console.find("not finite"), std::string::npos) << run.console;
}

}  // namespace
}  // namespace conesim
