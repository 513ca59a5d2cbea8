// Outputs that never destroy anything, on every tool: a link named as output is written
// through and stays a link, a device, named pipe or folder is refused and left as it was,
// and an output is never one of the tool's own inputs, whatever name reaches it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.hpp"
#include "ToolRunner.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::runTool;
using testing::ScratchDir;
using testing::ToolResult;
using Counts = std::vector<std::uint32_t>;

// One way of running each tool so that it writes OUT (and, for some, OUT's companions).
struct ToolCase {
    const char* name;
    const char* program;
    std::vector<std::string> (*args)(const std::string& out);
    const char* ending;  //!< what the tool appends to OUT for its first file ("" none)
};

std::vector<std::string> phantomArgs(const std::string& out) {
    return {"--dims", "2x2x2", "-o", out};
}
std::vector<std::string> maskArgs(const std::string& out) {
    return {"--size", "2", "-o", out, "--clear"};
}
std::vector<std::string> pngArgs(const std::string& out) {
    return {"in.dat", "--width", "2", "-o", out};
}
std::vector<std::string> sumArgs(const std::string& out) {
    return {"--width", "2", "-o", out, "in.dat"};
}

const std::vector<ToolCase>& toolCases() {
    static const std::vector<ToolCase> cases = {
        {"conesim-phantom", CONESIM_PHANTOM_TOOL, phantomArgs, ""},
        {"conesim-mask", CONESIM_MASK_TOOL, maskArgs, ""},
        {"conesim-png", CONESIM_PNG_TOOL, pngArgs, ""},
        {"conesim-sum", CONESIM_SUM_TOOL, sumArgs, ".dat"},
    };
    return cases;
}

void writeInput(const ScratchDir& dir) {
    testing::writeValues(dir.file("in.dat"), Counts{1, 2, 3, 4});
}

TEST(OutputSafetyTest, ALinkNamedAsOutputIsWrittenThroughAndStaysALink) {
    for (const ToolCase& tool : toolCases()) {
        SCOPED_TRACE(tool.name);
        ScratchDir dir;
        writeInput(dir);
        fs::create_directory(dir.path() / "store");
        const std::string target = std::string("store/result") + tool.ending;
        testing::writeText(dir.file(target), "earlier result");
        fs::create_symlink("store/result" + std::string(tool.ending),
                           dir.path() / ("out" + std::string(tool.ending)));
        const ToolResult result = runTool(tool.program, tool.args("out"), dir.path());
        ASSERT_EQ(result.status, 0) << result.err;
        const fs::path link = dir.path() / ("out" + std::string(tool.ending));
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
        EXPECT_EQ(fs::read_symlink(link), fs::path(target));
        const std::string written = testing::readText(dir.file(target));
        EXPECT_NE(written, "earlier result");
        EXPECT_FALSE(written.empty());
        // Nothing temporary is left beside the target.
        EXPECT_EQ(testing::fileNames(dir.path() / "store"),
                  (std::vector<std::string>{"result" + std::string(tool.ending)}));
    }
}

TEST(OutputSafetyTest, NamedPipeOrFolderAsOutputIsRefusedAndKept) {
    for (const ToolCase& tool : toolCases()) {
        SCOPED_TRACE(tool.name);
        ScratchDir dir;
        writeInput(dir);
        const std::string pipe = std::string("pipe") + tool.ending;
        ASSERT_EQ(::mkfifo(dir.file(pipe).c_str(), 0600), 0);
        ToolResult result = runTool(tool.program, tool.args("pipe"), dir.path());
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, std::string(tool.name) + ": refusing to write " + pipe +
                                  ": it is a named pipe, not a regular file\n");
        EXPECT_TRUE(fs::is_fifo(fs::symlink_status(dir.file(pipe))));

        const std::string folder = std::string("folder") + tool.ending;
        fs::create_directory(dir.path() / folder);
        result = runTool(tool.program, tool.args("folder"), dir.path());
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, std::string(tool.name) + ": refusing to write " + folder +
                                  ": it is a folder, not a regular file\n");
        EXPECT_TRUE(fs::is_directory(dir.path() / folder));
        EXPECT_EQ(testing::fileNames(dir.path()),
                  (std::vector<std::string>{folder, "in.dat", pipe}));
    }
}

