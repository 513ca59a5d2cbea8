// Whole-slice reads and writes of 4-byte float volumes: one stream call per slice.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace conesim {

// Reads up to count floats in one call; whatever the stream cannot supply is set to 0 so
// that no value of an earlier slice survives in the buffer. Returns the values read.
std::int64_t readSliceOrZeros(std::istream& in, float* values, std::int64_t count);

// Writes count floats in one call; false when the stream did not take all of them.
bool writeSlice(std::ostream& out, const float* values, std::int64_t count);

// Writes a whole plane of doubles to path (created or truncated); false when not written in
// full.
bool writeDoubles(const std::string& path, const std::vector<double>& values);

}  // namespace conesim
