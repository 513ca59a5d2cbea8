// Standard output piped into a reader that stops early (| head -1): the run goes on without
// its console and still writes its maps, planes and images, with status 0.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "PrecalcRunSupport.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

// Runs a bash command line in dir with every signal at its default action. The exit status,
// or -1.
int runBash(const ScratchDir& dir, const std::string& commandLine) {
    const pid_t pid = testing::spawnInFolder(dir.path(), {"bash", "-c", commandLine});
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

TEST(ConsolePipe, ARunPipedIntoHeadCompletesWithItsImages) {
    ScratchDir dir;
    // 3000 slices: far more console lines than a pipe holds, so most are written after
    // head has gone.
    testing::writePrecalcInputs(dir, 3, std::vector<float>(6 * 6 * 3000, 0.0F),
                                {{10, "6"}, {11, "6"}, {12, "3000"}});
    const int status = runBash(dir, "timeout -k 5 60 '" CONESIM_BINARY
                                    "' params.txt Final | head -1 > first-line.txt; "
                                    "exit \"${PIPESTATUS[0]}\"");
    EXPECT_EQ(status, 0);
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
