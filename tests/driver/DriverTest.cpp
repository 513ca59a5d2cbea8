#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <filesystem>

#include "RunSetup.hpp"
#include "driver/InterruptFile.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::readText;
using testing::RunResult;
using testing::RunSetup;

std::uint64_t sumOfCounts(const std::string& datPath) {
    std::uint64_t sum = 0;
    for (std::uint32_t count : testing::readValues<std::uint32_t>(datPath)) {
        sum += count;
    }
    return sum;
}

std::string asctimeOf(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    char text[64];
    asctime_r(&local, text);
    return text;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Driver, WrongArgumentCountShowsBannerAndUsage) {
    RunSetup setup;
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"conesim"}, {"conesim", "a", "b", "c"}}) {
        RunResult result = setup.run(args);
        EXPECT_EQ(result.exitCode, 12);
        EXPECT_EQ(result.console.rfind("\nProgram to simulate cone beam projections through "
                                       "data volumes.\n",
                                       0),
                  0U);
        EXPECT_TRUE(contains(result.console,
                             "\n\nSee Parameters file \"*.par\" for further options. Usage:\n"
                             "[ProgName] [Para_file]\nor for debugging\n[ProgName] [Para_file] "
                             "[OutputName].\n\n"));
    }
    EXPECT_FALSE(fs::exists("OUT/Logger.txt"));
}

TEST(Driver, ParameterProblemsStopBeforeAnyFile) {
    RunSetup setup;
    RunResult missing = setup.run({"conesim", "absent.txt"});
    EXPECT_EQ(missing.exitCode, 11);
    EXPECT_EQ(missing.console,
              "Cannot access paramter file: absent.txt\nERROR: Loading parameter file.\n");
    setup.setParameters({{33, "many"}});
    EXPECT_EQ(setup.run().exitCode, 11);
    setup.setParameters({{32, "2"}});
    RunResult fault = setup.run();
    EXPECT_EQ(fault.exitCode, 12);
    EXPECT_EQ(fault.console,
              "Parameter file loaded okay.\nERROR: Parameter file not sensible.\nFault code (See "
              "README): 24\nSetting 32 (runMode) is 2; it must be 3, 4 or 5.\n");
    EXPECT_FALSE(fs::exists("OUT/Logger.txt"));
}

TEST(Driver, WrongSampleSizeEndsWith32) {
    RunSetup setup;
    testing::writeValues("Sample.bin", std::vector<float>(20 * 20 * 4 - 1, 0.0F));
    RunResult result = setup.run();
    EXPECT_EQ(result.exitCode, 32);
    EXPECT_EQ(result.console,
              "Parameter file loaded okay.\n\nStarting Sample loading.\n"
              "WARNING: Pre-sample mask image pre.pgm does not exist; the pre-sample mask is off.\n"
              "ERROR: Sample size is wrong or sample file is missing.\n"
              "Sample name stated as Sample.bin.\nDimensions stated as 20x20x4.\n");
    EXPECT_FALSE(fs::exists("OUT/Logger.txt"));
}

TEST(Driver, MissingOutputFolderEndsWith13BeforeAnyWork) {
    RunSetup setup;
    setup.setParameters({{32, "3"}, {44, "NOWHERE"}});
    RunResult result = setup.run();
    EXPECT_EQ(result.exitCode, 13);
    EXPECT_TRUE(contains(result.console, "ERROR: Cannot open run log NOWHERE/Logger.txt.\n"));
    EXPECT_FALSE(fs::exists("Z_ref-PRE"));
    EXPECT_FALSE(contains(result.console, "Starting Monte-Carlo sim."));
}

// The test set-up names mask images that do not exist: both masks are off.
const std::string kPreMaskWarning =
    "WARNING: Pre-sample mask image pre.pgm does not exist; the pre-sample mask is off.";
const std::string kPostMaskWarning =
    "WARNING: Post-sample mask image post.pgm does not exist; the post-sample mask is off.";

