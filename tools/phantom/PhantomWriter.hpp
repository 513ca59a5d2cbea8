// Writes a phantom volume slice by slice: only one z slice is ever held in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/MetaImageHeader.hpp"
#include "phantom/PhantomOptions.hpp"

namespace conesim::tools {

// The value of every voxel of slice z, row by row.
void fillSlice(const PhantomOptions& options, std::int64_t z, std::vector<float>& slice);
// The MetaImage layout of the volume: 3-D MET_FLOAT of the grid size, spacing the voxel size.
MetaImageLayout phantomLayout(const PhantomOptions& options);
// Writes the whole volume to options.output and its header to options.output + ".mhd";
// both appear or neither does. False (with error set) on any failure or refusal (an output
// that is not a regular file, or the two names one file); earlier files of those names are
// then left as they were.
bool writePhantom(const PhantomOptions& options, std::string& error);

}  // namespace conesim::tools
