// The figures by which a retrieval is judged against the truth, over the pixels inside the
// sample (true transmission below 1): for refraction and dark field the Pearson
// correlation, the least-squares line of retrieved against true and the RMS difference, and
// the median relative error of the transmission.
#pragma once

#include <cstdint>
#include <vector>

#include "common/Agreement.hpp"

namespace conesim::tools {

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

}  // namespace conesim::tools
