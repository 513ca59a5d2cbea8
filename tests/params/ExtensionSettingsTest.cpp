#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ParameterFileText.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {
namespace {

// The test file (50 lines: a comment, then values 1 to 49) followed by the given lines.
struct Loaded {
    SimulationParameters p;
    std::string output;
    explicit Loaded(const std::string& after) {
        std::ostringstream out;
        std::istringstream in;
        Console console{out, in};
        p.readText(testing::parameterFileText() + after, "ext.txt", console);
        output = out.str();
    }
};

TEST(ExtensionSettings, ReadByNameAfterTheEndLine) {
    Loaded loaded(
        "// the focal spot\n"
        "focalSpotFwhmX = 0.3 ; length units\n"
        "\n"
        "  detectorBlurSigma\t=\t1.5e0\n"
        "photonEnergies=spectrum;each photon its own\n"
        "focalSpotFwhmY = +2\r\n");
    ASSERT_TRUE(loaded.p.parameterFileLoaded) << loaded.output;
    EXPECT_EQ(loaded.output, "Parameter file loaded okay.\n");
    const ExtensionSettings& e = loaded.p.extensions;
    EXPECT_TRUE(e.given);
    EXPECT_EQ(e.focalSpotFwhmX, 0.3);
    EXPECT_EQ(e.focalSpotFwhmY, 2.0);
    EXPECT_EQ(e.photonEnergies, PhotonEnergyMode::kSpectrum);
    EXPECT_EQ(e.detectorBlurSigma, 1.5);
    // The positional values are untouched by them.
    EXPECT_EQ(loaded.p.detectorWidth, 40U);
    EXPECT_EQ(loaded.p.endCheckword, "END");
}

TEST(ExtensionSettings, DefaultsWithoutThemAndBoundsAreInclusive) {
    Loaded none("");
    ASSERT_TRUE(none.p.parameterFileLoaded);
    EXPECT_FALSE(none.p.extensions.given);
    EXPECT_EQ(none.p.extensions.focalSpotFwhmX, 0.0);
    EXPECT_EQ(none.p.extensions.photonEnergies, PhotonEnergyMode::kMean);
    EXPECT_EQ(none.p.extensions.detectorBlurSigma, 0.0);

    Loaded bounds(
        "focalSpotFwhmX = 1000\nfocalSpotFwhmY = 0\ndetectorBlurSigma = 100\n"
        "photonEnergies = mean\n");
    ASSERT_TRUE(bounds.p.parameterFileLoaded) << bounds.output;
    EXPECT_EQ(bounds.p.extensions.focalSpotFwhmX, 1000.0);
    EXPECT_EQ(bounds.p.extensions.detectorBlurSigma, 100.0);
    EXPECT_TRUE(bounds.p.extensions.given);
}

TEST(ExtensionSettings, RefusalsNameTheFileLineSettingAndValue) {
    struct Case {
        std::string lines;
        std::string message;
    };
    const std::string file = "Parameter file ext.txt: ";
    const Case cases[] = {
        {"focalSpot = 0.3\n", "line 51: unknown extension setting \"focalSpot\" (value \"0.3\")"},
        {"detectorWidth = 64\n",
         "line 51: unknown extension setting \"detectorWidth\" (value \"64\")"},
        {"focalSpotFwhmX = 0.3\n\nfocalSpotFwhmX = 0.4\n",
         "line 53: extension setting \"focalSpotFwhmX\" (value \"0.4\") is given a second time "
         "(first on line 51)"},
        {"focalSpotFwhmX = abc\n",
         "line 51: extension setting \"focalSpotFwhmX\" (value \"abc\") is not a number"},
        {"focalSpotFwhmX = 0.3mm\n",
         "line 51: extension setting \"focalSpotFwhmX\" (value \"0.3mm\") is not a number"},
        {"focalSpotFwhmY = nan\n",
         "line 51: extension setting \"focalSpotFwhmY\" (value \"nan\") is not a number"},
        {"focalSpotFwhmY = inf\n",
         "line 51: extension setting \"focalSpotFwhmY\" (value \"inf\") is not a number"},
        {"detectorBlurSigma = 1e400\n",
         "line 51: extension setting \"detectorBlurSigma\" (value \"1e400\") is outside the "
         "range of a double-precision real, whose magnitudes other than 0 lie between "
         "2.22507e-308 and 1.79769e+308"},
        {"focalSpotFwhmX = 1000.001\n",
         "line 51: extension setting \"focalSpotFwhmX\" (value \"1000.001\") is outside its "
         "range, 0 to 1000"},
        {"detectorBlurSigma = -0.5\n",
         "line 51: extension setting \"detectorBlurSigma\" (value \"-0.5\") is outside its "
         "range, 0 to 100"},
        {"photonEnergies = Mean\n",
         "line 51: extension setting \"photonEnergies\" (value \"Mean\") is not one of mean, "
         "spectrum"},
        {"\nfocal spot = 0.3\n",
         "line 52 (\"focal spot = 0.3\") is not an extension setting \"name = value\""},
        {"focalSpotFwhmX 0.3\n",
         "line 51 (\"focalSpotFwhmX 0.3\") is not an extension setting \"name = value\""},
        {"focalSpotFwhmX = ; no value\n",
         "line 51 (\"focalSpotFwhmX = ; no value\") is not an extension setting \"name = "
         "value\""},
        {"END\n", "line 51 (\"END\") is not an extension setting \"name = value\""},
    };
    for (const Case& c : cases) {
        Loaded loaded(c.lines);
        EXPECT_EQ(loaded.output, file + c.message + ".\n") << c.lines;
        EXPECT_FALSE(loaded.p.parameterFileLoaded);
        EXPECT_FALSE(loaded.p.extensions.given);
        EXPECT_EQ(loaded.p.extensions.focalSpotFwhmX, 0.0);
    }
    // A bad line after END is found even when an earlier value fails: the value comes first.
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
    SimulationParameters p;
    p.readText(testing::parameterFileText({{10, "x"}}) + "junk\n", "ext.txt", console);
    EXPECT_EQ(out.str(), file + "value 10 (\"x\") is not a number.\n");
}

TEST(ExtensionSettings, SummaryListsEveryOneWhenAnyIsGiven) {
    Loaded loaded("detectorBlurSigma = 0.75\n");
    ASSERT_TRUE(loaded.p.parameterFileLoaded) << loaded.output;
    const std::string summary = loaded.p.summary();
    const std::string ending =
        "Keeping temporary files after use.\n"
        "The End Checkword was: END\n"
        "Extension setting focalSpotFwhmX: 0 (length units)\n"
        "Extension setting focalSpotFwhmY: 0 (length units)\n"
        "Extension setting photonEnergies: mean\n"
        "Extension setting detectorBlurSigma: 0.75 (detector pixels)\n"
        "Extension setting deflectionModel: auto\n"
        "Extension setting planeFolder: . (path)\n"
        "Extension setting lengthUnitMm: 0 (mm)\n"
        "Extension setting sampleMaterials:  (path)\n"
        "Extension setting sampleScatterFile:  (path)\n"
        "Extension setting preMaskMaterial:  (compound:g/cm^3)\n"
        "Extension setting preMaskThickness: 0 (length units)\n"
        "Extension setting postMaskMaterial:  (compound:g/cm^3)\n"
        "Extension setting postMaskThickness: 0 (length units)\n"
        "Extension setting detectorMaterial:  (compound:g/cm^3)\n"
        "Extension setting detectorThickness: 0 (length units)\n"
        "Extension setting spectrumWeights: 0 (flag)\n"
        "Extension setting preMaskShiftX: 0 (length units)\n"
        "Extension setting preMaskShiftY: 0 (length units)\n"
        "Extension setting sampleRotation: 0 (degrees)\n"
        "------------\n";
    ASSERT_GE(summary.size(), ending.size());
    EXPECT_EQ(summary.substr(summary.size() - ending.size()), ending);

    Loaded none("// nothing\n");
    const std::string plain = none.p.summary();
    const std::string plainEnding = "after use.\nThe End Checkword was: END\n------------\n";
    EXPECT_EQ(plain.substr(plain.size() - plainEnding.size()), plainEnding);
}

TEST(ExtensionSettings, RereadingARecordForgetsEarlierSettingsAndWarnings) {
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
    SimulationParameters p;
    p.readText(testing::parameterFileText({{25, "40x"}}) + "focalSpotFwhmX = 5\n", "a", console);
    ASSERT_TRUE(p.parameterFileLoaded);
    EXPECT_EQ(p.warnings.size(), 1U);
    EXPECT_TRUE(p.extensions.given);
    p.readText(testing::parameterFileText(), "b", console);
    ASSERT_TRUE(p.parameterFileLoaded);
    EXPECT_TRUE(p.warnings.empty());
    EXPECT_FALSE(p.extensions.given);
    EXPECT_EQ(p.extensions.focalSpotFwhmX, 0.0);
}

TEST(ExtensionSettings, DeflectionModelAndPlaneFolderAreReadAndAutoMeansInterface) {
    Loaded none("");
    EXPECT_EQ(none.p.extensions.deflectionModel, DeflectionModel::kAuto);
    EXPECT_EQ(effectiveDeflectionModel(none.p.extensions), DeflectionModel::kInterface);
    EXPECT_EQ(none.p.extensions.planeFolder, ".");

    Loaded phase("deflectionModel = phase\nplaneFolder = planes/run 1 ; a folder\n");
    ASSERT_TRUE(phase.p.parameterFileLoaded) << phase.output;
    EXPECT_EQ(effectiveDeflectionModel(phase.p.extensions), DeflectionModel::kPhase);
    EXPECT_EQ(phase.p.extensions.planeFolder, "planes/run 1");
    Loaded interface("deflectionModel = interface\n");
    EXPECT_EQ(effectiveDeflectionModel(interface.p.extensions), DeflectionModel::kInterface);

    Loaded wrong("deflectionModel = Phase\n");
    EXPECT_FALSE(wrong.p.parameterFileLoaded);
    EXPECT_EQ(wrong.output,
              "Parameter file ext.txt: line 51: extension setting \"deflectionModel\" (value "
              "\"Phase\") is not one of auto, interface, phase.\n");
}

}  // namespace
}  // namespace conesim
