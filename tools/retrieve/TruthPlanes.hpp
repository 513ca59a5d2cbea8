// Where conesim-retrieve --truth finds the planes of a run, and whether they are that run's:
// the record beside them must name the deflection model, sample energy and sample file of
// the parameter file.
#pragma once

#include <string>

namespace conesim::tools {

// The plane folder of the run of parametersPath (its planeFolder, or override when that is
// not empty). False with error set when the file cannot be read or the planes' record names
// other settings (both values named); planes without a record are accepted.
bool findTruthPlanes(const std::string& parametersPath, const std::string& override,
                     std::string& folder, std::string& error);

}  // namespace conesim::tools
