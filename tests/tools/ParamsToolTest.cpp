#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"
#include "ToolRunner.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {
namespace {

using testing::runTool;
using testing::ScratchDir;
using testing::ToolResult;

ToolResult paramsTool(const ScratchDir& dir, const std::vector<std::string>& args) {
    return runTool(CONESIM_PARAMS_TOOL, args, dir.path());
}

std::string withCrLf(const std::string& text) {
    std::string crlf;
    for (char c : text) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return crlf;
}

TEST(ParamsToolTest, HelpAndUsageErrors) {
    testing::expectHelp(CONESIM_PARAMS_TOOL, "Usage: conesim-params explain FILE\n");
    ScratchDir dir;
    testing::writeText(dir.file("p.txt"), testing::parameterFileText());
    testing::expectUsageErrors(CONESIM_PARAMS_TOOL, "conesim-params",
                               {{},
                                {"explode", "p.txt"},
                                {"explain"},
                                {"explain", "p.txt", "q.txt"},
                                {"get", "p.txt"},
                                {"get", "p.txt", "detectorwidth"},
                                {"set", "p.txt"},
                                {"set", "p.txt", "detectorWidth"},
                                {"set", "p.txt", "=5"},
                                {"set", "p.txt", "width=5", "-o", "out.txt"},
                                {"set", "p.txt", "detectorWidth=5", "-o"},
                                {"explain", "p.txt", "-o", "out.txt"},
                                {"new", "extra"},
                                {"new", "--verbose"}},
                               dir.path());
}

TEST(ParamsToolTest, ExplainListsEveryValueThenTheProgramsVerdict) {
    ScratchDir dir;
    testing::writeText(dir.file("p.txt"),
                       testing::parameterFileText({{27, "150"}}) + "focalSpotFwhmX = 0.25\n");
    const ToolResult result = paramsTool(dir, {"explain", "p.txt"});
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_EQ(result.err, "");
    const std::string& out = result.out;
    EXPECT_EQ(out.rfind("Parameter file p.txt\n\n  #  line  setting               value           "
                        "unit            meaning\n"
                        "  1     2  preMaskSize           100             pixels          edge of "
                        "the square pre-sample mask image\n",
                        0),
              0U)
        << out;
    EXPECT_NE(out.find("\n 27    28  detectorPosition      150             length          "
                       "source-to-detector distance (read as a real, truncated)\n"),
              std::string::npos);
    EXPECT_NE(out.find("\n 49    50  end checkword         END             -               "
                       "must contain END\n"),
              std::string::npos);
    EXPECT_NE(out.find("\n           focalSpotFwhmX        0.25 (line 51)  length          "),
              std::string::npos);
    EXPECT_NE(out.find("\n           photonEnergies        mean (default)  -               "),
              std::string::npos);
    const std::string verdict = "\n\nParameter file loaded okay.\nThe settings are sensible.\n";
    EXPECT_EQ(out.substr(out.size() - verdict.size()), verdict);
}

TEST(ParamsToolTest, ExplainShowsTheProgramsRefusalsAndFaults) {
    ScratchDir dir;
    testing::writeText(dir.file("fault.txt"), testing::parameterFileText({{27, "90"}}));
    const ToolResult fault = paramsTool(dir, {"explain", "fault.txt"});
    EXPECT_EQ(fault.status, 1);
    const std::string faultLines =
        "Parameter file loaded okay.\nERROR: Parameter file not sensible.\nFault code (See "
        "README): 19\nSetting 27 (detectorPosition) is 90; it must lie between postMaskPosition "
        "(100) and 20000.\n";
    EXPECT_EQ(fault.out.substr(fault.out.size() - faultLines.size()), faultLines);

    // A file cut after 30 values is explained as far as it goes.
    const std::string whole = testing::parameterFileText();
    testing::writeText(dir.file("short.txt"), whole.substr(0, whole.find("Setting 31 ")));
    const ToolResult cut = paramsTool(dir, {"explain", "short.txt"});
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.out.find("\n 30    31  showAllPhotons"), std::string::npos);
    EXPECT_EQ(cut.out.find("\n 31 "), std::string::npos);
    EXPECT_NE(cut.out.find("(the file gives 30 of its 49 values)\n"), std::string::npos);
    const std::string refusal =
        "Paramater file short.txt is too short.\nLast line (number 30) was 1.\nERROR: Loading "
        "parameter file.\n";
    EXPECT_EQ(cut.out.substr(cut.out.size() - refusal.size()), refusal);

