// Standard output piped into a reader that stops early (| head -1): the run goes on without
// its console and still writes its maps, planes and images, with status 0.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "PrecalcRunSupport.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

TEST(ConsolePipe, ARunPipedIntoHeadCompletesWithItsImages) {
    ScratchDir dir;
    // 3000 slices: far more console lines than a pipe holds, so most are written after
    // head has gone.
    testing::writePrecalcInputs(dir, 3, std::vector<float>(6 * 6 * 3000, 0.0F),
                                {{10, "6"}, {11, "6"}, {12, "3000"}});
    const testing::ProgramResult run = testing::runProgram(
        {"bash",
         {"-c", "timeout -k 5 60 '" CONESIM_BINARY "' params.txt Final | head -1 > "
                "first-line.txt; exit \"${PIPESTATUS[0]}\""},
         dir.path()});
    EXPECT_EQ(run.shellStatus(), 0) << run.err;
    const std::string first = testing::readText(dir.file("first-line.txt"));
    EXPECT_EQ(first.find('\n'), first.size() - 1) << first;
    EXPECT_EQ(fs::file_size(dir.file("OUT/Final.1.dat")), 40U * 40U * 4U);
    EXPECT_EQ(testing::readText(dir.file("OUT/Final.1.pgm")).rfind("P2\n40 40\n255\n", 0), 0U);
    EXPECT_EQ(fs::file_size(dir.file("Z_iUD-PRE.pca")), 6U * 6U * 8U);
    EXPECT_NE(testing::readText(dir.file("OUT/Logger.txt")).find("Run number 1 finished at:\n"),
              std::string::npos);
}

}  // namespace
}  // namespace conesim