TEST(Driver, CompleteRunWritesImagesAndItsLogRecord) {
    RunSetup setup;
    RunResult result = setup.run();
    ASSERT_EQ(result.exitCode, 0) << result.console;
    const std::string run = RunSetup::runNameAt();
    const std::string expectedConsole =
        "Parameter file loaded okay.\n\nStarting Sample loading.\n" + kPreMaskWarning +
        "\nSample loaded/size-verified-as okay.\n" + kPostMaskWarning +
        "\n\nLog file located at OUT/Logger.txt\n\n"
        "Run number " +
        run +
        "\nRunning for 10000 runs.\nImages produced every 550000 runs.\n\n"
        "Using sample file Sample.bin\nWriting output to folder OUT\n\n";
    EXPECT_EQ(result.console.substr(0, expectedConsole.size()), expectedConsole);
    EXPECT_TRUE(contains(result.console,
                         "Refractive index map and values stored ready to start "
                         "Monte Carlo Run.\n\nStarting Monte-Carlo sim.\n"));
    EXPECT_TRUE(contains(result.console, "Ran 1000 photons.\n"));
    EXPECT_TRUE(contains(result.console, "Run complete.\nRun number " + run + " finished.\n"));

    const std::string dat = "OUT/Final." + run + ".dat";
    EXPECT_EQ(fs::file_size(dat), 40U * 40U * 4U);
    const std::string pgm = readText("OUT/Final." + run + ".pgm");
    EXPECT_EQ(pgm.rfind("P2\n", 0), 0U);
    const std::uint64_t hits = sumOfCounts(dat);
    EXPECT_GT(hits, 9000U);
    EXPECT_TRUE(contains(result.console, "Detector scored " + std::to_string(hits) + " hits.\n"));

    const std::string log = readText("OUT/Logger.txt");
    const std::string rule(63, '/');
    const std::string header = rule + "\nLogged command:\nconesim params.txt \n------------\n" +
                               "Run number " + run + " started at:\n" +
                               asctimeOf(RunSetup::kClock) + "Using paramter file: params.txt\n";
    EXPECT_EQ(log.substr(0, header.size()), header);
    EXPECT_TRUE(contains(log, "The End Checkword was: END\n------------\n\n" + kPreMaskWarning +
                                  "\n" + kPostMaskWarning + "\n"));
    EXPECT_TRUE(contains(log, "\nStarting Monte-Carlo sim.\nRan 1000 photons.\n"));
    const std::string trailer = "Final image wrote.\n\n------------\nRun number " + run +
                                " finished at:\n" + asctimeOf(RunSetup::kClock) + rule + "\n\n";
    ASSERT_GE(log.size(), trailer.size());
    EXPECT_EQ(log.substr(log.size() - trailer.size()), trailer);

    // A second run in the same second appends a second complete record; its first draw
    // names a run that exists, so it draws again.
    ASSERT_EQ(setup.run().exitCode, 0);
    const std::string twice = readText("OUT/Logger.txt");
    EXPECT_EQ(twice.substr(0, log.size()), log);
    const std::string second = twice.substr(log.size());
    EXPECT_EQ(second.substr(0, 64), rule + "\n");
    EXPECT_EQ(second.substr(second.size() - 65), rule + "\n\n");
}

TEST(Driver, RunIsReproducibleFromItsStartSecond) {
    RunSetup::writeGratingMask("pre.pgm", 4, 2);
    std::vector<std::uint8_t> first;
    std::vector<std::uint8_t> again;
    std::vector<std::uint8_t> later;
    auto runAt = [](std::time_t clock, std::vector<std::uint8_t>& image) {
        RunSetup setup;
        RunSetup::writeGratingMask("pre.pgm", 4, 2);
        RunSetup::writeGratingMask("post.pgm", 5, 3);
        ASSERT_EQ(setup.run({"conesim", "params.txt"}, clock).exitCode, 0);
        image = readBytes("OUT/Final." + RunSetup::runNameAt(clock) + ".dat");
    };
    runAt(RunSetup::kClock, first);
    runAt(RunSetup::kClock, again);
    runAt(RunSetup::kClock + 1, later);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, later);
    // The image of this set-up and second, as every platform must reproduce it.
    std::uint64_t hash = 14695981039346656037ULL;
    for (std::uint8_t byte : first) {
        hash = (hash ^ byte) * 1099511628211ULL;
    }
    EXPECT_EQ(hash, 3454034614437252165ULL);
    fs::remove("pre.pgm");
}

