// Shared by the end-to-end tests of physics against xraylib: the counts of a run's final
// image and the counting-error bound (4 sigma, sigma from the expected count).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numeric>
#include <string>

#include "TestSupport.hpp"

namespace conesim::testing {

// The total of the counts in the final image OUT/t.1.dat of the run in dir.
inline double countedHits(const ScratchDir& dir) {
    const auto image = readValues<std::uint32_t>(dir.file("OUT/t.1.dat"));
    return static_cast<double>(std::accumulate(image.begin(), image.end(), std::uint64_t{0}));
}

// observed lies within 4 sigma of photons * p, sigma the binomial spread of that count.
inline void expectWithinCountingError(double observed, double photons, double p) {
    const double sigma = std::sqrt(photons * p * (1.0 - p));
    EXPECT_LE(std::fabs(observed - photons * p), 4.0 * sigma)
        << "observed " << observed << ", expected " << photons * p << " +- " << sigma;
}

}  // namespace conesim::testing
