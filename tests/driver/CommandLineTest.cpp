// Options before the parameter file: --seed, --threads, --help, and the refusal of
// anything malformed with its message, the banner and usage, and status 12.
#include <gtest/gtest.h>

#include <filesystem>

#include "RunSetup.hpp"
#include "driver/CommandLine.hpp"

namespace conesim {
namespace {

using testing::RunResult;
using testing::RunSetup;

const char* const kUsage =
    "\n\nSee Parameters file \"*.par\" for further options. Usage:\n[ProgName] [Para_file]\nor "
    "for debugging\n[ProgName] [Para_file] [OutputName].\n\n";

TEST(CommandLine, OptionsComeBeforeTheParameterFile) {
    CommandLine line;
    std::string error;
    ASSERT_EQ(parseCommandLine(
                  {"conesim", "--seed", "18446744073709551615", "--threads=0", "p.txt", "name"},
                  line, error),
              CommandLineResult::kRun);
    EXPECT_EQ(line.seed, 18446744073709551615ULL);
    EXPECT_EQ(line.threads, 0);
    EXPECT_EQ(line.positional, (std::vector<std::string>{"conesim", "p.txt", "name"}));
    ASSERT_EQ(parseCommandLine({"conesim", "p.txt"}, line, error), CommandLineResult::kRun);
    EXPECT_FALSE(line.seed);
    EXPECT_FALSE(line.threads);
    EXPECT_EQ(parseCommandLine({"conesim", "--help"}, line, error), CommandLineResult::kHelp);
}

TEST(CommandLine, MalformedOptionsNameTheOptionAndValue) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--seed", "x", "p"},
         "Option --seed takes a whole number from 0 to 18446744073709551615, not \"x\"."},
        {{"--seed", "18446744073709551616", "p"},
         "Option --seed takes a whole number from 0 to 18446744073709551615, not "
         "\"18446744073709551616\"."},
        {{"--seed", "-1", "p"},
         "Option --seed takes a whole number from 0 to 18446744073709551615, not \"-1\"."},
        {{"--threads", "-2", "p"},
         "Option --threads takes a whole number of threads from 1 to 1024, or 0 for every core, "
         "not \"-2\"."},
        {{"--threads", "two", "p"},
         "Option --threads takes a whole number of threads from 1 to 1024, or 0 for every core, "
         "not \"two\"."},
        {{"--threads", "1025", "p"},
         "Option --threads takes a whole number of threads from 1 to 1024, or 0 for every core, "
         "not \"1025\"."},
        {{"--threads"}, "Option --threads needs a value."},
        {{"--seeds", "1", "p"}, "Unknown option \"--seeds\"."},
        {{"--seed", "1", "--seed", "2", "p"}, "Option --seed is given twice."},
        {{"p", "--threads", "2"},
         "Option \"--threads\" comes after the parameter file; options come first."},
    };
    for (const auto& [words, message] : cases) {
        std::vector<std::string> args{"conesim"};
        args.insert(args.end(), words.begin(), words.end());
        CommandLine line;
        std::string error;
        EXPECT_EQ(parseCommandLine(args, line, error), CommandLineResult::kBadOption) << message;
        EXPECT_EQ(error, message);
    }
}

TEST(CommandLine, DriverRefusesBadOptionsWithBannerAndUsage) {
    RunSetup setup;
    RunResult bad = setup.run({"conesim", "--threads", "-1", "params.txt"});
    EXPECT_EQ(bad.exitCode, 12);
    EXPECT_EQ(bad.console.rfind("ERROR: Option --threads takes a whole number of threads from 1 "
                                "to 1024, or 0 for every core, not \"-1\".\n\nProgram to "
                                "simulate cone beam projections through data volumes.\n",
                                0),
              0U)
        << bad.console;
    EXPECT_NE(bad.console.find(kUsage), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("OUT/Logger.txt"));

    RunResult help = setup.run({"conesim", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.console.find(kUsage), std::string::npos);
    EXPECT_NE(help.console.find("  --seed S "), std::string::npos);
    EXPECT_NE(help.console.find("  --threads N "), std::string::npos);

    // A wrong number of words after the options keeps its usual answer.
    RunResult count = setup.run({"conesim", "--seed", "4"});
    EXPECT_EQ(count.exitCode, 12);
    EXPECT_EQ(count.console.rfind("\nProgram to simulate", 0), 0U);
}

std::vector<std::uint8_t> finalImage(const std::string& name) {
    return testing::readBytes("OUT/" + name + ".1.dat");
}

TEST(CommandLine, SeedReproducesTheRunOfThatStartSecond) {
    RunSetup setup;
    RunSetup::writeGratingMask("pre.pgm", 4, 2);
    RunSetup::writeGratingMask("post.pgm", 5, 3);
    ASSERT_EQ(setup.run({"conesim", "params.txt", "clock"}, RunSetup::kClock).exitCode, 0);
    const std::string seed = std::to_string(RunSetup::kClock);
    // Another second on the clock, the same seed: the same photons.
    ASSERT_EQ(setup.run({"conesim", "--seed", seed, "params.txt", "seeded"}, RunSetup::kClock + 9)
                  .exitCode,
              0);
    EXPECT_EQ(finalImage("clock"), finalImage("seeded"));
    // The seed is on record in the run log's command line.
    EXPECT_NE(testing::readText("OUT/Logger.txt")
                  .find("conesim --seed " + seed + " params.txt seeded \n"),
              std::string::npos);
}

TEST(CommandLine, ThreadCountNeverChangesTheImage) {
    RunSetup setup;
    RunSetup::writeGratingMask("pre.pgm", 4, 2);
    RunSetup::writeGratingMask("post.pgm", 5, 3);
    for (bool countHitsOnly : {false, true}) {
        // Three batches of 1048576 photons, the last one shorter.
        setup.setParameters({{39, "2200000"}, {42, countHitsOnly ? "1" : "0"}, {34, "0.6"}});
        std::vector<std::vector<std::uint8_t>> images;
        for (const char* threads : {"1", "2", "3"}) {
            const std::string name = std::string("t") + threads;
            RunResult result =
                setup.run({"conesim", "--seed", "12", "--threads", threads, "params.txt", name});
            ASSERT_EQ(result.exitCode, 0) << result.console;
            EXPECT_NE(result.console.find("Parallel run: " + std::string(threads) +
                                          " threads, batches of 1048576 photons, seed 12.\n"),
                      std::string::npos);
            images.push_back(finalImage(name));
        }
        EXPECT_EQ(images[0], images[1]);
        EXPECT_EQ(images[0], images[2]);
    }
}

}  // namespace
}  // namespace conesim
