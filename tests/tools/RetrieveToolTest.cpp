// conesim-retrieve run in scratch folders: retrieval from sweep folders written here with
// known Gaussian curves, the truth mapping of known planes, and the comparison figures.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"
#include "ToolRunner.hpp"
#include "common/PngIo.hpp"
#include "precalc/PlaneRecord.hpp"
#include "sweep/SweepFiles.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::runTool;
using testing::ScratchDir;
using testing::ToolResult;
using Floats = std::vector<float>;

ToolResult retrieve(const ScratchDir& dir, const std::vector<std::string>& args) {
    return runTool(CONESIM_RETRIEVE_TOOL, args, dir.path());
}

std::string metaHeader(const std::string& raw, const std::string& spacing,
                       const std::string& size) {
    return "ObjectType = Image\nNDims = 2\nBinaryData = True\nBinaryDataByteOrderMSB = False\n"
           "CompressedData = False\nElementSpacing = " +
           spacing + "\nDimSize = " + size + "\nElementType = MET_FLOAT\nElementDataFile = " + raw +
           "\n";
}

struct Curve {
    double integral;
    double centre;
    double variance;
};

// The counts of Gaussian curves at one position, appended to a stack.
void appendCounts(std::vector<std::uint32_t>& stack, double position,
                  const std::vector<Curve>& pixels) {
    for (const Curve& c : pixels) {
        const double d = position - c.centre;
        stack.push_back(static_cast<std::uint32_t>(
            std::lround(c.integral / std::sqrt(2.0 * std::numbers::pi * c.variance) *
                        std::exp(-d * d / (2.0 * c.variance)))));
    }
}

// A sweep folder as conesim-sweep leaves it: a 4 x 3 detector of 0.5 x 0.25 pixels at 150,
// sample mid-plane at 62 (lever arm 88), one Gaussian curve per pixel over the positions.
// Large integrals keep the rounding of the counts far below single precision.
void writeSweep(const fs::path& folder, const std::string& setting,
                const std::vector<double>& positions, const std::vector<Curve>& pixels,
                const std::vector<int>& statuses = {}) {
    fs::create_directories(folder);
    testing::writeText(
        (folder / "params.txt").string(),
        testing::parameterFileText({{25, "4"}, {26, "3"}, {28, "0.5"}, {29, "0.25"}}));
    tools::SweepTable table;
    table.settings = {setting};
    std::vector<std::uint32_t> stack;
    for (std::size_t k = 0; k < positions.size(); ++k) {
        char value[32];
        std::snprintf(value, sizeof value, "%.12g", positions[k]);
        const int status = k < statuses.size() ? statuses[k] : 0;
        table.rows.push_back({{value}, "run-00" + std::to_string(k), status, 1, 0.5});
        if (status != 0) {
            break;  // a failed run ends the sweep
        }
        appendCounts(stack, positions[k], pixels);
    }
    testing::writeText((folder / "sweep.csv").string(), tools::sweepTableText(table));
    testing::writeValues((folder / "stack.raw").string(), stack);
}

// A sample sweep over an outer axis of rotation angles: the positions at each angle, one
// set of pixel curves per angle, and its 4-D stack header.
void writeAngleSweep(const fs::path& folder, const std::vector<double>& positions,
                     const std::vector<std::string>& angles,
                     const std::vector<std::vector<Curve>>& pixels) {
    writeSweep(folder, "detectorLrOffset", {}, {});
    tools::SweepTable table;
    table.settings = {"detectorLrOffset", "sampleRotation"};
    std::vector<std::uint32_t> stack;
    for (std::size_t j = 0; j < angles.size(); ++j) {
        for (const double position : positions) {
            char value[32];
            std::snprintf(value, sizeof value, "%.12g", position);
            table.rows.push_back({{value, angles[j]}, "run", 0, 1, 0.5});
            appendCounts(stack, position, pixels[j]);
        }
    }
    testing::writeText((folder / "sweep.csv").string(), tools::sweepTableText(table));
    testing::writeValues((folder / "stack.raw").string(), stack);
    testing::writeText((folder / "stack.raw.mhd").string(),
                       "NDims = 4\nDimSize = 4 3 " + std::to_string(positions.size()) + " " +
                           std::to_string(angles.size()) +
                           "\nElementType = MET_UINT\nBinaryDataByteOrderMSB = False\n"
                           "ElementDataFile = stack.raw\n");
}

const std::vector<double> kPositions = {0.0, 0.0625, 0.125, 0.1875, 0.25, 0.3125, 0.375};
constexpr double kBig = 1e8;  // integral: peak counts near 6e8
const Curve kFlat{kBig, 0.1875, 0.004};

// Flat field the same everywhere except pixel 3, which the flat field never lit.
std::vector<Curve> flatPixels() {
    std::vector<Curve> pixels(12, kFlat);
    pixels[3] = {0.0, 0.1875, 0.004};
    return pixels;
}

