#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"
#include "ToolRunner.hpp"

namespace conesim {
namespace {

using testing::runTool;
using testing::ScratchDir;
using testing::ToolResult;

// A line end never comes on these inputs: each must be refused at its first line.
const std::string kEndlessLine = "Parameter file /dev/zero: line 1 (\"" + std::string(40, '\0') +
                                 "...\") is longer than 255 characters.\n";

TEST(BoundedInputTest, ProgramRefusesAnEndlessDeviceAsParameterFile) {
    ScratchDir dir;
    const ToolResult result = runTool(CONESIM_BINARY, {"/dev/zero"}, dir.path());
    EXPECT_EQ(result.status, 11);
    EXPECT_EQ(result.out, kEndlessLine + "ERROR: Loading parameter file.\n");
}

TEST(BoundedInputTest, ProgramRefusesAFifoThatNeverEndsALine) {
    ScratchDir dir;
    // The writer fills the FIFO without end; the program must stop reading by itself (the
    // time limit only turns a hang into a failure).
    const ToolResult result =
        runTool("/bin/sh",
                {"-c",
                 "mkfifo endless && (cat /dev/zero > endless &) && exec timeout 120 \"$0\" "
                 "endless",
                 CONESIM_BINARY},
                dir.path());
    EXPECT_EQ(result.status, 11);
    EXPECT_EQ(result.out, "Parameter file endless: line 1 (\"" + std::string(40, '\0') +
                              "...\") is longer than 255 characters.\nERROR: Loading parameter "
                              "file.\n");
}

TEST(BoundedInputTest, ToolsReadingParameterFilesRefuseADeviceOrANamedPipe) {
    ScratchDir dir;
    testing::writeValues(dir.file("a.dat"), std::vector<std::uint32_t>{1, 2, 3, 4});
    const ToolResult sum =
        runTool(CONESIM_SUM_TOOL, {"--params", "/dev/zero", "-o", "s", "a.dat"}, dir.path());
    EXPECT_EQ(sum.status, 1);
    EXPECT_EQ(sum.err,
              "conesim-sum: cannot use parameter file /dev/zero: cannot open /dev/zero: it is a "
              "character device, not a regular file\n");
    EXPECT_EQ(testing::fileNames(dir.path()), std::vector<std::string>{"a.dat"});

    // A named pipe nobody writes would make a reader wait for ever.
    ASSERT_EQ(::mkfifo(dir.file("pipe.txt").c_str(), 0600), 0);
    for (const char* device : {"/dev/zero", "pipe.txt"}) {
        const std::string kind = device[0] == '/' ? "a character device" : "a named pipe";
        const ToolResult explained = runTool(CONESIM_PARAMS_TOOL, {"explain", device}, dir.path());
        EXPECT_EQ(explained.status, 1);
        EXPECT_EQ(explained.out, "Parameter file " + std::string(device) + " is " + kind +
                                     ", not a regular file; it is not read.\nERROR: Loading "
                                     "parameter file.\n");
        const ToolResult got =
            runTool(CONESIM_PARAMS_TOOL, {"get", device, "detectorWidth"}, dir.path());
        EXPECT_EQ(got.status, 1);
        EXPECT_EQ(got.err, "conesim-params: Parameter file " + std::string(device) + " is " + kind +
                               ", not a regular file; it is not read.\n");
    }
}

TEST(BoundedInputTest, FaultLineAndReaderWarningsReachConsoleAndRunLog) {
    ScratchDir dir;
    testing::writeText(dir.file("fault.txt"), testing::parameterFileText({{9, "40"}}));
    const ToolResult fault = runTool(CONESIM_BINARY, {"fault.txt"}, dir.path());
    EXPECT_EQ(fault.status, 12);
    EXPECT_EQ(fault.out,
              "Parameter file loaded okay.\nERROR: Parameter file not sensible.\nFault code (See "
              "README): 4\nSetting 9 (sampleStart) is 40; it must lie between preMaskPosition (50) "
              "and 20000.\n");

    // Without a spectrum the run stops (978) after the run log holds the summary and the
    // warnings.
    std::filesystem::create_directory(dir.file("OUT"));
    testing::writeValues(dir.file("Sample.bin"), std::vector<float>(20 * 20 * 4, 0.0F));
    testing::writeText(dir.file("warn.txt"),
                       testing::parameterFileText({{40, "2000steps"}, {2, "50.5"}}));
    const ToolResult warned = runTool(CONESIM_BINARY, {"warn.txt", "name"}, dir.path());
    EXPECT_EQ(warned.status, 210);
    const std::string readerWarnings =
        "WARNING: Parameter file warn.txt: value 2 (preMaskPosition) \"50.5\" has characters "
        "after its number; it is read as 50.\n"
        "WARNING: Parameter file warn.txt: value 40 (reportEvery) \"2000steps\" has characters "
        "after its number; it is read as 2000.\n";
    EXPECT_EQ(warned.out.rfind(readerWarnings + "Parameter file loaded okay.\n", 0), 0U)
        << warned.out;
    const std::string log = testing::readText(dir.file("OUT/Logger.txt"));
    EXPECT_NE(log.find("The End Checkword was: END\n------------\n\n" + readerWarnings +
                       "WARNING: Pre-sample mask image pre.pgm does not exist; the pre-sample "
                       "mask is off.\n"
                       "WARNING: Post-sample mask image post.pgm does not exist; the "
                       "post-sample mask is off.\n"),
              std::string::npos)
        << log;
}

}  // namespace
}  // namespace conesim
