// The line that follows "Fault code (See README): N" on the console: which setting failed
// the check of that code (by number and field name), its value and what it must be.
#pragma once

#include <string>

#include "params/SimulationParameters.hpp"

namespace conesim {

// One line, without a line end; empty for 0 or a code no check produces.
std::string faultExplanation(const SimulationParameters& parameters, int faultCode);

}  // namespace conesim