    // Warnings come as the program gives them.
    testing::writeText(dir.file("warn.txt"), testing::parameterFileText({{25, "4O"}}));
    const ToolResult warned = paramsTool(dir, {"explain", "warn.txt"});
    EXPECT_EQ(warned.status, 0);  // a 4-pixel detector is sensible
    EXPECT_NE(warned.out.find("WARNING: Parameter file warn.txt: value 25 (detectorWidth) \"4O\" "
                              "has characters after its number; it is read as 4.\n"
                              "Parameter file loaded okay.\n"),
              std::string::npos);

    const ToolResult missing = paramsTool(dir, {"explain", "none.txt"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out,
              "Cannot access paramter file: none.txt\nERROR: Loading parameter file.\n");
}

TEST(ParamsToolTest, GetPrintsTheValueAsTheFileGivesIt) {
    ScratchDir dir;
    testing::writeText(dir.file("p.txt"),
                       testing::parameterFileText({{4, "'my mask.pgm'"}, {27, "1.5e2"}}) +
                           "photonEnergies = spectrum ; each photon its own energy\n");
    const auto get = [&](const std::string& name) {
        return paramsTool(dir, {"get", "p.txt", name});
    };
    EXPECT_EQ(get("preMaskImageFile").out, "mymask.pgm\n");
    EXPECT_EQ(get("detectorPosition").out, "1.5e2\n");
    EXPECT_EQ(get("keepTemporaryFiles").out, "1\n");
    EXPECT_EQ(get("photonEnergies").out, "spectrum\n");
    const ToolResult fallback = get("detectorBlurSigma");
    EXPECT_EQ(fallback.status, 0);
    EXPECT_EQ(fallback.out, "0\n");

    const std::string whole = testing::parameterFileText();
    testing::writeText(dir.file("short.txt"), whole.substr(0, whole.find("Setting 31 ")));
    EXPECT_EQ(paramsTool(dir, {"get", "short.txt", "showAllPhotons"}).out, "1\n");
    const ToolResult absent = paramsTool(dir, {"get", "short.txt", "ditherPhotons"});
    EXPECT_EQ(absent.status, 1);
    EXPECT_EQ(absent.out, "");
    EXPECT_EQ(absent.err,
              "conesim-params: value 31 (ditherPhotons) is not in the file: Paramater file "
              "short.txt is too short.\nLast line (number 30) was 1.\n");
}

TEST(ParamsToolTest, SetChangesOnlyTheValueTexts) {
    ScratchDir dir;
    const std::string original = withCrLf(testing::parameterFileText({{43, " 100 "}}));
    testing::writeText(dir.file("p.txt"), original);
    const ToolResult result = paramsTool(
        dir, {"set", "p.txt", "sampleEnergy=25.5", "detectorBlurSigma=0.5", "-o", "q.txt"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    std::string expected = original;
    const std::string oldLine = "Setting 43 =  100  ; value 43\r\n";
    expected.replace(expected.find(oldLine), oldLine.size(), "Setting 43 =  25.5  ; value 43\r\n");
    expected += "detectorBlurSigma = 0.5\r\n";
    EXPECT_EQ(testing::readText(dir.file("q.txt")), expected);
    EXPECT_EQ(testing::readText(dir.file("p.txt")), original);
    EXPECT_EQ(testing::fileNames(dir.path()), (std::vector<std::string>{"p.txt", "q.txt"}));

    // Without -o the copy goes to standard output; -o may name the file itself.
    const ToolResult toOut = paramsTool(dir, {"set", "p.txt", "sampleEnergy=25.5"});
    EXPECT_EQ(toOut.status, 0);
    EXPECT_EQ(toOut.out, expected.substr(0, expected.size() - 25));
    ASSERT_EQ(paramsTool(dir, {"set", "p.txt", "runMode=3", "--output", "p.txt"}).status, 0);
    SimulationParameters p;
    std::ostringstream messages;
    std::istringstream noInput;
    Console console{messages, noInput};
    p.readFile(dir.file("p.txt"), console);
    EXPECT_EQ(p.runMode, 3);
    EXPECT_EQ(testing::fileNames(dir.path()), (std::vector<std::string>{"p.txt", "q.txt"}));
}

TEST(ParamsToolTest, SetRefusesWithoutWritingAnything) {
    ScratchDir dir;
    testing::writeText(dir.file("p.txt"), testing::parameterFileText());
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{"set", "p.txt", "detectorPosition=90", "-o", "q.txt"},
         "conesim-params: Parameter file not sensible. Fault code (See README): 19. Setting 27 "
         "(detectorPosition) is 90; it must lie between postMaskPosition (100) and 20000.\n"},
        {{"set", "p.txt", "detectorWidth=abc", "-o", "q.txt"},
         "conesim-params: Parameter file p.txt: value 25 (\"abc\") is not a number.\n"},
        {{"set", "p.txt", "detectorWidth=12.7", "-o", "q.txt"},
         "conesim-params: the value \"12.7\" of detectorWidth has characters after its number, "
         "which the program would ignore\n"},
        {{"set", "p.txt", "sampleFile=my sample.bin", "-o", "q.txt"},
         "conesim-params: the value \"my sample.bin\" of sampleFile cannot be written in a "
         "parameter file (it is empty or holds a blank, a quote, a semicolon, two slashes or a "
         "control character)\n"},
        {{"set", "p.txt", "focalSpotFwhmY=1001", "-o", "q.txt"},
         "conesim-params: Parameter file p.txt: line 51: extension setting \"focalSpotFwhmY\" "
         "(value \"1001\") is outside its range, 0 to 1000.\n"},
        {{"set", "missing.txt", "runMode=3", "-o", "q.txt"},
         "conesim-params: Cannot access paramter file: missing.txt\n"},
    };
    for (const Case& c : cases) {
        const ToolResult result = paramsTool(dir, c.args);
        EXPECT_EQ(result.status, 1) << c.error;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, c.error);
        EXPECT_EQ(testing::fileNames(dir.path()), std::vector<std::string>{"p.txt"});
    }
}

