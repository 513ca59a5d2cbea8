// The console streams and the message helpers that every subsystem writes through.
// Nothing writes to std::cout or reads std::cin directly, so that a whole run can be
// driven inside a test with string streams.
#pragma once

#include <istream>
#include <ostream>
#include <string_view>

namespace conesim {

struct Console {
    std::ostream& out;  //!< messages and progress (standard output)
    std::istream& in;   //!< the interrupt confirmation (standard input)
};

// A line end is a newline followed by a flush of that stream.
inline void writeLine(std::ostream& stream, std::string_view text) {
    stream << text << std::endl;
}

// The message goes to the console, then with the same text to the run log.
inline void report(Console& console, std::ostream& log, std::string_view text) {
    writeLine(console.out, text);
    writeLine(log, text);
}

}  // namespace conesim
