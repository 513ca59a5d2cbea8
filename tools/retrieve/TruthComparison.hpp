// The figures by which a retrieval is judged against the truth, over the pixels inside the
// sample (true transmission below 1): for refraction and dark field the Pearson
// correlation, the least-squares line of retrieved against true and the RMS difference, and
// the median relative error of the transmission.
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

struct ComparisonFigures {
    std::int64_t inside = 0;           //!< pixels with true transmission below 1
    std::int64_t compared = 0;         //!< of those, retrieved (not NaN) in both images
    double correlation = 0.0;          //!< Pearson r of the refraction; NaN without spread
    double medianRelativeError = 0.0;  //!< median of |T - Ttrue| / Ttrue; NaN with no pixel
    Agreement refraction;              //!< pixels, over the compared pixels
    Agreement darkfield;               //!< pixels^2, where both dark fields are numbers
};

// darkfield and trueDarkfield may be empty (no dark field compared).
ComparisonFigures compareWithTruth(const std::vector<float>& transmission,
                                   const std::vector<float>& refraction,
                                   const std::vector<float>& trueTransmission,
                                   const std::vector<float>& trueRefraction,
                                   const std::vector<float>& darkfield = {},
                                   const std::vector<float>& trueDarkfield = {});

// The Pearson correlation of two equally long lists; NaN when either has no spread.
double pearsonCorrelation(const std::vector<double>& a, const std::vector<double>& b);
// The median (the mean of the middle two for an even count); NaN for an empty list.
double median(std::vector<double> values);

}  // namespace conesim::tools
