#include "ToolRunner.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "ProgramRun.hpp"
#include "TestSupport.hpp"
#include "formats/ImageWriters.hpp"

namespace conesim::testing {

ToolResult runTool(const std::string& program, const std::vector<std::string>& args,
                   const std::filesystem::path& folder) {
    const ProgramResult run = runProgram(ProgramCall{program, args, folder});
    return ToolResult{run.status, run.out, run.err};
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
