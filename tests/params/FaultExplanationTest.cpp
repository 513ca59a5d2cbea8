#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "ParameterFileText.hpp"
#include "params/FaultExplanation.hpp"

namespace conesim {
namespace {

struct Case {
    std::map<int, std::string> values;
    int code;
    std::string line;
};

TEST(FaultExplanation, NamesTheFailingSettingItsValueAndItsRange) {
    const Case cases[] = {
        {{{1, "10001"}}, 1, "Setting 1 (preMaskSize) is 10001; it must be at most 10000."},
        {{{1, "-1"}},
         1,
         "Setting 1 (preMaskSize) is 4294967295 (-1 read as an unsigned number); it must be at "
         "most 10000."},
        {{{2, "-1"}}, 2, "Setting 2 (preMaskPosition) is -1; it must lie between 0 and 20000."},
        {{{3, "0"}}, 3, "Setting 3 (preMaskScale) is 0; it must be above 0 and at most 1000."},
        {{{9, "40"}},
         4,
         "Setting 9 (sampleStart) is 40; it must lie between preMaskPosition (50) and 20000."},
        {{{2, "0"}, {9, "-0.5"}},
         4,
         "Setting 9 (sampleStart) is -0.5; it must lie between 0 and 20000."},
        {{{11, "3001"}}, 5, "Setting 11 (sampleDimY) is 3001; it must be at most 3000."},
        {{{10, "4000"}, {12, "5000"}},
         5,
         "Setting 10 (sampleDimX) is 4000 and setting 12 (sampleDimZ) is 5000; each must be at "
         "most 3000."},
        {{{15, "10.5"}},
         6,
         "Setting 15 (sampleScaleZ) is 10.5; it must be above 0 and at most 10."},
        {{{16, "2000.5"}},
         7,
         "Setting 16 (sampleValueScale) is 2000.5; it must lie between 0 and 2000."},
        {{{18, "31"}}, 9, "Setting 18 (edgeSearchAcross) is 31; it must lie between 1 and 30."},
        {{{19, "0"}}, 10, "Setting 19 (edgeSearchDepth) is 0; it must lie between 1 and 100."},
        {{{20, "2"}}, 31, "Setting 20 (smoothingThreshold) is 2; it must lie between 1e-20 and 1."},
        {{{5, "1.5"}}, 33, "Setting 5 (apertureLrPif) is 1.5; it must lie between 0 and 1."},
        {{{5, "0.6"}, {6, "0.4"}},
         33,
         "Settings 5 (apertureLrPif) and 6 (apertureLrOffset) are 0.6 and 0.4; their sum, "
         "1.00000003 in single precision, must not exceed 1."},
        {{{7, "0.7"}, {8, "0.5"}},
         34,
         "Settings 7 (apertureUdPif) and 8 (apertureUdOffset) are 0.7 and 0.5; their sum, 1.2, "
         "must not exceed 1."},
        {{{21, "10001"}}, 11, "Setting 21 (postMaskSize) is 10001; it must be at most 10000."},
        {{{22, "59"}},
         12,
         "Setting 22 (postMaskPosition) is 59; it must lie between sampleStart (60) and 20000."},
        {{{23, "1000.5"}},
         13,
         "Setting 23 (postMaskScale) is 1000.5; it must be above 0 and at most 1000."},
        {{{25, "50001"}}, 17, "Setting 25 (detectorWidth) is 50001; it must be at most 50000."},
        {{{26, "-2"}},
         18,
         "Setting 26 (detectorHeight) is 4294967294 (-2 read as an unsigned number); it must be "
         "at most 50000."},
        {{{27, "90"}},
         19,
         "Setting 27 (detectorPosition) is 90; it must lie between postMaskPosition (100) and "
         "20000."},
        {{{28, "0.000001"}},
         20,
         "Setting 28 (detectorPixelSizeX) is 1e-06 (in single precision 9.99999997e-07); it "
         "must lie between 1e-06 and 10."},
        {{{29, "11"}},
         21,
         "Setting 29 (detectorPixelSizeY) is 11; it must lie between 1e-06 and 10."},
        {{{32, "2"}}, 24, "Setting 32 (runMode) is 2; it must be 3, 4 or 5."},
        {{{33, "0.0001"}},
         25,
         "Setting 33 (quantumEfficiency) is 0.0001 (in single precision 9.99999975e-05); it "
         "must lie between 0.0001 and 1."},
        {{{34, "-0.25"}, {35, "2"}},
         35,
         "Setting 34 (detectorLrPif) is -0.25 and setting 35 (detectorLrOffset) is 2; each must "
         "lie between 0 and 1."},
        {{{36, "0.5"}, {37, "0.75"}},
         36,
         "Settings 36 (detectorUdPif) and 37 (detectorUdOffset) are 0.5 and 0.75; their sum, "
         "1.25, must not exceed 1."},
        {{{39, "9"}}, 26, "Setting 39 (photonsToRun) is 9; it must lie between 10 and 2000000000."},
        {{{40, "999"}},
         27,
         "Setting 40 (reportEvery) is 999; it must lie between 1000 and 2000000000."},
        {{{41, "2000000001"}},
         28,
         "Setting 41 (splashEvery) is 2000000001; it must lie between 1000 and 2000000000."},
        {{{43, "20001"}},
         29,
         "Setting 43 (sampleEnergy) is 20001; it must lie between 0 and 20000."},
    };
    for (const Case& c : cases) {
        SimulationParameters p;
        std::ostringstream out;
        std::istringstream in;
        Console console{out, in};
        p.readText(testing::parameterFileText(c.values), "t.txt", console);
        ASSERT_TRUE(p.parameterFileLoaded) << out.str();
        ASSERT_EQ(p.faultCode(), c.code) << c.line;
        EXPECT_EQ(faultExplanation(p, c.code), c.line);
    }
}

TEST(FaultExplanation, NothingForSensibleSettingsOrUnknownCodes) {
    SimulationParameters p;
    EXPECT_EQ(faultExplanation(p, 0), "");
    EXPECT_EQ(faultExplanation(p, 8), "");
    EXPECT_EQ(faultExplanation(p, 32), "");
}

}  // namespace
}  // namespace conesim
