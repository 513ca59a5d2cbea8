// Reads of lines and tokens that never hold more than a fixed number of characters in
// memory, so that a file without line ends, a huge token or an endless device cannot
// exhaust memory or be read forever.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

namespace conesim {

enum class BoundedReadResult {
    kRead,     //!< a complete line or token is in the text
    kEnd,      //!< nothing more: end of input (or a read error; check the stream's bad())
    kTooLong,  //!< longer than allowed: the text holds its first maxLength + 1 characters
};

// Reads the next line, without its line end, of at most maxLength characters. A carriage
// return just before the newline is dropped and not counted. On kTooLong the stream stands
// inside the line (the caller stops reading); a last line without a newline is a line.
BoundedReadResult readBoundedLine(std::istream& in, std::string& line, std::size_t maxLength);

// Skips a line without holding it: kRead when its newline came within maxLength + 1
// characters (a carriage return may end it), kEnd when the input ended first, kTooLong
// when it did not (the stream then stands inside the line).
BoundedReadResult skipBoundedLine(std::istream& in, std::size_t maxLength);

// Reads the next whitespace-separated token of at most maxLength characters, leading white
// space skipped. On kTooLong the stream stands inside the token.
BoundedReadResult readBoundedToken(std::istream& in, std::string& token, std::size_t maxLength);

}  // namespace conesim
