// The CT demo's cut-down scan (examples/ct/run-ct.sh --small): three rods turned over 180
// degrees in 24 steps, scanned, retrieved and reconstructed; the aluminium and PMMA rods'
// attenuation and refractive index come back within 5 % of the truth in their interiors,
// the scattering rod's (of fewer voxels, noisier) within the script's 10 %, and the central
// slice correlates with the truth. Left out of the sanitizer build, where it would take
// minutes.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>
#include <string>

#include "ProgramRun.hpp"
#include "TestSupport.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;

TEST(CtDemoTest, RodsComeBackWithinFivePercentOfTheirTruth) {
    if (testing::kSanitizedBuild) {
        GTEST_SKIP() << "a scan of many runs; measured in the normal build";
    }
    testing::ScratchDir dir;
    testing::ProgramCall call{"/bin/bash",
                              {CONESIM_SOURCE_DIR "/examples/ct/run-ct.sh", CONESIM_BUILD_DIR,
                               (dir.path() / "work").string(), "--small"},
                              dir.path()};
    call.mergeErrorIntoOutput = true;
    const testing::ProgramResult run = testing::runProgram(call);
    const std::string& output = run.out;
    // The script's own bounds: the regions within 10 %, the central slice's correlations.
    ASSERT_EQ(run.status, 0) << output;

    // The two plain rods' lines give mu and delta with their relative errors.
    const std::regex rod(
        "region ([12]) \\([0-9]+ voxels\\): mu [-0-9.e]+ \\(true [-0-9.e]+, ([0-9.]+) %\\) "
        "delta [-0-9.e]+ \\(true [-0-9.e]+, ([0-9.]+) %\\)");
    int rods = 0;
    for (auto it = std::sregex_iterator(output.begin(), output.end(), rod);
         it != std::sregex_iterator(); ++it) {
        ++rods;
        EXPECT_LE(std::stod((*it)[2].str()), 5.0) << (*it)[0];
        EXPECT_LE(std::stod((*it)[3].str()), 5.0) << (*it)[0];
    }
    EXPECT_EQ(rods, 2) << output;
    for (const char* file : {"recon/mu.raw", "recon/delta.raw", "recon/scatter.raw",
                             "recon/geometry.json", "sinograms/angles.txt"}) {
        EXPECT_TRUE(fs::exists(dir.path() / "work" / file)) << file;
    }
}

}  // namespace
}  // namespace conesim
