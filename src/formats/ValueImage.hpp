// A two-dimensional image as plain numbers, whatever file it was read from.
#pragma once

#include <cstdint>
#include <vector>

namespace conesim {

struct ValueImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<double> values;  //!< row by row
};

}  // namespace conesim
