#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {
namespace {

using testing::parameterFileText;
using testing::ScratchDir;
using testing::writeText;

// Reads a parameter file text through a scratch file; keeps the console output.
struct Reading {
    SimulationParameters p;
    std::string output;
    std::string path;
    ScratchDir dir;

    explicit Reading(const std::string& text) {
        path = dir.file("params.txt");
        writeText(path, text);
        read();
    }
    void read() {
        std::ostringstream out;
        std::istringstream in;
        Console console{out, in};
        p.readFile(path, console);
        output = out.str();
    }
};

// 48 "label = value" lines with value i, followed by the given closing lines.
std::string numberedFile(const std::string& closing) {
    std::string text;
    for (int i = 1; i <= 48; ++i) {
        text += "v" + std::to_string(i) + " = " + std::to_string(i) + "\n";
    }
    return text + closing;
}

void expectDefaults(const SimulationParameters& p) {
    EXPECT_FALSE(p.parameterFileLoaded);
    EXPECT_EQ(p.parameterFileName, "NONE");
    EXPECT_EQ(p.endCheckword, "BAD");
    EXPECT_EQ(p.runMode, 0);
    EXPECT_EQ(p.preMaskImageFile, "1.pgm");
    EXPECT_TRUE(p.preMaskActive && p.postMaskActive && p.sampleActive);
}

TEST(ParameterRecord, FreshRecordHoldsTheDefaults) {
    SimulationParameters p;
    expectDefaults(p);
    EXPECT_EQ(p.detectorWidth, 400U);
    EXPECT_EQ(p.splashEvery, 550000);
    EXPECT_EQ(p.outputFolder, "OUTS-DBG");
    EXPECT_EQ(p.smoothingThreshold, 0.0001F);
}

TEST(ParameterReader, LoadsEveryFieldInFileOrder) {
    Reading r(parameterFileText());
    EXPECT_EQ(r.output, "Parameter file loaded okay.\n");
    const SimulationParameters& p = r.p;
    EXPECT_TRUE(p.parameterFileLoaded);
    EXPECT_EQ(p.parameterFileName, r.path);
    EXPECT_EQ(p.preMaskSize, 100U);
    EXPECT_EQ(p.preMaskPosition, 50);
    EXPECT_EQ(p.preMaskImageFile, "pre.pgm");
    EXPECT_EQ(p.sampleStart, 60.0F);
    EXPECT_EQ(p.sampleDimZ, 4U);
    EXPECT_EQ(p.sampleFile, "Sample.bin");
    EXPECT_EQ(p.smoothingThreshold, 0.0001F);
    EXPECT_EQ(p.postMaskImageFile, "post.pgm");
    EXPECT_EQ(p.detectorWidth, 40U);
    EXPECT_EQ(p.detectorPosition, 150);
    EXPECT_EQ(p.runMode, 5);
    EXPECT_EQ(p.spectrumFile, "Spectrum");
    EXPECT_EQ(p.photonsToRun, 10000);
    EXPECT_EQ(p.splashEvery, 550000);
    EXPECT_FALSE(p.countHitsOnly);
    EXPECT_EQ(p.outputFolder, "OUT");
    EXPECT_EQ(p.finalPrefix, "Final");
    EXPECT_TRUE(p.keepTemporaryFiles);
    EXPECT_EQ(p.endCheckword, "END");
    EXPECT_EQ(p.faultCode(), 0);
}

TEST(ParameterReader, RefusalsWriteTheirMessageAndRestoreDefaults) {
    {
        SimulationParameters p;
        std::ostringstream out;
        std::istringstream in;
        Console console{out, in};
        p.readFile("/nonexistent/params.txt", console);
        EXPECT_EQ(out.str(), "Cannot access paramter file: /nonexistent/params.txt\n");
        expectDefaults(p);
        ScratchDir dir;
        std::ostringstream out2;
        Console console2{out2, in};
        p.readFile(dir.path().string(), console2);
        EXPECT_EQ(out2.str(), "Cannot access paramter file: " + dir.path().string() + "\n");
    }
    {
        Reading r(numberedFile(""));
        EXPECT_EQ(r.output,
                  "Paramater file " + r.path + " is too short.\nLast line (number 48) was 48.\n");
        expectDefaults(r.p);
    }
    {
        Reading r("");
        EXPECT_EQ(r.output,
                  "Paramater file " + r.path + " is too short.\nLast line (number 0) was .\n");
    }
    {
        Reading r(numberedFile("check = FINISH\n"));
        EXPECT_EQ(r.output, "Paramater file " + r.path + " is corrupt.\n");
        expectDefaults(r.p);
    }
}

TEST(ParameterReader, ClassifiesLines) {
    // END on its own line, and inside a longer value after an equals sign.
    EXPECT_EQ(Reading(numberedFile("END\n")).p.endCheckword, "END");
    EXPECT_EQ(Reading(numberedFile("c = THE_END\n")).p.endCheckword, "THE_END");
    // An upper-case word holding END is a value and shifts the rest; the 49th is then 48.
    {
        Reading r("APPENDIX\n" + numberedFile("END\n"));
        EXPECT_EQ(r.output, "Paramater file " + r.path + " is corrupt.\n");
    }
    // Lower-case words, empty lines, comments and empty values give nothing.
    {
        Reading r("ending\n\n   \nx = \"  ' \" ; nothing\ny = // 5\n// a = 7\n" +
                  numberedFile("END\n"));
        EXPECT_TRUE(r.p.parameterFileLoaded);
        EXPECT_EQ(r.p.preMaskSize, 1U);
    }
    // A path written with // drops the whole line and moves the later values up, so the
    // sample file name lands in the value scale.
    {
        Reading r(parameterFileText({{4, "dir//pre.pgm"}}) + "extra = END\n");
        EXPECT_EQ(r.output,
                  "Parameter file " + r.path + ": value 16 (\"Sample.bin\") is not a number.\n");
    }
}

TEST(ParameterReader, ExtractsValueText) {
    // Text after the first '=' up to the first ';', blanks and quotes removed, tab kept.
    Reading r(parameterFileText(
        {{1, "100=200"}, {4, "' my mask .pgm'"}, {17, "\"a\tb\""}, {24, "post.pgm;x=3"}}));
    ASSERT_TRUE(r.p.parameterFileLoaded) << r.output;
    EXPECT_EQ(r.p.preMaskSize, 100U);
    EXPECT_EQ(r.p.preMaskImageFile, "mymask.pgm");
    EXPECT_EQ(r.p.sampleFile, "a\tb");
    EXPECT_EQ(r.p.postMaskImageFile, "post.pgm");
    // A line starting with a semicolon still gives the text after its '='.
    Reading s("; comment = 7\n" + numberedFile("END\n"));
    EXPECT_EQ(s.output, "Paramater file " + s.path + " is corrupt.\n");
    // Windows line ends: the carriage return is not part of the value.
    std::string crlf;
    for (char c : parameterFileText()) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    Reading t(crlf);
    ASSERT_TRUE(t.p.parameterFileLoaded) << t.output;
    EXPECT_EQ(t.p.endCheckword, "END");
    EXPECT_EQ(t.p.finalPrefix, "Final");
}

TEST(ParameterReader, ConvertsNumbersAsStreamInputDoes) {
    Reading r(parameterFileText({{1, "-1"},
                                 {2, "12.7"},
                                 {18, "1e3"},
                                 {19, "010"},
                                 {3, "1e3"},
                                 {27, "150.9"},
                                 {30, "2"},
                                 {31, "-1"},
                                 {42, "0"},
                                 {48, "0"},
                                 {9, "\t+60"}}));
    ASSERT_TRUE(r.p.parameterFileLoaded) << r.output;
    EXPECT_EQ(r.p.preMaskSize, 4294967295U);
    EXPECT_EQ(r.p.preMaskPosition, 12);
    EXPECT_EQ(r.p.edgeSearchAcross, 1);
    EXPECT_EQ(r.p.edgeSearchDepth, 10);
    EXPECT_EQ(r.p.preMaskScale, 1000.0F);
    EXPECT_EQ(r.p.detectorPosition, 150);
    EXPECT_TRUE(r.p.showAllPhotons);
    EXPECT_TRUE(r.p.ditherPhotons);
    EXPECT_FALSE(r.p.countHitsOnly);
    EXPECT_FALSE(r.p.keepTemporaryFiles);
    EXPECT_EQ(r.p.sampleStart, 60.0F);
    EXPECT_EQ(r.p.faultCode(), 1);
    EXPECT_EQ(Reading(parameterFileText({{27, "-0.5"}})).p.detectorPosition, 0);
    EXPECT_EQ(Reading(parameterFileText({{27, "1.5e2"}})).p.detectorPosition, 150);
    EXPECT_EQ(Reading(parameterFileText({{22, "1.5e2"}})).p.postMaskPosition, 1);
}

TEST(ParameterReader, AfterTheFortyNinthValueReadsOnlyExtensionSettings) {
    // Comments and blank lines after END are fine and give no setting.
    Reading r(parameterFileText() + "\n   \t\n// notes = 1\n");
    EXPECT_TRUE(r.p.parameterFileLoaded) << r.output;
    EXPECT_EQ(r.output, "Parameter file loaded okay.\n");
    EXPECT_FALSE(r.p.extensions.given);
    // Any other line after END is refused, where the file used to stop reading.
    Reading junk(parameterFileText() + "broken line without a value\n");
    EXPECT_EQ(junk.output, "Parameter file " + junk.path +
                               ": line 51 (\"broken line without a value\") is not an extension "
                               "setting \"name = value\".\n");
    expectDefaults(junk.p);
}

TEST(ParameterReader, RefusesValuesThatAreNoNumbers) {
    struct Case {
        int position;
        std::string value;
        std::string problem;
    };
    const Case cases[] = {
        {3, "abc", "value 3 (\"abc\") is not a number"},
        {1, "-", "value 1 (\"-\") is not a number"},
        {30, "yes", "value 30 (\"yes\") is not a number"},
        {39, "3000000000",
         "value 39 (\"3000000000\") is outside the range of a 32-bit signed "
         "integer, -2147483648 to 2147483647"},
        {10, "-2147483649",
         "value 10 (\"-2147483649\") is outside the range of a 32-bit "
         "signed integer, -2147483648 to 2147483647"},
        {27, "3e9",
         "value 27 (\"3e9\") is outside the range of a 32-bit signed integer, -2147483648 to "
         "2147483647"},
        {33, "1e39",
         "value 33 (\"1e39\") is outside the range of a single-precision real, -3.40282e+38 "
         "to 3.40282e+38"},
        {9, "-1e39",
         "value 9 (\"-1e39\") is outside the range of a single-precision real, -3.40282e+38 "
         "to 3.40282e+38"},
    };
    for (const Case& c : cases) {
        Reading r(parameterFileText({{c.position, c.value}}));
        EXPECT_EQ(r.output, "Parameter file " + r.path + ": " + c.problem + ".\n");
        expectDefaults(r.p);
    }
    // The largest values of each type still load.
    Reading ok(parameterFileText({{39, "2147483647"}, {33, "3.4e38"}, {20, "1e-50"}}));
    EXPECT_TRUE(ok.p.parameterFileLoaded) << ok.output;
    EXPECT_EQ(ok.p.smoothingThreshold, 0.0F);
}

TEST(ParameterReader, RefusesOverlongLines) {
    const std::string longComment = "; " + std::string(254, 'c');  // 256 characters
    Reading r("a = 1 " + longComment + "\n" + numberedFile("END\n"));
    EXPECT_EQ(r.output, "Parameter file " + r.path + ": line 1 (\"a = 1 ; " + std::string(32, 'c') +
                            "...\") is longer than 255 characters.\n");
    expectDefaults(r.p);
    // 255 characters are fine.
    Reading ok("note ; " + std::string(248, 'c') + "\n" + numberedFile("END\n"));
    EXPECT_TRUE(ok.p.parameterFileLoaded) << ok.output;
}

TEST(ParameterReader, NumbersWithCharactersAfterThemLoadWithAWarning) {
    Reading r(parameterFileText({{1, "2S6"},
                                 {25, "12.7"},
                                 {3, "0.5mm"},
                                 {27, "150.5x"},
                                 {30, "1yes"},
                                 {26, "40\t"},
                                 {28, "1e0"},
                                 {4, "12abc"}}));
    ASSERT_TRUE(r.p.parameterFileLoaded) << r.output;
    const std::string prefix = "WARNING: Parameter file " + r.path + ": ";
    const std::vector<std::string> expected = {
        prefix + "value 1 (preMaskSize) \"2S6\" has characters after its number; it is read as 2.",
        prefix +
            "value 3 (preMaskScale) \"0.5mm\" has characters after its number; it is read "
            "as 0.5.",
        prefix +
            "value 25 (detectorWidth) \"12.7\" has characters after its number; it is read "
            "as 12.",
        prefix +
            "value 27 (detectorPosition) \"150.5x\" has characters after its number; it is "
            "read as 150.",
        prefix +
            "value 30 (showAllPhotons) \"1yes\" has characters after its number; it is "
            "read as 1.",
    };
    EXPECT_EQ(r.p.warnings, expected);
    std::string console;
    for (const std::string& warning : expected) {
        console += warning + "\n";
    }
    EXPECT_EQ(r.output, console + "Parameter file loaded okay.\n");
    EXPECT_EQ(r.p.preMaskSize, 2U);
    EXPECT_EQ(r.p.detectorHeight, 40U);
    // A refused file keeps no warnings.
    Reading refused(parameterFileText({{1, "2S6"}, {40, "none"}}));
    EXPECT_TRUE(refused.p.warnings.empty());
    EXPECT_EQ(refused.output,
              "Parameter file " + refused.path + ": value 40 (\"none\") is not a number.\n");
}

TEST(ParameterReader, TextInMemoryReadsLikeAFile) {
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
    SimulationParameters p;
    p.readText(parameterFileText({{25, "64"}}), "memory", console);
    EXPECT_EQ(out.str(), "Parameter file loaded okay.\n");
    EXPECT_TRUE(p.parameterFileLoaded);
    EXPECT_EQ(p.parameterFileName, "memory");
    EXPECT_EQ(p.detectorWidth, 64U);
    out.str("");
    p.readText(numberedFile(""), "memory", console);
    EXPECT_EQ(out.str(), "Paramater file memory is too short.\nLast line (number 48) was 48.\n");
    expectDefaults(p);
}

TEST(ParameterReader, EndlessInputIsRefusedAtItsFirstLine) {
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
    SimulationParameters p;
    p.readFile("/dev/zero", console);
    EXPECT_EQ(out.str(), "Parameter file /dev/zero: line 1 (\"" + std::string(40, '\0') +
                             "...\") is longer than 255 characters.\n");
    expectDefaults(p);
    // An over-long line after END is refused too, since extension lines are read.
    Reading r(parameterFileText() + "// " + std::string(253, '-') + "\n");
    EXPECT_EQ(r.output, "Parameter file " + r.path + ": line 51 (\"// " + std::string(37, '-') +
                            "...\") is longer than 255 characters.\n");
}

}  // namespace
}  // namespace conesim
