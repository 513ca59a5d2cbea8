// Changes the values of chosen settings in the text of a parameter file, leaving every
// other character of the file as it was, and checks the result as the program would.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "params/SimulationParameters.hpp"

namespace conesim {

// Replaces the value text of the named settings (positional by field name, or extension
// settings) in the text of a parameter file, keeping labels, comments, order and line ends
// (LF or CR LF) untouched; an extension setting not present is appended after the END line
// (after the last extension setting the file holds). Assignments apply in order, so a later
// one of the same name wins. Returns false with a one-line message in error for an unknown
// name, a value that cannot be written as it is (blanks, quotes, ';', "//", control
// characters), a number followed by other characters, or a result the program would refuse
// or find not sensible (then its own messages, and the fault code with the failing setting).
// fileName stands for the file in those messages.
bool setParameterValues(const std::string& fileText,
                        const std::vector<std::pair<std::string, std::string>>& assignments,
                        std::string& result, std::string& error,
                        const std::string& fileName = "edited file");

// Loads and validates the text of a parameter file as the program does; false with the
// program's messages joined into one line in error when it is refused or not sensible.
bool checkParameterText(const std::string& fileText, const std::string& fileName,
                        std::string& error);
// The same, keeping the loaded values in parameters for a caller that needs them.
bool checkParameterText(const std::string& fileText, const std::string& fileName,
                        std::string& error, SimulationParameters& parameters);

}  // namespace conesim
