// The header of the ASCII greyscale images ("P2") the program and the tools write: the magic,
// an optional comment line, the width and height, and the maximum grey value 255, each on a
// line of its own; the grey levels follow as decimal text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace conesim {

// "P2\n", then "# " + comment + "\n" when comment is not empty, "W H\n" and "255\n".
std::string pgmHeaderText(std::int64_t width, std::int64_t height, std::string_view comment = {});

}  // namespace conesim