TEST(Driver, OutputNameFixesTheRunName) {
    RunSetup setup;
    setup.setParameters({{41, "2000"}});
    RunResult result = setup.run({"conesim", "params.txt", "test"});
    ASSERT_EQ(result.exitCode, 0) << result.console;
    EXPECT_TRUE(fs::exists("OUT/test.1.pgm"));
    EXPECT_TRUE(fs::exists("OUT/test.1.dat"));
    EXPECT_TRUE(fs::exists("OUT/Part.1.2000.pgm"));
    EXPECT_TRUE(contains(readText("OUT/Logger.txt"),
                         "Logged command:\nconesim params.txt test \n------------\nRun number 1 "
                         "started at:\n"));
    EXPECT_TRUE(contains(readText("OUT/Logger.txt"), "Final image file prefix: test\n"));
}

TEST(Driver, UnwritableProgressImageEndsWith14) {
    // A progress image that cannot be written marks the run incomplete; the run goes on.
    RunSetup setup;
    setup.setParameters({{41, "2000"}});
    fs::create_directory("OUT/Part.1.2000.pgm");
    RunResult result = setup.run({"conesim", "params.txt", "Final"});
    EXPECT_EQ(result.exitCode, 14);
    EXPECT_TRUE(contains(result.console,
                         "ERROR: Refusing to write OUT/Part.1.2000.pgm: it is a folder, not a "
                         "regular file.\n"))
        << result.console;
    EXPECT_EQ(fs::file_size("OUT/Final.1.dat"), 6400U);
    EXPECT_TRUE(contains(readText("OUT/Logger.txt"), "Final image wrote.\n"));
}

TEST(Driver, ConfirmedInterruptKeepsTheImages) {
    RunSetup setup;
    const std::vector<std::string> args{"conesim", "params.txt", "int"};
    ASSERT_EQ(setup.run(args).exitCode, 0);
    const std::uint64_t fullHits = sumOfCounts("OUT/int.1.dat");
    testing::writeText(kInterruptFileName, "");
    const std::string prompt =
        "\nPresence of interupt file detected.\nEnter y to confirm interuption. Any other key "
        "continues: \n";
    RunResult stopped = setup.run(args, RunSetup::kClock, "y\n");
    EXPECT_EQ(stopped.exitCode, 0);
    // The photon after which it stopped, number 0, is the one photon that ran.
    EXPECT_TRUE(contains(stopped.console,
                         prompt + "Run stopped through the interrupt file after 1 of 10000 "
                                  "photons.\nDetector scored "));
    EXPECT_TRUE(contains(readText("OUT/Logger.txt"),
                         "Run stopped through the interrupt file after 1 of 10000 photons.\n"));
    EXPECT_TRUE(contains(stopped.console, "Run complete.\n"));
    EXPECT_LT(sumOfCounts("OUT/int.1.dat"), 10U);

    // Any other answer continues; the file asks again at every 10000th scored photon.
    setup.setParameters({{39, "30000"}});
    RunResult continued = setup.run(args, RunSetup::kClock, "Y\nyes\nno\nn\n");
    EXPECT_EQ(continued.exitCode, 0);
    EXPECT_GT(sumOfCounts("OUT/int.1.dat"), 2 * fullHits);
    // No answer at all (standard input at its end) continues as well; the run says once
    // that no answer can come and asks no more about the file.
    const std::string logBefore = readText("OUT/Logger.txt");
    RunResult ended = setup.run(args, RunSetup::kClock, "");
    EXPECT_EQ(ended.exitCode, 0);
    const std::string warning = answerCannotComeMessage(kInterruptFileName) + "\n";
    EXPECT_EQ(warning,
              "WARNING: Standard input has ended, so the interruption cannot be confirmed; the "
              "run goes on and asks no more about the interrupt file stopSTOPstop (SIGINT or "
              "SIGTERM stops the run and keeps its photons).\n");
    EXPECT_TRUE(contains(ended.console, prompt + warning));
    EXPECT_EQ(ended.console.find(prompt), ended.console.rfind(prompt));
    EXPECT_EQ(ended.console.find(warning), ended.console.rfind(warning));
    const std::string record = readText("OUT/Logger.txt").substr(logBefore.size());
    EXPECT_TRUE(contains(record, warning));
    EXPECT_EQ(record.find(warning), record.rfind(warning));
    EXPECT_GT(sumOfCounts("OUT/int.1.dat"), 2 * fullHits);
}

