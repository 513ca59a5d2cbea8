#include "ToolRunner.hpp"

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

#include "TestSupport.hpp"

namespace conesim::testing {

namespace {

// Appends one shell word, quoted so that no character of it is special.
void appendQuoted(std::string& command, const std::string& word) {
    command.push_back('\'');
    for (char c : word) {
        if (c == '\'') {
            command.append("'\\''");
        } else {
            command.push_back(c);
        }
    }
    command.push_back('\'');
}

}  // namespace

ToolResult runTool(const std::string& program, const std::vector<std::string>& args,
                   const std::filesystem::path& folder) {
    // The captured streams go beside the folder, so that they never show among its files.
    const std::string outPath = folder.string() + ".stdout";
    const std::string errPath = folder.string() + ".stderr";
    std::string command = "cd ";
    appendQuoted(command, folder.string());
    command.append(" && ");
    appendQuoted(command, program);
    for (const std::string& arg : args) {
        command.push_back(' ');
        appendQuoted(command, arg);
    }
    command.append(" </dev/null >");
    appendQuoted(command, outPath);
    command.append(" 2>");
    appendQuoted(command, errPath);
    const int raw = std::system(command.c_str());
    ToolResult result;
    if (raw != -1 && WIFEXITED(raw)) {
        result.status = WEXITSTATUS(raw);
    }
    result.out = readText(outPath);
    result.err = readText(errPath);
    std::error_code ignored;
    std::filesystem::remove(outPath, ignored);
    std::filesystem::remove(errPath, ignored);
    return result;
}

std::vector<std::string> fileNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace conesim::testing
