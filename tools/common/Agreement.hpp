// How one image (or volume) agrees with its truth: the Pearson correlation, the
// least-squares line of the one against the other and their RMS difference.
#pragma once

#include <cstdint>
#include <vector>

namespace conesim::tools {

// How a retrieved image agrees with the true one over the pixels compared.
struct Agreement {
    std::int64_t pixels = 0;   //!< pixels compared
    double correlation = 0.0;  //!< Pearson r; NaN without spread
    double slope = 0.0;        //!< least-squares retrieved = slope x true + intercept
    double intercept = 0.0;    //!< in the image's unit; NaN when true has no spread
    double rms = 0.0;          //!< root mean square of retrieved - true, the image's unit
};
Agreement agreementOf(const std::vector<double>& retrieved, const std::vector<double>& truth);

// The Pearson correlation of two equally long lists; NaN when either has no spread.
double pearsonCorrelation(const std::vector<double>& a, const std::vector<double>& b);
// The median (the mean of the middle two for an even count); NaN for an empty list.
double median(std::vector<double> values);

}  // namespace conesim::tools
