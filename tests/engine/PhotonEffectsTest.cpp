// The laboratory effects in the photon chain: the continuous draws they are made of, the
// energy factors, the draws each photon makes and where, and whole loops with the effects
// on, which must count exactly what the plain per-photon reference counts, serial and in
// parallel, and stay reproducible for a seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

#include "LoopCase.hpp"
#include "engine/ContinuousDraws.hpp"
#include "engine/EnergyFactors.hpp"
#include "engine/PhotonBatch.hpp"
#include "engine/PhotonEffects.hpp"
#include "engine/PhotonTrace.hpp"
#include "precalc/RefractiveIndexMap.hpp"

namespace conesim {
namespace {

using testing::everyEffect;
using testing::LoopCase;

// The number of draws between two states of one generator (at most `most`; -1 if more).
int drawsBetween(RandomGenerator before, const RandomGenerator& after, int most = 64) {
    for (int draws = 0; draws <= most; ++draws) {
        if (before == after) {
            return draws;
        }
        before.next();
    }
    return -1;
}

TEST(ContinuousDraws, ThirtyBitsAreTheFirstDrawAboveTheSecond) {
    RandomGenerator random(21);
    RandomGenerator mirror(21);
    for (int i = 0; i < 100; ++i) {
        const std::uint32_t high = static_cast<std::uint32_t>(mirror.next());
        const std::uint32_t low = static_cast<std::uint32_t>(mirror.next());
        ASSERT_EQ(draw30Bits(random), high * 32768U + low);
    }
}

TEST(ContinuousDraws, IndexReachesEveryEntryOfALongList) {
    // 100000 entries, more than one 15-bit draw can name: each tenth of the list gets its
    // share within the counting error, and the last entries are reached.
    constexpr std::size_t kEntries = 100000;
    constexpr int kDraws = 400000;
    RandomGenerator random(5);
    std::vector<int> tenths(10, 0);
    std::size_t highest = 0;
    for (int i = 0; i < kDraws; ++i) {
        const std::size_t index = drawIndex(random, kEntries);
        ASSERT_LT(index, kEntries);
        highest = std::max(highest, index);
        ++tenths[index / (kEntries / 10)];
    }
    EXPECT_GE(highest, kEntries - 50);
    for (int count : tenths) {
        EXPECT_NEAR(count, kDraws / 10, 5.0 * std::sqrt(kDraws * 0.1 * 0.9));
    }
    RandomGenerator one(5);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(drawIndex(one, 1), 0U);
    }
}

TEST(ContinuousDraws, CircleDirectionIsCosAndSinOfThePhase) {
    // Across the whole circle, at the table's steps and between them, to the last bits.
    std::vector<std::uint32_t> phases;
    for (std::uint32_t step = 0; step <= 64; ++step) {
        for (std::int64_t near : {-3, -1, 0, 1, 2}) {
            const std::int64_t bits = std::int64_t{step} * (1 << 24) + near;
            if (bits >= 0 && bits < (std::int64_t{1} << 30)) {
                phases.push_back(static_cast<std::uint32_t>(bits));
            }
        }
        phases.push_back(step * (1U << 24U) + (1U << 23U));  // halfway between steps
    }
    RandomGenerator random(3);
    for (int i = 0; i < 20000; ++i) {
        phases.push_back(draw30Bits(random));
    }
    for (const std::uint32_t bits : phases) {
        const long double angle =
            2.0L * std::numbers::pi_v<long double> * static_cast<long double>(bits) / 1073741824.0L;
        const CircleDirection d = circleDirection(bits);
        ASSERT_NEAR(d.cos, static_cast<double>(std::cos(angle)), 3e-16) << bits;
        ASSERT_NEAR(d.sin, static_cast<double>(std::sin(angle)), 3e-16) << bits;
    }
}

TEST(ContinuousDraws, GaussianPairsAreIndependentStandardNormals) {
    constexpr int kPairs = 500000;
    RandomGenerator random(77);
    double sum[2] = {0, 0};
    double squares[2] = {0, 0};
    double product = 0;
    int beyond[4] = {0, 0, 0, 0};  // |z| > 1, 2, 3, 4
    std::set<double> values;
    for (int i = 0; i < kPairs; ++i) {
        const GaussianPair g = drawGaussianPair(random);
        for (int k = 0; k < 2; ++k) {
            const double z = k == 0 ? g.first : g.second;
            sum[k] += z;
            squares[k] += z * z;
            for (int t = 0; t < 4; ++t) {
                beyond[t] += std::fabs(z) > t + 1;
            }
        }
        product += g.first * g.second;
        if (i < 100000) {
            values.insert(g.first);
        }
    }
    const double n = kPairs;
    for (int k = 0; k < 2; ++k) {
        EXPECT_NEAR(sum[k] / n, 0.0, 5.0 / std::sqrt(n));
        EXPECT_NEAR(squares[k] / n, 1.0, 5.0 * std::sqrt(2.0 / n));
    }
    EXPECT_NEAR(product / n, 0.0, 5.0 / std::sqrt(n));
    // Two-sided tail fractions of the normal distribution.
    const double tails[4] = {0.3173105, 0.0455003, 0.0026998, 0.0000633};
    for (int t = 0; t < 4; ++t) {
        const double expected = 2.0 * n * tails[t];
        EXPECT_NEAR(beyond[t], expected, 5.0 * std::sqrt(expected) + 1.0) << "beyond " << t + 1;
    }
    // 30-bit uniforms: no two of 100000 values coincide (15-bit ones would repeat by the
    // thousand), so no quantisation step shows.
    EXPECT_EQ(values.size(), 100000U);
}

TEST(EnergyFactors, ScaleAttenuationByTheReferenceAndDeflectionByTheInverseSquare) {
    // At the planes' own energy both factors are exactly 1.
    for (double e0 : {21.1972, 30.0, 100.0, 0.5}) {
        const EnergyFactors same = energyFactors(e0, e0);
        EXPECT_EQ(same.attenuation, 1.0);
        EXPECT_EQ(same.deflection, 1.0);
    }
    const EnergyFactors twice = energyFactors(40.0, 20.0);
    EXPECT_EQ(twice.deflection, 0.25);
    EXPECT_DOUBLE_EQ(twice.attenuation, referenceAttenuation(40.0) / referenceAttenuation(20.0));
    // Water attenuates a 15 keV photon more, and a 30 keV photon less, than a 20 keV one.
    EXPECT_GT(energyFactors(15.0, 20.0).attenuation, 1.5);
    EXPECT_LT(energyFactors(30.0, 20.0).attenuation, 0.6);
    EXPECT_NEAR(energyFactors(15.0, 20.0).deflection, 16.0 / 9.0, 1e-15);
}

TEST(PhotonEffects, FollowTheExtensionSettings) {
    ExtensionSettings settings;
    const std::vector<float> spectrum{15.0F, 20.0F, 30.0F};
    const PhotonEffects none = makePhotonEffects(settings, spectrum, {}, 20.0, {}, 1.0F);
    EXPECT_FALSE(none.any);
    EXPECT_FALSE(none.focalSpot || none.photonEnergy || none.blur);

    settings.focalSpotFwhmY = 0.5;
    settings.photonEnergies = PhotonEnergyMode::kSpectrum;
    settings.detectorBlurSigma = 0.25;
    const PhotonEffects all = makePhotonEffects(settings, spectrum, {}, 20.0, {}, 1.0F);
    EXPECT_TRUE(all.any && all.focalSpot && all.photonEnergy && all.blur);
    EXPECT_EQ(all.spotSigmaX, 0.0);
    EXPECT_NEAR(all.spotSigmaY, 0.5 / 2.3548200, 1e-7);
    EXPECT_EQ(all.blurSigma, 0.25);
    ASSERT_EQ(all.energyFactors.size(), 3U);  // one pair per entry, in file order
    EXPECT_EQ(all.energyFactors[0].deflection, energyFactors(15.0, 20.0).deflection);
    EXPECT_EQ(all.energyFactors[1].attenuation, 1.0);
    EXPECT_EQ(all.energyFactors[1].deflection, 1.0);
    EXPECT_EQ(all.energyFactors[2].attenuation, energyFactors(30.0, 20.0).attenuation);

    // Per-photon energies need a spectrum.
    ExtensionSettings energiesOnly;
    energiesOnly.photonEnergies = PhotonEnergyMode::kSpectrum;
    EXPECT_FALSE(makePhotonEffects(energiesOnly, {}, {}, 20.0, {}, 1.0F).any);
}

TEST(PhotonEffects, DrawsComeAtFixedPlacesAndStayWithinTheBatchBound) {
    LoopCase c;
    everyEffect(c);
    c.p.quantumEfficiency = 0.8F;
    const std::string name = "1";
    const PhotonLoopInputs inputs{c.p, c.geometry, c.planes, c.preMask, c.postMask, name};
    const ConeAxis cone = coneAxis(400, 1.0F, 150);
    const PhotonSetup setup(inputs, cone, cone, true, c.energies);
    ASSERT_TRUE(setup.effects.any);
    RandomGenerator random(8);
    int fewest = 100;
    int most = 0;
    for (int i = 0; i < 50000; ++i) {
        const RandomGenerator before = random;
        const PhotonOutcome outcome = tracePhoton(setup, setup.tableX(), setup.tableY(), random);
        const int draws = drawsBetween(before, random);
        ASSERT_GE(draws, 0);
        fewest = std::min(fewest, draws);
        most = std::max(most, draws);
        if (outcome.counted) {
            // Direction 4, spot 4, energy 2, blur 4, dithering 1, efficiency 1 at least.
            ASSERT_GE(draws, 16);
        }
    }
    // Every photon draws its direction, spot and energy before anything can stop it; the
    // fewest are those the pre-sample mask stops after its 30-bit uniform (here every photon
    // that misses the mask goes on to be counted), and sample (3), post-sample mask (2),
    // blur (4), dithering and efficiency come on top for some.
    EXPECT_EQ(fewest, 4 + 4 + 2 + 2);
    EXPECT_EQ(most, 23);
    // One more with a detector material, whose efficiency takes a 30-bit uniform.
    // Four more where the sample scatters (a Gaussian pair after the undeflected-passage draw).
    EXPECT_EQ(trace::kMostDrawsPerPhoton, 28U);
    EXPECT_LE(trace::kMostDrawsPerPhoton, kMaxDrawsPerPhoton);
}

TEST(PhotonEffects, EachEffectAloneCountsWhatThePlainReferenceCounts) {
    for (int effect = 0; effect < 3; ++effect) {
        LoopCase c;
        c.p.photonsToRun = 60000;
        c.p.sampleEnergy = 25.0F;
        c.energies = {18.0F, 25.0F, 33.0F};
        if (effect == 0) {
            c.p.extensions.focalSpotFwhmX = 1.5;
        } else if (effect == 1) {
            c.p.extensions.photonEnergies = PhotonEnergyMode::kSpectrum;
        } else {
            c.p.extensions.detectorBlurSigma = 1.25;
        }
        const auto [hits, hash] = c.run(30 + effect);
        EXPECT_GT(hits, 20000U) << effect;
        // The effect changes the image.
        LoopCase plain;
        plain.p.photonsToRun = 60000;
        EXPECT_NE(plain.run(30 + effect).second, hash) << effect;
    }
}

TEST(PhotonEffectsGolden, EveryEffectWithWindowsAndDithering) {
    LoopCase c;
    everyEffect(c);
    c.p.apertureLrPif = 0.8F;
    c.p.apertureLrOffset = 0.1F;
    c.p.detectorUdPif = 0.7F;
    c.p.quantumEfficiency = 0.9F;
    const auto [hits, hash] = c.run(12);
    EXPECT_EQ(hits, 59468U);
    EXPECT_EQ(hash, 5221586818154749299ULL);
}

TEST(PhotonEffects, ParallelRunWithEveryEffectDependsOnlyOnTheSeed) {
    LoopCase c;
    everyEffect(c);
    std::vector<std::uint32_t> one;
    ParallelSettings settings;
    settings.seed = 91;
    settings.batchSize = 30000;
    settings.threads = 1;
    const PhotonLoopResult first = c.runParallel(settings, one);
    EXPECT_GT(first.hitCount, 30000U);
    for (int threads : {2, 3}) {
        settings.threads = threads;
        std::vector<std::uint32_t> image;
        EXPECT_EQ(c.runParallel(settings, image).hitCount, first.hitCount) << threads;
        EXPECT_TRUE(image == one) << threads << " threads differ from 1";
    }
}

}  // namespace
}  // namespace conesim
