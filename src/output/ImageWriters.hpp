// Writers of the detector image: an ASCII greyscale image rescaled to 0..255 and the raw
// little-endian 32-bit counts (".dat").
#pragma once

#include <cstdint>
#include <string>

#include "util/Console.hpp"

namespace conesim {

// Each writer returns true when the whole file was written. A file that cannot be created
// prints "ERROR: Cannot create output file."; a write that fails part-way prints
// "ERROR: Cannot write output file " + path + "." Both leave false.
bool writeDetectorPgm(const std::string& path, std::uint32_t width, const std::uint32_t* image,
                      std::int64_t pixelCount, Console& console);
bool writeDetectorRaw(const std::string& path, std::int64_t pixelCount, const std::uint32_t* image,
                      Console& console);

}  // namespace conesim
