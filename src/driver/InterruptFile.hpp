// The interrupt file "stopSTOPstop": while it exists, each check asks the user whether to
// stop the run, and a confirmed stop keeps the photons run so far.
#pragma once

#include "util/Console.hpp"

namespace conesim {

inline constexpr const char* kInterruptFileName = "stopSTOPstop";

// Whether an answer confirms: at most two characters with a lower-case y among them.
bool confirmsInterruption(const std::string& answer);

// True when the file exists and the user confirmed the interruption.
bool checkInterruptFile(Console& console);

}  // namespace conesim
