// conesim-recon run in scratch folders on analytic sinograms of a disc (transmission,
// refraction angle and dark field with the units conesim-retrieve writes), its geometry
// file, the truth and comparison of a materials phantom, and its refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <numbers>
#include <string>
#include <vector>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"
#include "ToolRunner.hpp"
#include "recon/VolumeFiles.hpp"

namespace conesim {
namespace {

using testing::runTool;
using testing::ScratchDir;
using testing::ToolResult;

// A 64 x 4 detector of 2.5 x 2.5 pixels at 150, the 48 x 4 x 48 sample of unit voxels
// from 60 (zMid 84, lever arm 66), 0.1 mm length units.
constexpr double kSpacing = 2.5 * 84.0 / 150.0;  // a column at the mid-plane
constexpr double kRadiansPerPixel = 2.5 / 66.0;

std::string parameters() {
    return testing::parameterFileText({{10, "48"},
                                       {11, "4"},
                                       {12, "48"},
                                       {25, "64"},
                                       {26, "4"},
                                       {28, "2.5"},
                                       {29, "2.5"}}) +
           "lengthUnitMm = 0.1\n";
}

std::string header(const std::string& raw, int angles) {
    return "ObjectType = Image\nNDims = 3\nBinaryData = True\nBinaryDataByteOrderMSB = False\n"
           "CompressedData = False\nElementSpacing = 2.5 2.5 1\nDimSize = 64 4 " +
           std::to_string(angles) + "\nElementType = MET_FLOAT\nElementDataFile = " + raw + "\n";
}

// A disc of radius 12 (length units) centred 5 along x from the axis: mu 2 /cm (0.02 per
// length unit) times 1 + rowGain x row, delta 1e-7, EPS 3e-4 rad^2/mm, over 90 angles of 180
// degrees.
void writeScan(const ScratchDir& dir, int angles = 90, double rowGain = 0.0) {
    std::filesystem::create_directories(dir.file("sino"));
    std::vector<float> transmission;
    std::vector<float> refraction;
    std::vector<float> darkfield;
    std::string angleText;
    const auto chord = [](double s) {
        return s * s < 144.0 ? 2.0 * std::sqrt(144.0 - s * s) : 0.0;
    };
    for (int a = 0; a < angles; ++a) {
        const double degrees = 2.0 * a;
        angleText += std::to_string(degrees) + "\n";
        const double centre = 5.0 * std::cos(degrees * std::numbers::pi / 180.0);
        for (int row = 0; row < 4; ++row) {
            for (int c = 0; c < 64; ++c) {
                const double s = (c - 32) * kSpacing - centre;
                transmission.push_back(
                    static_cast<float>(std::exp(-0.02 * (1.0 + rowGain * row) * chord(s))));
                refraction.push_back(static_cast<float>(
                    -1e-7 * (chord(s + kSpacing / 2) - chord(s - kSpacing / 2)) / kSpacing));
                darkfield.push_back(static_cast<float>(3e-4 * chord(s) * 0.1 /
                                                       (kRadiansPerPixel * kRadiansPerPixel)));
            }
        }
    }
    testing::writeText(dir.file("sino/angles.txt"), angleText);
    for (const auto& [name, values] : {std::pair{"transmission", &transmission},
                                       {"refraction-angle", &refraction},
                                       {"darkfield", &darkfield}}) {
        testing::writeValues(dir.file("sino/" + std::string(name) + ".raw"), *values);
        testing::writeText(dir.file("sino/" + std::string(name) + ".raw.mhd"),
                           header(std::string(name) + ".raw", angles));
    }
    testing::writeText(dir.file("p.txt"), parameters());
}

ToolResult recon(const ScratchDir& dir, const std::vector<std::string>& args) {
    return runTool(CONESIM_RECON_TOOL, args, dir.path());
}

double discMean(const tools::FloatVolume& v, std::int64_t y = 2) {
    double sum = 0.0;
    int count = 0;
    for (std::int64_t k = 0; k < v.dimZ; ++k) {
        for (std::int64_t i = 0; i < v.dimX; ++i) {
            if (std::hypot(i - 24.0 - 5.0, k - 24.0) < 9.0) {
                sum += v.values[static_cast<std::size_t>((k * v.dimY + y) * v.dimX + i)];
                ++count;
            }
        }
    }
    return sum / count;
}

TEST(ReconToolTest, AnalyticScanReconstructsInTheUnitsOfTheRun) {
    ScratchDir dir;
    writeScan(dir);
    const ToolResult r = recon(dir, {"sino", "p.txt", "-o", "out", "--threads", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::string error;
    const std::vector<std::pair<const char*, double>> expected = {
        {"mu", 2.0}, {"delta", 1e-7}, {"scatter", 3e-4}};
    for (const auto& [name, value] : expected) {
        tools::FloatVolume v;
        ASSERT_TRUE(
            tools::readFloatVolume(dir.file("out/" + std::string(name) + ".raw.mhd"), v, error))
            << error;
        EXPECT_EQ(v.dimX, 48);
        EXPECT_EQ(v.dimZ, 48);
        EXPECT_NE(testing::readText(dir.file("out/" + std::string(name) + ".raw.mhd"))
                      .find("ElementSpacing = 0.1 0.1 0.1\n"),
                  std::string::npos);
        EXPECT_NEAR(discMean(v), value, value * 0.015) << name;
        EXPECT_TRUE(std::filesystem::exists(dir.file("out/" + std::string(name) + "-xz.png")));
    }
    const auto json = nlohmann::json::parse(testing::readText(dir.file("out/geometry.json")));
    EXPECT_EQ(json["detector"]["columns"], 64);
    EXPECT_NEAR(json["detector"]["column_spacing"].get<double>(), kSpacing * 0.1, 1e-12);
    EXPECT_NEAR(json["detector"]["centre_offset_columns"].get<double>(), -0.5, 1e-12);
    EXPECT_EQ(json["angles_degrees"].size(), 90U);
    EXPECT_NEAR(json["angles_radians"][1].get<double>(), std::numbers::pi / 90.0, 1e-12);
    EXPECT_EQ(json["volume"]["size"], nlohmann::json({48, 4, 48}));
    EXPECT_DOUBLE_EQ(json["angular_coverage_degrees"].get<double>(), 180.0);
}

TEST(ReconToolTest, SlicesTakeTheirRowsThroughTheMagnification) {
    // Rows 1.4 units apart at the mid-plane: slice y (at y - 2) lies on row (y - 2) / 1.4 + 2,
    // where the attenuation, linear in the row, is known exactly. Without darkfield.raw no
    // scatter volume is written.
    ScratchDir dir;
    writeScan(dir, 90, 0.25);
    std::filesystem::remove(dir.file("sino/darkfield.raw.mhd"));
    const ToolResult r = recon(dir, {"sino", "p.txt", "-o", "out", "--filter", "hann"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("no darkfield.raw, so no scatter volume"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/scatter.raw")));
    tools::FloatVolume mu;
    std::string error;
    ASSERT_TRUE(tools::readFloatVolume(dir.file("out/mu.raw.mhd"), mu, error)) << error;
    for (std::int64_t y = 0; y < 4; ++y) {
        const double row = (static_cast<double>(y) - 2.0) / 1.4 + 2.0;
        EXPECT_NEAR(discMean(mu, y), 2.0 * (1.0 + 0.25 * row), 0.02) << y;
    }
    const auto json = nlohmann::json::parse(testing::readText(dir.file("out/geometry.json")));
    EXPECT_NEAR(json["detector"]["row_spacing"].get<double>(), 0.14, 1e-12);
    EXPECT_NEAR(json["detector"]["first_row_position"].get<double>(), -2.0 * 0.14, 1e-12);
}

TEST(ReconToolTest, TruthOfAVolumeOfValuesAndRegionsOfItsDistinctValues) {
    // Values are attenuation per voxel: 0.002 in a unit voxel of 0.1 mm is 0.2 /cm.
    ScratchDir dir;
    std::vector<float> values(48 * 4 * 48, 0.0F);
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = (i % 48) < 24 ? 0.002F : 0.004F;
    }
    testing::writeValues(dir.file("Sample.bin"), values);
    testing::writeText(dir.file("p.txt"), parameters());
    ToolResult r = recon(dir, {"--truth", "p.txt", "-o", "truth"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string error;
    tools::FloatVolume mu;
    tools::FloatVolume delta;
    ASSERT_TRUE(tools::readFloatVolume(dir.file("truth/mu.raw.mhd"), mu, error));
    ASSERT_TRUE(tools::readFloatVolume(dir.file("truth/delta.raw.mhd"), delta, error));
    EXPECT_NEAR(mu.values[0], 0.2, 1e-6);
    EXPECT_NEAR(mu.values[47], 0.4, 1e-6);
    // The refractive index model at 100 keV with sampleValueScale 1000: delta grows with
    // the value.
    EXPECT_GT(delta.values[47], delta.values[0]);
    EXPECT_GT(delta.values[0], 0.0F);
    EXPECT_NE(
        testing::readText(dir.file("truth/mu.raw.mhd")).find("ElementSpacing = 0.1 0.1 0.1\n"),
        std::string::npos);
    // A copy of the truth with one half 10 % high: the two regions of distinct values.
    std::filesystem::copy(dir.file("truth"), dir.file("high"));
    for (std::size_t i = 0; i < mu.values.size(); ++i) {
        mu.values[i] *= (i % 48) < 24 ? 1.1F : 1.0F;
    }
    testing::writeValues(dir.file("high/mu.raw"), mu.values);
    r = recon(dir, {"--compare", "high", "truth", "--margin", "1", "--max-error", "0.05"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Regions (the truth's distinct values)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("region 0 (2024 voxels): mu 0.22 (true 0.2, 10.00 %)"), std::string::npos)
        << r.out;
    EXPECT_EQ(
        r.err,
        "conesim-recon: the largest relative error of a region's mean 10.00 % is above 5 %\n");
}

TEST(ReconToolTest, TruthAndComparisonOfAMaterialsPhantom) {
    ScratchDir dir;
    // A water rod of radius 6 at x offset 5: its reconstruction against its truth.
    std::vector<float> labels(48 * 4 * 48, 0.0F);
    for (int k = 0; k < 48; ++k) {
        for (int y = 0; y < 4; ++y) {
            for (int i = 0; i < 48; ++i) {
                labels[(k * 4 + y) * 48 + i] = std::hypot(i - 29.0, k - 24.0) < 6.0 ? 1.0F : 0.0F;
            }
        }
    }
    testing::writeValues(dir.file("Sample.bin"), labels);
    testing::writeText(dir.file("materials.txt"), "1 1.0 H2O scatter=0.001\n");
    testing::writeText(dir.file("p.txt"), parameters() + "sampleMaterials = materials.txt\n");
    ToolResult r = recon(dir, {"--truth", "p.txt", "-o", "truth"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string error;
    tools::FloatVolume mu;
    ASSERT_TRUE(tools::readFloatVolume(dir.file("truth/mu.raw.mhd"), mu, error));
    // Water at 100 keV: 0.1707 cm^2/g in NIST's XCOM tables (with coherent scattering).
    const float water = mu.values[(24 * 4 + 2) * 48 + 29];
    EXPECT_NEAR(water, 0.1707, 0.001);
    // Turned by 90 degrees the rod moves from x offset 5 to z offset 5.
    r = recon(dir, {"--truth", "p.txt", "-o", "turned", "--rotation", "90"});
    ASSERT_TRUE(tools::readFloatVolume(dir.file("turned/mu.raw.mhd"), mu, error));
    EXPECT_EQ(mu.values[(29 * 4 + 2) * 48 + 24], water);
    EXPECT_EQ(mu.values[(24 * 4 + 2) * 48 + 29], 0.0F);
    // The truth against itself: correlation 1, every region exact.
    r = recon(dir, {"--compare", "truth", "truth", "--labels", "p.txt", "--min-correlation",
                    "0.999", "--max-error", "0"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("mu: Pearson correlation 1.0000, slope 1.0000"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("region 1 ("), std::string::npos) << r.out;
    // Against the turned truth the bounds are missed.
    r = recon(dir, {"--compare", "turned", "truth", "--min-correlation", "0.9"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("conesim-recon: the lowest correlation"), std::string::npos) << r.err;
}

TEST(ReconToolTest, WarningsForPartialCoverageValuesThatAreNoNumbersAndShortData) {
    ScratchDir dir;
    writeScan(dir, 45);  // 0 to 88 degrees
    std::vector<float> transmission(64 * 4 * 45, 1.0F);
    transmission[3] = std::nanf("");
    transmission[4] = 0.0F;
    testing::writeValues(dir.file("sino/transmission.raw"), transmission);
    ToolResult r = recon(dir, {"sino", "p.txt", "-o", "out"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "conesim-recon: warning: the angles cover 90 degrees, neither 180 nor 360; the "
              "reconstruction is approximate\n"
              "conesim-recon: warning: 1 sinogram values were not numbers (taken as 0) and 1 "
              "transmissions below 1e-6 (taken as 1e-6)\n");
    transmission.pop_back();
    testing::writeValues(dir.file("sino/transmission.raw"), transmission);
    r = recon(dir, {"sino", "p.txt", "-o", "out2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "conesim-recon: sino/transmission.raw holds 11519 floats; "
              "sino/transmission.raw.mhd describes 11520\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("out2")));
}

TEST(ReconToolTest, RefusalsNameTheFileAndEndWithTheirStatus) {
    ScratchDir dir;
    writeScan(dir, 90);
    testing::writeText(dir.file("sino/angles.txt"), "0\n2\n");
    ToolResult r = recon(dir, {"sino", "p.txt", "-o", "out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "conesim-recon: sino/transmission.raw.mhd describes 64 x 4 x 90; the "
              "detector and angles.txt give 64 x 4 x 2\n");
    testing::writeText(dir.file("sino/angles.txt"), "0\nten\n");
    r = recon(dir, {"sino", "p.txt", "-o", "out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "conesim-recon: sino/angles.txt, line 2: 'ten' is not an angle in degrees\n");
    std::filesystem::remove(dir.file("sino/angles.txt"));
    r = recon(dir, {"sino", "p.txt", "-o", "out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("conesim-recon: cannot read the angles sino/angles.txt", 0), 0U) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
    // A truth that would overwrite its own sample.
    std::filesystem::create_directories(dir.file("t"));
    testing::writeValues(dir.file("t/mu.raw"), std::vector<float>(48 * 4 * 48, 0.0F));
    testing::writeText(
        dir.file("q.txt"),
        testing::parameterFileText({{10, "48"}, {11, "4"}, {12, "48"}, {17, "t/mu.raw"}}));
    r = recon(dir, {"--truth", "q.txt", "-o", "t"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "conesim-recon: refusing to write t/mu.raw: it is also an input\n");
    testing::expectUsageErrors(CONESIM_RECON_TOOL, "conesim-recon",
                               {{"sino", "p.txt"},
                                {"sino", "-o", "out"},
                                {"sino", "p.txt", "-o", "out", "--filter", "shepp"},
                                {"--truth", "p.txt", "-o", "t", "--filter", "hann"},
                                {"--compare", "a", "b", "--max-error", "-1"},
                                {"--truth", "--compare", "p.txt"},
                                {"sino", "p.txt", "-o", "out", "--threads", "0"}},
                               dir.path());
    testing::expectHelp(CONESIM_RECON_TOOL, "Usage: conesim-recon SINO_DIR PARAMS -o OUT");
}

}  // namespace
}  // namespace conesim
