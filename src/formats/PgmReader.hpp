// Reading of whole ASCII greyscale images ("P2") as numbers, refusing what does not hold a
// complete image with a message that says why. The program's mask images are read by the
// lenient mask reader (MaskImage.hpp) instead, which never refuses a file.
#pragma once

#include <cstddef>
#include <string>

#include "formats/ValueImage.hpp"

namespace conesim {

constexpr std::size_t kLongestPgmWord = 64;

// Reads an ASCII greyscale image: magic "P2", width, height and maximum value, with "#"
// comments anywhere in the header, then width * height decimal values. A word (number) longer
// than kLongestPgmWord characters is refused before more of it is read. As in the mask
// reader, a second line that holds no width is passed over whole, as a comment.
bool readPgmImage(const std::string& path, ValueImage& image, std::string& error);

}  // namespace conesim