TEST(ParamsToolTest, NewFileIsCommentedAndLoadsAsItStands) {
    ScratchDir dir;
    const ToolResult result = paramsTool(dir, {"new"});
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    std::istringstream lines(result.out);
    std::string line;
    std::string previous;
    int settings = 0;
    while (std::getline(lines, line)) {
        EXPECT_LE(line.size(), 255U) << line;
        // Every setting line follows the comment that explains it.
        if (line.find("//") == std::string::npos && line.find('=') != std::string::npos) {
            ++settings;
            EXPECT_EQ(previous.rfind("// " + std::to_string(settings) + " ", 0), 0U) << line;
        }
        previous = line;
    }
    EXPECT_EQ(settings, 48);
    EXPECT_NE(result.out.find("// 27 detectorPosition (length): source-to-detector distance "
                              "(read as a real, truncated). Passes when ≤ 20000, and ≥ value 22 "
                              "(fault 19). Default 150.\ndetectorPosition = 20000\n"),
              std::string::npos);
    EXPECT_NE(result.out.find("\nEND\n// Extension settings"), std::string::npos);
    testing::writeText(dir.file("new.txt"), result.out);
    const ToolResult explained = paramsTool(dir, {"explain", "new.txt"});
    EXPECT_EQ(explained.status, 0) << explained.out;
    SimulationParameters p;
    std::ostringstream messages;
    std::istringstream noInput;
    Console console{messages, noInput};
    p.readFile(dir.file("new.txt"), console);
    EXPECT_EQ(messages.str(), "Parameter file loaded okay.\n");
    EXPECT_EQ(p.faultCode(), 0);
    EXPECT_FALSE(p.extensions.given);
}

}  // namespace
}  // namespace conesim
