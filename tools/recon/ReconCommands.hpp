// The three things conesim-recon does: reconstruct a scan's sinograms, write the truth of a
// run on the same grid, and compare the two. Each prints what it did and returns an exit
// status.
#pragma once

#include <optional>
#include <string>

#include "recon/ProjectionFilter.hpp"

namespace conesim::tools {

struct ReconOptions {
    std::string sinogramFolder;
    std::string parameters;
    std::string output;
    FilterWindow window = FilterWindow::kRamLak;
    double fractionX = 0.0;  //!< rays end this fraction of a pixel from its centre
    double fractionY = 0.0;
    unsigned threads = 0;  //!< 0: every core
};

struct ReconTruthOptions {
    std::string parameters;
    std::string output;
    double rotation = 0.0;  //!< degrees
};

struct ReconCompareOptions {
    std::string reconFolder;
    std::string truthFolder;
    std::string labelParameters;  //!< --labels PARAMS; empty: the truth's distinct values
    double rotation = 0.0;        //!< of the labels, degrees
    int margin = 2;               //!< interior: same label within this many voxels in x and z
    std::optional<double> minimumCorrelation;
    std::optional<double> maximumError;
};

int runReconstruction(const ReconOptions& options);
int runReconTruth(const ReconTruthOptions& options);
int runReconComparison(const ReconCompareOptions& options);

}  // namespace conesim::tools
