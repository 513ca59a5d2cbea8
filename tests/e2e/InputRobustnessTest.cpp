// Inputs that once went wrong on the built program: extension lines with "//" in them, long
// extension sections, named pipes as inputs, a mask image of another size than declared,
// and numbers or names beyond what the system or a type can hold.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "PrecalcRunSupport.hpp"
#include "RunningProgram.hpp"
#include "ZeroPlaneRun.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::runInFolder;
using testing::RunningProgram;
using testing::ScratchDir;
using testing::ShellRun;
using testing::writeText;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The zero-plane run of 10000 photons with extra lines after its END line (line 51 on).
void prepareWithExtensionLines(const ScratchDir& dir, const std::string& lines) {
    testing::prepareZeroPlaneRun(dir, "10000");
    writeText(dir.file("params.txt"), readText(dir.file("params.txt")) + lines);
}

// Whether the output folder holds a file of the run name (a final image or placeholder).
bool leftImages(const ScratchDir& dir, const std::string& name) {
    for (const auto& entry : fs::directory_iterator(dir.file("OUT"))) {
        if (entry.path().filename().string().rfind(name + ".", 0) == 0) {
            return true;
        }
    }
    return false;
}

TEST(InputRobustness, ExtensionCommentMarksCountOnlyAtTheLineStartOrAfterTheSemicolon) {
    ScratchDir kept;
    prepareWithExtensionLines(kept, "focalSpotFwhmX = 0.3 ; see http://x\n   // a note\n");
    ShellRun run = runInFolder(kept, "params.txt kept");
    EXPECT_EQ(run.status, 0) << run.console;
    EXPECT_TRUE(contains(readText(kept.file("OUT/Logger.txt")),
                         "Extension setting focalSpotFwhmX: 0.3 (length units)\n"));

    ScratchDir refused;
    prepareWithExtensionLines(refused, "focalSpotFwhmX = 0.3 // see\n");
    run = runInFolder(refused, "params.txt refused");
    EXPECT_EQ(run.status, 11) << run.console;
    EXPECT_TRUE(contains(run.console,
                         "params.txt: line 51: extension setting \"focalSpotFwhmX\" (value \"0.3 "
                         "// see\") is not a number.\nERROR: Loading parameter file.\n"))
        << run.console;
}

// The read ends at the first refused line; no more than 1000 lines may follow END.
TEST(InputRobustness, ExtensionSectionIsCheckedLineByLineAndBounded) {
    std::string repeated;
    for (int i = 0; i < 50000; ++i) {
        repeated += "focalSpotFwhmX = 0.3\n";
    }
    ScratchDir twice;
    prepareWithExtensionLines(twice, repeated);
    ShellRun run = runInFolder(twice, "params.txt twice", "ulimit -v 400000 && ");
    EXPECT_EQ(run.status, 11) << run.console;
    EXPECT_TRUE(contains(run.console,
                         "params.txt: line 52: extension setting \"focalSpotFwhmX\" "
                         "(value \"0.3\") is given a second time (first on line "
                         "51).\n"))
        << run.console;

    std::string comments;
    for (int i = 0; i < 2000; ++i) {
        comments += "// note\n";
    }
    ScratchDir long_;
    prepareWithExtensionLines(long_, comments);
    run = runInFolder(long_, "params.txt long");
    EXPECT_EQ(run.status, 11) << run.console;
    EXPECT_TRUE(contains(run.console,
                         "params.txt: line 1051 (\"// note\") is line 1001 after the "
                         "END line; at most 1000 lines may follow it.\n"))
        << run.console;
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
        RunningProgram program(dir, {parameters, "stopped"});
        ASSERT_TRUE(program.started());
        for (int i = 0; i < 6000 && !holdsOpen(program.pid(), pipe); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(holdsOpen(program.pid(), pipe)) << which << "\n" << program.console();
        program.signal(SIGTERM);
        int status = 0;
        ASSERT_TRUE(program.waitFor(60, status)) << which;
        ASSERT_TRUE(WIFEXITED(status)) << which << "\n" << program.console();
        EXPECT_EQ(WEXITSTATUS(status), 879 % 256) << which;
        EXPECT_TRUE(contains(program.console(),
                             "Run stopped by a stop signal while reading "
                             "waiting; no photon was run.\n"))
            << which << "\n"
            << program.console();
        EXPECT_FALSE(leftImages(dir, "stopped")) << which;
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
    std::string mask = "P2\n# all clear\n100 100\n255\n";
    for (int i = 0; i < 100 * 100; ++i) {
        mask += "0\n";
    }
    std::thread parameters(feedPipe, dir.file("params.pipe"),
                           testing::parameterFileText({{38, "Spectrum.pipe"}}));
    std::thread preMask(feedPipe, dir.file("pre.pgm"), mask);
    std::thread spectrum(feedPipe, dir.file("Spectrum.pipe"), "30\n");
    const ShellRun run = runInFolder(dir, "params.pipe piped");
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
    std::string mask = "P2\n# 80 x 80\n80 80\n255\n";
    for (int i = 0; i < 80 * 80; ++i) {
        mask += "0 ";
    }
    writeText(dir.file("pre.pgm"), mask);
    const ShellRun run = runInFolder(dir, "params.txt sized");
    EXPECT_EQ(run.status, 0) << run.console;
    const std::string warning =
        "WARNING: Pre-sample mask image pre.pgm is 80 x 80 pixels, but the parameter file gives "
        "the mask's size as 100; it is read as 100 x 100 values in file order.\n";
    EXPECT_TRUE(contains(run.console, warning)) << run.console;
    EXPECT_TRUE(contains(readText(dir.file("OUT/Logger.txt")), warning));
}

TEST(InputRobustness, MessagesNameTheRealCauseAndItsRange) {
    ScratchDir tiny;
    prepareWithExtensionLines(tiny, "focalSpotFwhmX = 1e-400\n");
    ShellRun run = runInFolder(tiny, "params.txt tiny");
    EXPECT_EQ(run.status, 11) << run.console;
    EXPECT_TRUE(contains(run.console,
                         "line 51: extension setting \"focalSpotFwhmX\" (value \"1e-400\") is "
                         "outside the range of a double-precision real, whose magnitudes other "
                         "than 0 lie between 2.22507e-308 and 1.79769e+308.\n"))
        << run.console;

    ScratchDir huge;
    testing::prepareZeroPlaneRun(huge, "10000");
    writeText(huge.file("params.txt"), testing::parameterFileText({{33, "1e39"}}));
    run = runInFolder(huge, "params.txt huge");
    EXPECT_EQ(run.status, 11) << run.console;
    EXPECT_TRUE(contains(run.console,
                         "value 33 (\"1e39\") is outside the range of a "
                         "single-precision real, -3.40282e+38 to 3.40282e+38.\n"))
        << run.console;

    // An output name that fits the system's limit by itself, but not with the suffixes of
    // the header and of the temporary names: found when the run is named.
    ScratchDir named;
    testing::prepareZeroPlaneRun(named, "10000");
    run = runInFolder(named, "params.txt " + std::string(245, 'n'));
    EXPECT_EQ(run.status, 14) << run.console;
    EXPECT_TRUE(contains(run.console,
                         "its file name is too long: with the header and temporary "
                         "suffixes the run adds (.mhd.partial-"))
        << run.console;
    EXPECT_TRUE(contains(run.console, "and a file name may have at most 255.\n")) << run.console;
    EXPECT_FALSE(leftImages(named, std::string(245, 'n')));
}

}  // namespace
}  // namespace conesim
