#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ParameterFileText.hpp"
#include "params/ParameterFileEditing.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {
namespace {

using Assignments = std::vector<std::pair<std::string, std::string>>;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string withCrLf(const std::string& text) {
    std::string crlf;
    for (char c : text) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return crlf;
}

// The edit's result, failing the test when it is refused.
std::string edited(const std::string& text, const Assignments& assignments) {
    std::string result;
    std::string error;
    EXPECT_TRUE(setParameterValues(text, assignments, result, error)) << error;
    return result;
}

// The edit's message, failing the test when it is accepted; the result stays untouched.
std::string refusal(const std::string& text, const Assignments& assignments) {
    std::string result = "untouched";
    std::string error;
    EXPECT_FALSE(setParameterValues(text, assignments, result, error, "p.txt"));
    EXPECT_EQ(result, "untouched");
    return error;
}

TEST(ParameterEditing, OnlyTheValueTextsChange) {
    const std::string original =
        "// set-up of 12 May\n" +
        testing::parameterFileText(
            {{4, " 'my mask.pgm'  "}, {25, "40"}, {27, "\t150"}, {43, "100 ;; keV"}}) +
        "// after the end\n";
    std::string expected = replaced(original, "Setting 4 =  'my mask.pgm'   ; value 4",
                                    "Setting 4 =  grating.pgm   ; value 4");
    expected = replaced(expected, "Setting 25 = 40 ; value 25", "Setting 25 = 64 ; value 25");
    expected = replaced(expected, "Setting 27 = \t150 ; value 27", "Setting 27 = 2e4 ; value 27");
    expected = replaced(expected, "Setting 43 = 100 ;; keV ; value 43",
                        "Setting 43 = 0 ;; keV ; value 43");
    EXPECT_EQ(edited(original, {{"preMaskImageFile", "grating.pgm"},
                                {"detectorWidth", "64"},
                                {"detectorPosition", "2e4"},
                                {"sampleEnergy", "0"}}),
              expected);
    // Windows line ends stay, and so does a last line without one.
    const std::string crlf = withCrLf(original);
    EXPECT_EQ(edited(crlf, {{"detectorWidth", "64"}}),
              replaced(crlf, "Setting 25 = 40 ; value 25\r\n", "Setting 25 = 64 ; value 25\r\n"));
    const std::string unended = testing::parameterFileText();
    const std::string noLastEnd = unended.substr(0, unended.size() - 1);
    EXPECT_EQ(edited(noLastEnd, {{"runMode", "3"}}),
              replaced(noLastEnd, "Setting 32 = 5 ;", "Setting 32 = 3 ;"));
    // Nothing to change gives the file back as it is; a later assignment wins.
    EXPECT_EQ(edited(original, {}), original);
    EXPECT_EQ(edited(original, {{"detectorWidth", "10"}, {"detectorWidth", "40"}}), original);
}

TEST(ParameterEditing, ExtensionSettingsAreReplacedOrAddedAfterTheEnd) {
    const std::string base = testing::parameterFileText();
    // None yet: added right after the END line, in the order given, before later comments.
    EXPECT_EQ(
        edited(base + "// notes\n", {{"photonEnergies", "spectrum"}, {"focalSpotFwhmX", "0.3"}}),
        base + "photonEnergies = spectrum\nfocalSpotFwhmX = 0.3\n// notes\n");
    // Present: its value is replaced, blanks, tabs and comment kept; new ones follow the last.
    const std::string with = base + "detectorBlurSigma\t=\t0.5\t; pixels\n\n// notes\n";
    EXPECT_EQ(edited(with, {{"detectorBlurSigma", "2"}, {"focalSpotFwhmY", "1"}}),
              base + "detectorBlurSigma\t=\t2\t; pixels\nfocalSpotFwhmY = 1\n\n// notes\n");
    // A CR LF file without a line end after END gets one of its kind.
    const std::string crlf = withCrLf(base);
    const std::string unended = crlf.substr(0, crlf.size() - 2);
    EXPECT_EQ(edited(unended, {{"focalSpotFwhmX", "0.3"}}), crlf + "focalSpotFwhmX = 0.3\r\n");
    // The edited file loads with the new values.
    const std::string result = edited(base, {{"focalSpotFwhmX", "0.3"}, {"sampleDimZ", "8"}});
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
    SimulationParameters p;
    p.readText(result, "r.txt", console);
    ASSERT_TRUE(p.parameterFileLoaded) << out.str();
    EXPECT_EQ(p.extensions.focalSpotFwhmX, 0.3);
    EXPECT_EQ(p.sampleDimZ, 8U);
}

TEST(ParameterEditing, RefusesWhatTheFileCannotHoldOrTheProgramWouldRefuse) {
    const std::string base = testing::parameterFileText();
    EXPECT_EQ(refusal(base, {{"detectorwidth", "4"}}), "unknown setting \"detectorwidth\"");
    const std::string unwritable =
        " cannot be written in a parameter file (it is empty or holds a blank, a quote, a "
        "semicolon, two slashes or a control character)";
    for (const std::string value :
         {"", "my file.pgm", "a'b", "a\"b", "a;b", "dir//f", "a\tb", "a\nb", "a\rb"}) {
        EXPECT_EQ(refusal(base, {{"sampleFile", value}}),
                  "the value \"" + value + "\" of sampleFile" + unwritable);
    }
    EXPECT_EQ(refusal(base, {{"photonEnergies", "mean ; x"}}),
              "the value \"mean ; x\" of photonEnergies" + unwritable);
    EXPECT_EQ(refusal(base, {{"detectorWidth", "12.7"}}),
              "the value \"12.7\" of detectorWidth has characters after its number, which the "
              "program would ignore");
    EXPECT_EQ(refusal(base, {{"sampleScaleX", "0.5cm"}}),
              "the value \"0.5cm\" of sampleScaleX has characters after its number, which the "
              "program would ignore");
    // The program's own messages for the result.
    EXPECT_EQ(refusal(base, {{"detectorWidth", "many"}}),
              "Parameter file p.txt: value 25 (\"many\") is not a number.");
    EXPECT_EQ(refusal(base, {{"photonsToRun", "3000000000"}}),
              "Parameter file p.txt: value 39 (\"3000000000\") is outside the range of a 32-bit "
              "signed integer, -2147483648 to 2147483647.");
    EXPECT_EQ(refusal(base, {{"runMode", "2"}}),
              "Parameter file not sensible. Fault code (See README): 24. Setting 32 (runMode) is "
              "2; it must be 3, 4 or 5.");
    EXPECT_EQ(refusal(base, {{"focalSpotFwhmX", "-1"}}),
              "Parameter file p.txt: line 51: extension setting \"focalSpotFwhmX\" (value \"-1\") "
              "is outside its range, 0 to 1000.");
    EXPECT_EQ(refusal(base, {{"photonEnergies", "both"}}),
              "Parameter file p.txt: line 51: extension setting \"photonEnergies\" (value "
              "\"both\") is not one of mean, spectrum.");
}

TEST(ParameterEditing, FilesThatCannotBeEditedSayWhy) {
    // Too short: the reader's message, whether the value exists or not.
    const std::string whole = testing::parameterFileText();
    const std::string cut = whole.substr(0, whole.find("Setting 31 "));
    const std::string tooShort = "Paramater file p.txt is too short. Last line (number 30) was 1.";
    EXPECT_EQ(refusal(cut, {{"reportEvery", "1000"}}), tooShort);
    EXPECT_EQ(refusal(cut, {{"detectorWidth", "64"}}), tooShort);
    EXPECT_EQ(refusal(cut, {{"focalSpotFwhmX", "1"}}), tooShort);
    // A line without '=' that gives a value (it holds END) has no value text to replace.
    std::string shifted = "APPENDIX\n";
    for (int i = 1; i <= 47; ++i) {
        shifted += "v" + std::to_string(i) + " = " + std::to_string(i) + "\n";
    }
    shifted += "END\n";
    EXPECT_EQ(refusal(shifted, {{"preMaskSize", "100"}}),
              "value 1 (preMaskSize) is given by line 1, which holds no \"=\"; it cannot be "
              "replaced");
    // An edit cannot repair a file whose 49th value is no END.
    EXPECT_EQ(refusal(replaced(whole, "= END ;", "= FINISH ;"), {{"focalSpotFwhmX", "1"}}),
              "Paramater file p.txt is corrupt.");
}

TEST(ParameterEditing, CheckGivesTheProgramsVerdictOnOneLine) {
    std::string error;
    EXPECT_TRUE(checkParameterText(testing::parameterFileText(), "p.txt", error));
    EXPECT_EQ(error, "");
    EXPECT_FALSE(checkParameterText(testing::parameterFileText({{23, "1000.5"}}), "p.txt", error));
    EXPECT_EQ(
        error,
        "Parameter file not sensible. Fault code (See README): 13. Setting 23 (postMaskScale) "
        "is 1000.5; it must be above 0 and at most 1000.");
    EXPECT_FALSE(checkParameterText("", "p.txt", error));
    EXPECT_EQ(error, "Paramater file p.txt is too short. Last line (number 0) was .");
}

}  // namespace
}  // namespace conesim
