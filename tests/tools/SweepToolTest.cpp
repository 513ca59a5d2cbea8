// conesim-sweep: the values it writes, its table of runs, and whole sweeps run with the
// real program (and, where only the command lines matter, with a stand-in script) in
// scratch folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ParameterFileText.hpp"
#include "ProgramRun.hpp"
#include "SweepFixture.hpp"
#include "TestSupport.hpp"
#include "ToolRunner.hpp"
#include "params/SimulationParameters.hpp"
#include "sweep/SweepFiles.hpp"
#include "sweep/SweepOptions.hpp"
#include "sweep/SweepProgress.hpp"
#include "util/Console.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::Counts;
using testing::readText;
using testing::runTool;
using testing::ScratchDir;
using testing::stackHeader;
using testing::SweepToolTest;
using testing::ToolResult;

std::vector<std::string> values(const std::string& name, double start, double stop,
                                std::int64_t count) {
    std::vector<std::string> texts;
    std::string error;
    EXPECT_TRUE(tools::sweepValueTexts({name, start, stop, count}, texts, error)) << error;
    return texts;
}

TEST(SweepValuesTest, EvenlyFromStartToStopAsShortTexts) {
    using Texts = std::vector<std::string>;
    EXPECT_EQ(values("detectorLrOffset", 0.0, 0.4, 5), (Texts{"0", "0.1", "0.2", "0.3", "0.4"}));
    EXPECT_EQ(values("detectorLrOffset", 0.0, 0.375, 7),
              (Texts{"0", "0.0625", "0.125", "0.1875", "0.25", "0.3125", "0.375"}));
    EXPECT_EQ(values("sampleStart", -0.1, 0.1, 3), (Texts{"-0.1", "0", "0.1"}));
    EXPECT_EQ(values("sampleEnergy", 30.0, 10.0, 3), (Texts{"30", "20", "10"}));
    EXPECT_EQ(values("sampleEnergy", 1e-5, 3e-5, 2), (Texts{"1e-05", "3e-05"}));
    EXPECT_EQ(values("detectorLrOffset", 0.25, 0.9, 1), (Texts{"0.25"}));
    // Integer settings get whole numbers, never an exponent the reader would cut short.
    EXPECT_EQ(values("photonsToRun", 1e6, 3e6, 3), (Texts{"1000000", "2000000", "3000000"}));
    std::vector<std::string> texts;
    std::string error;
    EXPECT_FALSE(tools::sweepValueTexts({"photonsToRun", 1000, 2000, 4}, texts, error));
    EXPECT_EQ(error,
              "photonsToRun holds whole numbers, and value 2 of the sweep would be 1333.33333333");
}

TEST(SweepValuesTest, ValuesTheSettingCannotHoldAreRefusedAndRealsRecordedAsStored) {
    const auto refusal = [](const std::string& name, double start, double stop, int count) {
        std::vector<std::string> texts;
        std::string error;
        EXPECT_FALSE(tools::sweepValueTexts({name, start, stop, count}, texts, error)) << name;
        return error;
    };
    // conesim reads detectorPosition as a real and drops its fraction.
    EXPECT_EQ(refusal("detectorPosition", 19998, 19999, 3),
              "detectorPosition holds whole numbers (conesim drops the fraction), and value 2 of "
              "the sweep would be 19998.5");
    EXPECT_EQ(values("detectorPosition", 19998, 20000, 3),
              (std::vector<std::string>{"19998", "19999", "20000"}));
    EXPECT_EQ(refusal("showAllPhotons", 0, 2, 3),
              "showAllPhotons is a switch of 0 or 1, and value 3 of the sweep would be 2");
    EXPECT_EQ(refusal("photonsToRun", 1e9, 3e9, 3),
              "photonsToRun holds whole numbers from -2147483648 to 2147483647, and value 3 of "
              "the sweep would be 3000000000");
    EXPECT_EQ(refusal("sampleStart", 5000.00001, 5000.00004, 4),
              "sampleStart is stored in single precision, which holds values 1 and 2 of the "
              "sweep as the same number 5000; sweep a wider range or fewer values");
    // A positional real is written as the shortest text of the single-precision number
    // conesim stores, so that sweep.csv records the value each run used.
    const std::vector<std::string> thirds = values("sampleEnergy", 0.0, 1.0, 4);
    EXPECT_EQ(thirds, (std::vector<std::string>{"0", "0.33333333", "0.6666667", "1"}));
    EXPECT_EQ(std::strtof(thirds[1].c_str(), nullptr), static_cast<float>(1.0 / 3.0));
}

