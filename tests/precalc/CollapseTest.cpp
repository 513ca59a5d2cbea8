#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <numbers>

#include "PrecalcFixtures.hpp"
#include "precalc/Collapse.hpp"
#include "precalc/InterfaceAngleMaps.hpp"
#include "precalc/RefractiveIndexMap.hpp"
#include "precalc/SnellDeflection.hpp"

namespace conesim {
namespace {

using testing::CapturedConsole;
using testing::readBytes;
using testing::readText;
using testing::readValues;
using testing::sampleRecord;
using testing::ScratchDir;
using testing::WorkingDirectory;
using testing::writeValues;

constexpr float kWaterAt100 = -2.3026656e-08f;  // n - 1 of a relative density 1 at 100 keV

TEST(SnellDeflection, IntoAndOutOfADenserMedium) {
    const double n = 1.0 + static_cast<double>(kWaterAt100);
    EXPECT_NEAR(snellDeflection(0.5, 1.0, n), 1.2579520e-08, 5e-16);
    EXPECT_NEAR(snellDeflection(0.5, n, 1.0), -1.2579520e-08, 5e-16);
    EXPECT_EQ(snellDeflection(0.7, n, n), 0.0);
}

TEST(SnellDeflection, ThresholdIsAQuarterRadianInclusive) {
    EXPECT_TRUE(interfaceRefracts(0.25));
    EXPECT_TRUE(interfaceRefracts(-0.25));
    EXPECT_TRUE(interfaceRefracts(1.3));
    EXPECT_FALSE(interfaceRefracts(0.2499));
    EXPECT_FALSE(interfaceRefracts(-0.2499));
    EXPECT_FALSE(interfaceRefracts(0.0));
}

TEST(SnellDeflection, BeyondTheCriticalAngleTheRayLeavesGrazing) {
    // sin(1.5707) * 1 / (1 - 1e-7) exceeds 1: the argument is clamped, asin(1) = pi / 2.
    const double theta = 1.5707;
    ASSERT_GT(std::sin(theta) * 1.0 / (1.0 - 1e-7), 1.0);
    const double up = snellDeflection(theta, 1.0, 1.0 - 1e-7);
    EXPECT_TRUE(std::isfinite(up));
    EXPECT_EQ(up, std::numbers::pi / 2 - theta);
    const double down = snellDeflection(-theta, 1.0, 1.0 - 1e-7);
    EXPECT_EQ(down, -std::numbers::pi / 2 + theta);
    // Just inside the critical angle the ordinary law holds and stays below the clamp.
    const double inside = snellDeflection(1.56, 1.0, 1.0 - 1e-7);
    EXPECT_EQ(inside, std::asin(std::sin(1.56) / (1.0 - 1e-7)) - 1.56);
    EXPECT_LT(inside, std::numbers::pi / 2 - 1.56);
}

class CollapseFiles : public ::testing::Test {
  protected:
    ScratchDir dir;
    WorkingDirectory cwd{dir.path()};
    CapturedConsole io;
    std::ostringstream log;
    std::vector<float> plane;

