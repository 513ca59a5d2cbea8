// The parallel run: the image depends only on the seed, the settings and the batch size;
// batch streams never overlap; the counts agree statistically with the serial run; stops,
// progress images and saturation keep their meaning.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numeric>

#include "LoopCase.hpp"
#include "TestSupport.hpp"
#include "engine/ImageCounts.hpp"
#include "engine/PhotonBatch.hpp"
#include "formats/ImageWriters.hpp"

namespace conesim {
namespace {

using testing::LoopCase;

ParallelSettings settingsFor(int threads, std::uint64_t seed = 77, std::int64_t batchSize = 20000) {
    ParallelSettings settings;
    settings.threads = threads;
    settings.seed = seed;
    settings.batchSize = batchSize;
    return settings;
}

std::uint64_t total(const std::vector<std::uint32_t>& image) {
    return std::accumulate(image.begin(), image.end(), std::uint64_t{0});
}

TEST(ParallelRun, ImageDependsOnTheSeedAndNeverOnTheThreads) {
    LoopCase c;  // masks, an absorbing and deflecting sample, 10 batches
    std::vector<std::uint32_t> one;
    const PhotonLoopResult first = c.runParallel(settingsFor(1), one);
    EXPECT_EQ(first.photonsRun, 200000);
    EXPECT_EQ(total(one), first.hitCount);
    EXPECT_GT(first.hitCount, 50000U);
    for (int threads : {2, 3}) {
        for (auto images :
             {ParallelSettings::Images::kPerWorker, ParallelSettings::Images::kShared}) {
            ParallelSettings settings = settingsFor(threads);
            settings.images = images;
            std::vector<std::uint32_t> image;
            const PhotonLoopResult result = c.runParallel(settings, image);
            EXPECT_EQ(result.hitCount, first.hitCount) << threads;
            EXPECT_TRUE(image == one) << threads << " threads differ from 1";
        }
    }
    std::vector<std::uint32_t> otherSeed;
    c.runParallel(settingsFor(2, 78), otherSeed);
    EXPECT_FALSE(otherSeed == one);
}

TEST(ParallelRun, CountHitsOnlyBatchesCountPassingPhotons) {
    LoopCase c;
    c.p.countHitsOnly = true;
    c.p.detectorLrPif = 0.3F;
    c.p.photonsToRun = 60000;
    std::vector<std::uint32_t> one;
    const PhotonLoopResult first = c.runParallel(settingsFor(1, 5, 7000), one);
    EXPECT_EQ(first.photonsRun, 60000);
    for (int threads : {2, 3}) {
        std::vector<std::uint32_t> image;
        c.runParallel(settingsFor(threads, 5, 7000), image);
        EXPECT_TRUE(image == one) << threads;
    }
    // Every counted photon that the efficiency and the bounds keep is scored.
    EXPECT_LE(first.hitCount, 60000U);
    EXPECT_GT(first.hitCount, 50000U);
}

TEST(ParallelRun, BatchStreamsNeverOverlap) {
    constexpr std::uint64_t kMaxPhotons = 2000000000;
    for (std::int64_t size : {std::int64_t{1}, std::int64_t{1000}, std::int64_t{20000},
                              std::int64_t{1} << 20, std::int64_t{1} << 30}) {
        const std::uint64_t stride = batchStreamStride(size);
        const std::uint64_t batches = (kMaxPhotons + size - 1) / size;
        // All streams, after the run-number draws, fit in the period of 2^64 draws ...
        EXPECT_LE(static_cast<long double>(batches + 1) * stride, std::ldexp(1.0L, 64)) << size;
        // ... and each holds every draw its batch can make.
        const long double mostDraws =
            static_cast<long double>(size) * (kMaxDrawsWithoutDetectorHit + 1) * kMaxDrawsPerPhoton;
        EXPECT_GE(static_cast<long double>(stride), mostDraws) << size;
    }
    EXPECT_EQ(batchStreamStride(std::int64_t{1} << 20), std::uint64_t{1} << 53);
    // Batch 0 starts one stride after the seeded state, each next batch one more.
    RandomGenerator seeded(9);
    seeded.advance(std::uint64_t{1} << 53);
    EXPECT_TRUE(batchGenerator(9, 0, std::uint64_t{1} << 53) == seeded);
    seeded.advance(std::uint64_t{1} << 53);
    EXPECT_TRUE(batchGenerator(9, 1, std::uint64_t{1} << 53) == seeded);
}

// Two-sample chi-square of two images over blocks of the detector: sum (a - b)^2 / (a + b),
// about the number of blocks for two independent samples of the same distribution.
double blockChiSquare(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b,
                      int width, int block, int& blocks) {
    const int height = static_cast<int>(a.size()) / width;
    double chi = 0;
    blocks = 0;
    for (int by = 0; by < height; by += block) {
        for (int bx = 0; bx < width; bx += block) {
            double sa = 0;
            double sb = 0;
            for (int y = by; y < std::min(by + block, height); ++y) {
                for (int x = bx; x < std::min(bx + block, width); ++x) {
                    sa += a[static_cast<std::size_t>(y * width + x)];
                    sb += b[static_cast<std::size_t>(y * width + x)];
                }
            }
            if (sa + sb > 0) {
                chi += (sa - sb) * (sa - sb) / (sa + sb);
                ++blocks;
            }
        }
    }
    return chi;
}

TEST(ParallelRun, AgreesWithTheSerialRunWithinCountingErrors) {
    LoopCase c;
    std::vector<std::uint32_t> serial;
    c.runInto(4242, serial);
    std::vector<std::uint32_t> parallel;
    c.runParallel(settingsFor(2, 4242), parallel);
    const double a = static_cast<double>(total(serial));
    const double b = static_cast<double>(total(parallel));
    EXPECT_LT(std::fabs(a - b), 5.0 * std::sqrt(a + b));
    int blocks = 0;
    const double chi = blockChiSquare(serial, parallel, 400, 50, blocks);
    // Five standard deviations of a chi-square with `blocks` degrees of freedom.
    const double limit = blocks + 5.0 * std::sqrt(2.0 * blocks);
    EXPECT_LT(chi, limit) << blocks << " blocks";

    // The test would catch batches that repeat one stream: ten copies of one batch.
    const std::string name = "1";
    const PhotonLoopInputs inputs{c.p, c.geometry, c.planes, c.preMask, c.postMask, name};
    const ConeAxis cone = coneAxis(400, 1.0F, 150);
    const PhotonSetup setup(inputs, cone, cone, true);
    std::vector<std::uint32_t> repeated(serial.size(), 0);
    DeferredCounts counts(repeated.data());
    const std::atomic<bool> noStop{false};
    for (int batch = 0; batch < 10; ++batch) {
        RandomGenerator same = batchGenerator(4242, 0, batchStreamStride(20000));
        runPhotonBatch(setup, same, 20000, counts, noStop);
    }
    EXPECT_GT(blockChiSquare(serial, repeated, 400, 50, blocks), limit);
}

TEST(ParallelRun, StopSignalKeepsTheFinishedPhotons) {
    LoopCase c;
    c.p.photonsToRun = 2000000000;
    const volatile std::sig_atomic_t stop = 1;
    std::vector<std::uint32_t> image;
    std::string messages;
    const PhotonLoopResult result = c.runParallel(settingsFor(2), image, &messages, &stop);
    EXPECT_EQ(result.stop, LoopStop::kSignal);
    EXPECT_LT(result.photonsRun, c.p.photonsToRun);
    EXPECT_EQ(total(image), result.hitCount);
}

TEST(ParallelRun, ProgressImageHoldsWholeBatchesOnly) {
    testing::ScratchDir dir;
    LoopCase c;
    c.p.outputFolder = dir.path().string();
    c.p.progressPrefix = "P";
    c.p.splashEvery = 100000;
    c.p.reportEvery = 100000;
    std::vector<std::uint32_t> image;
    std::string messages;
    c.runParallel(settingsFor(3), image, &messages);
    // Each progress image holds the photons of the batches before its number, exactly the
    // final image of a run of that many photons.
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        ASSERT_EQ(name.rfind("P.1.", 0), 0U) << name;
        const std::int64_t photons = std::stoll(name.substr(4));
        EXPECT_EQ(photons % 20000, 0) << name;
        LoopCase shorter;
        shorter.p.photonsToRun = static_cast<std::int32_t>(photons);
        std::vector<std::uint32_t> expected;
        shorter.runParallel(settingsFor(1), expected);
        std::ostringstream out;
        std::istringstream in;
        Console console{out, in};
        const std::string reference = (dir.path() / "reference.pgm").string();
        ASSERT_TRUE(writeDetectorPgm(reference, 400, expected.data(), 160000, console));
        EXPECT_EQ(testing::readText(entry.path().string()), testing::readText(reference)) << name;
        std::filesystem::remove(reference);
        ++checked;
    }
    EXPECT_GE(checked, 1);
    EXPECT_NE(messages.find("Ran 200000 photons.\n"), std::string::npos) << messages;
}

TEST(ParallelRun, CountsSaturateInsteadOfWrapping) {
    LoopCase c;
    c.p.detectorWidth = 1;
    c.p.detectorHeight = 1;
    c.p.preMaskActive = false;
    c.p.postMaskActive = false;
    c.p.sampleActive = false;
    c.p.photonsToRun = 100000;
    // The serial loop counts on top of what the image holds.
    std::vector<std::uint32_t> image(1, kMaxCount - 5);
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
    RandomGenerator random(3);
    RunContext context{console, out, random};
    PhotonSource source = loadSpectrum("", DetectorCone{1, 1, 1.0F, 1.0F, 150.0}, console);
    const std::string name = "1";
    const PhotonLoopInputs inputs{c.p, c.geometry, c.planes, c.preMask, c.postMask, name};
    const PhotonLoopResult serial = runPhotonLoop(inputs, source, image, context);
    ASSERT_GT(serial.hitCount, 5U);
    EXPECT_EQ(image[0], kMaxCount);
    EXPECT_EQ(serial.lostCounts, serial.hitCount - 5);
    // So do the parallel workers, and adding up their images saturates as well.
    for (auto images : {ParallelSettings::Images::kPerWorker, ParallelSettings::Images::kShared}) {
        ParallelSettings settings = settingsFor(2);
        settings.images = images;
        std::vector<std::uint32_t> parallelImage;
        const PhotonLoopResult parallel =
            c.runParallel(settings, parallelImage, nullptr, nullptr, kMaxCount - 5);
        ASSERT_GT(parallel.hitCount, 5U);
        EXPECT_EQ(parallelImage[0], kMaxCount);
        EXPECT_EQ(parallel.lostCounts, parallel.hitCount - 5);
    }
}

}  // namespace
}  // namespace conesim
