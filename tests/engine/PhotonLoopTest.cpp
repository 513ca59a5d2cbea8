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

#include "ReferencePhotonLoop.hpp"
#include "engine/PhotonLoop.hpp"
#include "output/ImageWriters.hpp"

namespace conesim {
namespace {

std::vector<std::uint8_t> grating(std::uint32_t size, int period, int opaque) {
    std::vector<std::uint8_t> mask(std::size_t{size} * size);
    for (std::size_t i = 0; i < mask.size(); ++i) {
        mask[i] = static_cast<int>(i % size) % period < opaque ? 1 : 0;
    }
    return mask;
}

struct LoopCase {
    SimulationParameters p;
    SampleGeometry geometry;
    SamplePlanes planes;
    std::vector<std::uint8_t> preMask;
    std::vector<std::uint8_t> postMask;

    // The default detector; a 40 x 40 sample plane of 0.5-unit columns from 60 on, with an
    // absorbing disc whose rim deflects outwards, and 4-period gratings on both masks.
    LoopCase() {
        p.runMode = 5;
        p.photonsToRun = 200000;
        p.reportEvery = 2000000000;
        p.splashEvery = 2000000000;
        p.postMaskPosition = 100;
        geometry = makeSampleGeometry(40, 40, 10, 0.5F, 0.5F, 0.5F, 60.0F);
        planes.attenuation.assign(1600, 0.0);
        planes.lr.assign(1600, 0.0F);
        planes.ud.assign(1600, 0.0F);
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 40; ++x) {
                const int r2 = (x - 20) * (x - 20) + (y - 20) * (y - 20);
                const std::size_t i = static_cast<std::size_t>(y * 40 + x);
                if (r2 < 225) {
                    planes.attenuation[i] = 0.3;
                }
                if (r2 >= 144 && r2 < 225) {
                    planes.lr[i] = (x < 20 ? -0.002F : 0.002F);
                    planes.ud[i] = (y < 20 ? -0.001F : 0.001F);
                }
            }
        }
        preMask = grating(p.preMaskSize, 4, 2);
        postMask = grating(p.postMaskSize, 5, 2);
    }

    static std::uint64_t hashOf(const std::vector<std::uint32_t>& image) {
        std::uint64_t hash = 14695981039346656037ULL;
        for (std::uint32_t count : image) {
            hash = (hash ^ count) * 1099511628211ULL;
        }
        return hash;
    }

    // Runs the engine's loop and the plain reference on the same seed; both must agree.
    std::pair<std::uint32_t, std::uint64_t> run(std::uint32_t seed) {
        std::vector<std::uint32_t> image;
        const std::uint32_t hits = runInto(seed, image);
        std::vector<std::uint32_t> reference(image.size(), 0);
        RandomGenerator random(seed);
        const testing::ReferenceSetup setup{p, geometry, planes, preMask, postMask};
        EXPECT_EQ(testing::runReferencePhotonLoop(setup, random, reference), hits);
        EXPECT_TRUE(reference == image) << "the loop differs from the reference";
        return {hits, hashOf(image)};
    }

    std::uint32_t runInto(std::uint32_t seed, std::vector<std::uint32_t>& image) {
        std::ostringstream out;
        std::ostringstream log;
        std::istringstream in;
        Console console{out, in};
        RandomGenerator random(seed);
        RunContext context{console, log, random};
        PhotonSource source =
            loadSpectrum("", static_cast<float>(p.detectorWidth) * p.detectorPixelSizeX,
                         static_cast<float>(p.detectorHeight) * p.detectorPixelSizeY,
                         static_cast<double>(p.detectorPosition), console);
        source.showAll = p.showAllPhotons;
        image.assign(std::size_t{p.detectorWidth} * p.detectorHeight, 0);
        const std::string name = "1";
        const PhotonLoopInputs inputs{p, geometry, planes, preMask, postMask, name};
        return runPhotonLoop(inputs, source, image, context).hitCount;
    }
};

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
        PhotonSource source = loadSpectrum("", 400.0F, 400.0F, 150.0, console);
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
    EXPECT_EQ(hits, 199646U);
    EXPECT_EQ(hash, 13874703896578929879ULL);
}

TEST(PhotonLoopGolden, MasksAndDeflectingSample) {
    LoopCase c;
    const auto [hits, hash] = c.run(2);
    EXPECT_EQ(hits, 117522U);
    EXPECT_EQ(hash, 6843487479979243101ULL);
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
    EXPECT_EQ(hits, 139881U);
    EXPECT_EQ(hash, 13909695661400467676ULL);
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
    EXPECT_EQ(hits, 115462U);
    EXPECT_EQ(hash, 458781513204128917ULL);
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
