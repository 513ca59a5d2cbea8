#include "common/Agreement.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace conesim::tools {

double pearsonCorrelation(const std::vector<double>& a, const std::vector<double>& b) {
    const std::size_t n = std::min(a.size(), b.size());
    if (n == 0) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    double meanA = 0.0;
    double meanB = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        meanA += a[i];
        meanB += b[i];
    }
    meanA /= static_cast<double>(n);
    meanB /= static_cast<double>(n);
    double covariance = 0.0;
    double varianceA = 0.0;
    double varianceB = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        covariance += (a[i] - meanA) * (b[i] - meanB);
        varianceA += (a[i] - meanA) * (a[i] - meanA);
        varianceB += (b[i] - meanB) * (b[i] - meanB);
    }
    if (!(varianceA > 0.0) || !(varianceB > 0.0)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return covariance / std::sqrt(varianceA * varianceB);
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    return values.size() % 2 == 1 ? values[half] : 0.5 * (values[half - 1] + values[half]);
}

Agreement agreementOf(const std::vector<double>& retrieved, const std::vector<double>& truth) {
    Agreement agreement;
    const std::size_t n = std::min(retrieved.size(), truth.size());
    agreement.pixels = static_cast<std::int64_t>(n);
    agreement.correlation = pearsonCorrelation(retrieved, truth);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (n == 0) {
        agreement.slope = agreement.intercept = agreement.rms = nan;
        return agreement;
    }
    double meanR = 0.0;
    double meanT = 0.0;
    double squares = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        meanR += retrieved[i];
        meanT += truth[i];
        squares += (retrieved[i] - truth[i]) * (retrieved[i] - truth[i]);
    }
    meanR /= static_cast<double>(n);
    meanT /= static_cast<double>(n);
    double covariance = 0.0;
    double varianceT = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        covariance += (retrieved[i] - meanR) * (truth[i] - meanT);
        varianceT += (truth[i] - meanT) * (truth[i] - meanT);
    }
    agreement.slope = varianceT > 0.0 ? covariance / varianceT : nan;
    agreement.intercept = meanR - agreement.slope * meanT;
    agreement.rms = std::sqrt(squares / static_cast<double>(n));
    return agreement;
}

}  // namespace conesim::tools