TEST(SweepTableTest, LinesAndTheirReading) {
    tools::SweepTable table;
    table.settings = {"detectorLrOffset", "sampleEnergy"};
    table.rows.push_back({{"0", "30"}, "run-000", 0, 1234, 1.5});
    table.rows.push_back({{"0.25", "20"}, "run-001", 32, std::nullopt, 0.0424});
    const std::string text = tools::sweepTableText(table);
    EXPECT_EQ(text,
              "detectorLrOffset,sampleEnergy,run,status,hits,seconds\n"
              "0,30,run-000,0,1234,1.500\n"
              "0.25,20,run-001,32,,0.042\n");
    ScratchDir dir;
    testing::writeText(dir.file("sweep.csv"), text);
    tools::SweepTable read;
    std::string error;
    ASSERT_TRUE(tools::readSweepTable(dir.file("sweep.csv"), read, error)) << error;
    EXPECT_EQ(read.settings, table.settings);
    ASSERT_EQ(read.rows.size(), 2U);
    EXPECT_EQ(read.rows[1].values, (std::vector<std::string>{"0.25", "20"}));
    EXPECT_EQ(read.rows[1].runName, "run-001");
    EXPECT_EQ(read.rows[1].status, 32);
    EXPECT_FALSE(read.rows[1].hits.has_value());
    EXPECT_EQ(read.rows[0].hits, 1234U);
    EXPECT_DOUBLE_EQ(read.rows[1].seconds, 0.042);

    const auto refused = [&](const std::string& content) {
        testing::writeText(dir.file("bad.csv"), content);
        EXPECT_FALSE(tools::readSweepTable(dir.file("bad.csv"), read, error)) << content;
        return error.substr(dir.file("bad.csv").size());
    };
    EXPECT_EQ(refused("run,status,hits,seconds\n"),
              ", line 1: not the header of a sweep table (NAME,...,run,status,hits,seconds)");
    EXPECT_EQ(refused("a,run,status,hits,seconds\n0,r,0,1\n"),
              ", line 2: 4 fields where the header has 5");
    EXPECT_EQ(refused("a,run,status,hits,seconds\n0,r,0,1,1\n\n0,r,300,1,1\n"),
              ", line 4: status '300' is not 0 to 255");
    EXPECT_EQ(refused("a,run,status,hits,seconds\n0,r,0,-1,1\n"),
              ", line 2: hits '-1' is not a count");
    EXPECT_EQ(refused("a,run,status,hits,seconds\n0,r,0,1,x\n"),
              ", line 2: seconds 'x' is not a number");
}

TEST(SweepProgressTest, BarAndPhotonShareOfTheRunningRun) {
    EXPECT_EQ(tools::SweepProgress::bar(1.5, 3, 10), "[#####.....] 1/3");
    EXPECT_EQ(tools::SweepProgress::bar(3.0, 3, 4), "[####] 3/3");
    EXPECT_EQ(tools::SweepProgress::bar(0.0, 9, 3), "[...] 0/9");
    const std::string console =
        "Starting Monte-Carlo sim.\nRan 4000000 photons.\nRan 8000000 photons.\n";
    EXPECT_DOUBLE_EQ(tools::photonFraction(console, 12000000), 8.0 / 12.0);
    EXPECT_DOUBLE_EQ(tools::photonFraction("Starting Monte-Carlo sim.\n", 12000000), 0.0);
    EXPECT_DOUBLE_EQ(tools::photonFraction(console, 1000), 1.0);
    // Plain lines off a terminal: only the lines that stay, no bar.
    std::ostringstream out;
    tools::SweepProgress plain(out, false, 2);
    plain.runStarted(0, "detectorLrOffset=0");
    plain.runAdvanced(0.5);
    plain.line("run-000 done");
    plain.finish();
    EXPECT_EQ(out.str(), "run-000 done\n");
    std::ostringstream terminal;
    tools::SweepProgress bar(terminal, true, 2);
    bar.runStarted(1, "x=1");
    bar.runAdvanced(0.5);
    EXPECT_EQ(terminal.str().substr(terminal.str().rfind('\r')),
              "\r\033[K[######################........] 1/2  run 2: x=1  50%");
}

