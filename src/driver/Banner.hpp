#pragma once

#include "util/Console.hpp"

namespace conesim {

// The banner and usage shown for a wrong number of arguments.
void writeBannerAndUsage(Console& console);

}  // namespace conesim
