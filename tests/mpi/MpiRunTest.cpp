// One run spread over several MPI processes: the same image as one process of one thread
// for the same seed, the seed of an unseeded run on record, and every early failure ending
// every process with a non-zero status instead of a hang.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>

#include "ParameterFileText.hpp"
#include "ProgramRun.hpp"
#include "TestSupport.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

struct ProgramRun {
    int status = -1;
    std::string console;
};

// The MPI program in dir: directly (processes 0) or under mpirun with that many processes,
// with a timeout so that a hang fails the test instead of blocking it.
ProgramRun runProgram(const ScratchDir& dir, int processes, const std::string& arguments) {
    testing::ProgramCall call{CONESIM_BINARY, testing::words(arguments), dir.path()};
    if (processes > 0) {
        std::vector<std::string> launched{"--oversubscribe", "--allow-run-as-root", "-n",
                                          std::to_string(processes), CONESIM_BINARY};
        launched.insert(launched.end(), call.arguments.begin(), call.arguments.end());
        call.program = CONESIM_MPIEXEC;
        call.arguments = launched;
    }
    call.timeoutSeconds = 120;
    call.mergeErrorIntoOutput = true;
    const testing::ProgramResult run = testing::runProgram(call);
    testing::writeText(dir.file("console.txt"), run.out);
    return ProgramRun{run.shellStatus(), run.out};
}

// A mode-5 set-up whose photons fill three batches of 1048576: a deflecting, absorbing disc
// between two gratings.
void prepare(const ScratchDir& dir, const std::map<int, std::string>& overrides = {},
             const std::string& extensions = "") {
    fs::create_directory(dir.path() / "OUT");
    testing::writeText(dir.file("Spectrum"), "20\n30\n40\n");
    testing::writeValues(dir.file("Sample.bin"), std::vector<float>(20 * 20 * 4, 0.0F));
    std::vector<double> attenuation(400, 0.0);
    std::vector<double> lr(400, 0.0);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const int r2 = (x - 10) * (x - 10) + (y - 10) * (y - 10);
            attenuation[static_cast<std::size_t>(y * 20 + x)] = r2 < 36 ? 0.3 : 0.0;
            lr[static_cast<std::size_t>(y * 20 + x)] = r2 >= 25 && r2 < 36 ? 0.002 : 0.0;
        }
    }
    testing::writeValues(dir.file("Z_ref-PRE.pca"), attenuation);
    testing::writeValues(dir.file("Z_iLR-PRE.pca"), lr);
    testing::writeValues(dir.file("Z_iUD-PRE.pca"), std::vector<double>(400, 0.0));
    std::string grating = "P2\n# grating\n100 100\n255\n";
    for (int i = 0; i < 100 * 100; ++i) {
        grating += (i % 100) % 4 < 2 ? "255 " : "0 ";
    }
    testing::writeText(dir.file("pre.pgm"), grating);
    testing::writeText(dir.file("post.pgm"), grating);
    std::map<int, std::string> values{{39, "2500000"}, {40, "1000000"}};
    for (const auto& [position, value] : overrides) {
        values[position] = value;
    }
    testing::writeText(dir.file("params.txt"), testing::parameterFileText(values) + extensions);
}

std::vector<std::uint8_t> image(const ScratchDir& dir, const std::string& name) {
    return testing::readBytes(dir.file("OUT/" + name + ".1.dat"));
}

TEST(MpiRun, ProcessCountNeverChangesTheImage) {
    // Plain, counting hits only, and with every laboratory effect (their energies and
    // settings travel to the other processes too).
    const std::string laboratory =
        "focalSpotFwhmX = 0.5\nfocalSpotFwhmY = 0.3\nphotonEnergies = spectrum\n"
        "detectorBlurSigma = 0.7\n";
    for (int variant = 0; variant < 3; ++variant) {
        ScratchDir dir;
        prepare(dir, {{42, variant == 1 ? "1" : "0"}, {34, "0.6"}}, variant == 2 ? laboratory : "");
        const ProgramRun single = runProgram(dir, 0, "--threads 1 --seed 31 params.txt one");
        ASSERT_EQ(single.status, 0) << single.console;
        const std::vector<std::uint8_t> expected = image(dir, "one");
        ASSERT_EQ(expected.size(), 40U * 40U * 4U);
        for (const auto& [processes, threads] :
             {std::pair{2, 1}, std::pair{3, 1}, std::pair{2, 2}}) {
            const std::string name =
                "p" + std::to_string(processes) + "t" + std::to_string(threads);
            const ProgramRun spread = runProgram(
                dir, processes,
                "--threads " + std::to_string(threads) + " --seed 31 params.txt " + name);
            ASSERT_EQ(spread.status, 0) << spread.console;
            EXPECT_NE(spread.console.find("Parallel run: " + std::to_string(processes) +
                                          " processes of " + std::to_string(threads) +
                                          " threads, batches of 1048576 photons, seed 31.\n"),
                      std::string::npos)
                << spread.console;
            EXPECT_TRUE(image(dir, name) == expected) << name << " differs from one process";
        }
    }
}