TEST_F(SweepToolTest, ThreeValuesGiveAStackOfTheirImagesAndATableOfTheRuns) {
    const ToolResult result =
        sweep({"run.txt", "--set", "detectorLrOffset=0:0.5:3", "-o", "sweep"});
    ASSERT_EQ(result.status, 0) << result.err << result.out;
    EXPECT_EQ(result.err, "");
    const std::string folder = fs::canonical(dir.path()).string();
    EXPECT_EQ(result.out.rfind(
                  "Sweep of 3 runs of run.txt in " + folder + " into " + folder + "/sweep.\n", 0),
              0U)
        << result.out;

    EXPECT_EQ(
        testing::fileNames(dir.path() / "sweep"),
        (std::vector<std::string>{
            "Logger.txt",     "params.txt",    "planes",      "run-000.1.dat", "run-000.1.dat.mhd",
            "run-000.1.json", "run-000.1.pgm", "run-000.log", "run-001.1.dat", "run-001.1.dat.mhd",
            "run-001.1.json", "run-001.1.pgm", "run-001.log", "run-002.1.dat", "run-002.1.dat.mhd",
            "run-002.1.json", "run-002.1.pgm", "run-002.log", "stack.raw",     "stack.raw.mhd",
            "sweep.csv"}));
    EXPECT_EQ(readText(dir.file("sweep/params.txt")), parameters);
    // No edited parameter file is left beside the original.
    for (const std::string& name : testing::fileNames(dir.path())) {
        EXPECT_NE(name.rfind(".conesim-sweep", 0), 0U) << name;
    }

    Counts stacked;
    std::vector<std::uint64_t> hits;
    for (const char* name : {"run-000", "run-001", "run-002"}) {
        const Counts counts = image(name);
        ASSERT_EQ(counts.size(), 1600U) << name;
        stacked.insert(stacked.end(), counts.begin(), counts.end());
        hits.push_back(sum(counts));
    }
    EXPECT_EQ(testing::readValues<std::uint32_t>(dir.file("sweep/stack.raw")), stacked);
    EXPECT_EQ(readText(dir.file("sweep/stack.raw.mhd")), stackHeader(3));
    // Half of every pixel is sensitive: about half of the 20000 photons are counted.
    for (const std::uint64_t h : hits) {
        EXPECT_GT(h, 8000U);
        EXPECT_LT(h, 12000U);
    }

    const std::regex table(
        "detectorLrOffset,run,status,hits,seconds\n"
        "0,run-000,0," +
        std::to_string(hits[0]) +
        ",[0-9]+\\.[0-9]{3}\n"
        "0.25,run-001,0," +
        std::to_string(hits[1]) +
        ",[0-9]+\\.[0-9]{3}\n"
        "0.5,run-002,0," +
        std::to_string(hits[2]) + ",[0-9]+\\.[0-9]{3}\n");
    EXPECT_TRUE(std::regex_match(readText(dir.file("sweep/sweep.csv")), table))
        << readText(dir.file("sweep/sweep.csv"));
    EXPECT_TRUE(std::regex_search(
        result.out, std::regex("\nrun-001 detectorLrOffset=0.25 \\(run mode 5\\): " +
                               std::to_string(hits[1]) + " hits, [0-9]+\\.[0-9]{2} s\n")))
        << result.out;
    EXPECT_NE(
        result.out.find("Sweep complete: 3 runs; " + folder +
                        "/sweep/stack.raw (40 x 40 x 3) and " + folder + "/sweep/sweep.csv.\n"),
        std::string::npos)
        << result.out;
    // The analyser's offset changes no plane: the first run makes them, the others read them.
    EXPECT_EQ(modeCount(3), 1);
    EXPECT_EQ(modeCount(5), 2);
}

TEST_F(SweepToolTest, SettingsThatChangeThePlanesKeepTheFilesRunModeAndVaryTogether) {
    const ToolResult result = sweep({"run.txt", "--set", "sampleValueScale=500:1000:2", "--set",
                                     "detectorLrOffset=0:0.5:2", "-o", "sweep"});
    ASSERT_EQ(result.status, 0) << result.err << result.out;
    const std::regex table(
        "sampleValueScale,detectorLrOffset,run,status,hits,seconds\n"
        "500,0,run-000,0,[0-9]+,[0-9.]+\n"
        "1000,0.5,run-001,0,[0-9]+,[0-9.]+\n");
    EXPECT_TRUE(std::regex_match(readText(dir.file("sweep/sweep.csv")), table))
        << readText(dir.file("sweep/sweep.csv"));
    EXPECT_EQ(modeCount(3), 2);
    EXPECT_EQ(modeCount(5), 0);
    EXPECT_EQ(readText(dir.file("sweep/stack.raw.mhd")), stackHeader(2));
}

