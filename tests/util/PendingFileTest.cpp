// The pending-file writer and the output checks: a link is written through, a name that is
// not a regular file is never replaced, an output never replaces an input, and files that
// belong together appear together.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "TestSupport.hpp"
#include "util/NewFile.hpp"
#include "util/OutputTarget.hpp"
#include "util/PendingFile.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

void makeFifo(const std::string& path) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
}

bool isFifo(const std::string& path) {
    return fs::is_fifo(fs::symlink_status(path));
}

// Writes text through a pending file and commits it; the error when anything fails.
std::string writeThrough(const std::string& path, const std::string& text) {
    PendingFile pending(path);
    std::ofstream file;
    std::string error;
    if (!pending.open(file, error)) {
        return error;
    }
    file << text;
    return pending.finish(file, error) ? "" : error;
}

TEST(OutputTarget, LinksAreFollowedToTheNameTheyFinallyLeadTo) {
    ScratchDir dir;
    testing::WorkingDirectory cwd(dir.path());
    fs::create_directory("data");
    fs::create_symlink("data/second", "first");              // relative to the link's folder
    fs::create_symlink("../data/final.dat", "data/second");  // a dangling end
    std::string target;
    std::string error;
    ASSERT_TRUE(resolveOutputTarget("first", target, error)) << error;
    EXPECT_EQ(fs::path(target).lexically_normal(), fs::path("data/final.dat"));
    ASSERT_TRUE(resolveOutputTarget("plain.dat", target, error));
    EXPECT_EQ(target, "plain.dat");

    fs::create_symlink("loop-b", "loop-a");
    fs::create_symlink("loop-a", "loop-b");
    EXPECT_FALSE(resolveOutputTarget("loop-a", target, error));
    EXPECT_EQ(error, "cannot write loop-a: too many levels of symbolic links");
}

TEST(OutputTarget, KindsOfNamesThatAreNotRegularFiles) {
    ScratchDir dir;
    testing::writeText(dir.file("file"), "x");
    makeFifo(dir.file("pipe"));
    EXPECT_EQ(nonRegularKind(dir.file("file")), "");
    EXPECT_EQ(nonRegularKind(dir.file("missing")), "");
    EXPECT_EQ(nonRegularKind(dir.path().string()), "a folder");
    EXPECT_EQ(nonRegularKind(dir.file("pipe")), "a named pipe");
    EXPECT_EQ(nonRegularKind("/dev/null"), "a character device");
}

TEST(OutputTarget, SameFileThroughLinksHardLinksAndPaths) {
    ScratchDir dir;
    testing::WorkingDirectory cwd(dir.path());
    testing::writeText("a.dat", "1234");
    testing::writeText("b.dat", "1234");
    fs::create_hard_link("a.dat", "hard.dat");
    fs::create_symlink("a.dat", "soft.dat");
    fs::create_directory("sub");
    EXPECT_TRUE(sameFile("a.dat", "hard.dat"));
    EXPECT_TRUE(sameFile("soft.dat", "a.dat"));
    EXPECT_TRUE(sameFile("./a.dat", "sub/../a.dat"));
    EXPECT_FALSE(sameFile("a.dat", "b.dat"));
    // Names of files that do not exist yet are compared as paths.
    EXPECT_TRUE(sameFile("new.png", "sub/../new.png"));
    EXPECT_FALSE(sameFile("new.png", "other.png"));
    EXPECT_FALSE(sameFile("new.png", "a.dat"));
}

TEST(OutputTarget, CheckOutputsNamesWhatIsRefused) {
    ScratchDir dir;
    testing::WorkingDirectory cwd(dir.path());
    testing::writeText("in.dat", "1234");
    fs::create_symlink("in.dat", "link.dat");
    fs::create_symlink("pipe", "to-pipe");
    makeFifo("pipe");
    fs::create_directory("folder");
    std::string error;
    EXPECT_TRUE(checkOutputs({"out.dat", "out.pgm"}, {"in.dat"}, error)) << error;
    const std::vector<std::pair<std::vector<std::string>, std::string>> refusals = {
        {{"in.dat"}, "refusing to write in.dat: it is also an input"},
        {{"link.dat"}, "refusing to write link.dat: it is the same file as the input in.dat"},
        {{"pipe"}, "refusing to write pipe: it is a named pipe, not a regular file"},
        {{"to-pipe"},
         "refusing to write to-pipe: its link leads to pipe, a named pipe, not a "
         "regular file"},
        {{"folder"}, "refusing to write folder: it is a folder, not a regular file"},
        {{"out.dat", "./out.dat"},
         "refusing to write ./out.dat: it is the same file as the output out.dat"},
    };
    for (const auto& [outputs, message] : refusals) {
        EXPECT_FALSE(checkOutputs(outputs, {"in.dat"}, error)) << message;
        EXPECT_EQ(error, message);
    }
    EXPECT_TRUE(isFifo("pipe"));
    EXPECT_EQ(testing::readText("in.dat"), "1234");
}

