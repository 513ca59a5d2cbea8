// Adds the raw detector images (".dat") of several runs of one geometry, pixel by pixel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace conesim::tools {

// Reads every image and adds it into sum. Refuses (false, error set) a file whose size is
// not a whole number of 4-byte counts, an empty image, images of different sizes, a pixel
// count that width does not divide into rows, and a sum above 4294967295 in any pixel.
bool sumDetectorImages(const std::vector<std::string>& paths, std::uint32_t width,
                       std::vector<std::uint32_t>& sum, std::string& error);

// Writes sum as base + ".dat" and base + ".pgm" through the program's own image writers,
// so that both have exactly the layout and grey-level rescaling of a run's final image.
// Either both files appear or neither does.
bool writeSummedImages(const std::string& base, std::uint32_t width,
                       const std::vector<std::uint32_t>& sum, std::string& error);

}  // namespace conesim::tools
