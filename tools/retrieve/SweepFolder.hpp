// A sweep folder as conesim-sweep leaves it, read back for the retrieval: its table of
// runs, the geometry of its parameter file's copy and the stacked final images of the runs
// that finished.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/SetupGeometry.hpp"
#include "sweep/SweepFiles.hpp"

namespace conesim::tools {

struct SweepFolder {
    std::string path;
    SweepTable table;
    SetupGeometry geometry;
    std::vector<std::size_t> finishedRows;  //!< rows of status 0: the stack's slices
    std::vector<std::uint32_t> stack;       //!< the finished runs' images, one after the other
};

// False (error set) when a file is missing or the stack does not hold exactly one
// detector image per finished run.
bool readSweepFolder(const std::string& path, SweepFolder& folder, std::string& error);

// The values of one swept setting over the finished runs; false (error set) when the
// setting was not swept there or a value is not a number.
bool finishedPositions(const SweepFolder& folder, const std::string& setting,
                       std::vector<double>& positions, std::string& error);

}  // namespace conesim::tools
