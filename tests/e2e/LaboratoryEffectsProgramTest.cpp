// The built program with every laboratory effect on (focal spot, per-photon energies,
// detector blur) through both masks and a refracting sample: a run with a seed is
// reproducible bit for bit, and the parallel run gives the same image on any number of
// threads.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "ParameterFileText.hpp"
#include "PrecalcRunSupport.hpp"
#include "TestSupport.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::readText;
using testing::ScratchDir;

int runProgram(const ScratchDir& dir, const std::string& arguments) {
    return testing::runInFolder(dir, arguments).status;
}

// A 100 x 100 mask of vertical lines, `opaque` of every `period` columns opaque.
std::string gratingPgm(int period, int opaque) {
    std::ostringstream text;
    text << "P2\n# grating\n100 100\n255\n";
    for (int row = 0; row < 100; ++row) {
        for (int column = 0; column < 100; ++column) {
            text << (column % period < opaque ? 255 : 0) << ' ';
        }
        text << '\n';
    }
    return text.str();
}

// Mode 5 on the test parameters (40 x 40 detector, masks at 50 and 100, a 20 x 20 sample
// plane from 60), 2.5 million photons (three batches of the parallel run); the planes hold
// an absorbing disc whose rim deflects outwards.
void prepare(const ScratchDir& dir, bool effects) {
    fs::create_directories(dir.path() / "OUT");
    testing::writeText(dir.file("Spectrum"), "18 22 22 30.5\n");
    testing::writeValues(dir.file("Sample.bin"), std::vector<float>(20 * 20 * 4, 0.0F));
    testing::writeText(dir.file("pre.pgm"), gratingPgm(4, 2));
    testing::writeText(dir.file("post.pgm"), gratingPgm(5, 2));
    std::vector<double> attenuation(400, 0.0);
    std::vector<double> lr(400, 0.0);
    std::vector<double> ud(400, 0.0);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const int r2 = (x - 10) * (x - 10) + (y - 10) * (y - 10);
            const auto i = static_cast<std::size_t>(y * 20 + x);
            attenuation[i] = r2 < 64 ? 0.4 : 0.0;
            if (r2 >= 36 && r2 < 64) {
                lr[i] = x < 10 ? -0.003 : 0.003;
                ud[i] = y < 10 ? -0.002 : 0.002;
            }
        }
    }
    testing::writeValues(dir.file("Z_ref-PRE.pca"), attenuation);
    testing::writeValues(dir.file("Z_iLR-PRE.pca"), lr);
    testing::writeValues(dir.file("Z_iUD-PRE.pca"), ud);
    std::string params = testing::parameterFileText({{39, "2500000"}, {40, "1000000"}});
    if (effects) {
        params +=
            "focalSpotFwhmX = 0.8\nfocalSpotFwhmY = 0.5\nphotonEnergies = spectrum\n"
            "detectorBlurSigma = 0.6 ; pixels\n";
    }
    testing::writeText(dir.file("params.txt"), params);
}

TEST(LaboratoryEffectsProgram, EveryEffectGivesOneImageForASeedOnAnyNumberOfThreads) {
    ScratchDir dir;
    prepare(dir, true);
    ASSERT_EQ(runProgram(dir, "--seed 11 --threads 1 params.txt one"), 0)
        << readText(dir.file("console.txt"));
    const std::string log = readText(dir.file("OUT/Logger.txt"));
    EXPECT_NE(log.find("Extension setting photonEnergies: spectrum\n"), std::string::npos);
    ASSERT_EQ(runProgram(dir, "--seed 11 --threads 3 params.txt three"), 0)
        << readText(dir.file("console.txt"));
    const std::vector<std::uint8_t> one = readBytes(dir.file("OUT/one.1.dat"));
    ASSERT_EQ(one.size(), 40U * 40U * 4U);
    EXPECT_TRUE(one == readBytes(dir.file("OUT/three.1.dat")));

    // The serial run with a seed repeats itself bit for bit.
    ASSERT_EQ(runProgram(dir, "--seed 11 params.txt serial"), 0);
    const std::vector<std::uint8_t> serial = readBytes(dir.file("OUT/serial.1.dat"));
    ASSERT_EQ(runProgram(dir, "--seed 11 params.txt again"), 0);
    EXPECT_TRUE(serial == readBytes(dir.file("OUT/again.1.dat")));

    // The effects act: without them the same seed gives another image.
    ScratchDir plain;
    prepare(plain, false);
    ASSERT_EQ(runProgram(plain, "--seed 11 --threads 3 params.txt three"), 0);
    EXPECT_FALSE(one == readBytes(plain.file("OUT/three.1.dat")));
}

// An energy far below the reference attenuation curve's range gives an infinite attenuation
// factor: the run says so before its photons, names the first such energy, and runs on.
TEST(LaboratoryEffectsProgram, EnergiesBeyondTheAttenuationCurveAreNamed) {
    ScratchDir dir;
    prepare(dir, true);
    testing::writeText(dir.file("Spectrum"), "22 1e-30 30 1e-31\n");
    ASSERT_EQ(runProgram(dir, "--seed 3 params.txt far"), 0) << readText(dir.file("console.txt"));
    const std::string warning =
        "WARNING: 2 of the spectrum's 4 energies give attenuation or deflection factors that "
        "are not finite numbers for planes made at ";
    const std::string console = readText(dir.file("console.txt"));
    const std::size_t at = console.find(warning);
    ASSERT_NE(at, std::string::npos) << console;
    EXPECT_NE(console.find(" keV (the first: 1e-30 keV); the reference attenuation does not "
                           "reach them.\n",
                           at),
              std::string::npos)
        << console;
    EXPECT_LT(at, console.find("Detector scored"));
    EXPECT_NE(readText(dir.file("OUT/Logger.txt")).find(warning), std::string::npos);

    // The spectrum of the first test names nothing.
    ScratchDir plain;
    prepare(plain, true);
    ASSERT_EQ(runProgram(plain, "--seed 3 params.txt near"), 0);
    EXPECT_EQ(readText(plain.file("console.txt")).find("WARNING"), std::string::npos);
}

}  // namespace
}  // namespace conesim
