#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "ParameterFileText.hpp"
#include "params/ParameterTable.hpp"

namespace conesim {
namespace {

// Loads a file text through the reader; the console output is kept for failure messages.
struct Loaded {
    SimulationParameters p;
    std::string output;
    explicit Loaded(const std::string& text) {
        std::ostringstream out;
        std::istringstream in;
        Console console{out, in};
        p.readText(text, "t.txt", console);
        output = out.str();
    }
};

// A file in which every value is the one given for its position.
std::string fileWith(const std::map<int, std::string>& values) {
    return testing::parameterFileText(values);
}

TEST(ParameterTable, PositionalEntriesAreInFileOrderAndFoundByNameAndNumber) {
    const auto table = parameterTable();
    ASSERT_EQ(table.size(), 48U);
    std::set<std::string_view> names;
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].number, static_cast<int>(i + 1));
        EXPECT_FALSE(table[i].isExtension());
        EXPECT_TRUE(names.insert(table[i].name).second) << table[i].name;
        EXPECT_EQ(findParameter(table[i].name), &table[i]);
        EXPECT_EQ(findParameter(static_cast<int>(i + 1)), &table[i]);
    }
    EXPECT_EQ(table[0].name, "preMaskSize");
    EXPECT_EQ(table[26].name, "detectorPosition");
    EXPECT_EQ(table[26].kind, ParameterKind::kTruncatedReal);
    EXPECT_EQ(table[47].name, "keepTemporaryFiles");
    for (const ParameterInfo& info : extensionTable()) {
        EXPECT_TRUE(info.isExtension());
        EXPECT_TRUE(names.insert(info.name).second) << info.name;
        EXPECT_EQ(findParameter(info.name), &info);
    }
    EXPECT_EQ(findParameter("detectorwidth"), nullptr);
    EXPECT_EQ(findParameter(""), nullptr);
    EXPECT_EQ(findParameter(0), nullptr);
    EXPECT_EQ(findParameter(49), nullptr);
}

TEST(ParameterTable, SamplePlaneSettingsAreMarked) {
    std::set<int> marked;
    for (const ParameterInfo& info : parameterTable()) {
        if (info.affectsSamplePlanes) {
            marked.insert(info.number);
        }
    }
    // Dimensions, voxel sizes, value scale, sample file, edge search, smoothing threshold,
    // run mode, spectrum file (a sample energy of 0 takes its mean) and sample energy.
    EXPECT_EQ(marked, (std::set<int>{10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 32, 38, 43}));
    // Of the extension settings, the deflection model, the materials file and the length
    // unit that its thickness planes are measured in, and the scattering volume.
    std::set<std::string_view> extensions;
    for (const ParameterInfo& info : extensionTable()) {
        if (info.affectsSamplePlanes) {
            extensions.insert(info.name);
        }
    }
    EXPECT_EQ(extensions,
              (std::set<std::string_view>{"deflectionModel", "lengthUnitMm", "sampleMaterials",
                                          "sampleRotation", "sampleScatterFile"}));
}

TEST(ParameterTable, EachValueLandsInTheFieldOfItsEntry) {
    // Distinct values per position, so that two entries sharing or swapping a field show.
    std::map<int, std::string> values;
    for (const ParameterInfo& info : parameterTable()) {
        const std::string n = std::to_string(info.number);
        switch (info.kind) {
            case ParameterKind::kText:
                values[info.number] = "text" + n;
                break;
            case ParameterKind::kReal:
                values[info.number] = n + ".5";
                break;
            case ParameterKind::kFlag:
                values[info.number] = info.number % 2 == 0 ? "1" : "0";
                break;
            default:
                values[info.number] = n;
        }
    }
    for (bool invertFlags : {false, true}) {
        if (invertFlags) {
            for (const ParameterInfo& info : parameterTable()) {
                if (info.kind == ParameterKind::kFlag) {
                    values[info.number] = values[info.number] == "1" ? "0" : "1";
                }
            }
        }
        Loaded loaded(fileWith(values));
        ASSERT_TRUE(loaded.p.parameterFileLoaded) << loaded.output;
        for (const ParameterInfo& info : parameterTable()) {
            EXPECT_EQ(fieldText(loaded.p, info), values[info.number]) << info.name;
        }
    }
}

TEST(ParameterTable, ExampleValuesLoadAndValidateAndDefaultsMatchTheRecord) {
    std::map<int, std::string> examples;
    for (const ParameterInfo& info : parameterTable()) {
        examples[info.number] = std::string(info.exampleText);
    }
    Loaded loaded(fileWith(examples));
    ASSERT_TRUE(loaded.p.parameterFileLoaded) << loaded.output;
    EXPECT_EQ(loaded.p.faultCode(), 0);
    for (const ParameterInfo& info : parameterTable()) {
        EXPECT_EQ(fieldText(loaded.p, info), info.exampleText) << info.name;
    }
    const SimulationParameters defaults;
    for (const ParameterInfo& info : parameterTable()) {
        EXPECT_EQ(fieldText(defaults, info), info.defaultText) << info.name;
    }
    for (const ParameterInfo& info : extensionTable()) {
        EXPECT_EQ(fieldText(defaults, info), info.defaultText) << info.name;
    }
}

TEST(ParameterTable, FieldTextOfExtensionSettings) {
    SimulationParameters p;
    p.extensions.focalSpotFwhmX = 0.125;
    p.extensions.focalSpotFwhmY = 1.0 / 3.0;
    p.extensions.photonEnergies = PhotonEnergyMode::kSpectrum;
    p.extensions.detectorBlurSigma = 100.0;
    EXPECT_EQ(fieldText(p, *findParameter("focalSpotFwhmX")), "0.125");
    EXPECT_EQ(fieldText(p, *findParameter("focalSpotFwhmY")), "0.333333");
    EXPECT_EQ(fieldText(p, *findParameter("photonEnergies")), "spectrum");
    EXPECT_EQ(fieldText(p, *findParameter("detectorBlurSigma")), "100");
    const auto words = parameterWords(*findParameter("photonEnergies"));
    ASSERT_EQ(words.size(), 2U);
    EXPECT_EQ(words[0], "mean");
    EXPECT_EQ(words[1], "spectrum");
    EXPECT_TRUE(parameterWords(*findParameter("detectorWidth")).empty());
}

}  // namespace
}  // namespace conesim
