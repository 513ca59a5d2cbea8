// The text of a parameter file, read once into memory for conesim-params, and the
// commands' outputs built from it: the explanation of every setting and a new file.
#pragma once

#include <ostream>
#include <string>

namespace conesim::tools {

// The bytes of a parameter file as they stand. Reading stops right after the first line
// longer than the program accepts, which the program's reader then refuses as it would
// the file. False, with a message in error, when the file is not a regular file (a named
// pipe would wait for a writer, a device never end), cannot be opened or read, or holds
// more than 64 MiB of acceptable lines.
bool readParameterFileText(const std::string& path, std::string& text, std::string& error);

// Every positional value with its number, line, field name, unit and meaning, then the
// extension settings (given or default), as far as the file could be read.
void writeExplanation(std::ostream& out, const std::string& fileText);

// A parameter file in which every setting has a comment with its number, unit, meaning,
// accepted range and default, and a sensible example value; it loads and validates.
std::string newParameterFileText();

}  // namespace conesim::tools
