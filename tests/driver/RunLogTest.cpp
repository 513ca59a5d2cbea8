// The run log file: appended to, whatever else appends to it; each flush reaches the file as
// one block; a named pipe without reader is refused.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "TestSupport.hpp"
#include "driver/RunLog.hpp"
#include "util/Console.hpp"

namespace conesim {
namespace {

using testing::readText;

TEST(RunLogFile, AppendsBesideOtherWritersAndOnlyWhatIsFlushed) {
    testing::ScratchDir dir;
    const std::string path = dir.file("Logger.txt");
    testing::writeText(path, "earlier\n");
    RunLogFile log;
    ASSERT_TRUE(log.open(path));
    writeLine(log, "first");
    log << "held back ";
    EXPECT_EQ(readText(path), "earlier\nfirst\n");
    {
        // Another run appending in between: neither overwrites the other.
        std::ofstream other(path, std::ios::app);
        other << "other run\n";
    }
    writeLine(log, "until the line ends");
    log.close();
    EXPECT_FALSE(log.fail());
    EXPECT_EQ(readText(path), "earlier\nfirst\nother run\nheld back until the line ends\n");
}

// A named pipe that nobody reads would hold the run in open(); it is refused instead.
TEST(RunLogFile, NamedPipeWithoutReaderIsRefused) {
    testing::ScratchDir dir;
    const std::string path = dir.file("Logger.txt");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    RunLogFile log;
    EXPECT_FALSE(log.open(path));
}

// A block larger than any stream buffer still reaches the file whole and in order.
TEST(RunLogFile, LargeBlockArrivesWhole) {
    testing::ScratchDir dir;
    const std::string path = dir.file("Logger.txt");
    std::string block;
    for (int i = 0; i < 20000; ++i) {
        block += "line " + std::to_string(i) + "\n";
    }
    RunLogFile log;
    ASSERT_TRUE(log.open(path));
    log << block << std::flush;
    log.close();
    EXPECT_FALSE(log.fail());
    EXPECT_EQ(readText(path), block);
}

}  // namespace
}  // namespace conesim
