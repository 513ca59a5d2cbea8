// Shared by the end-to-end tests of physics against closed forms and xraylib: the counts of
// a run's final image and the counting-error bound: an observed count lies within 4 sigma
// of photons * p, sigma the binomial error of photons each counted with probability p. The
// measured agreement is printed, for the README's tables.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iostream>
#include <numeric>
#include <string>

#include "TestSupport.hpp"

namespace conesim::testing {

// The total of the counts in the final image OUT/t.1.dat of the run in dir.
inline double countedHits(const ScratchDir& dir) {
    const auto image = readValues<std::uint32_t>(dir.file("OUT/t.1.dat"));
    return static_cast<double>(std::accumulate(image.begin(), image.end(), std::uint64_t{0}));
}

inline void expectWithinCountingError(double observed, double photons, double p) {
    const double expected = photons * p;
    const double sigma = std::sqrt(photons * p * (1.0 - p));
    std::cout << "observed " << observed << ", expected " << expected << " (ratio "
              << observed / expected << ", " << (observed - expected) / sigma << " sigma)\n";
    EXPECT_LE(std::fabs(observed - expected), 4.0 * sigma)
        << "observed " << observed << ", expected " << expected << " +- " << sigma;
}

}  // namespace conesim::testing