// A character device like /dev/full, made in a scratch folder so that nothing of the
// machine's own is at stake; only root may make one.
TEST(OutputSafetyTest, DeviceAsOutputIsRefusedAndKept) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "making a device node needs root";
    }
    for (const ToolCase& tool : toolCases()) {
        SCOPED_TRACE(tool.name);
        ScratchDir dir;
        writeInput(dir);
        const std::string device = dir.file(std::string("full") + tool.ending);
        if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
            GTEST_SKIP() << "this system does not allow a device node here";
        }
        const ToolResult result = runTool(tool.program, tool.args("full"), dir.path());
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, std::string(tool.name) + ": refusing to write full" + tool.ending +
                                  ": it is a character device, not a regular file\n");
        EXPECT_TRUE(fs::is_character_file(fs::symlink_status(device)));
    }
}

TEST(OutputSafetyTest, OutputThatIsAnInputIsRefusedThroughLinksAndHardLinks) {
    ScratchDir dir;
    writeInput(dir);
    testing::writeValues(dir.file("other.dat"), Counts{5, 6, 7, 8});
    fs::create_hard_link(dir.file("in.dat"), dir.file("hard.dat"));
    fs::create_symlink("in.dat", dir.path() / "soft.dat");
    fs::create_hard_link(dir.file("in.dat"), dir.file("hard.png"));
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{CONESIM_PNG_TOOL, "in.dat", "--width", "2", "-o", "in.dat"},
         "conesim-png: refusing to write in.dat: it is also an input\n"},
        {{CONESIM_PNG_TOOL, "in.dat", "--width", "2", "-o", "hard.png"},
         "conesim-png: refusing to write hard.png: it is the same file as the input in.dat\n"},
        {{CONESIM_PNG_TOOL, "soft.dat", "--width", "2", "-o", "./in.dat"},
         "conesim-png: refusing to write ./in.dat: it is the same file as the input soft.dat\n"},
        {{CONESIM_SUM_TOOL, "--width", "2", "-o", "in", "in.dat", "other.dat"},
         "conesim-sum: refusing to write in.dat: it is also an input\n"},
        {{CONESIM_SUM_TOOL, "--width", "2", "-o", "hard", "other.dat", "in.dat"},
         "conesim-sum: refusing to write hard.dat: it is the same file as the input in.dat\n"},
        {{CONESIM_SUM_TOOL, "--width", "2", "-o", "soft", "other.dat", "in.dat"},
         "conesim-sum: refusing to write soft.dat: it is the same file as the input in.dat\n"},
    };
    for (const auto& [command, message] : cases) {
        const std::vector<std::string> args(command.begin() + 1, command.end());
        const ToolResult result = runTool(command.front(), args, dir.path());
        EXPECT_EQ(result.status, 1) << message;
        EXPECT_EQ(result.err, message);
    }
    EXPECT_EQ(testing::readValues<std::uint32_t>(dir.file("in.dat")), (Counts{1, 2, 3, 4}));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.path() / "soft.dat")));
    EXPECT_EQ(
        testing::fileNames(dir.path()),
        (std::vector<std::string>{"hard.dat", "hard.png", "in.dat", "other.dat", "soft.dat"}));
}

TEST(OutputSafetyTest, ParameterFileAndHeaderDataAreInputsToo) {
    ScratchDir dir;
    writeInput(dir);
    testing::writeText(dir.file("image.mhd"),
                       "NDims = 2\nDimSize = 2 2\nElementType = MET_UINT\n"
                       "BinaryDataByteOrderMSB = False\nElementDataFile = in.dat\n");
    ToolResult result = runTool(CONESIM_PNG_TOOL, {"image.mhd", "-o", "in.dat"}, dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "conesim-png: refusing to write in.dat: it is also an input\n");
    result = runTool(CONESIM_PNG_TOOL, {"image.mhd", "-o", "image.mhd"}, dir.path());
    EXPECT_EQ(result.err, "conesim-png: refusing to write image.mhd: it is also an input\n");
    // The parameter file named run.pgm would be replaced by the sum's greyscale image.
    testing::writeText(dir.file("run.pgm"), "any text");
    result = runTool(CONESIM_SUM_TOOL, {"--params", "run.pgm", "-o", "run", "in.dat"}, dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "conesim-sum: refusing to write run.pgm: it is also an input\n");
    EXPECT_EQ(testing::readText(dir.file("run.pgm")), "any text");
}

}  // namespace
}  // namespace conesim