TEST(Driver, AnswersThatConfirmAnInterruption) {
    for (const char* yes : {"y", "yy", "ay", "y1"}) {
        EXPECT_TRUE(confirmsInterruption(yes)) << yes;
    }
    for (const char* no : {"Y", "yes", "n", "no", "", "xyz"}) {
        EXPECT_FALSE(confirmsInterruption(no)) << no;
    }
}

TEST(Driver, StopSignalEndsTheLoopAndKeepsTheImages) {
    RunSetup setup;
    volatile std::sig_atomic_t stop = 1;
    RunResult result = setup.run({"conesim", "params.txt"}, RunSetup::kClock, "", &stop);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_LE(sumOfCounts("OUT/Final." + RunSetup::runNameAt() + ".dat"), 1U);
    EXPECT_TRUE(
        contains(result.console, "Run stopped by a stop signal after 1 of 10000 photons.\n"));
    EXPECT_TRUE(contains(readText("OUT/Logger.txt"), "finished at:\n"));
}

TEST(Driver, DerivedValueScaleIsListed) {
    RunSetup setup;
    setup.setParameters({{16, "0"}, {13, "0.5"}});
    ASSERT_EQ(setup.run().exitCode, 0);
    EXPECT_TRUE(contains(readText("OUT/Logger.txt"), "Samples values are rescaled by: 20\n"));
    EXPECT_TRUE(contains(readText("OUT/Logger.txt"), "Pre-sample mask is not active.\n"));
}

TEST(Driver, RunFailuresPassTheirStatusThrough) {
    RunSetup setup;
    fs::remove("Spectrum");
    RunResult noSpectrum = setup.run();
    EXPECT_EQ(noSpectrum.exitCode, 978);
    EXPECT_TRUE(contains(noSpectrum.console, "Spectra file missing,corrupt or empty!\n"));
    const std::string log = readText("OUT/Logger.txt");
    EXPECT_FALSE(contains(log, "Final image wrote."));

    RunSetup other;
    fs::remove("Z_iUD-PRE.pca");
    RunResult noPlanes = other.run();
    EXPECT_EQ(noPlanes.exitCode, 971);
    EXPECT_TRUE(contains(noPlanes.console,
                         "ERROR: Could not find files: Z_ref-PRE.pca or Z_iLR-PRE.pca or "
                         "Z_iUD-PRE.pca check main directory\n"));
}

TEST(Driver, PlaneOfWrongSizeIsReportedAndUsed) {
    RunSetup setup;
    testing::writeValues("Z_iLR-PRE.pca", std::vector<double>(390, 0.0));
    RunResult result = setup.run();
    EXPECT_EQ(result.exitCode, 0);
    const std::string warning = "WARNING: Z_iLR-PRE.pca holds 3120 bytes; expected 3200 bytes.\n";
    EXPECT_TRUE(contains(result.console, warning));
    EXPECT_TRUE(contains(readText("OUT/Logger.txt"), warning));
}

TEST(Driver, PlaneWithValuesThatAreNoNumbersIsReported) {
    RunSetup setup;
    std::vector<double> lr(400, 0.0);
    lr[7] = std::nan("");
    lr[8] = HUGE_VAL;
    testing::writeValues("Z_iLR-PRE.pca", lr);
    RunResult result = setup.run();
    EXPECT_EQ(result.exitCode, 0);
    const std::string warning =
        "WARNING: Z_iLR-PRE.pca holds 2 values that are not finite numbers.\n";
    EXPECT_TRUE(contains(result.console, warning));
    EXPECT_TRUE(contains(readText("OUT/Logger.txt"), warning));
}

TEST(Driver, CountHitsOnlyWithoutReachableDetectorStops) {
    RunSetup setup;
    // An opaque pre-sample mask over the whole cone: no photon ever reaches the detector.
    std::string opaque = "P2\n# opaque\n100 100\n255\n";
    for (int i = 0; i < 10000; ++i) {
        opaque += "255 ";
    }
    testing::writeText("pre.pgm", opaque);
    setup.setParameters({{42, "1"}, {3, "0.1"}});
    RunResult result = setup.run();
    EXPECT_EQ(result.exitCode, 977);
    EXPECT_TRUE(contains(result.console,
                         "ERROR: No photon reached the detector's sensitive area in 100000000 "
                         "successive photons; the run cannot count its photons and stops.\n"));
}

