// Inputs that once went wrong on the built program: extension lines with "//" in them, long
// extension sections, named pipes as inputs, a mask image of another size than declared,
// and numbers or names beyond what the system or a type can hold.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "PrecalcRunSupport.hpp"
#include "ZeroPlaneRun.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::runInFolder;
using testing::ScratchDir;
using testing::writeText;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Runs the program in dir and expects its exit status and a text on its console.
void expectRun(const ScratchDir& dir, const std::string& arguments, int status,
               const std::string& text, std::int64_t addressSpaceKiB = 0) {
    const testing::ShellRun run = runInFolder(dir, arguments, addressSpaceKiB);
    EXPECT_EQ(run.status, status) << run.console;
    EXPECT_TRUE(contains(run.console, text)) << run.console;
}

// The zero-plane run of 10000 photons with extra lines after its END line (line 51 on).
void prepareWithExtensionLines(const ScratchDir& dir, const std::string& lines) {
    testing::prepareZeroPlaneRun(dir, "10000");
    writeText(dir.file("params.txt"), readText(dir.file("params.txt")) + lines);
}

TEST(InputRobustness, ExtensionCommentMarksCountOnlyAtTheLineStartOrAfterTheSemicolon) {
    ScratchDir kept;
    prepareWithExtensionLines(kept, "focalSpotFwhmX = 0.3 ; see http://x\n   // a note\n");
    expectRun(kept, "params.txt kept", 0, "Run complete.\n");
    EXPECT_TRUE(contains(readText(kept.file("OUT/Logger.txt")),
                         "Extension setting focalSpotFwhmX: 0.3 (length units)\n"));

    ScratchDir refused;
    prepareWithExtensionLines(refused, "focalSpotFwhmX = 0.3 // see\n");
    expectRun(refused, "params.txt refused", 11,
              "params.txt: line 51: extension setting \"focalSpotFwhmX\" (value \"0.3 // see\") "
              "is not a number.\nERROR: Loading parameter file.\n");
}

// count copies of line.
std::string repeatedLine(const std::string& line, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += line;
    }
    return text;
}

// The read ends at the first refused line; no more than 1000 lines may follow END.
TEST(InputRobustness, ExtensionSectionIsCheckedLineByLineAndBounded) {
    ScratchDir twice;
    prepareWithExtensionLines(twice, repeatedLine("focalSpotFwhmX = 0.3\n", 50000));
    expectRun(twice, "params.txt twice", 11,
              "params.txt: line 52: extension setting \"focalSpotFwhmX\" (value \"0.3\") is "
              "given a second time (first on line 51).\n",
              testing::kSanitizedBuild ? 0 : 400000);

    ScratchDir long_;
    prepareWithExtensionLines(long_, repeatedLine("// note\n", 2000));
    expectRun(long_, "params.txt long", 11,
              "params.txt: line 1051 (\"// note\") is line 1001 after the END line; at most "
              "1000 lines may follow it.\n");
}

// Whether the process holds path open (it is then blocked on it, or reading it).
bool holdsOpen(pid_t pid, const fs::path& path) {
    std::error_code error;
    for (const auto& entry :
         fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        if (fs::read_symlink(entry.path(), error) == path) {
            return true;
        }
    }
    return false;
}