// A flat-field sweep and a sample sweep started together in one folder, as an
// edge-illumination scan is taken: each makes its planes in its own folder and its mode-5
// runs read those, never the other sweep's.
TEST_F(SweepToolTest, TwoSweepsStartedTogetherInOneFolderEachReadTheirOwnPlanes) {
    testing::writeValues(dir.file("Phantom.bin"), std::vector<float>(20 * 20 * 4, 0.25F));
    testing::writeText(
        dir.file("sample.txt"),
        testing::parameterFileText({{17, "Phantom.bin"}, {32, "3"}, {34, "0.5"}, {39, "2000"}}));
    testing::writeText(dir.file("flat.txt"),
                       testing::parameterFileText({{32, "3"}, {34, "0.5"}, {39, "2000"}}));
    std::map<std::string, ToolResult> results;
    std::vector<std::thread> sweeps;
    for (const std::string name : {"flat", "sample"}) {
        results[name];
        sweeps.emplace_back([&, name] {
            results[name] = sweep({name + ".txt", "--set", "detectorLrOffset=0:0.5:3", "-o", name});
        });
    }
    for (std::thread& thread : sweeps) {
        thread.join();
    }
    for (const auto& [name, result] : results) {
        EXPECT_EQ(result.status, 0) << name << "\n" << result.out << result.err;
    }
    // No map or plane file in the working folder: each sweep's are in its own.
    for (const std::string& name : testing::fileNames(dir.path())) {
        EXPECT_NE(name.rfind("Z_", 0), 0U) << name;
    }
    const auto attenuation = [&](const std::string& sweepName) {
        return testing::readValues<double>(dir.file(sweepName + "/planes/Z_ref-PRE.pca"));
    };
    // Sample.bin is empty; Phantom.bin's columns hold 4 voxels of 0.25.
    EXPECT_EQ(attenuation("flat"), std::vector<double>(400, 0.0));
    EXPECT_EQ(attenuation("sample"), std::vector<double>(400, 1.0));
    EXPECT_NE(readText(dir.file("flat/planes/Z-PRE.pca.record")).find("sampleFile = Sample.bin\n"),
              std::string::npos);
    EXPECT_NE(
        readText(dir.file("sample/planes/Z-PRE.pca.record")).find("sampleFile = Phantom.bin\n"),
        std::string::npos);
    // The runs after the first read the planes of their own sweep.
    for (const char* name : {"flat", "sample"}) {
        const std::string log = readText(dir.file(std::string(name) + "/Logger.txt"));
        EXPECT_NE(log.find("Running in mode: 5"), std::string::npos) << name;
        EXPECT_EQ(log.find("ERROR"), std::string::npos) << name;
    }
}

TEST_F(SweepToolTest, AFailingRunStopsTheSweepWithItsStatusAndKeepsWhatFinished) {
    // Only the first value matches the sample file's size; the second run ends with 32.
    const ToolResult result = sweep({"run.txt", "--set", "sampleDimZ=4:6:3", "-o", "sweep"});
    EXPECT_EQ(result.status, 32) << result.err << result.out;
    EXPECT_NE(result.err.find("conesim-sweep: run-001 ended with status 32; the sweep stops "
                              "with its 1 finished runs."),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("ERROR: Sample size is wrong or sample file is missing."),
              std::string::npos)
        << result.err;
    EXPECT_TRUE(std::regex_match(readText(dir.file("sweep/sweep.csv")),
                                 std::regex("sampleDimZ,run,status,hits,seconds\n"
                                            "4,run-000,0,[0-9]+,[0-9.]+\n"
                                            "5,run-001,32,,[0-9.]+\n")))
        << readText(dir.file("sweep/sweep.csv"));
    EXPECT_EQ(testing::readValues<std::uint32_t>(dir.file("sweep/stack.raw")), image("run-000"));
    EXPECT_EQ(readText(dir.file("sweep/stack.raw.mhd")), stackHeader(1));
    EXPECT_FALSE(fs::exists(dir.path() / "sweep/run-002.log"));
}