TEST(Driver, RunNumberOfAnEarlierRunIsDrawnAgain) {
    RunSetup setup;
    RandomGenerator random(static_cast<std::uint32_t>(RunSetup::kClock));
    const std::string first = std::to_string(random.next());
    const std::string second = std::to_string(random.next());
    const std::string third = std::to_string(random.next());
    const std::string fourth = std::to_string(random.next());
    const std::string fifth = std::to_string(random.next());
    // Any file under one of a run's image names takes the number: an image, a header, the
    // empty placeholder of a run still running, a link.
    testing::writeText("OUT/Final." + first + ".pgm", "earlier");
    testing::writeText("OUT/Final." + second + ".dat", "earlier");
    testing::writeText("OUT/Final." + third + ".dat.mhd", "earlier");
    fs::create_symlink("nowhere", "OUT/Final." + fourth + ".pgm");
    RunResult result = setup.run();
    ASSERT_EQ(result.exitCode, 0) << result.console;
    EXPECT_NE(result.console.find("\nRun number " + fifth + "\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists("OUT/Final." + fifth + ".dat"));
    EXPECT_EQ(testing::readText("OUT/Final." + first + ".pgm"), "earlier");
    EXPECT_EQ(testing::readText("OUT/Final." + second + ".dat"), "earlier");
    EXPECT_EQ(testing::readText("OUT/Final." + third + ".dat.mhd"), "earlier");
    // The names tried on the way are left as they were: no placeholder stays behind.
    EXPECT_FALSE(fs::exists("OUT/Final." + first + ".dat"));
    EXPECT_FALSE(fs::exists("OUT/Final." + second + ".pgm"));
    EXPECT_FALSE(fs::exists("OUT/Final." + third + ".pgm"));
    EXPECT_FALSE(fs::exists("OUT/Final." + third + ".dat"));
    EXPECT_FALSE(fs::exists("OUT/Final." + fourth + ".dat"));
    EXPECT_TRUE(fs::is_symlink("OUT/Final." + fourth + ".pgm"));
    EXPECT_FALSE(fs::exists("OUT/nowhere"));
    // A debugging run is always run 1 and replaces its own files.
    testing::writeText("OUT/dbg.1.pgm", "earlier");
    ASSERT_EQ(setup.run({"conesim", "params.txt", "dbg"}).exitCode, 0);
    EXPECT_NE(testing::readText("OUT/dbg.1.pgm"), "earlier");
}

TEST(Driver, DegenerateButValidSettingsRunToTheEnd) {
    struct Case {
        std::map<int, std::string> values;
        std::size_t voxels;
        std::uintmax_t datBytes;
    };
    const Case cases[] = {
        {{{25, "0"}, {26, "0"}}, 20 * 20 * 4, 0},
        {{{25, "0"}, {26, "7"}}, 20 * 20 * 4, 0},
        {{{1, "0"}, {21, "0"}}, 20 * 20 * 4, 6400},
        {{{32, "3"}, {10, "1"}, {11, "1"}, {12, "1"}}, 1, 6400},
        {{{32, "3"}, {10, "0"}, {11, "0"}, {12, "0"}}, 0, 6400},
        {{{32, "3"}, {10, "1"}, {11, "6"}, {12, "3"}}, 18, 6400},
        {{{32, "5"}, {10, "0"}, {11, "3"}, {12, "2"}}, 0, 6400},
    };
    for (const Case& c : cases) {
        RunSetup setup;
        testing::writeText("pre.pgm", "P2\n# empty\n0 0\n255\n");
        testing::writeValues("Sample.bin", std::vector<float>(c.voxels, 0.5F));
        setup.setParameters(c.values);
        RunResult result = setup.run({"conesim", "params.txt", "edge"});
        EXPECT_EQ(result.exitCode, 0) << result.console;
        EXPECT_EQ(std::filesystem::file_size("OUT/edge.1.dat"), c.datBytes);
    }
}

}  // namespace
}  // namespace conesim
