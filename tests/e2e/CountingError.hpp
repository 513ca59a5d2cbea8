// The physics tests' bound: an observed count lies within 4 sigma of photons * p, sigma the
// binomial error of photons each counted with probability p. The measured agreement is
// printed, for the README's tables.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

namespace conesim::testing {

inline void expectWithinCountingError(double observed, double photons, double p) {
    const double expected = photons * p;
    const double sigma = std::sqrt(photons * p * (1.0 - p));
    std::cout << "observed " << observed << ", expected " << expected << " (ratio "
              << observed / expected << ", " << (observed - expected) / sigma << " sigma)\n";
    EXPECT_LE(std::fabs(observed - expected), 4.0 * sigma)
        << "observed " << observed << ", expected " << expected << " +- " << sigma;
}

}  // namespace conesim::testing
