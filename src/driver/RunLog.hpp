// The run log record: header with the command and start time, trailer with the end time.
#pragma once

#include <ctime>
#include <ostream>
#include <string>
#include <vector>

namespace conesim {

// Local date and time as asctime writes it, with its own newline.
std::string asctimeText(std::time_t when);

void writeRunLogHeader(std::ostream& log, const std::vector<std::string>& args,
                       const std::string& runName, std::time_t start);
void writeRunLogTrailer(std::ostream& log, const std::string& runName, std::time_t end);

}  // namespace conesim