TEST_F(SweepToolTest, AnEarlierSweepIsKeptUnlessForced) {
    ASSERT_EQ(sweep({"run.txt", "--set", "detectorLrOffset=0:0.5:2", "-o", "sweep"}).status, 0);
    const std::vector<std::string> before = testing::fileNames(dir.path() / "sweep");
    const std::string table = readText(dir.file("sweep/sweep.csv"));
    const ToolResult refused =
        sweep({"run.txt", "--set", "detectorLrOffset=0.25:0.25:1", "-o", "sweep"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              "conesim-sweep: sweep holds an earlier sweep (sweep.csv or stack.raw); give "
              "--force to replace it, or another -o DIR\n");
    EXPECT_EQ(testing::fileNames(dir.path() / "sweep"), before);
    EXPECT_EQ(readText(dir.file("sweep/sweep.csv")), table);

    testing::writeText(dir.file("sweep/notes.txt"), "mine\n");
    const ToolResult forced =
        sweep({"run.txt", "--set", "detectorLrOffset=0.25:0.25:1", "-o", "sweep", "--force"});
    ASSERT_EQ(forced.status, 0) << forced.err;
    // The earlier runs' files are gone; files the sweep never writes stay.
    EXPECT_EQ(testing::fileNames(dir.path() / "sweep"),
              (std::vector<std::string>{"Logger.txt", "notes.txt", "params.txt", "planes",
                                        "run-000.1.dat", "run-000.1.dat.mhd", "run-000.1.json",
                                        "run-000.1.pgm", "run-000.log", "stack.raw",
                                        "stack.raw.mhd", "sweep.csv"}));
    EXPECT_EQ(readText(dir.file("sweep/stack.raw.mhd")), stackHeader(1));
}

TEST_F(SweepToolTest, SeedsAndThreadsArePassedOnRunByRun) {
    // A stand-in for the program: it notes its arguments and parameter file and leaves an
    // image of the right size where the program would.
    const std::string out = (fs::canonical(dir.path()) / "sweep").string();
    testing::writeText(dir.file("fake.sh"),
                       "#!/bin/sh\n"
                       "echo \"$@\" >> '" +
                           out +
                           "/arguments'\n"
                           "cp \"$5\" '" +
                           out +
                           "/'\"$6\".params\n"
                           "head -c 6400 /dev/zero > '" +
                           out + "/'\"$6\".1.dat\n");
    ::chmod(dir.file("fake.sh").c_str(), 0755);
    const ToolResult result =
        sweep({"--seed", "18446744073709551614", "run.txt", "--threads", "2", "--set",
               "detectorLrOffset=0:0.5:3", "-o", "sweep", "--program", "fake.sh"});
    ASSERT_EQ(result.status, 0) << result.err << result.out;
    EXPECT_TRUE(std::regex_match(
        readText(dir.file("sweep/arguments")),
        std::regex(
            "--seed 18446744073709551614 --threads 2 \\.conesim-sweep\\.[0-9]+\\.0\\.txt run-000\n"
            "--seed 18446744073709551615 --threads 2 \\.conesim-sweep\\.[0-9]+\\.1\\.txt run-001\n"
            "--seed 0 --threads 2 \\.conesim-sweep\\.[0-9]+\\.2\\.txt run-002\n")))
        << readText(dir.file("sweep/arguments"));
    // What each run was given: its value, its run mode and the sweep's folder for output;
    // every other setting as in the file.
    const char* const offsets[] = {"0", "0.25", "0.5"};
    for (int k = 0; k < 3; ++k) {
        std::ostringstream messages;
        std::istringstream noInput;
        Console console{messages, noInput};
        SimulationParameters p;
        p.readFile(dir.file("sweep/run-00" + std::to_string(k) + ".params"), console);
        ASSERT_TRUE(p.parameterFileLoaded) << messages.str();
        EXPECT_EQ(p.detectorLrOffset, std::stof(offsets[k])) << k;
        EXPECT_EQ(p.runMode, k == 0 ? 3 : 5);
        EXPECT_EQ(p.outputFolder, out);
        EXPECT_EQ(p.photonsToRun, 20000);
    }
    EXPECT_EQ(readText(dir.file("sweep/stack.raw.mhd")), stackHeader(3));
}

TEST_F(SweepToolTest, AStopSignalOrHangUpEndsTheRunInFlightWhichIsListedAsStopped) {
    // A stand-in whose first run finishes at once and whose second waits for its signal.
    const std::string out = (fs::canonical(dir.path()) / "sweep").string();
    testing::writeText(dir.file("fake.sh"),
                       "#!/bin/sh\n"
                       "if [ \"$4\" = run-000 ]; then\n"
                       "  head -c 6400 /dev/zero > '" +
                           out +
                           "/'\"$4\".1.dat; exit 0\n"
                           "fi\n"
                           "sleep 60 &\n"
                           "trap 'echo INT >> \"" +
                           out +
                           "/signals\"; kill $!; exit 0' INT\n"
                           "touch '" +
                           out +
                           "/waiting'\n"
                           "wait\n");
    ::chmod(dir.file("fake.sh").c_str(), 0755);
    for (const int signal : {SIGINT, SIGHUP}) {
        fs::remove_all(out);
        testing::ProgramCall call(CONESIM_SWEEP_TOOL,
                                  {"run.txt", "--seed", "7", "--set", "detectorLrOffset=0:0.5:3",
                                   "-o", "sweep", "--program", "fake.sh"},
                                  dir.path());
        call.mergeErrorIntoOutput = true;
        testing::ProgramProcess sweep(call);
        // Wait (at most a minute, so that a broken sweep cannot hang the test) for run-001.
        for (int i = 0; i < 600 && !fs::exists(out + "/waiting"); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ASSERT_TRUE(fs::exists(out + "/waiting"));
        sweep.signal(signal);
        const std::string console = sweep.wait().out;
        EXPECT_EQ(sweep.wait().shellStatus(), 128 + signal);
        // Exactly one interrupt reached the run: a second would end conesim at once.
        EXPECT_EQ(readText(out + "/signals"), "INT\n");
        const std::string stoppedStatus = std::to_string(128 + signal);
        EXPECT_NE(
            console.find("Stopped by a signal: run-001 is left out of the stack and listed in "
                         "sweep.csv with status " +
                         stoppedStatus + "; the sweep keeps its 1 finished runs.\n"),
            std::string::npos)
            << console;
        // The stopped run's files stay and are named in the table; the stack has run-000.
        EXPECT_TRUE(std::regex_match(readText(out + "/sweep.csv"),
                                     std::regex("detectorLrOffset,run,status,hits,seconds\n"
                                                "0,run-000,0,,[0-9.]+\n"
                                                "0.25,run-001," +
                                                stoppedStatus + ",,[0-9.]+\n")))
            << readText(out + "/sweep.csv");
        EXPECT_TRUE(fs::exists(out + "/run-001.log"));
        EXPECT_EQ(readText(out + "/stack.raw.mhd"), stackHeader(1));
        EXPECT_FALSE(fs::exists(out + "/run-002.log"));
        // The run's edited parameter file is gone.
        for (const std::string& name : testing::fileNames(dir.path())) {
            EXPECT_NE(name.rfind(".conesim-sweep", 0), 0U) << name;
        }
    }
}

TEST_F(SweepToolTest, HitCountingAndBadInputsAreReported) {
    writeParameters({{42, "1"}});
    const ToolResult warned =
        sweep({"run.txt", "--set", "detectorLrOffset=0:0:1", "-o", "counted"});
    EXPECT_EQ(warned.status, 0) << warned.err;
    EXPECT_EQ(warned.err,
              "conesim-sweep: warning: run.txt sets countHitsOnly (value 42): each run stops "
              "after a number of detected photons, not of emitted ones, so the runs' counts do "
              "not form an illumination curve; set it to 0 for one\n");

    // 0.8 + 0.5 passes the end of the pixel: the third run's file would not be sensible,
    // and nothing runs.
    const ToolResult insensible =
        sweep({"run.txt", "--set", "detectorLrOffset=0:0.8:3", "-o", "insensible"});
    EXPECT_EQ(insensible.status, 1);
    EXPECT_EQ(insensible.err.rfind("conesim-sweep: run 3 of the sweep: ", 0), 0U) << insensible.err;
    EXPECT_FALSE(fs::exists(dir.path() / "insensible"));

    const ToolResult noProgram =
        sweep({"run.txt", "--set", "detectorLrOffset=0:0:1", "-o", "x", "--program", "no-such"});
    EXPECT_EQ(noProgram.status, 1);
    EXPECT_EQ(noProgram.err, "conesim-sweep: cannot run " +
                                 (fs::canonical(dir.path()) / "no-such").string() +
                                 ": not an executable file (give conesim with --program)\n");
    const ToolResult noFile = sweep({"missing.txt", "--set", "detectorLrOffset=0:0:1", "-o", "x"});
    EXPECT_EQ(noFile.status, 1);
    EXPECT_EQ(noFile.err, "conesim-sweep: cannot open missing.txt: no such file\n");
}

TEST(SweepCommandLineTest, HelpAndUsageErrors) {
    testing::expectHelp(
        CONESIM_SWEEP_TOOL,
        "Usage: conesim-sweep PARAMS --set NAME=START:STOP:COUNT [--set ...] -o DIR");
    ScratchDir dir;
    const auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> args = {"p.txt", "-o", "d"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    testing::expectUsageErrors(
        CONESIM_SWEEP_TOOL, "conesim-sweep",
        {{},
         {"p.txt", "-o", "d"},
         {"--set", "detectorLrOffset=0:1:3", "-o", "d"},
         {"p.txt", "--set", "detectorLrOffset=0:1:3"},
         {"p.txt", "q.txt", "--set", "detectorLrOffset=0:1:3", "-o", "d"},
         with({"--set", "noSuchSetting=0:1:3"}),
         with({"--set", "detectorLrOffset"}),
         with({"--set", "detectorLrOffset=0:1"}),
         with({"--set", "detectorLrOffset=0:1:0"}),
         with({"--set", "detectorLrOffset=a:1:3"}),
         with({"--set", "detectorLrOffset=0:1:2.5"}),
         with({"--set", "sampleFile=0:1:3"}),
         with({"--set", "runMode=3:5:2"}),
         with({"--set", "detectorWidth=10:20:2"}),
         with({"--set", "detectorLrOffset=0:1:3", "--set", "detectorLrOffset=0:1:3"}),
         with({"--set", "detectorLrOffset=0:1:3", "--set", "sampleEnergy=10:20:4"}),
         with({"--set", "photonsToRun=1000:2000:4"}),
         with({"--seed", "-1", "--set", "detectorLrOffset=0:1:3"}),
         with({"--seed", "18446744073709551616", "--set", "detectorLrOffset=0:1:3"}),
         with({"--threads", "-1", "--set", "detectorLrOffset=0:1:3"}),
         with({"--threads", "5000", "--set", "detectorLrOffset=0:1:3"}),
         with({"--set", "detectorLrOffset=0:1:100001"}),
         with({"--set", "detectorLrOffset=0:1:9223372036854775807"}),
         with({"--frobnicate", "--set", "detectorLrOffset=0:1:3"}),
         with({"--set"})},
        dir.path());
    const ToolResult result =
        runTool(CONESIM_SWEEP_TOOL, with({"--set", "runMode=3:5:2"}), dir.path());
    EXPECT_EQ(result.err,
              "conesim-sweep: --set: runMode cannot be swept: the sweep chooses the run mode "
              "itself\nTry 'conesim-sweep --help'.\n");
    EXPECT_EQ(runTool(CONESIM_SWEEP_TOOL,
                      with({"--set", "detectorLrOffset=0:1:3", "--set", "sampleEnergy=10:20:4"}),
                      dir.path())
                  .err,
              "conesim-sweep: the swept settings vary together and need one COUNT: "
              "detectorLrOffset has 3, sampleEnergy 4\nTry 'conesim-sweep --help'.\n");
    // Refused at once, before anything is made.
    EXPECT_EQ(
        runTool(CONESIM_SWEEP_TOOL, with({"--set", "detectorLrOffset=0:1:1000000"}), dir.path())
            .err,
        "conesim-sweep: --set 'detectorLrOffset=0:1:1000000': COUNT is a whole number from "
        "1 to 100000 (the most runs a sweep may have)\nTry 'conesim-sweep --help'.\n");
    EXPECT_EQ(runTool(CONESIM_SWEEP_TOOL,
                      with({"--threads", "5000", "--set", "detectorLrOffset=0:1:3"}), dir.path())
                  .err,
              "conesim-sweep: --threads '5000' is not a whole number of threads from 1 to 1024, "
              "or 0 for every core\nTry 'conesim-sweep --help'.\n");
}

}  // namespace
}  // namespace conesim
