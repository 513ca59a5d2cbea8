// Decimal text of run numbers and photon counts in file names and the run log.
#pragma once

#include <cstdint>
#include <string>

namespace conesim {

// No leading zeros, no separators, a minus sign for negatives.
inline std::string makeRunNumberString(std::int32_t value) {
    return std::to_string(value);
}

}  // namespace conesim
