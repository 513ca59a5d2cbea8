#include "retrieve/TruthComparison.hpp"

#include <algorithm>
#include <cmath>

namespace conesim::tools {

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
