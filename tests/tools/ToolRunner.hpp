// Runs a built tool program in a folder and captures what it printed and its exit status;
// checks shared by the tools' tests.
#pragma once

#include <cstdint>
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

// --help and -h each exit 0 with the usage text on standard output, starting with
// usageStart, and nothing on standard error.
void expectHelp(const std::string& program, const std::string& usageStart);

// Each argument list must end with the usage status 2, a message "<toolName>: ..." and the
// pointer to --help on standard error, and leave the folder's files as they were.
void expectUsageErrors(const std::string& program, const std::string& toolName,
                       const std::vector<std::vector<std::string>>& cases,
                       const std::filesystem::path& folder);

// The ASCII greyscale image the program itself writes for a detector image.
std::string programPgm(const std::vector<std::uint32_t>& image, std::uint32_t width);

}  // namespace conesim::testing
