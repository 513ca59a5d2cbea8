// Runs sharing an output folder on the built program: two runs started together that draw
// the same run number each get a number and images of their own, whole, and a run log whose
// lines are never split; an output name that cannot take the images ends a run at once.
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <numeric>
#include <regex>
#include <sstream>

#include "PrecalcRunSupport.hpp"
#include "ZeroPlaneRun.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::ScratchDir;

std::string match(const std::string& text, const std::string& pattern) {
    std::smatch found;
    if (!std::regex_search(text, found, std::regex(pattern))) {
        return "";
    }
    return found[1].str();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::map<std::string, int> countLines(const std::vector<std::string>& lines,
                                      const std::string& start) {
    std::map<std::string, int> counts;
    for (const std::string& line : lines) {
        if (line.rfind(start, 0) == 0) {
            ++counts[line];
        }
    }
    return counts;
}

// The zero-plane run of 3000000 photons, reporting every 1000, into the output folder given.
void prepareRun(const ScratchDir& dir, const std::string& outputFolder) {
    testing::prepareZeroPlaneRun(dir, "3000000");
    testing::writeText(
        dir.file("params.txt"),
        testing::parameterFileText({{39, "3000000"}, {40, "1000"}, {44, outputFolder}}));
}

// The same seed makes both runs draw the same first run number; the one that claims it
// second draws again, which also moves its photons on. Each runs in a folder of its own (for
// a console of its own); both write into one output folder.
TEST(SharedOutputFolder, RunsStartedTogetherKeepTheirOwnImagesAndWholeLogLines) {
    for (int round = 0; round < 3; ++round) {
        ScratchDir shared;
        ScratchDir firstDir;
        ScratchDir secondDir;
        const std::string out = shared.path().string();
        prepareRun(firstDir, out);
        prepareRun(secondDir, out);
        testing::ProgramProcess first =
            testing::startInFolder(firstDir, {"--seed", "7", "params.txt"}, 120);
        testing::ProgramProcess second =
            testing::startInFolder(secondDir, {"--seed", "7", "params.txt"}, 120);
        const testing::ProgramResult& firstRun = first.wait();
        const testing::ProgramResult& secondRun = second.wait();
        ASSERT_EQ(firstRun.shellStatus(), 0) << firstRun.out;
        ASSERT_EQ(secondRun.shellStatus(), 0) << secondRun.out;

        std::vector<std::string> runs;
        std::map<std::string, int> reportedLines;
        std::uint64_t reportedHits = 0;
        for (const std::string& console : {firstRun.out, secondRun.out}) {
            runs.push_back(match(console, "\nRun number ([0-9]+)\n"));
            reportedHits += std::stoull(match(console, "Detector scored ([0-9]+) hits."));
            for (const auto& [line, count] : countLines(linesOf(console), "Ran ")) {
                reportedLines[line] += count;
            }
        }
        ASSERT_FALSE(runs[0].empty());
        ASSERT_FALSE(runs[1].empty());
        EXPECT_NE(runs[0], runs[1]);

        // Both images whole, each with its header, and not copies of one another.
        std::vector<std::vector<std::uint32_t>> images;
        std::uint64_t totalHits = 0;
        for (const std::string& run : runs) {
            const std::string base = shared.file("Final." + run);
            images.push_back(testing::readValues<std::uint32_t>(base + ".dat"));
            ASSERT_EQ(images.back().size(), 40U * 40U) << run;
            totalHits +=
                std::accumulate(images.back().begin(), images.back().end(), std::uint64_t{0});
            const std::string pgm = readText(base + ".pgm");
            EXPECT_EQ(pgm.rfind("P2\n40 40\n255\n", 0), 0U) << run;
            EXPECT_EQ(linesOf(pgm).size(), 3U + 40U) << run;
            EXPECT_NE(readText(base + ".dat.mhd").find("ElementDataFile = Final." + run + ".dat\n"),
                      std::string::npos);
        }
        EXPECT_EQ(totalHits, reportedHits);
        EXPECT_NE(images[0], images[1]);

        // The log holds every line of both records whole: each progress line both consoles
        // showed, each run's start and end once, and no line holding part of another.
        const std::vector<std::string> lines = linesOf(readText(shared.file("Logger.txt")));
        for (const std::string& line : lines) {
            EXPECT_EQ(line.find("Ran ", 1), std::string::npos) << line;
            EXPECT_EQ(line.find("Run number ", 1), std::string::npos) << line;
            EXPECT_EQ(line.find("Detector scored ", 1), std::string::npos) << line;
        }
        EXPECT_EQ(countLines(lines, "Ran "), reportedLines);
        const std::map<std::string, int> runLines = countLines(lines, "Run number ");
        std::map<std::string, int> expectedRunLines;
        for (const std::string& run : runs) {
            expectedRunLines["Run number " + run + " started at:"] = 1;
            expectedRunLines["Run number " + run + " finished at:"] = 1;
        }
        EXPECT_EQ(runLines, expectedRunLines);
        EXPECT_EQ(countLines(lines, std::string(63, '/')),
                  (std::map<std::string, int>{{std::string(63, '/'), 4}}));
        EXPECT_EQ(countLines(lines, "Final image wrote."),
                  (std::map<std::string, int>{{"Final image wrote.", 2}}));
    }
}

// A run in mode 3 on a large sample whose output name lies in a folder that does not exist:
// it ends when it is named, with 14, before the precalculation begins.
TEST(SharedOutputFolder, OutputNameThatCannotTakeTheImagesEndsTheRunAtOnce) {
    ScratchDir dir;
    testing::writeLargePrecalcInputs(dir);
    const testing::ShellRun run = testing::runInFolder(dir, "params.txt missing/name");
    const std::string& console = run.console;
    ASSERT_EQ(run.status, 14) << console;
    const std::string error =
        "ERROR: Cannot create final image OUT/missing/name.1.pgm: No such file or directory.\n";
    ASSERT_GE(console.size(), error.size());
    EXPECT_EQ(console.substr(console.size() - error.size()), error) << console;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename().string().rfind("Z_", 0), std::string::npos)
            << entry.path();
    }
    EXPECT_EQ(readText(dir.file("OUT/Logger.txt")).find("Calculating"), std::string::npos);
}

