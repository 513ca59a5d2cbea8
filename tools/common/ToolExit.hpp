// Exit statuses and error reports shared by the companion tools: a usage error names the
// bad argument and points at --help (status 2), a file failure names the file (status 1).
#pragma once

#include <functional>
#include <string_view>

namespace conesim::tools {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  //!< a file could not be read or written, or data refused
constexpr int kExitUsage = 2;    //!< the command line is wrong

// "<tool>: <message>" and "Try '<tool> --help'." on standard error; returns kExitUsage.
int usageError(std::string_view tool, std::string_view message);
// "<tool>: <message>" on standard error; returns kExitFailure.
int failure(std::string_view tool, std::string_view message);
// Runs a tool's body; a failure to obtain memory, or any other unexpected exception, is
// reported as a failure instead of ending the process abnormally.
int runGuarded(std::string_view tool, const std::function<int()>& body);

}  // namespace conesim::tools
