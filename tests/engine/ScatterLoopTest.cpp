// Small-angle scattering in the photon loop: the fast loop counts exactly what the plain
// reference counts, with and without the laboratory effects, serial and parallel alike; a
// scattering plane of zeros changes nothing; the energy factor is (E0/E)^4.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "LoopCase.hpp"
#include "engine/EnergyFactors.hpp"

namespace conesim {
namespace {

using testing::everyEffect;
using testing::LoopCase;

// A scattering plane over the loop case's 40 x 40 plane: stronger to the right, 0 in the
// leftmost eight columns, so that photons cross columns with and without it.
void addScattering(LoopCase& c) {
    c.planes.scatter.assign(1600, 0.0);
    for (int y = 0; y < 40; ++y) {
        for (int x = 8; x < 40; ++x) {
            c.planes.scatter[static_cast<std::size_t>(y * 40 + x)] = 4e-6 * (x - 7);
        }
    }
}

TEST(ScatterLoop, FastLoopCountsWhatThePlainReferenceCounts) {
    for (bool showAll : {true, false}) {
        for (bool effects : {false, true}) {
            LoopCase c;
            c.p.showAllPhotons = showAll;
            if (effects) {
                everyEffect(c);
            }
            addScattering(c);
            const auto [hits, hash] = c.run(41);
            EXPECT_GT(hits, 10000U) << showAll << effects;
            // The scattering changes the image.
            LoopCase plain;
            plain.p.showAllPhotons = showAll;
            if (effects) {
                everyEffect(plain);
            }
            EXPECT_NE(plain.run(41).second, hash) << showAll << effects;
        }
    }
}

TEST(ScatterLoop, PlaneOfZerosChangesNothing) {
    LoopCase plain;
    everyEffect(plain);
    LoopCase zeros;
    everyEffect(zeros);
    zeros.planes.scatter.assign(1600, 0.0);
    EXPECT_EQ(zeros.run(7), plain.run(7));
}

TEST(ScatterLoop, ParallelRunDependsOnlyOnTheSeed) {
    LoopCase c;
    everyEffect(c);
    addScattering(c);
    ParallelSettings settings;
    settings.seed = 17;
    settings.batchSize = 30000;
    settings.threads = 1;
    std::vector<std::uint32_t> one;
    const PhotonLoopResult first = c.runParallel(settings, one);
    settings.threads = 3;
    std::vector<std::uint32_t> three;
    EXPECT_EQ(c.runParallel(settings, three).hitCount, first.hitCount);
    EXPECT_TRUE(three == one);
}

TEST(ScatterLoop, VarianceScalesWithTheFourthPowerOfE0OverE) {
    EXPECT_EQ(energyFactors(30.0, 30.0).scatter, 1.0);
    EXPECT_DOUBLE_EQ(energyFactors(20.0, 30.0).scatter, std::pow(1.5, 4.0));
    EXPECT_DOUBLE_EQ(energyFactors(60.0, 30.0).scatter, std::pow(0.5, 4.0));
    EXPECT_EQ(PlaneEnergy::scatter, 1.0);
}

}  // namespace
}  // namespace conesim
