#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <iomanip>
#include <random>

#include "PrecalcFixtures.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/RefractiveIndexMap.hpp"
#include "precalc/RefractiveIndexModel.hpp"

namespace conesim {
namespace {

using testing::CapturedConsole;
using testing::readValues;
using testing::sampleRecord;
using testing::ScratchDir;
using testing::WorkingDirectory;
using testing::writeValues;

// The per-voxel formula written out once more, operation by operation, independent of the
// library: the fast path must agree with it bit for bit.
double literalRefractiveIndex(double a, double E) {
    if (a == 0) return 1;
    const double d = std::log10(E / 1000);
    const double p = 0.070018 * d * d * d * d * d * d + 1.134 * d * d * d * d * d +
                     5.12 * d * d * d * d + 9.3428 * d * d * d + 7.7932 * d * d + 2.5455 * d -
                     0.73287;
    const double mu = std::pow(10, p);
    const double lambda = (1.986445212595144e-25 / (E * 1.60217646e-16)) * 100.0;
    const double rho = (a - mu) / mu + 1;
    return 1 - lambda * (lambda * (rho * 3.34e23 * 2.8179402894e-13)) / 6.2831853;
}

TEST(ReferenceAttenuation, FollowsTheWaterFit) {
    EXPECT_NEAR(referenceAttenuation(100.0), 0.169063, 5e-7);
    EXPECT_NEAR(referenceAttenuation(50.0), 0.225851, 5e-7);
    EXPECT_NEAR(referenceAttenuation(20.0), 0.813486, 5e-7);
}

TEST(RefractiveIndex, KnownValuesAtTheGivenEnergies) {
    // A scaled value equal to the reference attenuation is a relative density of exactly 1.
    EXPECT_NEAR(static_cast<float>(refractiveIndex(referenceAttenuation(100.0), 100.0) - 1.0),
                -2.3026656e-08, 2e-15);
    EXPECT_NEAR(static_cast<float>(refractiveIndex(referenceAttenuation(50.0), 50.0) - 1.0),
                -9.2106624e-08, 7e-15);
    EXPECT_NEAR(static_cast<float>(refractiveIndex(1.0, 100.0) - 1.0), -1.3620181e-07, 1e-14);
    // The rounded values quoted for the attenuation land within a few parts in 10^7.
    EXPECT_NEAR(refractiveIndex(0.1690628, 100.0) - 1.0, -2.3026656e-08, 1e-14);
    EXPECT_NEAR(refractiveIndex(0.2258505, 50.0) - 1.0, -9.2106624e-08, 3e-14);
}

TEST(RefractiveIndex, ZeroIsExactlyOneAndNegativeValuesRaiseTheIndex) {
    EXPECT_EQ(refractiveIndex(0.0, 100.0), 1.0);
    EXPECT_EQ(refractiveIndex(0.0, 7.5), 1.0);
    EXPECT_EQ(RefractiveIndexModel(33.0).refractiveIndex(0.0), 1.0);
    EXPECT_EQ(RefractiveIndexModel(33.0).storedValue(0.0f, 123.0f), 0.0f);
    EXPECT_GT(refractiveIndex(-0.5, 100.0), 1.0);
}

TEST(RefractiveIndexModel, MatchesTheLiteralFormulaBitForBit) {
    std::mt19937 generator(12345);
    std::uniform_real_distribution<double> energy(5.0, 200.0);
    std::uniform_real_distribution<float> raw(-0.5f, 3.0f);
    std::uniform_real_distribution<float> scale(0.01f, 20.0f);
    for (int e = 0; e < 50; ++e) {
        const double E = energy(generator);
        const RefractiveIndexModel model(E);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(model.attenuation()),
                  std::bit_cast<std::uint64_t>(referenceAttenuation(E)));
        for (int i = 0; i < 2000; ++i) {
            const float v = raw(generator);
            const float s = scale(generator);
            const double a = static_cast<double>(v) * static_cast<double>(s);
            const double expected = literalRefractiveIndex(a, E);
            ASSERT_EQ(std::bit_cast<std::uint64_t>(model.refractiveIndex(a)),
                      std::bit_cast<std::uint64_t>(expected))
                << "a=" << a << " E=" << E;
            ASSERT_EQ(std::bit_cast<std::uint64_t>(refractiveIndex(a, E)),
                      std::bit_cast<std::uint64_t>(expected));
            ASSERT_EQ(std::bit_cast<std::uint32_t>(model.storedValue(v, s)),
                      std::bit_cast<std::uint32_t>(static_cast<float>(expected - 1.0)));
        }
    }
}

class RefractiveIndexMapFile : public ::testing::Test {
  protected:
    ScratchDir dir;
    WorkingDirectory cwd{dir.path()};
    CapturedConsole io;
    std::ostringstream log;
    MapNames names;
};

TEST_F(RefractiveIndexMapFile, WritesEverySliceWithItsMessages) {
    const std::vector<float> raw = {0.0f, 0.1f, 0.2f,  0.5f, 1.0f, 0.0f,
                                    2.0f, 0.3f, -0.1f, 0.0f, 0.7f, 0.01f};
    writeValues("sample.bin", raw);
    const SampleVolume sample = sampleRecord("sample.bin", 2, 3, 2);
    const float scale = 0.5f;
    ASSERT_EQ(buildRefractiveIndexMap(sample, names, io.console, log, scale, 3, 60.0), kPrecalcOk);
    EXPECT_EQ(names[0], "Z_ref-PRE");
    EXPECT_EQ(io.out.str(),
              "Making Refractive index map called Z_ref-PRE\n"
              "Calculating refraction for slice 0\n"
              "Calculating refraction for slice 1\n");
    EXPECT_EQ(log.str(),
              "Calculating refraction for slice 0\n"
              "Calculating refraction for slice 1\n");
    EXPECT_EQ(io.out.precision(), 15);

    EXPECT_EQ(std::filesystem::file_size("Z_ref-PRE"), raw.size() * 4);
    const std::vector<float> map = readValues<float>("Z_ref-PRE");
    ASSERT_EQ(map.size(), raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const double a = static_cast<double>(raw[i]) * static_cast<double>(scale);
        EXPECT_EQ(
            std::bit_cast<std::uint32_t>(map[i]),
            std::bit_cast<std::uint32_t>(static_cast<float>(literalRefractiveIndex(a, 60.0) - 1.0)))
            << i;
    }
    EXPECT_EQ(map[0], 0.0f);
    EXPECT_LT(map[4], map[1]);  // denser voxel, smaller n - 1
    EXPECT_GT(map[8], 0.0f);    // a negative value gives n > 1
}

TEST_F(RefractiveIndexMapFile, TheScaleMultipliesEveryValueButZeroStaysZero) {
    writeValues("sample.bin", std::vector<float>{0.0f, 0.25f});
    const SampleVolume sample = sampleRecord("sample.bin", 2, 1, 1);
    ASSERT_EQ(buildRefractiveIndexMap(sample, names, io.console, log, 4.0f, 3, 100.0), kPrecalcOk);
    const std::vector<float> scaled = readValues<float>("Z_ref-PRE");
    ASSERT_EQ(buildRefractiveIndexMap(sample, names, io.console, log, 1.0f, 3, 100.0), kPrecalcOk);
    const std::vector<float> plain = readValues<float>("Z_ref-PRE");
    EXPECT_EQ(scaled[0], 0.0f);
    EXPECT_EQ(plain[0], 0.0f);
    EXPECT_EQ(scaled[1], static_cast<float>(refractiveIndex(1.0, 100.0) - 1.0));
    EXPECT_NEAR(scaled[1], -1.3620181e-07, 5e-15);
    EXPECT_NE(plain[1], scaled[1]);
}

TEST_F(RefractiveIndexMapFile, OneSliceVolumeStillWritesItsSlice) {
    writeValues("sample.bin", std::vector<float>(6, 0.1690628f));
    const SampleVolume sample = sampleRecord("sample.bin", 3, 2, 1);
    ASSERT_EQ(buildRefractiveIndexMap(sample, names, io.console, log, 1.0f, 3, 100.0), kPrecalcOk);
    const std::vector<float> map = readValues<float>("Z_ref-PRE");
    ASSERT_EQ(map.size(), 6u);
    EXPECT_NEAR(map[5], -2.3026656e-08, 5e-15);
}

TEST_F(RefractiveIndexMapFile, MissingSampleIsReportedAndTheMapIsLeftEmpty) {
    testing::writeText("Z_ref-PRE", "stale content");
    const SampleVolume sample = sampleRecord("absent.bin", 2, 2, 2);
    EXPECT_EQ(buildRefractiveIndexMap(sample, names, io.console, log, 1.0f, 3, 100.0), kPrecalcOk);
    EXPECT_EQ(io.out.str(),
              "Making Refractive index map called Z_ref-PRE\n"
              "absent.bin failed to load.\n");
    EXPECT_EQ(log.str(), "");
    EXPECT_EQ(names[0], "Z_ref-PRE");
    // The map is created (truncated) before the sample is checked.
    EXPECT_EQ(std::filesystem::file_size("Z_ref-PRE"), 0u);
    EXPECT_NE(io.out.precision(), 15);
}

TEST_F(RefractiveIndexMapFile, MapThatCannotBeCreatedIsReported) {
    writeValues("sample.bin", std::vector<float>(4, 0.5f));
    std::filesystem::create_directory("Z_ref-PRE");
    const SampleVolume sample = sampleRecord("sample.bin", 2, 2, 1);
    EXPECT_EQ(buildRefractiveIndexMap(sample, names, io.console, log, 1.0f, 3, 100.0),
              kMapWriteFailed);
    EXPECT_EQ(io.out.str(),
              "Making Refractive index map called Z_ref-PRE\n"
              "Cannot create file: Z_ref-PRE\n"
              "ERROR: Cannot write file Z_ref-PRE.\n");
    EXPECT_EQ(log.str(), "ERROR: Cannot write file Z_ref-PRE.\n");
}

TEST_F(RefractiveIndexMapFile, MapOnAFullDeviceIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    writeValues("sample.bin", std::vector<float>(64 * 64 * 4, 0.5f));
    std::filesystem::create_symlink("/dev/full", "Z_ref-PRE");
    const SampleVolume sample = sampleRecord("sample.bin", 64, 64, 4);
    EXPECT_EQ(buildRefractiveIndexMap(sample, names, io.console, log, 1.0f, 3, 100.0),
              kMapWriteFailed);
    EXPECT_NE(io.out.str().find("ERROR: Cannot write file Z_ref-PRE.\n"), std::string::npos);
    EXPECT_NE(log.str().find("ERROR: Cannot write file Z_ref-PRE.\n"), std::string::npos);
}

}  // namespace
}  // namespace conesim