TEST(MpiRun, UnseededRunTakesProcessZerosClockAndRecordsIt) {
    ScratchDir dir;
    prepare(dir);
    const ProgramRun spread = runProgram(dir, 2, "params.txt clock");
    ASSERT_EQ(spread.status, 0) << spread.console;
    std::smatch seed;
    ASSERT_TRUE(std::regex_search(spread.console, seed, std::regex("seed ([0-9]+)\\.\n")))
        << spread.console;
    const ProgramRun again =
        runProgram(dir, 0, "--threads 1 --seed " + seed[1].str() + " params.txt again");
    ASSERT_EQ(again.status, 0) << again.console;
    EXPECT_TRUE(image(dir, "clock") == image(dir, "again"));
}

TEST(MpiRun, EarlyFailuresEndEveryProcess) {
    ScratchDir dir;
    prepare(dir);
    // A parameter file that is not there, a missing spectrum, a missing plane file.
    const ProgramRun missing = runProgram(dir, 3, "absent.txt");
    EXPECT_EQ(missing.status, 11) << missing.console;
    EXPECT_NE(missing.console.find("process 0 ended with status 11"), std::string::npos);
    fs::remove(dir.file("Spectrum"));
    const ProgramRun spectrum = runProgram(dir, 2, "--threads 2 params.txt");
    EXPECT_EQ(spectrum.status, 978 % 256) << spectrum.console;
    testing::writeText(dir.file("Spectrum"), "30\n");
    fs::remove(dir.file("Z_iUD-PRE.pca"));
    const ProgramRun planes = runProgram(dir, 2, "params.txt");
    EXPECT_EQ(planes.status, 971 % 256) << planes.console;
    // --help ends every process with status 0.
    EXPECT_EQ(runProgram(dir, 2, "--help").status, 0);
}

// mpirun -n 1 runs the batches of the parallel run, as more processes do, so its image is
// that of one process of one thread, not the serial loop's.
TEST(MpiRun, OneProcessGivesTheImageOfOneThread) {
    ScratchDir dir;
    prepare(dir);
    const ProgramRun single = runProgram(dir, 0, "--threads 1 --seed 31 params.txt one");
    ASSERT_EQ(single.status, 0) << single.console;
    const ProgramRun launched = runProgram(dir, 1, "--seed 31 params.txt launched");
    ASSERT_EQ(launched.status, 0) << launched.console;
    EXPECT_TRUE(image(dir, "launched") == image(dir, "one"));
}

// The process of rank `rank` of a run in folder, or -1.
pid_t rankIn(const fs::path& folder, int rank) {
    const std::string variable = "OMPI_COMM_WORLD_RANK=" + std::to_string(rank);
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos ||
            fs::read_symlink(entry.path() / "cwd", error) != folder) {
            continue;
        }
        std::string environment = testing::readText((entry.path() / "environ").string());
        std::replace(environment.begin(), environment.end(), '\0', '\n');
        if (("\n" + environment).find("\n" + variable + "\n") != std::string::npos) {
            return static_cast<pid_t>(std::stoi(name));
        }
    }
    return -1;
}

// A process killed while the photons run: process 0 finds the others silent after mpirun's
// stop signal, says so in the run log and removes its placeholders before mpirun ends it.
TEST(MpiRun, KilledProcessLeavesNoEmptyImageAndAnErrorInTheLog) {
    ScratchDir dir;
    prepare(dir, {{39, "2000000000"}, {40, "1000000000"}, {41, "1000000000"}});
    testing::ProgramCall call(CONESIM_MPIEXEC,
                              {"--oversubscribe", "--allow-run-as-root", "-n", "3", CONESIM_BINARY,
                               "--seed", "3", "params.txt", "killed"},
                              dir.path());
    call.mergeErrorIntoOutput = true;
    call.timeoutSeconds = 120;
    testing::ProgramProcess launcher(call);
    pid_t victim = -1;
    for (int i = 0; i < 6000 && victim < 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (launcher.output().find("Starting Monte-Carlo sim.") != std::string::npos) {
            victim = rankIn(dir.path(), 1);
        }
    }
    ASSERT_GT(victim, 0) << launcher.output();
    kill(victim, SIGKILL);
    const std::string console = launcher.wait().out;
    EXPECT_NE(console.find("ERROR: Another process of the run stopped answering after the stop "
                           "signal"),
              std::string::npos)
        << console;
    const std::string log = testing::readText(dir.file("OUT/Logger.txt"));
    EXPECT_EQ(log.substr(log.rfind("\n", log.size() - 2) + 1),
              "ERROR: Another process of the run stopped answering after the stop signal (an MPI "
              "launcher stops every process when one of them ends); the photons of the run are "
              "lost and no final image is written.\n");
    EXPECT_FALSE(fs::exists(dir.file("OUT/killed.1.pgm")));
    EXPECT_FALSE(fs::exists(dir.file("OUT/killed.1.dat")));
}

}  // namespace
}  // namespace conesim
