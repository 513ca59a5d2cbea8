// Runs a built tool program in a folder and captures what it printed and its exit status.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace conesim::testing {

struct ToolResult {
    int status = -1;  //!< the exit status; -1 when the program did not exit normally
    std::string out;  //!< standard output
    std::string err;  //!< standard error
};

ToolResult runTool(const std::string& program, const std::vector<std::string>& args,
                   const std::filesystem::path& folder);

// The names of the files in a folder, sorted.
std::vector<std::string> fileNames(const std::filesystem::path& folder);

}  // namespace conesim::testing
