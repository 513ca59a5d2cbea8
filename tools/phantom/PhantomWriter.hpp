// Writes a phantom volume slice by slice: only one z slice is ever held in memory.
#pragma once

#include <cstdint>
#include <string>

#include "phantom/PhantomOptions.hpp"

namespace conesim::tools {

// The value of every voxel of slice z, row by row, as float32 little-endian bytes.
void fillSliceBytes(const PhantomOptions& options, std::int64_t z, std::string& bytes);
// Writes the whole volume to options.output; false (with error set) on any failure, and
// then no file of that name is left.
bool writePhantom(const PhantomOptions& options, std::string& error);

}  // namespace conesim::tools
