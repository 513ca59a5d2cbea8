#include <gtest/gtest.h>

#include <sstream>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {
namespace {

void load(SimulationParameters& p, const std::string& path,
          const std::map<int, std::string>& overrides = {}) {
    testing::writeText(path, testing::parameterFileText(overrides));
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
    p.readFile(path, console);
    ASSERT_TRUE(p.parameterFileLoaded) << out.str();
}

TEST(Summary, ListsEverySettingInOrder) {
    testing::ScratchDir dir;
    SimulationParameters p;
    load(p, dir.file("p.txt"));
    const std::string expected =
        "Using paramter file: " + dir.file("p.txt") +
        "\n------------\n"
        "Pre-sample mask is active.\n"
        "Pre-sample mask has size: 100\n"
        "Pre-sample mask is placed at: 50\n"
        "Pre-sample mask dimensions are scaled by: 1\n"
        "Pre-sample image file: pre.pgm\n"
        "Coded Aperture in LR direction (P.I.F.): 1\n"
        "Coded Aperture in LR direction (Offset): 0\n"
        "Coded Aperture in UD direction (P.I.F.): 1\n"
        "Coded Aperture in UD direction (Offset): 0\n"
        "The sample is active.\n"
        "Sample starts at location 60\n"
        "Samples has dimension (in X): 20\n"
        "Samples has dimension (in Y): 20\n"
        "Samples has dimension (in Z): 4\n"
        "Samples X dimensions rescaled by: 1\n"
        "Samples Y dimensions rescaled by: 1\n"
        "Samples Z dimensions rescaled by: 1\n"
        "Samples values are rescaled by: 1000\n"
        "Sample file: Sample.bin\n"
        "In relation to edge detection:\n"
        "Sample with be searched 3 voxels across.\n"
        "Sample with be searched 20 slices deep.\n"
        "Low value Smoothing will occur but not beside edges >= 0.0001 of value.\n"
        "Post-sample mask is active.\n"
        "Post-sample mask has size: 100\n"
        "Post-sample mask is placed at: 100\n"
        "Post-sample mask dimensions are scaled by: 1\n"
        "Post-sample image file: post.pgm\n"
        "Detectot has width: 40\n"
        "Detectot has height: 40\n"
        "Detector is placed at: 150\n"
        "Detector has pixels in X of size: 1\n"
        "Detector has pixels in Y of size: 1\n"
        "Showing all photons.\n"
        "Dithering photons.\n"
        "Running in mode: 5\n"
        "\ti.e. Photons both attenuate and refract\n"
        "\t(LOW ram mode single plane approximation with precalc collapsed slices files).\n"
        "Detector has a Quantum Efficiency of: 1\n"
        "Detector sensitive LR direction (P.I.F.): 1\n"
        "Detector sensitive LR direction (Offset): 0\n"
        "Detector sensitive UD direction (P.I.F.): 1\n"
        "Detector sensitive UD direction (Offset): 0\n"
        "Spectrum file: Spectrum\n"
        "Number of Photons to run: 10000\n"
        "Report run every: 1000\n"
        "Splash image: 550000\n"
        "All emitted photons increment run numbers.\n"
        "Sample calculated using photon Energy: 100\n"
        "Output folder: OUT\n"
        "Progress image file prefix: Part\n"
        "Log file name: Logger.txt\n"
        "Final image file prefix: Final\n"
        "Keeping temporary files after use.\n"
        "The End Checkword was: END\n------------\n";
    EXPECT_EQ(p.summary(), expected);
}

TEST(Summary, FlagsRunModesAndRealFormatting) {
    testing::ScratchDir dir;
    SimulationParameters p;
    load(p, dir.file("p.txt"),
         {{30, "0"},
          {31, "0"},
          {32, "3"},
          {42, "1"},
          {48, "0"},
          {43, "0"},
          {28, "0.25"},
          {29, "0.00001"},
          {9, "1234567"},
          {33, "0.123456789"},
          {49, "THE_END"}});
    p.preMaskActive = false;
    p.postMaskActive = false;
    p.sampleActive = false;
    const std::string s = p.summary();
    for (const char* line :
         {"Pre-sample mask is not active.\n", "Post-sample mask is not active.\n",
          "The sample is not active.\n", "Showing only attenuated photons.\n",
          "Not dithering photons.\n",
          "Running in mode: 3\n\ti.e. Photons both attenuate and refract\n"
          "\t(LOW ram mode single plane approximation).\nDetector has",
          "Run numbers only increment on detector hits.\n", "Deleting temporary files after use.\n",
          "Sample calculated using photon Energy: 0\n", "Detector has pixels in X of size: 0.25\n",
          "Detector has pixels in Y of size: 1e-05\n", "Sample starts at location 1.23457e+06\n",
          "Detector has a Quantum Efficiency of: 0.123457\n",
          "The End Checkword was: THE_END\n------------\n"}) {
        EXPECT_NE(s.find(line), std::string::npos) << line;
    }
    p.runMode = 4;
    EXPECT_NE(p.summary().find("Running in mode: 4\n\ti.e. Photons both attenuate and "
                               "refract\n\t(LOW ram mode single plane approximation with "
                               "precalc files).\n"),
              std::string::npos);
    // Unsigned fields print as unsigned.
    p.preMaskSize = 4294967295U;
    EXPECT_NE(p.summary().find("Pre-sample mask has size: 4294967295\n"), std::string::npos);
}

}  // namespace
}  // namespace conesim
