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
    // A sweep over an outer axis (a 4-D stack header): runs per outer value and outer values;
    // 0 and 0 otherwise. Its stack is not read whole but one outer value at a time.
    std::int64_t inner = 0;
    std::int64_t outer = 0;
    std::string outerSetting;  //!< the last value column of the table
};

// False (error set) when a file is missing or the stack does not hold exactly one
// detector image per finished run (for a 4-D stack: per run of its whole outer values).
bool readSweepFolder(const std::string& path, SweepFolder& folder, std::string& error);

// The images of outer value index (0 to outer - 1) of a sweep over an outer axis, one run
// after the other.
bool readOuterImages(const SweepFolder& folder, std::int64_t index,
                     std::vector<std::uint32_t>& counts, std::string& error);

// The values of one swept setting over the finished runs; false (error set) when the
// setting was not swept there or a value is not a number.
bool finishedPositions(const SweepFolder& folder, const std::string& setting,
                       std::vector<double>& positions, std::string& error);

}  // namespace conesim::tools
