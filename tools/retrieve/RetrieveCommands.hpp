// The three things conesim-retrieve does: retrieve from two sweeps, map the truth from a
// run's planes, and compare the two. Each prints what it did and returns an exit status.
#pragma once

#include <optional>
#include <string>

#include "retrieve/PixelRetrieval.hpp"
#include "retrieve/TruthMapping.hpp"

namespace conesim::tools {

struct RetrievalOptions {
    std::string flatFolder;
    std::string sampleFolder;
    std::string output;
    std::string position;  //!< swept setting giving the positions; empty: the flat's first
    double minimumCounts = 20.0;
    std::optional<double> flatVariance;         //!< pixels^2, for a two-position flat field
    CurveModel model = CurveModel::kFlatCurve;  //!< for three or more positions
};

struct TruthCommandOptions {
    std::string parameters;
    std::string output;
    std::string planeFolder;  //!< --planes DIR; empty: the parameter file's planeFolder
    TruthOptions truth;
};

struct ComparisonOptions {
    std::string retrievedFolder;
    std::string truthFolder;
    std::string output;  //!< folder for the side-by-side PNGs; empty: none
    std::optional<double> minimumCorrelation;
    std::optional<double> maximumError;  //!< as a fraction (0.03 for 3 %)
    std::optional<double> minimumSlope;  //!< of retrieved against true refraction
    std::optional<double> maximumSlope;
    std::optional<double> minimumDarkfieldCorrelation;  //!< the same bounds on the dark field
    std::optional<double> minimumDarkfieldSlope;
    std::optional<double> maximumDarkfieldSlope;
};

int runRetrieval(const RetrievalOptions& options);
int runTruthMapping(const TruthCommandOptions& options);
int runComparison(const ComparisonOptions& options);

}  // namespace conesim::tools
