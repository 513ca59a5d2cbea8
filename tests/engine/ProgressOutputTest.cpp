// What the photon loops write at interval multiples: a report follows the first scored
// photon at or past a multiple, named after the largest multiple reached, and on a terminal
// the live progress line is cleared before the report line is printed.
#include <gtest/gtest.h>

#include <sstream>

#include "engine/ProgressOutput.hpp"

namespace conesim {
namespace {

TEST(ProgressOutput, TrackerFiresOnceAtOrPastEachMultiple) {
    MultipleTracker tracker(1000);
    EXPECT_EQ(tracker.reached(0), 0);
    EXPECT_EQ(tracker.reached(999), -1);
    EXPECT_EQ(tracker.reached(1003), 1000);  // photon 1000 itself was not scored
    EXPECT_EQ(tracker.reached(1999), -1);
    EXPECT_EQ(tracker.reached(3500), 3000);  // one report for 2000 and 3000
    EXPECT_EQ(tracker.reached(3999), -1);
    EXPECT_EQ(tracker.reached(4000), 4000);
    MultipleTracker none(0);
    EXPECT_EQ(none.reached(5000), -1);
}

TEST(ProgressOutput, ReportLineStartsOnAClearedTerminalLine) {
    std::ostringstream terminal;
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
    RandomGenerator random(1);
    RunContext context{console, out, random};
    double now = 0.0;
    ProgressLine progress(terminal, 10000, [&] { return now; });
    context.progress = &progress;
    now = 1.0;
    progress.update(500);
    const std::string drawn = terminal.str();
    ASSERT_EQ(drawn.substr(0, 1), "\r");
    reportPhotonsRun(context, 1000);
    const std::string blank = "\r" + std::string(drawn.size() - 1, ' ') + "\r";
    EXPECT_EQ(terminal.str(), drawn + blank);
    EXPECT_EQ(out.str(), "Ran 1000 photons.\nRan 1000 photons.\n");  // console and log
}

}  // namespace
}  // namespace conesim