    int collapse(int dimX, int dimY, int dimZ) {
        return collapseInterfaceMap(io.console, log, "Z_iLR-PRE", "Z_ref-PRE", dimX, dimY, dimZ,
                                    plane);
    }
};

TEST_F(CollapseFiles, BoundariesRefractByTheirAngle) {
    // Seven columns, two slices: the boundary lies between slice 0 and slice 1.
    const float w = kWaterAt100;
    writeValues("Z_ref-PRE", std::vector<float>{0, w, 0, 0, 0, 0, w,  //
                                                w, 0, w, w, w, w, w});
    writeValues("Z_iLR-PRE", std::vector<float>{9, 9, 9, 9, 9, 9, 9,  //
                                                0.5f, 0.5f, 0.2499f, 0.25f, -0.25f, 0.0f, 0.7f});
    ASSERT_EQ(collapse(7, 1, 2), kPrecalcOk);
    const double n = 1.0 + static_cast<double>(w);
    const std::vector<double> expected = {snellDeflection(0.5, 1.0, n),
                                          snellDeflection(0.5, n, 1.0),
                                          0.0,
                                          snellDeflection(0.25f, 1.0, n),
                                          snellDeflection(-0.25f, 1.0, n),
                                          0.0,
                                          0.0};
    EXPECT_EQ(readValues<double>("Z_iLR-PRE.pca"), expected);
    ASSERT_EQ(plane.size(), 7u);
    EXPECT_NEAR(plane[0], 1.2579520e-08, 1e-15);
    EXPECT_NEAR(plane[1], -1.2579520e-08, 1e-15);
    for (std::size_t j = 0; j < 7; ++j) EXPECT_EQ(plane[j], static_cast<float>(expected[j]));
    EXPECT_GT(plane[3], 0.0f);
    EXPECT_LT(plane[4], 0.0f);

    EXPECT_EQ(std::filesystem::file_size("Z_iLR-PRE.pca"), 7u * 8);
    const std::string preview = readText("Z_iLR-PRE.pgm");
    EXPECT_EQ(preview.substr(0, 11), "P2\n7 1\n255\n");
    EXPECT_EQ(preview.substr(preview.size() - 2), " \n");
    const std::string text = log.str();
    EXPECT_EQ(text.substr(0, 53), "Writing PGM file ( Z_iLR-PRE.pgm )\nMin: -1.25795e-08\n");
    EXPECT_NE(text.find("\nRescaled as 0 to 255\n\n\nWriting binary file Z_iLR-PRE.pca\n"),
              std::string::npos);
    EXPECT_EQ(io.out.str(), "");
}

TEST_F(CollapseFiles, DeflectionsAddUpAlongTheColumn) {
    const float w = kWaterAt100;
    // Column 0 enters and leaves the material; the first slice's angle is never used.
    writeValues("Z_ref-PRE", std::vector<float>{0, w, w, 0});
    writeValues("Z_iLR-PRE", std::vector<float>{1.0f, 0.5f, 0.3f, 0.6f});
    ASSERT_EQ(collapse(1, 1, 4), kPrecalcOk);
    const double n = 1.0 + static_cast<double>(w);
    double sum = 0.0;
    sum += snellDeflection(0.5f, 1.0, n);
    sum += snellDeflection(0.6f, n, 1.0);
    EXPECT_EQ(readValues<double>("Z_iLR-PRE.pca"), std::vector<double>{sum});
}

TEST_F(CollapseFiles, OneSliceGivesZerosAndStillWritesTheFiles) {
    writeValues("Z_ref-PRE", std::vector<float>{0.1f, 0.2f, 0.3f, 0.4f});
    writeValues("Z_iLR-PRE", std::vector<float>{1, 1, 1, 1});
    ASSERT_EQ(collapse(2, 2, 1), kPrecalcOk);
    EXPECT_EQ(plane, std::vector<float>(4, 0.0f));
    EXPECT_EQ(readValues<double>("Z_iLR-PRE.pca"), std::vector<double>(4, 0.0));
    EXPECT_EQ(readText("Z_iLR-PRE.pgm"), "P2\n2 2\n255\n0 0 0 0 \n");
}

TEST_F(CollapseFiles, EveryTenthSliceIsLogged) {
    writeValues("Z_ref-PRE", std::vector<float>(21, 0.0f));
    writeValues("Z_iLR-PRE", std::vector<float>(21, 0.0f));
    ASSERT_EQ(collapse(1, 1, 21), kPrecalcOk);
    EXPECT_EQ(log.str().substr(0, 52), "Phase processing slice 10\nPhase processing slice 20\n");
    EXPECT_EQ(io.out.str(), "");
}

TEST_F(CollapseFiles, MissingMapIsReportedOnConsoleAndLog) {
    writeValues("Z_ref-PRE", std::vector<float>(8, 0.0f));
    EXPECT_EQ(collapse(2, 2, 2), kCollapseFailed);
    const std::string message =
        "ERROR: Could not open files: Z_ref-PRE or Z_iLR-PRE or Z_iUD-PRE check main "
        "directory.\n";
    EXPECT_EQ(io.out.str(), message);
    EXPECT_EQ(log.str(), message);
    EXPECT_TRUE(plane.empty());
    EXPECT_FALSE(std::filesystem::exists("Z_iLR-PRE.pca"));
}

TEST_F(CollapseFiles, AngleMapWithTooFewSlicesEndsTheCollapse) {
    writeValues("Z_ref-PRE", std::vector<float>(4 * 5, 0.0f));
    writeValues("Z_iLR-PRE", std::vector<float>(4 * 3, 0.0f));
    EXPECT_EQ(collapse(2, 2, 5), kCollapseFailed);
    EXPECT_EQ(log.str(), "Error reading angles from |Z_iLR-PRE| .\n");
    EXPECT_EQ(io.out.str(), "");
    EXPECT_TRUE(plane.empty());
    EXPECT_FALSE(std::filesystem::exists("Z_iLR-PRE.pca"));
}

TEST_F(CollapseFiles, IndexMapWithTooFewSlicesEndsTheCollapse) {
    writeValues("Z_ref-PRE", std::vector<float>(4 * 2, 0.0f));
    writeValues("Z_iLR-PRE", std::vector<float>(4 * 5, 0.0f));
    EXPECT_EQ(collapse(2, 2, 5), kCollapseFailed);
    EXPECT_EQ(log.str(), "Error reading values from  |Z_ref-PRE| .\n");
    EXPECT_TRUE(plane.empty());
}

TEST_F(CollapseFiles, PartialLastSliceIsAFailureNotStaleValues) {
    // The last angle slice holds only half its values: the rest would be those of the
    // slice before, so the collapse stops instead.
    writeValues("Z_ref-PRE", std::vector<float>(4 * 3, 0.0f));
    writeValues("Z_iLR-PRE", std::vector<float>(4 * 2 + 2, 0.0f));
    EXPECT_EQ(collapse(2, 2, 3), kCollapseFailed);
    EXPECT_EQ(log.str(), "Error reading angles from |Z_iLR-PRE| .\n");
    writeValues("Z_iLR-PRE", std::vector<float>(4 * 3, 0.0f));
    writeValues("Z_ref-PRE", std::vector<float>(4 * 3 - 1, 0.0f));
    log.str("");
    EXPECT_EQ(collapse(2, 2, 3), kCollapseFailed);
    EXPECT_EQ(log.str(), "Error reading values from  |Z_ref-PRE| .\n");
}

TEST_F(CollapseFiles, PlaneFileOnAFullDeviceIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    writeValues("Z_ref-PRE", std::vector<float>(4 * 2, 0.0f));
    writeValues("Z_iLR-PRE", std::vector<float>(4 * 2, 0.0f));
    std::filesystem::create_symlink("/dev/full", "Z_iLR-PRE.pca");
    EXPECT_EQ(collapse(2, 2, 2), kMapWriteFailed);
    EXPECT_EQ(io.out.str(), "ERROR: Cannot write file Z_iLR-PRE.pca.\n");
    EXPECT_NE(log.str().find("ERROR: Cannot write file Z_iLR-PRE.pca.\n"), std::string::npos);
}

TEST_F(CollapseFiles, PreviewOnAFullDeviceIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    writeValues("Z_ref-PRE", std::vector<float>(4 * 2, 0.0f));
    writeValues("Z_iLR-PRE", std::vector<float>(4 * 2, 0.0f));
    std::filesystem::create_symlink("/dev/full", "Z_iLR-PRE.pgm");
    EXPECT_EQ(collapse(2, 2, 2), kMapWriteFailed);
    EXPECT_EQ(io.out.str(), "ERROR: Cannot write file Z_iLR-PRE.pgm.\n");
    EXPECT_EQ(std::filesystem::file_size("Z_iLR-PRE.pca"), 32u);
}

class AttenuationFiles : public CollapseFiles {
  protected:
    std::vector<double> sums;
};

TEST_F(AttenuationFiles, SumsTheRawValuesOfEveryColumn) {
    const int dimX = 3, dimY = 2, dimZ = 7;
    std::vector<float> volume(dimX * dimY * dimZ, 0.01f);
    volume[1] = 0.5f;
    volume[6 * 4 + 5] = -0.25f;
    writeValues("sample.bin", volume);
    ASSERT_EQ(collapseAttenuation(io.console, log, sampleRecord("sample.bin", dimX, dimY, dimZ),
                                  "Z_ref-PRE", 3, sums),
              kPrecalcOk);
    std::vector<double> expected(dimX * dimY, 0.0);
    for (int z = 0; z < dimZ; ++z)
        for (int j = 0; j < dimX * dimY; ++j) expected[j] += volume[z * dimX * dimY + j];
    EXPECT_EQ(sums, expected);
    double hundredth = 0.0;
    for (int z = 0; z < dimZ; ++z) hundredth += 0.01f;
    EXPECT_EQ(sums[0], hundredth);
    EXPECT_EQ(readValues<double>("Z_ref-PRE.pca"), expected);
    EXPECT_EQ(std::filesystem::file_size("Z_ref-PRE.pca"), 6u * 8);
    const std::string message = "Collapsing array to one slice for attenuation.\n";
    EXPECT_EQ(io.out.str(), message);
    EXPECT_EQ(log.str(), message);
}

TEST_F(AttenuationFiles, MissingSampleOrLowRunModeGivesNoPlane) {
    EXPECT_EQ(collapseAttenuation(io.console, log, sampleRecord("gone.bin", 2, 2, 2), "Z_ref-PRE",
                                  4, sums),
              kCollapseFailed);
    EXPECT_EQ(io.out.str(), "gone.bin failed to load. Check main directory.\n");
    EXPECT_EQ(log.str(), "gone.bin failed to load. Check main directory.\n");
    writeValues("sample.bin", std::vector<float>(8, 1.0f));
    CapturedConsole quiet;
    std::ostringstream quietLog;
    EXPECT_EQ(collapseAttenuation(quiet.console, quietLog, sampleRecord("sample.bin", 2, 2, 2),
                                  "Z_ref-PRE", 2, sums),
              kCollapseFailed);
    EXPECT_EQ(quiet.out.str(), "");
    EXPECT_TRUE(sums.empty());
    EXPECT_FALSE(std::filesystem::exists("Z_ref-PRE.pca"));
}

TEST_F(AttenuationFiles, PlaneFileOnAFullDeviceIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    writeValues("sample.bin", std::vector<float>(8, 1.0f));
    std::filesystem::create_symlink("/dev/full", "Z_ref-PRE.pca");
    EXPECT_EQ(collapseAttenuation(io.console, log, sampleRecord("sample.bin", 2, 2, 2), "Z_ref-PRE",
                                  3, sums),
              kMapWriteFailed);
    EXPECT_EQ(io.out.str(),
              "Collapsing array to one slice for attenuation.\n"
              "ERROR: Cannot write file Z_ref-PRE.pca.\n");
    EXPECT_EQ(log.str(), io.out.str());
}

// The whole mode-3 chain on a phantom, then the mode-4 collapse of the maps it left.
TEST_F(CollapseFiles, PhantomChainAndItsRepeatFromTheStoredMaps) {
    const int dimX = 40, dimY = 36, dimZ = 48;
    writeValues("sample.bin", testing::makePhantom(dimX, dimY, dimZ));
    const SampleVolume sample = sampleRecord("sample.bin", dimX, dimY, dimZ);
    MapNames names;
    ASSERT_EQ(buildRefractiveIndexMap(sample, names, io.console, log, 2.5f, 3, 60.0), kPrecalcOk);
    ASSERT_EQ(buildInterfaceAngleMaps(sample, names, io.console, log, {1.0f, 1.0f, 1.0f}, 3, 6, 3),
              kPrecalcOk);
    for (const std::string& name : names) {
        EXPECT_EQ(std::filesystem::file_size(name), std::uintmax_t{4} * dimX * dimY * dimZ);
    }
    std::vector<float> lr, ud;
    std::vector<double> attenuation;
    ASSERT_EQ(collapseInterfaceMap(io.console, log, names[1], names[0], dimX, dimY, dimZ, lr),
              kPrecalcOk);
    ASSERT_EQ(collapseInterfaceMap(io.console, log, names[2], names[0], dimX, dimY, dimZ, ud),
              kPrecalcOk);
    ASSERT_EQ(collapseAttenuation(io.console, log, sample, names[0], 3, attenuation), kPrecalcOk);
    ASSERT_EQ(lr.size(), std::size_t{dimX} * dimY);
    int deflected = 0;
    for (std::size_t j = 0; j < lr.size(); ++j) {
        ASSERT_TRUE(std::isfinite(lr[j]) && std::isfinite(ud[j]));
        deflected += lr[j] != 0.0f || ud[j] != 0.0f;
    }
    EXPECT_GT(deflected, 0);
    for (const char* name : {"Z_iLR-PRE.pca", "Z_iUD-PRE.pca", "Z_ref-PRE.pca"}) {
        EXPECT_EQ(std::filesystem::file_size(name), std::uintmax_t{8} * dimX * dimY) << name;
    }
    // The stored doubles are those from which the single-precision planes were rounded.
    const std::vector<double> stored = readValues<double>("Z_iLR-PRE.pca");
    for (std::size_t j = 0; j < lr.size(); ++j) EXPECT_EQ(lr[j], static_cast<float>(stored[j]));

    const auto before = readBytes("Z_iUD-PRE.pca");
    const auto previewBefore = readText("Z_iUD-PRE.pgm");
    std::vector<float> again;
    ASSERT_EQ(
        collapseInterfaceMap(io.console, log, "Z_iUD-PRE", "Z_ref-PRE", dimX, dimY, dimZ, again),
        kPrecalcOk);
    EXPECT_EQ(again, ud);
    EXPECT_EQ(readBytes("Z_iUD-PRE.pca"), before);
    EXPECT_EQ(readText("Z_iUD-PRE.pgm"), previewBefore);
}

}  // namespace
}  // namespace conesim