TEST(PendingFile, WritesThroughALinkAndKeepsTheLink) {
    ScratchDir dir;
    testing::WorkingDirectory cwd(dir.path());
    fs::create_directory("store");
    testing::writeText("store/image.dat", "old");
    fs::create_symlink("store/image.dat", "image.dat");
    EXPECT_EQ(writeThrough("image.dat", "new"), "");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status("image.dat")));
    EXPECT_EQ(testing::readText("store/image.dat"), "new");
    // The temporary file went beside the target and is gone.
    EXPECT_EQ(testing::readText("image.dat"), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator("store"), fs::directory_iterator()), 1);
    // A dangling link: the file it names is created.
    fs::create_symlink("store/later.dat", "later.dat");
    EXPECT_EQ(writeThrough("later.dat", "made"), "");
    EXPECT_EQ(testing::readText("store/later.dat"), "made");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status("later.dat")));
}

TEST(PendingFile, NeverReplacesANameThatIsNotARegularFile) {
    ScratchDir dir;
    testing::WorkingDirectory cwd(dir.path());
    makeFifo("pipe");
    EXPECT_EQ(writeThrough("pipe", "x"),
              "refusing to write pipe: it is a named pipe, not a regular file");
    EXPECT_TRUE(isFifo("pipe"));
    // A name that becomes a pipe while the content is written is refused at the commit.
    {
        PendingFile pending("late");
        std::ofstream file;
        std::string error;
        ASSERT_TRUE(pending.open(file, error)) << error;
        file << "content";
        makeFifo("late");
        EXPECT_FALSE(pending.finish(file, error));
        EXPECT_EQ(error, "refusing to write late: it is a named pipe, not a regular file");
    }
    EXPECT_TRUE(isFifo("late"));
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 2);
}

TEST(PendingFile, FilesCommittedTogetherAppearWholeOrNotAtAll) {
    ScratchDir dir;
    testing::WorkingDirectory cwd(dir.path());
    std::string error;
    {
        PendingFile data("image.raw");
        PendingFile header("image.raw.mhd");
        testing::writeText(data.temporaryPath(), "data");
        testing::writeText(header.temporaryPath(), "header");
        ASSERT_TRUE(commitTogether({&data, &header}, error)) << error;
    }
    EXPECT_EQ(testing::readText("image.raw"), "data");
    EXPECT_EQ(testing::readText("image.raw.mhd"), "header");
    {
        // The header's temporary file is missing, so its rename fails after the data's:
        // the data published a moment before is withdrawn again.
        PendingFile data("other.raw");
        PendingFile header("other.raw.mhd");
        testing::writeText(data.temporaryPath(), "data");
        EXPECT_FALSE(commitTogether({&data, &header}, error));
        EXPECT_EQ(error.rfind("cannot create other.raw.mhd: ", 0), 0U) << error;
    }
    EXPECT_FALSE(fs::exists("other.raw"));
    {
        // A refusal found by the checks renames nothing.
        fs::create_directory("taken.mhd");
        PendingFile data("taken");
        PendingFile header("taken.mhd");
        testing::writeText(data.temporaryPath(), "data");
        testing::writeText(header.temporaryPath(), "header");
        EXPECT_FALSE(commitTogether({&data, &header}, error));
        EXPECT_EQ(error, "refusing to write taken.mhd: it is a folder, not a regular file");
    }
    EXPECT_FALSE(fs::exists("taken"));
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(".")) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"image.raw", "image.raw.mhd", "taken.mhd"}));
}

}  // namespace
}  // namespace conesim

namespace conesim {
namespace {

// A link planted at a temporary name before the write: the write goes to a new file of the
// writer's own, never through the link, and the file the link led to keeps its bytes.
TEST(NewFile, PlantedLinkAtTheTemporaryNameRedirectsNothing) {
    ScratchDir dir;
    const std::string victim = dir.file("victim.txt");
    testing::writeText(victim, "precious");
    const std::string image = dir.file("image.pgm");
    PendingFile pending(image);
    fs::create_symlink(victim, pending.temporaryPath());
    EXPECT_EQ(writeThrough(image, "new image"), "");
    EXPECT_EQ(testing::readText(victim), "precious");
    EXPECT_EQ(testing::readText(image), "new image");
    EXPECT_FALSE(fs::exists(fs::symlink_status(pending.temporaryPath())));

    // For writers that open the temporary name themselves (PNG, summed images).
    fs::create_symlink(victim, pending.temporaryPath());
    std::string error;
    ASSERT_TRUE(pending.create(error)) << error;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(pending.temporaryPath())));
    EXPECT_EQ(fs::file_size(pending.temporaryPath()), 0U);
    EXPECT_EQ(testing::readText(victim), "precious");
}

TEST(NewFile, OpenNewFileNeverOpensAnExistingNameOrALink) {
    ScratchDir dir;
    const std::string victim = dir.file("victim.txt");
    testing::writeText(victim, "precious");
    const std::string link = dir.file("link");
    fs::create_symlink(victim, link);
    std::string error;
    EXPECT_LT(openNewFile(link, error), 0);
    EXPECT_EQ(error, "cannot create " + link + ": File exists");
    EXPECT_LT(openNewFile(victim, error), 0);
    EXPECT_TRUE(createNewFile(link, error)) << error;  // the link goes, not its target
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(link)));
    EXPECT_EQ(testing::readText(victim), "precious");
    fs::create_directory(dir.file("folder"));
    EXPECT_FALSE(createNewFile(dir.file("folder"), error));
    EXPECT_EQ(error, "cannot create " + dir.file("folder") + ": it is a folder");
}

}  // namespace
}  // namespace conesim
