#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {
namespace {

// The fault code of the test parameter file with some values replaced, read as a user's
// file would be, so that the single-precision rounding of the texts takes part.
int faultCodeOf(const std::map<int, std::string>& overrides) {
    testing::ScratchDir dir;
    const std::string path = dir.file("p.txt");
    testing::writeText(path, testing::parameterFileText(overrides));
    SimulationParameters p;
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
    p.readFile(path, console);
    EXPECT_TRUE(p.parameterFileLoaded) << out.str();
    return p.faultCode();
}

TEST(Validation, DefaultsFailOnTheRunModeLast) {
    SimulationParameters p;
    EXPECT_EQ(p.faultCode(), 24);
    p.runMode = 3;
    EXPECT_EQ(p.faultCode(), 6);  // voxel sizes of 100
}

TEST(Validation, TheLastFailingCheckWins) {
    EXPECT_EQ(faultCodeOf({}), 0);
    EXPECT_EQ(faultCodeOf({{32, "2"}, {39, "5"}}), 26);
    EXPECT_EQ(faultCodeOf({{1, "10001"}, {43, "-1"}}), 29);
    EXPECT_EQ(faultCodeOf({{1, "10001"}, {2, "-1"}}), 2);
}

TEST(Validation, EachCheckHasItsCodeJustPastItsBound) {
    struct Case {
        std::map<int, std::string> values;
        int code;
    };
    const Case cases[] = {
        {{{1, "10001"}}, 1},
        {{{1, "-1"}}, 1},
        {{{2, "-1"}}, 2},
        {{{3, "0"}}, 3},
        {{{3, "1000.001"}}, 3},
        {{{9, "49.5"}}, 4},
        {{{10, "3001"}}, 5},
        {{{12, "-4"}}, 5},
        {{{13, "0"}}, 6},
        {{{15, "10.001"}}, 6},
        {{{14, "-1"}}, 6},
        {{{16, "-0.001"}}, 7},
        {{{16, "2000.001"}}, 7},
        {{{18, "0"}}, 9},
        {{{18, "31"}}, 9},
        {{{19, "0"}}, 10},
        {{{19, "101"}}, 10},
        {{{20, "1e-20"}}, 31},
        {{{20, "1.001"}}, 31},
        {{{5, "0.6"}, {6, "0.4"}}, 33},
        {{{5, "1.1"}, {6, "0"}}, 33},
        {{{6, "-0.1"}, {5, "0.5"}}, 33},
        {{{7, "0.6"}, {8, "0.4"}}, 34},
        {{{21, "10001"}}, 11},
        {{{22, "59"}}, 12},
        {{{23, "0"}}, 13},
        {{{23, "1000.1"}}, 13},
        {{{25, "50001"}}, 17},
        {{{26, "50001"}}, 18},
        {{{27, "20001"}}, 19},
        {{{27, "99"}}, 19},
        {{{28, "0.000001"}}, 20},
        {{{28, "10.01"}}, 20},
        {{{29, "0.000001"}}, 21},
        {{{32, "6"}}, 24},
        {{{33, "0.0001"}}, 25},
        {{{33, "1.01"}}, 25},
        {{{34, "0.6"}, {35, "0.4"}}, 35},
        {{{36, "0.6"}, {37, "0.4"}}, 36},
        {{{39, "9"}}, 26},
        {{{39, "2000000001"}}, 26},
        {{{40, "999"}}, 27},
        {{{41, "999"}}, 28},
        {{{41, "2000000001"}}, 28},
        {{{43, "-0.01"}}, 29},
        {{{43, "20000.01"}}, 29},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(faultCodeOf(c.values), c.code) << "first value " << c.values.begin()->first;
    }
}

TEST(Validation, ValuesAtTheBoundsPass) {
    EXPECT_EQ(faultCodeOf({{1, "10000"}, {21, "10000"}, {2, "0"}, {3, "1000"}, {23, "1000"}}), 0);
    EXPECT_EQ(faultCodeOf({{10, "3000"}, {11, "3000"}, {12, "3000"}, {13, "10"}, {16, "0"}}), 0);
    EXPECT_EQ(faultCodeOf({{16, "2000"}, {18, "30"}, {19, "100"}, {18, "1"}, {20, "1"}}), 0);
    EXPECT_EQ(faultCodeOf({{25, "50000"}, {26, "50000"}, {28, "10"}, {29, "10"}}), 0);
    EXPECT_EQ(faultCodeOf({{39, "2000000000"}, {40, "2000000000"}, {41, "1000"}}), 0);
    EXPECT_EQ(faultCodeOf({{43, "0"}}), 0);
    EXPECT_EQ(faultCodeOf({{43, "20000"}}), 0);
    EXPECT_EQ(faultCodeOf({{33, "0.00011"}, {40, "1000"}}), 0);
    // Positions may coincide with the one before them, up to 20000.
    EXPECT_EQ(faultCodeOf({{2, "60"}, {9, "60"}, {22, "60"}, {27, "60"}}), 0);
    EXPECT_EQ(faultCodeOf({{2, "20000"}, {9, "20000"}, {22, "20000"}, {27, "20000"}}), 0);
    // Window pairs whose exact single-precision sum is at most 1.
    EXPECT_EQ(faultCodeOf({{5, "0.7"}, {6, "0.3"}, {7, "0.5"}, {8, "0.5"}}), 0);
    EXPECT_EQ(faultCodeOf({{34, "0.7"}, {35, "0.3"}, {36, "0"}, {37, "1"}}), 0);
}

}  // namespace
}  // namespace conesim