// An output folder that takes no new file (but holds a writable run log) ends the run when it
// is named. Root may write into any folder, so as root the program runs as user nobody.
TEST(SharedOutputFolder, FolderThatTakesNoNewFileEndsTheRunAtOnce) {
    std::vector<std::string> asUser;
    if (::geteuid() == 0) {
        if (testing::runProgram({"setpriv", {"--version"}, "/"}).status != 0) {
            GTEST_SKIP() << "running as root without setpriv";
        }
        asUser = {"--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    ScratchDir dir;
    prepareRun(dir, "OUT");
    testing::writeText(dir.file("OUT/Logger.txt"), "");
    fs::permissions(dir.file("OUT/Logger.txt"), fs::perms::all);
    fs::permissions(dir.file("OUT"), fs::perms::owner_write, fs::perm_options::remove);
    fs::permissions(dir.path(), fs::perms::all);
    for (const std::string& arguments :
         {std::string("params.txt"), std::string("params.txt dbg")}) {
        testing::ProgramCall call = testing::folderCall(dir, testing::words(arguments));
        if (!asUser.empty()) {
            call.arguments.insert(call.arguments.begin(), call.program);
            call.arguments.insert(call.arguments.begin(), asUser.begin(), asUser.end());
            call.program = "setpriv";
        }
        const testing::ProgramResult run = testing::runProgram(call);
        EXPECT_EQ(run.shellStatus(), 14);
        const std::string console = run.out;
        EXPECT_TRUE(std::regex_search(
            console, std::regex("\nERROR: Cannot create final image OUT/(Final\\.[0-9]+|dbg\\.1)"
                                "\\.pgm: Permission denied\\.\n$")))
            << console;
    }
    fs::permissions(dir.file("OUT"), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("OUT")), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace conesim
