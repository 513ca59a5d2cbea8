// Whole photon loops on fixed seeds. The expected counts and image hashes are those of the
// plain per-photon loop in ReferencePhotonLoop.hpp (each direction coordinate: magnitude
// draw, then sign draw), which each golden case also runs; every faster form must reproduce
// them bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "LoopCase.hpp"
#include "ReferencePhotonLoop.hpp"
#include "engine/PhotonLoop.hpp"
#include "formats/ImageWriters.hpp"

namespace conesim {
namespace {

using testing::LoopCase;

TEST(PhotonLoop, EachPhotonDrawsMagnitudeThenSignPerAxis) {
    // One photon with nothing in its way lands where the photon draw's angles point.
    for (std::uint32_t seed : {1U, 2U, 3U, 77U, 1000U}) {
        LoopCase c;
        c.p.preMaskActive = false;
        c.p.postMaskActive = false;
        c.p.sampleActive = false;
        c.p.ditherPhotons = false;
        c.p.photonsToRun = 1;
        std::ostringstream out;
        std::istringstream in;
        Console console{out, in};
        PhotonSource source = loadSpectrum("", DetectorCone{400, 400, 1.0F, 1.0F, 150.0}, console);
        source.energyCount = 1;
        RandomGenerator random(seed);
        ASSERT_EQ(drawPhoton(source, random, console), 0);
        const double x = std::tan(source.angleX) * 150.0 + 200.0;
        const double y = std::tan(source.angleY) * 150.0 + 200.0;
        const auto column = static_cast<std::size_t>(roundHalfAway(static_cast<float>(x)));
        const auto row = static_cast<std::size_t>(roundHalfAway(static_cast<float>(y)));

        std::vector<std::uint32_t> image(400 * 400, 0);
        std::ostringstream log;
        RandomGenerator same(seed);
        RunContext context{console, log, same};
        const std::string name = "1";
        const PhotonLoopInputs inputs{c.p, c.geometry, c.planes, c.preMask, c.postMask, name};
        ASSERT_EQ(runPhotonLoop(inputs, source, image, context).hitCount, 1U);
        EXPECT_EQ(image[row * 400 + column], 1U) << "seed " << seed;
    }
}

TEST(PhotonLoopGolden, MasksOffAndSampleMissed) {
    LoopCase c;
    c.p.preMaskActive = false;
    c.p.postMaskActive = false;
    c.geometry = makeSampleGeometry(1, 1, 1, 0.001F, 0.001F, 0.001F, 60.0F);
    c.planes.attenuation.assign(1, 0.0);
    c.planes.lr.assign(1, 0.0F);
    c.planes.ud.assign(1, 0.0F);
    const auto [hits, hash] = c.run(1);
    EXPECT_EQ(hits, 199789U);
    EXPECT_EQ(hash, 291519850572906464ULL);
}

TEST(PhotonLoopGolden, MasksAndDeflectingSample) {
    LoopCase c;
    const auto [hits, hash] = c.run(2);
    EXPECT_EQ(hits, 118521U);
    EXPECT_EQ(hash, 2048911645463234888ULL);
}

TEST(PhotonLoopGolden, WindowsEfficiencyAndHitCounting) {
    LoopCase c;
    c.p.apertureLrPif = 0.5F;
    c.p.apertureLrOffset = 0.25F;
    c.p.apertureUdPif = 0.75F;
    c.p.detectorLrPif = 0.6F;
    c.p.detectorLrOffset = 0.1F;
    c.p.detectorUdPif = 0.9F;
    c.p.detectorUdOffset = 0.05F;
    c.p.quantumEfficiency = 0.7F;
    c.p.ditherPhotons = false;
    c.p.countHitsOnly = true;
    c.p.showAllPhotons = false;
    c.p.preMaskActive = false;
    const auto [hits, hash] = c.run(3);
    EXPECT_EQ(hits, 140246U);
    EXPECT_EQ(hash, 2955437110279428395ULL);
}

TEST(PhotonLoopGolden, ScaledMasksAndOffsetDetector) {
    LoopCase c;
    c.p.preMaskScale = 2.5F;
    c.p.postMaskScale = 0.75F;
    c.p.detectorPixelSizeX = 0.8F;
    c.p.detectorPixelSizeY = 1.3F;
    c.p.detectorWidth = 333;
    c.p.detectorHeight = 201;
    c.p.detectorPosition = 170;
    const auto [hits, hash] = c.run(4);
    EXPECT_EQ(hits, 116052U);
    EXPECT_EQ(hash, 16545856501046672629ULL);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PhotonLoop, ProgressImageHoldsEveryPhotonScoredSoFar) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "conesim-photon-loop-progress";
    std::filesystem::create_directories(folder);
    LoopCase c;
    c.p.outputFolder = folder.string();
    c.p.progressPrefix = "P";
    c.p.splashEvery = 1000;
    c.p.photonsToRun = 1500;
    c.p.preMaskActive = false;
    c.p.postMaskActive = false;
    c.p.sampleActive = false;
    c.p.ditherPhotons = false;
    std::vector<std::uint32_t> image;
    c.runInto(9, image);
    const std::string progress = readFile(folder / "P.1.1000.pgm");
    ASSERT_FALSE(progress.empty());

    // The same seed stopped right after photon 1000 scores the same photons.
    c.p.splashEvery = 2000000000;
    c.p.photonsToRun = 1001;
    c.runInto(9, image);
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
    ASSERT_TRUE(writeDetectorPgm((folder / "end.pgm").string(), c.p.detectorWidth, image.data(),
                                 static_cast<std::int64_t>(image.size()), console));
    EXPECT_EQ(progress, readFile(folder / "end.pgm"));
    std::filesystem::remove_all(folder);
}

TEST(NumericHelpers, DivisionByAPowerOfTwoEqualsTheQuotient) {
    const double divisors[] = {1.0, 0.5, 2.0, -4.0, 0.125, 1024.0, 0.8, 1.3, 3.0, 0.1};
    const double values[] = {0.0, -0.0, 1.0, -7.25, 1e-310, 3.14159, 1e300, -2.5e-8, 123456.789};
    for (double d : divisors) {
        for (double x : values) {
            EXPECT_EQ(divideExactly(x, d), x / d) << x << " / " << d;
            EXPECT_EQ(std::signbit(divideExactly(x, d)), std::signbit(x / d));
        }
    }
}

}  // namespace
}  // namespace conesim
