// The figures by which a retrieval is judged against the truth, over the pixels inside the
// sample (true transmission below 1): the Pearson correlation of retrieved and true
// refraction, and the median relative error of the transmission.
#pragma once

#include <cstdint>
#include <vector>

namespace conesim::tools {

struct ComparisonFigures {
    std::int64_t inside = 0;           //!< pixels with true transmission below 1
    std::int64_t compared = 0;         //!< of those, retrieved (not NaN) in both images
    double correlation = 0.0;          //!< Pearson r of the refraction; NaN without spread
    double medianRelativeError = 0.0;  //!< median of |T - Ttrue| / Ttrue; NaN with no pixel
};

ComparisonFigures compareWithTruth(const std::vector<float>& transmission,
                                   const std::vector<float>& refraction,
                                   const std::vector<float>& trueTransmission,
                                   const std::vector<float>& trueRefraction);

// The Pearson correlation of two equally long lists; NaN when either has no spread.
double pearsonCorrelation(const std::vector<double>& a, const std::vector<double>& b);
// The median (the mean of the middle two for an even count); NaN for an empty list.
double median(std::vector<double> values);

}  // namespace conesim::tools
