// A stop signal at each stage of the precalculation (run modes 3 and 4) leaves the maps and
// planes of the earlier run exactly as they were, with no temporary file behind, and a later
// mode-5 run works with that earlier set.
//
// To land a signal inside a chosen stage, the program's console goes into a pipe of one
// page that already holds so many bytes that the stage's opening line no longer fits: the
// program stops in that write until the test reads the pipe. The test waits until the run
// log shows a line written after the last stop check of the stage before, sends the signal,
// and only then reads the pipe. The first stop check to see the signal is then the chosen
// stage's first one. How many bytes precede the opening line is measured by a complete run
// on a copy of the folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "PrecalcRunSupport.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::folderSnapshot;
using testing::readText;
using testing::ScratchDir;

// One page: the smallest pipe there is.
std::size_t pipeBytes() {
    return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}
constexpr int kStopped = 879 % 256;
const char* const kStoppedMessage =
    "Run stopped by a signal during the precalculation; no map or plane file was changed.\n";

// The program in a folder, its console into a one-page pipe that first receives prefill.
class PipedProgram {
  public:
    PipedProgram(const ScratchDir& dir, const std::vector<std::string>& arguments,
                 const std::string& prefill)
        : prefillBytes_(prefill.size()) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            return;
        }
        reader_ = fds[0];
        const int size = static_cast<int>(pipeBytes());
        if (fcntl(fds[1], F_SETPIPE_SZ, size) == size &&
            write(fds[1], prefill.data(), prefill.size()) == static_cast<ssize_t>(prefill.size())) {
            testing::ProgramCall call = testing::folderCall(dir, arguments);
            call.outputDescriptor = fds[1];
            process_.emplace(std::move(call));
        }
        close(fds[1]);
    }
    ~PipedProgram() {
        if (reader_ >= 0) {
            close(reader_);
        }
    }
    PipedProgram(const PipedProgram&) = delete;
    PipedProgram& operator=(const PipedProgram&) = delete;

    bool started() const { return process_ && process_->started(); }
    void signal(int number) const { process_->signal(number); }
    // Reads the pipe to its end and waits for the program; its console without the prefill
    // and its status as a shell reports it.
    std::string finish(int& status) {
        std::string text;
        char buffer[4096];
        ssize_t got = 0;
        while ((got = read(reader_, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
            text.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
        }
        status = process_->wait().shellStatus();
        return text.substr(std::min(prefillBytes_, text.size()));
    }

  private:
    int reader_ = -1;
    std::size_t prefillBytes_ = 0;
    std::optional<testing::ProgramProcess> process_;
};

// Waits up to 60 s until the run log, beyond its first logStart bytes, holds text for the
// occurrence-th time (an empty text: until it holds any new byte).
bool waitForLog(const ScratchDir& dir, std::size_t logStart, const std::string& text,
                int occurrence) {
    for (int i = 0; i < 12000; ++i) {
        const std::string log = readText(dir.file("OUT/Logger.txt"));
        if (log.size() > logStart) {
            const std::string added = log.substr(logStart);
            std::size_t at = text.empty() ? 0 : added.find(text);
            for (int seen = 1; at != std::string::npos && seen < occurrence; ++seen) {
                at = added.find(text, at + text.size());
            }
            if (at != std::string::npos) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

struct Stage {
    int mode;
    const char* name;
    const char* opening;  //!< the stage's first console line, before its first stop check
    const char* after;    //!< a run-log line after the last stop check of the stage before
    int occurrence;       //!< which occurrence of that line
    const char* next;     //!< a console line of the following stage, never reached
    int signalNumber;
};

void PrintTo(const Stage& s, std::ostream* os) {
    *os << "mode " << s.mode << ", " << s.name << ", signal " << s.signalNumber;
}

std::string stageName(const ::testing::TestParamInfo<Stage>& info) {
    return "Mode" + std::to_string(info.param.mode) + "_" + info.param.name;
}

class StopAtStage : public ::testing::TestWithParam<Stage> {};

TEST_P(StopAtStage, LeavesTheEarlierSetForTheNextModeFiveRun) {
    const Stage& stage = GetParam();
    ScratchDir dir;
    // The earlier set: maps and planes of an opaque sample.
    testing::writePrecalcInputs(dir, 3, testing::opaqueSample());
    const testing::ShellRun earlier = testing::runInFolder(dir, "params.txt Final");
    ASSERT_EQ(earlier.status, 0) << earlier.console;
    // A new run on an empty sample would change every plane.
    testing::writeValues(dir.file("Sample.bin"), testing::emptySample());
    testing::writeText(dir.file("params.txt"), testing::precalcParameters(stage.mode));
    fs::remove(dir.file("console.txt"));
    const auto before = folderSnapshot(dir);

    // The console of the same run, complete, on a copy of the folder.
    ScratchDir copy;
    fs::copy(dir.path(), copy.path(), fs::copy_options::recursive);
    const testing::ShellRun complete = testing::runInFolder(copy, "params.txt Final");
    ASSERT_EQ(complete.status, 0) << complete.console;
    const std::size_t opening = complete.console.find(stage.opening);
    ASSERT_NE(opening, std::string::npos) << complete.console;
    ASSERT_LE(opening, pipeBytes()) << "the stage opens too late for one page";

    const std::size_t logStart = fs::file_size(dir.file("OUT/Logger.txt"));
    PipedProgram program(dir, {"params.txt", "Final"}, std::string(pipeBytes() - opening, '#'));
    ASSERT_TRUE(program.started()) << "no one-page pipe or no program";
    ASSERT_TRUE(waitForLog(dir, logStart, stage.after, stage.occurrence));
    program.signal(stage.signalNumber);
    int status = 0;
    const std::string console = program.finish(status);

    ASSERT_EQ(status, kStopped) << console;
    // The console is that of the complete run up to the stage, then the stop.
    EXPECT_EQ(console.substr(0, opening), complete.console.substr(0, opening));
    EXPECT_NE(console.find(stage.opening), std::string::npos) << console;
    EXPECT_EQ(console.find(stage.next), std::string::npos) << console;
    EXPECT_NE(console.find(kStoppedMessage), std::string::npos) << console;
    EXPECT_EQ(folderSnapshot(dir), before);

    // Mode 5 reads the earlier planes as they are: the opaque sample absorbs all but about
    // one in 32768 of the 10000 photons (with the new, empty planes nearly all would count).
    testing::writeText(dir.file("params.txt"), testing::precalcParameters(5));
    const testing::ShellRun later = testing::runInFolder(dir, "params.txt Later");
    ASSERT_EQ(later.status, 0) << later.console;
    EXPECT_EQ(later.console.find(".pca holds "), std::string::npos) << later.console;
    EXPECT_LT(testing::totalCounts(dir.file("OUT/Later.1.dat")), 20U);
}

constexpr const char* kRefractionOpening = "Calculating refractive index map.\n";
constexpr const char* kLrPassOpening = "Calculating sample interface map.\n";
constexpr const char* kUdPassOpening = "Calculating interface angles in UD direction.\n";
constexpr const char* kLrCollapseOpening = "Collapsing LR interface map.\n";
constexpr const char* kUdCollapseOpening = "Collapsing UD interface map.\n";
constexpr const char* kAttenuationOpening = "Collapsing array to one slice for attenuation.\n";
constexpr const char* kAfterPrecalculation =
    "Refractive index map and values stored ready to start Monte Carlo Run.\n";

INSTANTIATE_TEST_SUITE_P(
    EveryStage, StopAtStage,
    ::testing::Values(
        Stage{3, "RefractiveIndexMap", kRefractionOpening, "", 1, kLrPassOpening, SIGHUP},
        Stage{3, "LrAngleMap", kLrPassOpening, "Calculating refraction for slice 7\n", 1,
              kUdPassOpening, SIGTERM},
        Stage{3, "UdAngleMap", kUdPassOpening, "Calculating slice 7\n", 1, kLrCollapseOpening,
              SIGINT},
        Stage{3, "LrCollapse", kLrCollapseOpening, "Calculating slice 7\n", 2, kUdCollapseOpening,
              SIGHUP},
        Stage{3, "UdCollapse", kUdCollapseOpening, "Writing PGM file ( Z_iLR-PRE.pgm )\n", 1,
              kAttenuationOpening, SIGTERM},
        Stage{3, "Attenuation", kAttenuationOpening, "Writing PGM file ( Z_iUD-PRE.pgm )\n", 1,
              kAfterPrecalculation, SIGHUP},
        Stage{4, "LrCollapse", kLrCollapseOpening, "", 1, kUdCollapseOpening, SIGINT},
        Stage{4, "UdCollapse", kUdCollapseOpening, "Writing PGM file ( Z_iLR-PRE.pgm )\n", 1,
              kAttenuationOpening, SIGHUP},
        Stage{4, "Attenuation", kAttenuationOpening, "Writing PGM file ( Z_iUD-PRE.pgm )\n", 1,
              kAfterPrecalculation, SIGTERM}),
    stageName);

// SIGHUP (a closed terminal or session) stops the photon loop as SIGINT and SIGTERM do: the
// run keeps its photons and completes.
TEST(StopSignals, HangUpDuringThePhotonLoopKeepsThePhotons) {
    ScratchDir dir;
    testing::writePrecalcInputs(dir, 3, testing::emptySample());
    ASSERT_EQ(testing::runInFolder(dir, "params.txt Final").status, 0);
    testing::writeText(dir.file("params.txt"),
                       testing::precalcParameters(5, {{39, "2000000000"}, {40, "100000000"}}));
    const std::size_t logStart = fs::file_size(dir.file("OUT/Logger.txt"));
    PipedProgram program(dir, {"params.txt", "Hup"}, "");
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(waitForLog(dir, logStart, "Starting Monte-Carlo sim.\n", 1));
    program.signal(SIGHUP);
    int status = 0;
    const std::string console = program.finish(status);
    ASSERT_EQ(status, 0) << console;
    EXPECT_NE(console.find("Run complete.\n"), std::string::npos) << console;
    EXPECT_EQ(fs::file_size(dir.file("OUT/Hup.1.dat")), 40U * 40U * 4U);
}

}  // namespace
}  // namespace conesim