// Pixel 0: 80 % transmission, +0.02 pixels, variance +0.001; pixel 1: 50 %, -0.03; pixel 2
// lost every photon; the rest as the flat field.
std::vector<Curve> samplePixels() {
    std::vector<Curve> pixels(12, kFlat);
    pixels[0] = {0.8 * kBig, 0.2075, 0.005};
    pixels[1] = {0.5 * kBig, 0.1575, 0.004};
    pixels[2] = {0.0, 0.1875, 0.004};
    return pixels;
}

Floats readFloats(const ScratchDir& dir, const std::string& name) {
    return testing::readValues<float>(dir.file(name));
}

void expectNear(float value, double expected, double relative, const std::string& what) {
    EXPECT_NEAR(value, expected, std::max(1e-9, std::fabs(expected) * relative)) << what;
}

TEST(RetrieveToolTest, KnownCurvesComeBackAsFloatImagesWithHeadersAndPngs) {
    ScratchDir dir;
    writeSweep(dir.path() / "flat", "detectorLrOffset", kPositions, flatPixels());
    writeSweep(dir.path() / "sample", "detectorLrOffset", kPositions, samplePixels());
    const ToolResult result = retrieve(dir, {"flat", "sample", "-o", "out", "--model", "gaussian"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "Flat field flat: 7 images, detectorLrOffset from 0 to 0.375.\n"
              "Sample sample: 7 images, detectorLrOffset from 0 to 0.375.\n"
              "Positions in detector pixels along the columns (the analyser moves); refraction "
              "angle = shift x 0.5 / 88.\n"
              "Retrieved 10 of 12 pixels; 2 NaN (flat field: 1 too few counts, 0 flat curve, 0 "
              "no convergence, 0 centre outside; sample: 1 too few counts, 0 flat curve, 0 no "
              "convergence, 0 centre outside).\n"
              "Wrote out/transmission, out/refraction, out/refraction-angle, out/darkfield (.raw, "
              ".raw.mhd and .png each).\n");
    const char* const names[] = {"transmission", "refraction", "refraction-angle", "darkfield"};
    for (const char* name : names) {
        const std::string raw = std::string(name) + ".raw";
        EXPECT_EQ(testing::readBytes(dir.file("out/" + raw)).size(), 12U * 4U) << name;
        EXPECT_EQ(readText(dir.file("out/" + raw + ".mhd")), metaHeader(raw, "0.5 0.25", "4 3"));
        tools::GreyImage png;
        std::string error;
        ASSERT_TRUE(tools::readGreyPng(dir.file("out/" + std::string(name) + ".png"), png, error))
            << error;
        EXPECT_EQ(png.width, 4U);
        EXPECT_EQ(png.height, 3U);
    }
    const Floats t = readFloats(dir, "out/transmission.raw");
    const Floats r = readFloats(dir, "out/refraction.raw");
    const Floats a = readFloats(dir, "out/refraction-angle.raw");
    const Floats d = readFloats(dir, "out/darkfield.raw");
    expectNear(t[0], 0.8, 1e-6, "t0");
    expectNear(r[0], 0.02, 1e-5, "r0");
    expectNear(a[0], 0.02 * 0.5 / 88.0, 1e-5, "a0");
    expectNear(d[0], 0.001, 1e-4, "d0");
    expectNear(t[1], 0.5, 1e-6, "t1");
    expectNear(r[1], -0.03, 1e-5, "r1");
    EXPECT_NEAR(d[1], 0.0, 1e-9);
    for (std::size_t i : {2U, 3U}) {
        EXPECT_TRUE(std::isnan(t[i]) && std::isnan(r[i]) && std::isnan(a[i]) && std::isnan(d[i]))
            << i;
    }
    for (std::size_t i = 4; i < 12; ++i) {
        expectNear(t[i], 1.0, 1e-6, "t");
        EXPECT_NEAR(r[i], 0.0, 1e-7) << i;
    }
}

TEST(RetrieveToolTest, BeamletSweepsCountBackwardsAndUpDownSweepsUseTheRows) {
    ScratchDir dir;
    writeSweep(dir.path() / "flat", "apertureLrOffset", kPositions, flatPixels());
    writeSweep(dir.path() / "sample", "apertureLrOffset", kPositions, samplePixels());
    ToolResult result = retrieve(dir, {"flat", "sample", "-o", "beamlets", "--model", "gaussian"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("along the columns (the beamlets move: reversed)"),
              std::string::npos);
    expectNear(readFloats(dir, "beamlets/refraction.raw")[0], -0.02, 1e-5, "reversed");

    writeSweep(dir.path() / "flat-ud", "detectorUdOffset", kPositions, flatPixels());
    writeSweep(dir.path() / "sample-ud", "detectorUdOffset", kPositions, samplePixels());
    result = retrieve(dir, {"flat-ud", "sample-ud", "-o", "rows", "--model", "gaussian"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("along the rows (the analyser moves); refraction angle = shift x "
                              "0.25 / 88."),
              std::string::npos)
        << result.out;
    expectNear(readFloats(dir, "rows/refraction-angle.raw")[0], 0.02 * 0.25 / 88.0, 1e-5, "ud");
}

TEST(RetrieveToolTest, TwoSamplePositionsGiveNoDarkField) {
    ScratchDir dir;
    writeSweep(dir.path() / "flat", "detectorLrOffset", kPositions, flatPixels());
    std::vector<Curve> pixels(12, Curve{0.75 * kBig, 0.17, 0.004});
    writeSweep(dir.path() / "sample", "detectorLrOffset", {0.125, 0.25}, pixels);
    const ToolResult result = retrieve(dir, {"flat", "sample", "-o", "out"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Two sample positions: two-image retrieval, no dark field.\n"),
              std::string::npos);
    EXPECT_NE(result.out.find("Wrote out/transmission, out/refraction, out/refraction-angle "
                              "(.raw, .raw.mhd and .png each).\n"),
              std::string::npos)
        << result.out;
    EXPECT_FALSE(fs::exists(dir.path() / "out/darkfield.raw"));
    expectNear(readFloats(dir, "out/transmission.raw")[0], 0.75, 1e-6, "t");
    expectNear(readFloats(dir, "out/refraction.raw")[0], -0.0175, 1e-5, "r");
    EXPECT_TRUE(std::isnan(readFloats(dir, "out/transmission.raw")[3]));
}

// Two angles against one flat field give 4 x 3 x 2 sinograms. Pixels not retrieved are filled
// along their row: between retrieved neighbours linearly, beyond the last one with it, and a
// row with none as no sample.
TEST(RetrieveToolTest, AnAngleAxisGivesSinogramsWithTheGapsFilledAlongTheRows) {
    ScratchDir dir;
    writeSweep(dir.path() / "flat", "detectorLrOffset", kPositions, flatPixels());
    const Curve lost{0.0, 0.1875, 0.004};
    // Angle 0: pixel 2 lost every photon (3 is unlit in the flat field), pixel 5 between
    // pixels 4 and 6 too.
    std::vector<Curve> first = samplePixels();
    first[4] = {0.5 * kBig, 0.2075, 0.004};
    first[5] = lost;
    first[6] = {0.8 * kBig, 0.1475, 0.004};
    // Angle 90: pixel 0 and the whole last row lost.
    std::vector<Curve> second(12, kFlat);
    second[0] = lost;
    second[1] = {0.6 * kBig, 0.1875, 0.004};
    second[2] = {0.9 * kBig, 0.1975, 0.004};
    std::fill(second.begin() + 8, second.end(), lost);
    writeAngleSweep(dir.path() / "sample", kPositions, {"0", "90"}, {first, second});
    const ToolResult result = retrieve(dir, {"flat", "sample", "-o", "out", "--model", "gaussian"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "Flat field flat: 7 images, detectorLrOffset from 0 to 0.375.\n"
              "Sample sample: 2 values of sampleRotation (0 to 90) of 7 images each, "
              "detectorLrOffset from 0 to 0.375.\n"
              "Positions in detector pixels along the columns (the analyser moves); refraction "
              "angle = shift x 0.5 / 88.\n"
              "Retrieved 15 of 24 pixels (2 angles); 9 NaN (flat field: 2 too few counts, 0 flat "
              "curve, 0 no convergence, 0 centre outside; sample: 7 too few counts, 0 flat curve, "
              "0 no convergence, 0 centre outside).\n"
              "Filled 9 pixels that could not be retrieved from their neighbours along the row.\n"
              "Wrote out/transmission, out/refraction, out/refraction-angle, out/darkfield (4 x 3 "
              "x 2 sinograms: .raw and .raw.mhd, and .png of row 1 over the angles) and "
              "out/angles.txt.\n");
    EXPECT_EQ(readText(dir.file("out/angles.txt")), "0\n90\n");
    for (const char* name : {"transmission", "refraction", "refraction-angle", "darkfield"}) {
        const std::string raw = std::string(name) + ".raw";
        EXPECT_EQ(readText(dir.file("out/" + raw + ".mhd")),
                  "ObjectType = Image\nNDims = 3\nBinaryData = True\nBinaryDataByteOrderMSB = "
                  "False\nCompressedData = False\nElementSpacing = 0.5 0.25 1\nDimSize = 4 3 "
                  "2\nElementType = MET_FLOAT\nElementDataFile = " +
                      raw + "\n");
    }
    // The PNG: row 1 over the angles, 0.5, 0.65, 0.8, 1 at angle 0 and all 1 at angle 90.
    tools::GreyImage png;
    std::string error;
    ASSERT_TRUE(tools::readGreyPng(dir.file("out/transmission.png"), png, error));
    png.pixels[1] = 0;
    EXPECT_EQ(png.pixels, (std::vector<std::uint8_t>{0, 0, 153, 255, 255, 255, 255, 255}));
    const Floats t = readFloats(dir, "out/transmission.raw");
    const Floats r = readFloats(dir, "out/refraction.raw");
    ASSERT_EQ(t.size() + r.size(), 48U);
    const double expectedT[24] = {0.8, 0.5, 0.5, 0.5, 0.5, 0.65, 0.8, 1, 1, 1, 1, 1,
                                  0.6, 0.6, 0.9, 0.9, 1,   1,    1,   1, 1, 1, 1, 1};
    const double expectedR[24] = {0.02, -0.03, -0.03, -0.03, 0.02, -0.01, -0.04, 0, 0, 0, 0, 0,
                                  0,    0,     0.01,  0.01,  0,    0,     0,     0, 0, 0, 0, 0};
    for (std::size_t i = 0; i < 24; ++i) {
        expectNear(t[i], expectedT[i], 1e-5, "t" + std::to_string(i));
        EXPECT_NEAR(r[i], expectedR[i], 1e-5) << i;
    }

    // Without its 4-D header (a scan stopped part-way) the angles are not mixed into one curve.
    fs::remove(dir.path() / "sample/stack.raw.mhd");
    EXPECT_EQ(retrieve(dir, {"flat", "sample", "-o", "out"}).err,
              "conesim-retrieve: sample: detectorLrOffset repeats its values over those of "
              "sampleRotation: a sweep over an outer axis that stopped part of the way through "
              "one of its values (its stack header is not 4-D); sweep it again to the end\n");
    // The flat field is one sweep over the positions, never one over angles.
    writeAngleSweep(dir.path() / "flat", kPositions, {"0"}, {flatPixels()});
    const ToolResult refused = retrieve(dir, {"flat", "sample", "-o", "out"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              "conesim-retrieve: flat is swept over an outer axis (sampleRotation); the flat field "
              "is one sweep over the positions alone\n");
}

TEST(RetrieveToolTest, FailedRunsAreLeftOutAndUnusableFoldersRefused) {
    ScratchDir dir;
    writeSweep(dir.path() / "flat", "detectorLrOffset", kPositions, flatPixels());
    // The sample sweep's fifth run failed: its four finished runs are used.
    writeSweep(dir.path() / "sample", "detectorLrOffset", kPositions, samplePixels(),
               {0, 0, 0, 0, 32});
    ToolResult result = retrieve(dir, {"flat", "sample", "-o", "out"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err,
              "conesim-retrieve: warning: sample: run run-004 ended with status 32; the 4 "
              "finished runs are used\n");
    EXPECT_NE(result.out.find("Sample sample: 4 images, detectorLrOffset from 0 to 0.1875.\n"),
              std::string::npos);

    const auto refused = [&](const std::vector<std::string>& args) {
        const ToolResult r = retrieve(dir, args);
        EXPECT_EQ(r.status, 1) << r.err;
        return r.err;
    };
    writeSweep(dir.path() / "energy", "sampleEnergy", kPositions, samplePixels());
    EXPECT_EQ(refused({"flat", "energy", "-o", "x", "--position", "sampleEnergy"}),
              "conesim-retrieve: the swept setting sampleEnergy moves neither the analyser nor "
              "the beamlets, so its values are no positions on the detector; sweep one of "
              "apertureLrOffset, apertureUdOffset, detectorLrOffset, detectorUdOffset, "
              "preMaskShiftX, preMaskShiftY\n");
    EXPECT_EQ(refused({"flat", "energy", "-o", "x"}),
              "conesim-retrieve: energy did not sweep detectorLrOffset (it swept sampleEnergy)\n");
    EXPECT_EQ(refused({"flat", "missing", "-o", "x"}),
              "conesim-retrieve: cannot open missing/sweep.csv: no such file\n");
    testing::writeValues(dir.file("energy/stack.raw"), std::vector<std::uint32_t>(12 * 6));
    EXPECT_EQ(refused({"flat", "energy", "-o", "x", "--position", "sampleEnergy"}),
              "conesim-retrieve: energy/stack.raw holds 72 counts; 7 finished runs of 4 x 3 "
              "pixels make 84\n");
    EXPECT_FALSE(fs::exists(dir.path() / "x"));
}

// --truth inside.txt fails with status 1 and the message, writing nothing.
void expectTruthRefused(const ScratchDir& dir, const std::string& message) {
    const ToolResult result = retrieve(dir, {"--truth", "inside.txt", "-o", "refused"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, message);
    EXPECT_FALSE(fs::exists(dir.path() / "refused"));
}

TEST(RetrieveToolTest, TruthIsThePlanesOnTheDetectorGrid) {
    // Sample 20 x 20 voxels of 1 with its mid-plane at 75, detector at 150: the rays reach
    // the plane at half the detector coordinates, so a 24 x 24 detector of unit pixels
    // lies inside the plane's interior (voxel coordinates 4 to 15.5).
    ScratchDir dir;
    const auto parameters = [](const std::string& width) {
        return testing::parameterFileText({{9, "73"}, {25, width}, {26, width}, {27, "150"}});
    };
    testing::writeText(dir.file("inside.txt"), parameters("24"));
    testing::writeText(dir.file("wide.txt"), parameters("48"));
    testing::writeValues(dir.file("Z_ref-PRE.pca"), std::vector<double>(400, 0.3));
    testing::writeValues(dir.file("Z_iLR-PRE.pca"), std::vector<double>(400, 1e-4));
    testing::writeValues(dir.file("Z_iUD-PRE.pca"), std::vector<double>(400, -2e-4));
    ToolResult result = retrieve(dir, {"--truth", "inside.txt", "-o", "truth"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "Truth of inside.txt from Z_ref-PRE.pca and Z_iLR-PRE.pca, rays to pixel fraction "
              "(0, 0) of each of the 24 x 24 pixels: 576 inside the sample.\n"
              "No scattering plane: the true dark field is 0.\n"
              "Wrote truth/true-transmission, truth/true-refraction, truth/true-refraction-angle, "
              "truth/true-darkfield (.raw, .raw.mhd and .png each).\n");
    EXPECT_EQ(readFloats(dir, "truth/true-darkfield.raw"), Floats(576, 0.0F));
    EXPECT_EQ(readText(dir.file("truth/true-refraction.raw.mhd")),
              metaHeader("true-refraction.raw", "1 1", "24 24"));
    // Uniform planes: exp(-N) and the deflection times the lever arm 75, everywhere.
    const auto deflection = static_cast<double>(1e-4F);
    EXPECT_EQ(readFloats(dir, "truth/true-transmission.raw"),
              Floats(576, static_cast<float>(std::exp(-0.3))));
    EXPECT_EQ(readFloats(dir, "truth/true-refraction.raw"),
              Floats(576, static_cast<float>(deflection * 75.0)));
    EXPECT_EQ(readFloats(dir, "truth/true-refraction-angle.raw"), Floats(576, 1e-4F));

    // A scattering plane of 2e-6 radians^2: the dark field is 2e-6 x 75^2 pixels^2.
    testing::writeValues(dir.file("Z_scatter-PRE.pca"), std::vector<double>(400, 2e-6));
    result = retrieve(dir, {"--truth", "inside.txt", "-o", "scatter"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("\nDark field from Z_scatter-PRE.pca.\n"), std::string::npos)
        << result.out;
    for (const float value : readFloats(dir, "scatter/true-darkfield.raw")) {
        ASSERT_FLOAT_EQ(value, static_cast<float>(2e-6 * 75.0 * 75.0));
    }
    EXPECT_EQ(readText(dir.file("scatter/true-darkfield.raw.mhd")),
              metaHeader("true-darkfield.raw", "1 1", "24 24"));
    testing::writeValues(dir.file("Z_scatter-PRE.pca"), std::vector<double>(10, 2e-6));
    expectTruthRefused(dir,
                       "conesim-retrieve: Z_ref-PRE.pca, Z_iLR-PRE.pca: the scattering plane "
                       "holds 10 values; the sample plane has 20 x 20\n");
    fs::remove(dir.path() / "Z_scatter-PRE.pca");

    result = retrieve(dir, {"--truth", "inside.txt", "-o", "ud", "--ud", "--at", "0.25,0.5"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Z_iUD-PRE.pca, rays to pixel fraction (0.25, 0.5)"),
              std::string::npos);
    // Between grid lines the interpolation weights add up to 1 only to rounding.
    for (const float value : readFloats(dir, "ud/true-refraction.raw")) {
        ASSERT_FLOAT_EQ(value, -0.015F);
    }

    // A 48 x 48 detector, rays to the pixels' corners: voxel coordinates 0.5 c - 1.75, so the
    // plane's shadow covers columns and rows 4 to 43; beyond it nothing is attenuated or
    // deflected.
    result = retrieve(dir, {"--truth", "wide.txt", "-o", "wide", "--at", "0.5,0.5"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("48 x 48 pixels: 1600 inside the sample."), std::string::npos)
        << result.out;
    const Floats t = readFloats(dir, "wide/true-transmission.raw");
    const Floats r = readFloats(dir, "wide/true-refraction.raw");
    for (int row = 0; row < 48; ++row) {
        for (int column = 0; column < 48; ++column) {
            const std::size_t i = static_cast<std::size_t>(row * 48 + column);
            const bool inside = row >= 4 && row <= 43 && column >= 4 && column <= 43;
            EXPECT_EQ(t[i] < 1.0F, inside) << column << ", " << row;
            if (!inside) {
                EXPECT_EQ(r[i], 0.0F) << column << ", " << row;
            }
        }
    }

    testing::writeValues(dir.file("Z_iLR-PRE.pca"), std::vector<double>(399, 1e-4));
    expectTruthRefused(dir,
                       "conesim-retrieve: Z_ref-PRE.pca, Z_iLR-PRE.pca: the planes hold 400 and "
                       "399 values; the sample plane has 20 x 20\n");
    fs::remove(dir.path() / "Z_ref-PRE.pca");
    result = retrieve(dir, {"--truth", "inside.txt", "-o", "short"});
    EXPECT_EQ(result.err,
              "conesim-retrieve: cannot open Z_ref-PRE.pca: no such file (the planes of a run "
              "in modes 3 or 4 are read from its planeFolder, the working directory unless it "
              "sets one, or from --planes DIR)\n");
}

TEST(RetrieveToolTest, TruthReadsThePlaneFolderAndRefusesPlanesOfOtherSettings) {
    ScratchDir dir;
    fs::create_directories(dir.path() / "made");
    const std::string parameters = testing::parameterFileText({{9, "73"}, {25, "24"}, {26, "24"}});
    testing::writeText(dir.file("interface.txt"), parameters);
    testing::writeText(dir.file("phase.txt"),
                       parameters + "deflectionModel = phase\nplaneFolder = made\n");
    testing::writeValues(dir.file("Sample.bin"), std::vector<float>(20 * 20 * 4, 0.0F));
    for (const char* plane : {"made/Z_ref-PRE.pca", "made/Z_iLR-PRE.pca", "made/Z_iUD-PRE.pca"}) {
        testing::writeValues(dir.file(plane), std::vector<double>(400, 0.1));
    }
    {
        testing::WorkingDirectory cwd(dir.path());
        ASSERT_TRUE(
            writePlaneRecord("made/Z-PRE.pca.record",
                             makePlaneRecord(DeflectionModel::kPhase, 100.0F, "Sample.bin")));
    }
    // The planes of the file's planeFolder, whose record it matches.
    ToolResult result = retrieve(dir, {"--truth", "phase.txt", "-o", "truth"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.rfind("Truth of phase.txt from made/Z_ref-PRE.pca and "
                               "made/Z_iLR-PRE.pca, rays",
                               0),
              0U)
        << result.out;
    // A file of the interface model pointed at them with --planes is refused.
    result = retrieve(dir, {"--truth", "interface.txt", "-o", "other", "--planes", "made"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "conesim-retrieve: the planes (made/Z-PRE.pca.record) were made with "
              "deflectionModel = phase, but interface.txt has deflectionModel = interface\n");
    EXPECT_FALSE(fs::exists(dir.path() / "other"));
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Five pixels in r/ and t/: the transmissions given, true transmission 1 (outside the
// sample), 0.5, 0.8, 0.9, 0.6, true refraction 0 to 4 and retrieved 9, 3, 5, 7, NaN.
void writeComparedImages(const ScratchDir& dir, const Floats& transmission) {
    fs::create_directories(dir.path() / "r");
    fs::create_directories(dir.path() / "t");
    testing::writeValues(dir.file("r/transmission.raw"), transmission);
    testing::writeValues(dir.file("r/refraction.raw"), Floats{9.0F, 3.0F, 5.0F, 7.0F, kNaN});
    testing::writeValues(dir.file("t/true-transmission.raw"), Floats{1.0F, 0.5F, 0.8F, 0.9F, 0.6F});
    testing::writeValues(dir.file("t/true-refraction.raw"), Floats{0.0F, 1.0F, 2.0F, 3.0F, 4.0F});
}

TEST(RetrieveToolTest, ComparisonFiguresOverTheRetrievedPixelsInsideTheSample) {
    ScratchDir dir;
    // Pixel 0 lies outside the sample, pixel 4 was not retrieved; over pixels 1 to 3 the
    // retrieved refraction is 2 x true + 1 (r = 1) and the transmission errs by 10 %, 0 and
    // 10 %.
    writeComparedImages(dir, Floats{1.0F, 0.55F, 0.8F, 0.81F, kNaN});
    testing::writeText(dir.file("t/true-transmission.raw.mhd"),
                       metaHeader("true-transmission.raw", "1 1", "5 1"));
    const std::string figures =
        "Inside the sample: 4 pixels (true transmission below 1), 1 of them not retrieved "
        "(NaN).\n"
        "Refraction: Pearson correlation 1.0000 between retrieved and true, over 3 pixels.\n"
        "Refraction: retrieved = 2.0000 x true + 1 pixels (least squares), RMS difference "
        "3.109 pixels.\n"
        "Transmission: median relative error 10.00 %.\n";
    ToolResult result = retrieve(dir, {"--compare", "r", "t", "--min-correlation", "0.9"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, figures);
    result = retrieve(dir, {"--compare", "r", "t", "--max-error", "0.05", "-o", "c"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, figures +
                              "Wrote c/transmission-compared.png, c/refraction-compared.png "
                              "(retrieved left, true right, on the true image's grey scale).\n");
    EXPECT_EQ(result.err,
              "conesim-retrieve: the transmission's median relative error 10.00 % is above 5 %\n");
    tools::GreyImage png;
    std::string error;
    ASSERT_TRUE(tools::readGreyPng(dir.file("c/refraction-compared.png"), png, error)) << error;
    EXPECT_EQ(png.width, 12U);  // 5 + a 2-pixel gap + 5
    EXPECT_EQ(png.height, 1U);
    // True refraction 0..4 on a symmetric scale: 0 is mid-grey; the gap is white.
    EXPECT_EQ(png.pixels[5], 255);
    EXPECT_EQ(png.pixels[6], 255);
    EXPECT_EQ(png.pixels[7], 128);
    EXPECT_EQ(png.pixels[11], 255);
    EXPECT_EQ(png.pixels[4], 0);  // NaN is black

    testing::writeValues(dir.file("r/refraction.raw"), Floats{9.0F, 3.0F});
    result = retrieve(dir, {"--compare", "r", "t", "--min-correlation", "0.9"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "conesim-retrieve: the retrieved and true images differ in size (5, 2, 5 and 5 "
              "pixels)\n");
}

TEST(RetrieveToolTest, ComparisonGivesTheLineRmsAndCountOfRefractionAndDarkField) {
    ScratchDir dir;
    // Over pixels 1 to 3 (pixel 0 outside the sample, pixel 4 not retrieved): refraction
    // 2 x true + 1 (differences 2, 3, 4: RMS sqrt(29 / 3)), dark field 2 x true + 0.1
    // (differences 0.2, 0.3, 0.4: RMS sqrt(0.29 / 3)).
    writeComparedImages(dir, Floats{1.0F, 0.5F, 0.8F, 0.9F, kNaN});
    testing::writeValues(dir.file("r/darkfield.raw"), Floats{9.0F, 0.3F, 0.5F, 0.7F, kNaN});
    testing::writeValues(dir.file("t/true-darkfield.raw"), Floats{0.0F, 0.1F, 0.2F, 0.3F, 0.4F});
    ToolResult result =
        retrieve(dir, {"--compare", "r", "t", "--min-slope", "1.99", "--max-slope", "2.01"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "Inside the sample: 4 pixels (true transmission below 1), 1 of them not retrieved "
              "(NaN).\n"
              "Refraction: Pearson correlation 1.0000 between retrieved and true, over 3 pixels.\n"
              "Refraction: retrieved = 2.0000 x true + 1 pixels (least squares), RMS difference "
              "3.109 pixels.\n"
              "Transmission: median relative error 0.00 %.\n"
              "Dark field: Pearson correlation 1.0000 between retrieved and true, over 3 pixels.\n"
              "Dark field: retrieved = 2.0000 x true + 0.1 pixels^2 (least squares), RMS "
              "difference 0.3109 pixels^2.\n");
    result = retrieve(dir, {"--compare", "r", "t", "--max-slope", "1.5"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "conesim-retrieve: the refraction's slope 2.0000 is above 1.5\n");
    result = retrieve(dir, {"--compare", "r", "t", "--min-slope", "2.5"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "conesim-retrieve: the refraction's slope 2.0000 is below 2.5\n");
    result = retrieve(dir, {"--compare", "r", "t", "--min-darkfield-correlation", "0.99",
                            "--min-darkfield-slope", "1.9", "--max-darkfield-slope", "1.95"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "conesim-retrieve: the dark field's slope 2.0000 is above 1.95\n");
    // A retrieval of two positions has no dark field: none is compared, and a bound on it
    // fails.
    fs::remove(dir.path() / "r/darkfield.raw");
    result = retrieve(dir, {"--compare", "r", "t"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.find("Dark field"), std::string::npos) << result.out;
    result = retrieve(dir, {"--compare", "r", "t", "--min-darkfield-correlation", "0.5"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "conesim-retrieve: the dark-field correlation nan is below 0.5\n");
}

TEST(RetrieveToolTest, ASetOfImagesIsPublishedWholeAndAnEarlierDarkFieldRemoved) {
    ScratchDir dir;
    writeSweep(dir.path() / "flat", "detectorLrOffset", kPositions, flatPixels());
    writeSweep(dir.path() / "sample", "detectorLrOffset", kPositions, samplePixels());
    ASSERT_EQ(retrieve(dir, {"flat", "sample", "-o", "out"}).status, 0);
    const auto inode = [&](const std::string& name) {
        struct stat info {};
        EXPECT_EQ(::stat(dir.file("out/" + name).c_str(), &info), 0) << name;
        return info.st_ino;
    };
    const auto transmission = inode("transmission.raw");
    // The last image cannot be published: nothing of the new set is, the earlier stays.
    fs::remove(dir.path() / "out/darkfield.png");
    fs::create_directory(dir.path() / "out/darkfield.png");
    ToolResult result = retrieve(dir, {"flat", "sample", "-o", "out"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "conesim-retrieve: refusing to write out/darkfield.png: it is a folder, not a "
              "regular file\n");
    EXPECT_EQ(inode("transmission.raw"), transmission);
    fs::remove(dir.path() / "out/darkfield.png");

    // Two sample positions write no dark field: the earlier one goes with the old set.
    std::vector<Curve> pixels(12, Curve{0.75 * kBig, 0.17, 0.004});
    writeSweep(dir.path() / "two", "detectorLrOffset", {0.125, 0.25}, pixels);
    result = retrieve(dir, {"flat", "two", "-o", "out"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Removed out/darkfield.raw, out/darkfield.raw.mhd of an earlier "
                              "retrieval: this one writes no dark field.\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(testing::fileNames(dir.path() / "out"),
              (std::vector<std::string>{"refraction-angle.png", "refraction-angle.raw",
                                        "refraction-angle.raw.mhd", "refraction.png",
                                        "refraction.raw", "refraction.raw.mhd", "transmission.png",
                                        "transmission.raw", "transmission.raw.mhd"}));
}

TEST(RetrieveToolTest, InputsThatAreNoRegularFilesOrNoPositionsAreRefusedByTheirCause) {
    ScratchDir dir;
    writeSweep(dir.path() / "flat", "detectorLrOffset", kPositions, flatPixels());
    const auto refused = [&](const std::vector<std::string>& args) {
        const ToolResult r = retrieve(dir, args);
        EXPECT_EQ(r.status, 1) << r.err;
        return r.err;
    };
    // A named pipe nobody writes and an endless device are not read at all.
    writeSweep(dir.path() / "pipe", "detectorLrOffset", kPositions, samplePixels());
    fs::remove(dir.path() / "pipe/sweep.csv");
    ASSERT_EQ(::mkfifo(dir.file("pipe/sweep.csv").c_str(), 0600), 0);
    EXPECT_EQ(refused({"flat", "pipe", "-o", "x"}),
              "conesim-retrieve: cannot open pipe/sweep.csv: it is a named pipe, not a regular "
              "file\n");
    fs::remove(dir.path() / "pipe/sweep.csv");
    fs::create_symlink("/dev/zero", dir.path() / "pipe/sweep.csv");
    EXPECT_EQ(refused({"flat", "pipe", "-o", "x"}),
              "conesim-retrieve: cannot open pipe/sweep.csv: it is a character device, not a "
              "regular file\n");
    fs::create_directory(dir.path() / "truth");
    fs::create_directory(dir.path() / "retrieved");
    ASSERT_EQ(::mkfifo(dir.file("truth/true-transmission.raw.mhd").c_str(), 0600), 0);
    for (const char* name : {"transmission", "refraction"}) {
        testing::writeValues(dir.file(std::string("truth/true-") + name + ".raw"), Floats(12));
        testing::writeValues(dir.file(std::string("retrieved/") + name + ".raw"), Floats(12));
    }
    EXPECT_EQ(refused({"--compare", "retrieved", "truth", "-o", "x"}),
              "conesim-retrieve: cannot open truth/true-transmission.raw.mhd: it is a named "
              "pipe, not a regular file\n");

    // Two equal positions give no curve, whatever the counts.
    std::vector<Curve> pixels(12, Curve{0.75 * kBig, 0.17, 0.004});
    writeSweep(dir.path() / "same", "detectorLrOffset", {0.125, 0.125}, pixels);
    EXPECT_EQ(refused({"flat", "same", "-o", "x"}),
              "conesim-retrieve: the sample's two positions are both 0.125; the two-image "
              "retrieval needs two different positions\n");
    writeSweep(dir.path() / "repeated", "detectorLrOffset", {0.0, 0.125, 0.125, 0.0}, pixels);
    EXPECT_EQ(refused({"repeated", "flat", "-o", "x"}),
              "conesim-retrieve: the flat field has 4 positions but only 2 different ones; "
              "fitting a curve needs three or more different positions\n");

    // A detector conesim would not run is named as such, not as a failed allocation.
    testing::writeText(dir.file("flat/params.txt"),
                       testing::parameterFileText({{25, "-2147483648"}, {26, "-2147483648"}}));
    EXPECT_EQ(refused({"flat", "same", "-o", "x"}),
              "conesim-retrieve: flat/params.txt: the detector of 2147483648 x 2147483648 pixels "
              "is none conesim runs (each side from 1 to 50000 pixels, values 25 and 26)\n");
    EXPECT_FALSE(fs::exists(dir.path() / "x"));
}

TEST(SweepTableTest, LinesEndingInCarriageReturnsAreRead) {
    ScratchDir dir;
    testing::writeText(dir.file("sweep.csv"),
                       "detectorLrOffset,run,status,hits,seconds\r\n0.25,run-000,0,12,1.5\r\n");
    tools::SweepTable table;
    std::string error;
    ASSERT_TRUE(tools::readSweepTable(dir.file("sweep.csv"), table, error)) << error;
    EXPECT_EQ(table.settings, std::vector<std::string>{"detectorLrOffset"});
    ASSERT_EQ(table.rows.size(), 1U);
    EXPECT_EQ(table.rows[0].values, std::vector<std::string>{"0.25"});
    EXPECT_DOUBLE_EQ(table.rows[0].seconds, 1.5);
}

TEST(RetrieveToolTest, HelpAndUsageErrors) {
    testing::expectHelp(CONESIM_RETRIEVE_TOOL,
                        "Usage: conesim-retrieve FLAT_DIR SAMPLE_DIR -o OUT");
    ScratchDir dir;
    testing::expectUsageErrors(CONESIM_RETRIEVE_TOOL, "conesim-retrieve",
                               {{},
                                {"flat"},
                                {"flat", "sample"},
                                {"flat", "sample", "extra", "-o", "x"},
                                {"flat", "sample", "-o"},
                                {"flat", "sample", "-o", "x", "--min-counts", "-1"},
                                {"flat", "sample", "-o", "x", "--flat-variance", "0"},
                                {"flat", "sample", "-o", "x", "--at", "0.25,0"},
                                {"flat", "sample", "-o", "x", "--bogus"},
                                {"--truth", "p.txt"},
                                {"--truth", "-o", "x"},
                                {"--truth", "p.txt", "-o", "x", "--at", "0.25"},
                                {"--truth", "p.txt", "-o", "x", "--position", "a"},
                                {"--truth", "--compare", "a", "b"},
                                {"--compare", "a"},
                                {"--compare", "a", "b", "--max-error", "x"},
                                {"--compare", "a", "b", "--ud"}},
                               dir.path());
}

}  // namespace
}  // namespace conesim
