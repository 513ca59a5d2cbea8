#include "retrieve/TruthComparison.hpp"

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

ComparisonFigures compareWithTruth(const std::vector<float>& transmission,
                                   const std::vector<float>& refraction,
                                   const std::vector<float>& trueTransmission,
                                   const std::vector<float>& trueRefraction,
                                   const std::vector<float>& darkfield,
                                   const std::vector<float>& trueDarkfield) {
    ComparisonFigures figures;
    std::vector<double> retrieved;
    std::vector<double> truth;
    std::vector<double> errors;
    std::vector<double> retrievedDarkfield;
    std::vector<double> trueDarkfieldValues;
    const bool withDarkfield =
        darkfield.size() == transmission.size() && trueDarkfield.size() == transmission.size();
    const std::size_t n = std::min(
        {transmission.size(), refraction.size(), trueTransmission.size(), trueRefraction.size()});
    for (std::size_t i = 0; i < n; ++i) {
        if (!(trueTransmission[i] < 1.0F)) {
            continue;
        }
        ++figures.inside;
        if (!std::isfinite(transmission[i]) || !std::isfinite(refraction[i])) {
            continue;
        }
        ++figures.compared;
        retrieved.push_back(refraction[i]);
        truth.push_back(trueRefraction[i]);
        errors.push_back(std::fabs(static_cast<double>(transmission[i]) - trueTransmission[i]) /
                         trueTransmission[i]);
        if (withDarkfield && std::isfinite(darkfield[i]) && std::isfinite(trueDarkfield[i])) {
            retrievedDarkfield.push_back(darkfield[i]);
            trueDarkfieldValues.push_back(trueDarkfield[i]);
        }
    }
    figures.correlation = pearsonCorrelation(retrieved, truth);
    figures.refraction = agreementOf(retrieved, truth);
    figures.darkfield = agreementOf(retrievedDarkfield, trueDarkfieldValues);
    figures.medianRelativeError = median(errors);
    return figures;
}

}  // namespace conesim::tools
