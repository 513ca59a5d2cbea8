// The message for a map, plane or preview file that could not be written in full.
#pragma once

#include <ostream>
#include <string>

#include "output/Console.hpp"

namespace conesim {

// Console and run log: "ERROR: Cannot write file <name>." A half-written map would be read
// back later as if it were complete, so every such failure is named and passed upwards.
inline void reportWriteFailure(Console& console, std::ostream& log, const std::string& name) {
    report(console, log, "ERROR: Cannot write file " + name + ".");
}

}  // namespace conesim