// A named pipe that nobody writes, as parameter file, mask or spectrum: the run waits for
// it, and a stop signal ends the wait and the run, leaving no image.
TEST(InputRobustness, StopSignalEndsTheWaitForANamedPipe) {
    for (const std::string which : {"params", "mask", "spectrum"}) {
        ScratchDir dir;
        testing::prepareZeroPlaneRun(dir, "10000");
        std::string pipe = dir.file("waiting");
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        std::string parameters = "params.txt";
        if (which == "params") {
            parameters = "waiting";
        } else {
            writeText(dir.file("params.txt"),
                      testing::parameterFileText({{which == "mask" ? 4 : 38, "waiting"}}));
        }
        testing::ProgramProcess program = testing::startInFolder(dir, {parameters, "stopped"});
        for (int i = 0; i < 6000 && !holdsOpen(program.pid(), pipe); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(holdsOpen(program.pid(), pipe)) << which << "\n" << program.output();
        program.signal(SIGTERM);
        const testing::ProgramResult& run = program.wait();
        ASSERT_EQ(run.shellStatus(), 879 % 256) << which << "\n" << run.out;
        EXPECT_TRUE(contains(run.out,
                             "Run stopped by a stop signal while reading "
                             "waiting; no photon was run.\n"))
            << which << "\n"
            << run.out;
        EXPECT_FALSE(testing::leavesImagesOf(dir, "stopped")) << which;
    }
}

// Writes text into the named pipe once a reader has opened it (as process substitution
// does); gives up after a minute so that a run that never opens it cannot hold the test.
void feedPipe(const std::string& path, const std::string& text) {
    for (int i = 0; i < 6000; ++i) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            ::fcntl(fd, F_SETFL, 0);
            const bool written =
                ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
            ::close(fd);
            EXPECT_TRUE(written) << path;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "nobody opened " << path;
}

// Parameter file, mask and spectrum all from named pipes, written while the run reads them.
TEST(InputRobustness, NamedPipeInputsAreReadAsTheyCome) {
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, "10000");
    for (const char* name : {"params.pipe", "pre.pgm", "Spectrum.pipe"}) {
        ASSERT_EQ(::mkfifo(dir.file(name).c_str(), 0600), 0);
    }
    const std::string mask = "P2\n# all clear\n100 100\n255\n" + repeatedLine("0\n", 100 * 100);
    std::thread parameters(feedPipe, dir.file("params.pipe"),
                           testing::parameterFileText({{38, "Spectrum.pipe"}}));
    std::thread preMask(feedPipe, dir.file("pre.pgm"), mask);
    std::thread spectrum(feedPipe, dir.file("Spectrum.pipe"), "30\n");
    const testing::ShellRun run = runInFolder(dir, "params.pipe piped");
    parameters.join();
    preMask.join();
    spectrum.join();
    EXPECT_EQ(run.status, 0) << run.console;
    EXPECT_FALSE(contains(run.console, "Pre-sample mask image pre.pgm")) << run.console;
    EXPECT_TRUE(contains(readText(dir.file("OUT/Logger.txt")), "Pre-sample mask is active."));
    testing::expectWholeImage(dir, run.console, "piped");
}

TEST(InputRobustness, MaskImageOfAnotherSizeIsNamedWithBothSizes) {
    ScratchDir dir;
    testing::prepareZeroPlaneRun(dir, "10000");
    writeText(dir.file("pre.pgm"), "P2\n# 80 x 80\n80 80\n255\n" + repeatedLine("0 ", 80 * 80));
    const std::string warning =
        "WARNING: Pre-sample mask image pre.pgm is 80 x 80 pixels, but the parameter file gives "
        "the mask's size as 100; it is read as 100 x 100 values in file order.\n";
    expectRun(dir, "params.txt sized", 0, warning);
    EXPECT_TRUE(contains(readText(dir.file("OUT/Logger.txt")), warning));
}

TEST(InputRobustness, MessagesNameTheRealCauseAndItsRange) {
    ScratchDir tiny;
    prepareWithExtensionLines(tiny, "focalSpotFwhmX = 1e-400\n");
    expectRun(tiny, "params.txt tiny", 11,
              "line 51: extension setting \"focalSpotFwhmX\" (value \"1e-400\") is outside the "
              "range of a double-precision real, whose magnitudes other than 0 lie between "
              "2.22507e-308 and 1.79769e+308.\n");

    ScratchDir huge;
    testing::prepareZeroPlaneRun(huge, "10000");
    writeText(huge.file("params.txt"), testing::parameterFileText({{33, "1e39"}}));
    expectRun(huge, "params.txt huge", 11,
              "value 33 (\"1e39\") is outside the range of a single-precision real, "
              "-3.40282e+38 to 3.40282e+38.\n");

    // An output name that fits the system's limit by itself, but not with the suffixes of
    // the header and of the temporary names: found when the run is named.
    ScratchDir named;
    testing::prepareZeroPlaneRun(named, "10000");
    const std::string name(245, 'n');
    expectRun(named, "params.txt " + name, 14,
              "its file name is too long: with the header and temporary suffixes the run adds "
              "(.mhd.partial-");
    EXPECT_TRUE(contains(readText(named.file("OUT/Logger.txt")),
                         "bytes, and a file name may have at most 255.\n"));
    EXPECT_FALSE(testing::leavesImagesOf(named, name));
}

}  // namespace
}  // namespace conesim
