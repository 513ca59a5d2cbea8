// Reader of the ASCII greyscale mask images: four header lines skipped, then decimal
// values; a value above 0 makes its pixel opaque (1), anything else leaves it clear (0).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace conesim {

// Fills the first pixelCount bytes of buffer (already all 0). Returns 1 when the mask is
// inactive, 2 when the file cannot be opened (active is then cleared), else pixelCount.
std::int64_t readMaskImage(const std::string& path, std::vector<std::uint8_t>& buffer,
                           std::int64_t pixelCount, bool& active);

}  // namespace conesim
