// The retrieval demo's small set-up (examples/ei-retrieval/run-retrieval.sh --small): two
// simulated sweeps of the analyser, the retrieval and the truth must agree, with a
// refraction correlation of at least 0.9 and a median transmission error below 3 %.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "ProgramRun.hpp"
#include "TestSupport.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::ScratchDir;

double figure(const std::string& text, const std::string& pattern) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(pattern))) {
        ADD_FAILURE() << "no match for " << pattern << " in:\n" << text;
        return std::nan("");
    }
    return std::stod(match[1].str());
}

TEST(RetrievalDemoTest, SimulatedSweepsGiveBackTheSamplesRefractionAndTransmission) {
    ScratchDir dir;
    const fs::path work = dir.path() / "work";
    testing::ProgramCall call{"/bin/bash",
                              {CONESIM_SOURCE_DIR "/examples/ei-retrieval/run-retrieval.sh",
                               CONESIM_BUILD_DIR, work.string(), "--small"},
                              dir.path()};
    call.mergeErrorIntoOutput = true;
    const testing::ProgramResult run = testing::runProgram(call);
    const std::string output = run.out;
    ASSERT_EQ(run.status, 0) << output;

    const double correlation =
        figure(output, "Refraction: Pearson correlation ([0-9.]+) between retrieved and true");
    const double error = figure(output, "Transmission: median relative error ([0-9.]+) %");
    EXPECT_GE(correlation, 0.95) << output;
    EXPECT_LT(error, 2.0) << output;
    const double darkfieldSlope = figure(output, "Dark field: retrieved = ([0-9.]+) x true");
    EXPECT_GE(darkfieldSlope, 0.85) << output;
    EXPECT_LE(darkfieldSlope, 1.15) << output;
    // Every pixel inside the sample was retrieved in this set-up.
    EXPECT_GE(figure(output, "Inside the sample: ([0-9]+) pixels"), 200.0) << output;
    EXPECT_LE(figure(output, "pixels \\(true transmission below 1\\), ([0-9]+) of them"), 5.0)
        << output;

    for (const char* file : {"retrieved/transmission.raw", "retrieved/refraction.raw",
                             "retrieved/darkfield.raw", "truth/true-refraction.raw",
                             "truth/true-darkfield.raw", "flat/stack.raw", "sample/stack.raw"}) {
        EXPECT_TRUE(fs::exists(work / file)) << file;
    }
    EXPECT_EQ(testing::readBytes((work / "retrieved/refraction.raw").string()).size(),
              32U * 32U * 4U);
    EXPECT_EQ(testing::readBytes((work / "sample/stack.raw").string()).size(), 32U * 32U * 4U * 9U);
    EXPECT_NE(readText((work / "sample/stack.raw.mhd").string()).find("DimSize = 32 32 9\n"),
              std::string::npos);
}

}  // namespace
}  // namespace conesim
