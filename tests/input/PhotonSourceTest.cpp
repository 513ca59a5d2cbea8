#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.hpp"
#include "input/PhotonSource.hpp"
#include "util/RandomGenerator.hpp"

namespace conesim {
namespace {

using testing::ScratchDir;

struct ConsoleCapture {
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
};

PhotonSource loadText(const std::string& text, ConsoleCapture& capture, ScratchDir& dir) {
    const std::string path = dir.file("Spectrum");
    testing::writeText(path, text);
    return loadSpectrum(path, DetectorCone{400, 400, 1.0F, 1.0F, 150.0}, capture.console);
}

TEST(SpectrumTest, MeanOfThreeEnergiesInAnyLayout) {
    for (const std::string text : {"50 60 70\n", "50\n60\n70\n", "\t50\t\t60  \n\n 70"}) {
        ScratchDir dir;
        ConsoleCapture capture;
        const PhotonSource source = loadText(text, capture, dir);
        EXPECT_EQ(source.energyCount, 3) << text;
        EXPECT_EQ(source.energies, (std::vector<float>{50.0F, 60.0F, 70.0F})) << text;
        EXPECT_EQ(source.meanEnergy, 60.0F) << text;
        EXPECT_EQ(capture.out.str(), "") << text;
    }
}

TEST(SpectrumTest, OnlyEnergiesStrictlyBetweenZeroAndFiveHundredAreKept) {
    ScratchDir dir;
    ConsoleCapture capture;
    const PhotonSource source = loadText("0 100 500 600 -5", capture, dir);
    EXPECT_EQ(source.energyCount, 1);
    EXPECT_EQ(source.energies, (std::vector<float>{100.0F}));
    EXPECT_EQ(source.meanEnergy, 100.0F);
    EXPECT_EQ(capture.out.str(), "");
}

TEST(SpectrumTest, DecimalFormsAreReadAsCorrectlyRoundedFloats) {
    ScratchDir dir;
    ConsoleCapture capture;
    const PhotonSource source =
        loadText("60 60.5 6.05e1 +7 499.99997 0.1 1e-50 1e50", capture, dir);
    EXPECT_EQ(source.energies, (std::vector<float>{60.0F, 60.5F, 60.5F, 7.0F, 499.99997F, 0.1F}));
    EXPECT_EQ(capture.out.str(), "");
    // Energies listed several times weigh that many times; the sum is double precision and
    // the mean is rounded to single precision.
    double sum = 0.0;
    for (float e : source.energies) {
        sum += e;
    }
    EXPECT_EQ(source.meanEnergy, static_cast<float>(sum / 6.0));
}

TEST(SpectrumTest, MeanOfALongSpectrumKeepsEveryEnergysShare) {
    // A million lines of 21.3: a single-precision sum drifts to a mean of 21.358.
    std::string text;
    text.reserve(5000000);
    for (int i = 0; i < 1000000; ++i) {
        text += "21.3\n";
    }
    ScratchDir dir;
    ConsoleCapture capture;
    const PhotonSource source = loadText(text, capture, dir);
    EXPECT_EQ(source.energyCount, 1000000);
    EXPECT_EQ(source.meanEnergy, 21.3F);
    // Half a million each of 14 and 30.5: the mean is exactly their midpoint.
    text.clear();
    for (int i = 0; i < 500000; ++i) {
        text += "14 30.5\n";
    }
    EXPECT_EQ(loadText(text, capture, dir).meanEnergy, 22.25F);
    EXPECT_EQ(capture.out.str(), "");
}

TEST(SpectrumTest, OverlongTokenEndsTheReadingWithAShortQuote) {
    ScratchDir dir;
    ConsoleCapture capture;
    const std::string path = dir.file("Spectrum");
    // 64 characters are still a token; 65 are not, and nothing after them is read.
    const std::string longest = "20." + std::string(61, '0');
    testing::writeText(path, "10 " + longest + " 30\n" + std::string(65, '7') + " 40\n");
    const PhotonSource source =
        loadSpectrum(path, DetectorCone{400, 400, 1.0F, 1.0F, 150.0}, capture.console);
    EXPECT_EQ(source.energies, (std::vector<float>{10.0F, 20.0F, 30.0F}));
    EXPECT_EQ(source.meanEnergy, 20.0F);
    EXPECT_EQ(capture.out.str(),
              "WARNING: Spectrum file " + path + " holds a token longer than 64 characters (\"" +
                  std::string(20, '7') + "...\"); the rest of the file is not read.\n");
}

TEST(SpectrumTest, EndlessDeviceIsReadOnlyUpToItsFirstOverlongToken) {
    ConsoleCapture capture;
    const PhotonSource source =
        loadSpectrum("/dev/zero", DetectorCone{400, 400, 1.0F, 1.0F, 150.0}, capture.console);
    EXPECT_EQ(source.energyCount, 0);
    EXPECT_EQ(capture.out.str(),
              "WARNING: Spectrum file /dev/zero holds a token longer than 64 "
              "characters (\"" +
                  std::string(20, '\0') + "...\"); the rest of the file is not read.\n");
}

TEST(SpectrumTest, TokenThatIsNotANumberIsReportedAndSkipped) {
    ScratchDir dir;
    ConsoleCapture capture;
    const std::string path = dir.file("Spectrum");
    testing::writeText(path, "50 keV 70\n60x 80\n");
    const PhotonSource source =
        loadSpectrum(path, DetectorCone{10, 10, 1.0F, 1.0F, 100.0}, capture.console);
    EXPECT_EQ(source.energies, (std::vector<float>{50.0F, 70.0F, 80.0F}));
    EXPECT_EQ(source.energyCount, 3);
    EXPECT_EQ(capture.out.str(), "WARNING: Spectrum file " + path +
                                     " holds \"keV\", which is not a number; it is skipped.\n"
                                     "WARNING: Spectrum file " +
                                     path +
                                     " holds \"60x\", which is not a number; it is skipped.\n");
}

TEST(SpectrumTest, MissingFileGivesNoEnergiesAndTheDrawRefuses) {
    ScratchDir dir;
    ConsoleCapture capture;
    PhotonSource source =
        loadSpectrum(dir.file("none"), DetectorCone{400, 300, 1.0F, 1.0F, 150.7}, capture.console);
    EXPECT_EQ(capture.out.str(), "\nSpectra file missing!\n");
    EXPECT_EQ(source.energyCount, 0);
    EXPECT_TRUE(source.energies.empty());
    EXPECT_TRUE(source.showAll);
    EXPECT_EQ(source.detectorExtentX, 400.0F);
    EXPECT_EQ(source.detectorExtentY, 300.0F);
    EXPECT_EQ(source.detectorDistance, 150);

    RandomGenerator random(42);
    const RandomGenerator before = random;
    EXPECT_EQ(drawPhoton(source, random, capture.console), 1);
    EXPECT_EQ(capture.out.str(),
              "\nSpectra file missing!\n\nSpectra file corrupt or empty! Aborting run.\n");
    EXPECT_TRUE(random == before);  // nothing drawn
}

TEST(SpectrumTest, EmptyOrOutOfRangeFileRefusesTheDraw) {
    for (const std::string text : {"", "   \n", "0 500 -1 1000"}) {
        ScratchDir dir;
        ConsoleCapture capture;
        PhotonSource source = loadText(text, capture, dir);
        EXPECT_EQ(source.energyCount, 0);
        EXPECT_EQ(source.meanEnergy, 0.0F);
        RandomGenerator random(1);
        EXPECT_EQ(drawPhoton(source, random, capture.console), 1);
        EXPECT_EQ(capture.out.str(), "\nSpectra file corrupt or empty! Aborting run.\n");
    }
}

TEST(SpectrumTest, ConeSpansThePixelsOuterEdgesFromTheTruncatedDistance) {
    ScratchDir dir;
    ConsoleCapture capture;
    const std::string path = dir.file("Spectrum");
    testing::writeText(path, "60\n");
    // Pixel k is centred on k - size / 2: 400 pixels span -200.5 .. 199.5 pixel widths, 101
    // pixels -50.5 .. 50.5.
    const PhotonSource source =
        loadSpectrum(path, DetectorCone{400, 101, 0.5F, 2.0F, 150.9}, capture.console);
    EXPECT_EQ(source.detectorDistance, 150);
    EXPECT_EQ(source.coneX,
              (ConeAxis{std::atan(-200.5 * 0.5 / 150.0), std::atan(199.5 * 0.5 / 150.0)}));
    EXPECT_EQ(source.coneY,
              (ConeAxis{std::atan(-50.5 * 2.0 / 150.0), std::atan(50.5 * 2.0 / 150.0)}));
    EXPECT_EQ(source.detectorExtentX, 200.0F);

    const PhotonSource zero =
        loadSpectrum(path, DetectorCone{400, 100, 1.0F, 1.0F, 0.0}, capture.console);
    EXPECT_EQ(zero.detectorDistance, 0);
    EXPECT_EQ(zero.coneX.high, std::atan(std::numeric_limits<double>::infinity()));  // no guard

    const PhotonSource negative =
        loadSpectrum(path, DetectorCone{400, 100, 1.0F, 1.0F, -20.7}, capture.console);
    EXPECT_EQ(negative.detectorDistance, -20);
}

// The first draws of RandomGenerator(42), on which the expectations below rest.
constexpr std::int32_t kDraws[] = {24954, 13699, 14683, 8720};

TEST(DrawPhotonTest, FourDrawsInOrderGiveTheTwoAxesThirtyBitsEach) {
    RandomGenerator check(42);
    for (std::int32_t draw : kDraws) {
        ASSERT_EQ(check.next(), draw);
    }

    ScratchDir dir;
    ConsoleCapture capture;
    PhotonSource source = loadText("60\n", capture, dir);
    source.offsetX = 3.0;
    source.offsetY = -2.0;
    source.angleX = 1.0;
    source.angleY = 1.0;
    RandomGenerator random(42);
    ASSERT_EQ(drawPhoton(source, random, capture.console), 0);
    // x from the first two draws, y from the next two, each u = d1 * 32768 + d2.
    EXPECT_EQ(source.angleX, directionAngle(source.coneX, 24954U * 32768U + 13699U));
    EXPECT_EQ(source.angleY, directionAngle(source.coneY, 14683U * 32768U + 8720U));
    EXPECT_EQ(source.offsetX, 0.0);
    EXPECT_EQ(source.offsetY, 0.0);
    EXPECT_EQ(capture.out.str(), "");

    // Exactly four draws were used: the generator continues with the fifth.
    RandomGenerator after(42);
    for (int i = 0; i < 4; ++i) {
        after.next();
    }
    EXPECT_TRUE(random == after);
}

TEST(DrawPhotonTest, AnglesStayInsideTheConeAndReachItsEdge) {
    ScratchDir dir;
    ConsoleCapture capture;
    PhotonSource source = loadText("60\n", capture, dir);
    RandomGenerator random(7);
    double lowest = 1.0;
    double highest = -1.0;
    for (int i = 0; i < 20000; ++i) {
        ASSERT_EQ(drawPhoton(source, random, capture.console), 0);
        ASSERT_GT(source.angleX, source.coneX.low);
        ASSERT_LT(source.angleX, source.coneX.high);
        ASSERT_GT(source.angleY, source.coneY.low);
        ASSERT_LT(source.angleY, source.coneY.high);
        lowest = std::min(lowest, source.angleX);
        highest = std::max(highest, source.angleX);
    }
    // Within a few thousandths of the span of both edges.
    const double span = source.coneX.high - source.coneX.low;
    EXPECT_LT(lowest - source.coneX.low, 0.002 * span);
    EXPECT_LT(source.coneX.high - highest, 0.002 * span);
}

std::vector<std::int32_t> firstFourDraws(std::uint64_t seed) {
    RandomGenerator random(seed);
    std::vector<std::int32_t> draws;
    for (int i = 0; i < 4; ++i) {
        draws.push_back(random.next());
    }
    return draws;
}

TEST(DrawPhotonTest, EachAxisTakesTheMidpointOfItsThirtyBitStep) {
    ScratchDir dir;
    ConsoleCapture capture;
    const std::string path = dir.file("Spectrum");
    testing::writeText(path, "60\n");
    PhotonSource source =
        loadSpectrum(path, DetectorCone{400, 100, 1.0F, 1.0F, 150.0}, capture.console);
    // The extreme draws come within half a step of the outer edges, never onto them.
    ASSERT_EQ(firstFourDraws(79061), (std::vector<std::int32_t>{32767, 20897, 17614, 28940}));
    RandomGenerator random(79061);
    ASSERT_EQ(drawPhoton(source, random, capture.console), 0);
    const auto angle = [](const ConeAxis& cone, double u) {
        return cone.low + ((u + 0.5) / 1073741824.0) * (cone.high - cone.low);
    };
    EXPECT_EQ(source.angleX, angle(source.coneX, 32767.0 * 32768.0 + 20897.0));
    EXPECT_EQ(source.angleY, angle(source.coneY, 17614.0 * 32768.0 + 28940.0));
    EXPECT_EQ(source.offsetX, 0.0);

    ASSERT_EQ(firstFourDraws(50673), (std::vector<std::int32_t>{0, 16802, 14722, 18236}));
    RandomGenerator low(50673);
    ASSERT_EQ(drawPhoton(source, low, capture.console), 0);
    EXPECT_EQ(source.angleX, angle(source.coneX, 16802.0));
    EXPECT_GT(source.angleX, source.coneX.low);
    EXPECT_LT(angle(source.coneX, 1073741823.0), source.coneX.high);
}

}  // namespace
}  // namespace conesim
