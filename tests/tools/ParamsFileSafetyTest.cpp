// conesim-params set replacing a file keeps what the file was (its mode and owner), refuses
// a file the user may not write, and keeps every edit when several processes edit one file
// at once; get ends with conesim's verdict on a file it refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ParameterFileText.hpp"
#include "ProgramRun.hpp"
#include "TestSupport.hpp"
#include "ToolRunner.hpp"

namespace conesim {
namespace {

using testing::readText;
using testing::runTool;
using testing::ScratchDir;
using testing::ToolResult;

ToolResult paramsTool(const ScratchDir& dir, const std::vector<std::string>& args) {
    return runTool(CONESIM_PARAMS_TOOL, args, dir.path());
}

TEST(ParamsFileSafetyTest, SetKeepsModeAndOwnerAndRefusesAReadOnlyFile) {
    ScratchDir dir;
    const std::string path = dir.file("p.txt");
    testing::writeText(path, testing::parameterFileText());
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 1234, 2345), 0);
    }
    const ToolResult result = paramsTool(dir, {"set", "p.txt", "sampleEnergy=25", "-o", "p.txt"});
    ASSERT_EQ(result.status, 0) << result.err;
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640U);
    if (root) {
        EXPECT_EQ(info.st_uid, 1234U);
        EXPECT_EQ(info.st_gid, 2345U);
    }
    EXPECT_NE(readText(path).find("Setting 43 = 25 ;"), std::string::npos);

    // Read-only counts for root too, whom the permissions would not stop.
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const std::string before = readText(path);
    const ToolResult refused = paramsTool(dir, {"set", "p.txt", "sampleEnergy=30", "-o", "p.txt"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              "conesim-params: refusing to write p.txt: it is read-only for you (mode 0444); "
              "make it writable first\n");
    EXPECT_EQ(readText(path), before);
    EXPECT_EQ(testing::fileNames(dir.path()), std::vector<std::string>{"p.txt"});
}

TEST(ParamsFileSafetyTest, ConcurrentEditsOfOneFileAreAllKept) {
    const std::vector<std::string> edits = {"sampleEnergy=25.5", "detectorBlurSigma=0.5",
                                            "focalSpotFwhmX=0.25", "focalSpotFwhmY=0.125",
                                            "keepTemporaryFiles=0"};
    ScratchDir dir;
    for (int trial = 0; trial < 3; ++trial) {
        testing::writeText(dir.file("p.txt"), testing::parameterFileText());
        std::vector<std::unique_ptr<testing::ProgramProcess>> editors;
        for (const std::string& edit : edits) {
            editors.push_back(std::make_unique<testing::ProgramProcess>(testing::ProgramCall(
                CONESIM_PARAMS_TOOL, {"set", "p.txt", edit, "-o", "p.txt"}, dir.path())));
        }
        for (const auto& editor : editors) {
            EXPECT_EQ(editor->wait().shellStatus(), 0) << trial;
        }
        for (const std::string& edit : edits) {
            const std::size_t equals = edit.find('=');
            const ToolResult got = paramsTool(dir, {"get", "p.txt", edit.substr(0, equals)});
            EXPECT_EQ(got.out, edit.substr(equals + 1) + "\n") << "trial " << trial << ": " << edit;
        }
    }
}

TEST(ParamsFileSafetyTest, GetEndsWithConesimsVerdictOnAFileItRefuses) {
    ScratchDir dir;
    testing::writeText(dir.file("insensible.txt"), testing::parameterFileText({{27, "90"}}));
    ToolResult result = paramsTool(dir, {"get", "insensible.txt", "detectorWidth"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "40\n");
    EXPECT_EQ(result.err,
              "conesim-params: insensible.txt is not sensible: fault code 19. Setting 27 "
              "(detectorPosition) is 90; it must lie between postMaskPosition (100) and 20000.\n");
    testing::writeText(dir.file("refused.txt"), testing::parameterFileText() + "bogus = 1\n");
    result = paramsTool(dir, {"get", "refused.txt", "detectorWidth"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "40\n");
    EXPECT_EQ(result.err,
              "conesim-params: conesim refuses refused.txt: Parameter file refused.txt: line 51: "
              "unknown extension setting \"bogus\" (value \"1\").\n");
}

}  // namespace
}  // namespace conesim
