#include "ToolRunner.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "TestSupport.hpp"
#include "output/ImageWriters.hpp"

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

void expectHelp(const std::string& program, const std::string& usageStart) {
    ScratchDir dir;
    for (const char* option : {"--help", "-h"}) {
        const ToolResult result = runTool(program, {option}, dir.path());
        EXPECT_EQ(result.status, 0) << option;
        EXPECT_EQ(result.out.rfind(usageStart, 0), 0U) << result.out;
        EXPECT_EQ(result.err, "") << option;
    }
    EXPECT_TRUE(fileNames(dir.path()).empty());
}

void expectUsageErrors(const std::string& program, const std::string& toolName,
                       const std::vector<std::vector<std::string>>& cases,
                       const std::filesystem::path& folder) {
    const std::vector<std::string> before = fileNames(folder);
    for (const auto& args : cases) {
        const ToolResult result = runTool(program, args, folder);
        const std::string what = ::testing::PrintToString(args);
        EXPECT_EQ(result.status, 2) << what;
        EXPECT_EQ(result.err.rfind(toolName + ": ", 0), 0U) << what << ": " << result.err;
        EXPECT_NE(result.err.find("Try '" + toolName + " --help'."), std::string::npos) << what;
        EXPECT_EQ(fileNames(folder), before) << what;
    }
}

std::string programPgm(const std::vector<std::uint32_t>& image, std::uint32_t width) {
    ScratchDir dir;
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
    EXPECT_TRUE(writeDetectorPgm(dir.file("image.pgm"), width, image.data(),
                                 static_cast<std::int64_t>(image.size()), console));
    return readText(dir.file("image.pgm"));
}

}  // namespace conesim::testing
