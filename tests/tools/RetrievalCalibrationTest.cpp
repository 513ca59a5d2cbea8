// The retrieval calibrated on the built program: uniform deflection planes of three
// deflections D (run mode 5, planes written here) under the trapezoid-shaped illumination
// curve of a grating beamlet wider than the analyser strip. The mean retrieved refraction
// over the interior pixels must be D (L - zMid) / pixel size within 2 %, and the dark field
// of these samples, which do not scatter, shows the bias that the flat field's noise gives
// sigma^2 (the README's figure).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.hpp"
#include "ToolRunner.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;

// The small retrieval example (32 x 32 pixels of 2 units, detector at 20000, sample
// mid-plane at 4998.2, a 3-of-16 grating and an analyser strip of an eighth of a pixel)
// cut to 16 x 16 pixels and 3 million photons per run, in run mode 5 reading planeFolder.
constexpr double kLeverArm = 20000.0 - 4998.2;
constexpr double kPixelSize = 2.0;
constexpr int kSide = 16;
constexpr double kAttenuation = 0.3;                    // N of the sample planes: T = exp(-0.3)
const double kDeflections[] = {4e-6, 8e-6, 1.3333e-5};  // 0.030, 0.060, 0.100 pixels

std::string withSetting(std::string text, const std::string& name, const std::string& value) {
    const std::size_t at = text.find("\n" + name);
    const std::size_t equals = text.find('=', at);
    const std::size_t end = text.find_first_of(";\n", equals);
    return text.replace(equals + 1, end - equals - 1, " " + value + " ");
}

void writePlanes(const fs::path& folder, double attenuation, double deflection) {
    fs::create_directories(folder);
    const std::size_t values = 64 * 64;  // the example's sample of 64 x 64 voxels
    testing::writeValues((folder / "Z_ref-PRE.pca").string(),
                         std::vector<double>(values, attenuation));
    testing::writeValues((folder / "Z_iLR-PRE.pca").string(),
                         std::vector<double>(values, deflection));
    testing::writeValues((folder / "Z_iUD-PRE.pca").string(), std::vector<double>(values, 0.0));
}

// The mean over the pixels two or more from the detector's edges.
double interiorMean(const std::vector<float>& image) {
    double sum = 0.0;
    int count = 0;
    for (int row = 2; row < kSide - 2; ++row) {
        for (int column = 2; column < kSide - 2; ++column) {
            sum += image[static_cast<std::size_t>(row * kSide + column)];
            ++count;
        }
    }
    return sum / count;
}

class RetrievalCalibrationTest : public ::testing::Test {
  protected:
    // One flat field and three sample sweeps over 33 analyser positions from 0 to 0.5
    // pixels (steps of 1/64 pixel), made once for the tests of this suite.
    static void SetUpTestSuite() {
        dir_ = new testing::ScratchDir;
        const testing::ScratchDir& dir = *dir_;
        testing::ToolResult mask = testing::runTool(
            CONESIM_MASK_TOOL, {"--size", "512", "-o", "pre-grating.pgm", "--grating", "16,3,3"},
            dir.path());
        ASSERT_EQ(mask.status, 0) << mask.err;
        fs::copy_file(fs::path(CONESIM_SOURCE_DIR) / "examples/edge-illumination/spectrum.txt",
                      dir.path() / "spectrum.txt");
        testing::writeValues(dir.file("empty.bin"), std::vector<float>(64 * 64 * 32, 0.0F));
        std::string base = testing::readText(
            (fs::path(CONESIM_SOURCE_DIR) / "examples/ei-retrieval/params-small.txt").string());
        base = withSetting(base, "Detector width (pixels)", std::to_string(kSide));
        base = withSetting(base, "Detector height (pixels)", std::to_string(kSide));
        base = withSetting(base, "Run mode", "5");
        base = withSetting(base, "Sample file", "empty.bin");
        base = withSetting(base, "Photons to run", "3000000");
        base = withSetting(base, "Report every", "3000000");
        for (int k = 0; k <= 3; ++k) {
            const std::string name = k == 0 ? "flat" : "sample" + std::to_string(k);
            writePlanes(dir.path() / ("planes-" + name), k == 0 ? 0.0 : kAttenuation,
                        k == 0 ? 0.0 : kDeflections[k - 1]);
            testing::writeText(dir.file(name + ".txt"),
                               base + "planeFolder = planes-" + name + "\n");
            const testing::ToolResult sweep = testing::runTool(
                CONESIM_SWEEP_TOOL,
                {name + ".txt", "--set", "detectorLrOffset=0:0.5:33", "-o", name, "--seed",
                 k == 0 ? "1" : std::to_string(100 * k), "--threads", "0"},
                dir.path());
            ASSERT_EQ(sweep.status, 0) << sweep.err;
        }
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    // Retrieves sample k (1 to 3) with the model into out-MODEL-k.
    static void retrieve(int k, const std::string& model) {
        const std::string out = "out-" + model + "-" + std::to_string(k);
        const testing::ToolResult result = testing::runTool(
            CONESIM_RETRIEVE_TOOL,
            {"flat", "sample" + std::to_string(k), "-o", out, "--model", model}, dir_->path());
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.out.find("Retrieved 256 of 256 pixels"), std::string::npos) << result.out;
    }

    static std::vector<float> image(const std::string& model, int k, const std::string& name) {
        return testing::readValues<float>(
            dir_->file("out-" + model + "-" + std::to_string(k) + "/" + name + ".raw"));
    }

    static testing::ScratchDir* dir_;
};

testing::ScratchDir* RetrievalCalibrationTest::dir_ = nullptr;

TEST_F(RetrievalCalibrationTest, UniformDeflectionsComeBackWithinTwoPercent) {
    for (int k = 1; k <= 3; ++k) {
        const double expected = kDeflections[k - 1] * kLeverArm / kPixelSize;
        retrieve(k, "flat-curve");
        retrieve(k, "gaussian");
        const double shift = interiorMean(image("flat-curve", k, "refraction"));
        const double gaussianShift = interiorMean(image("gaussian", k, "refraction"));
        std::printf(
            "deflection %g rad: expected %.5f pixels; flat-curve %.5f (%+.2f %%), "
            "gaussian %.5f (%+.2f %%)\n",
            kDeflections[k - 1], expected, shift, 100.0 * (shift / expected - 1.0), gaussianShift,
            100.0 * (gaussianShift / expected - 1.0));
        EXPECT_NEAR(shift, expected, 0.02 * expected) << "deflection " << kDeflections[k - 1];
        // The angle image is the shift times pixel size / (L - zMid).
        EXPECT_NEAR(interiorMean(image("flat-curve", k, "refraction-angle")), kDeflections[k - 1],
                    0.02 * kDeflections[k - 1]);
        // Transmission exp(-N): the mean of 144 pixels of about 10^4 counts each.
        EXPECT_NEAR(interiorMean(image("flat-curve", k, "transmission")), std::exp(-kAttenuation),
                    0.005);
    }
}

TEST_F(RetrievalCalibrationTest, DarkFieldWithoutScatteringShowsTheFlatFieldsNoiseBias) {
    // The README: with flat field and sample of equal photons (peak about 700 counts per
    // position and pixel here), sigma^2 on pixels without scattering is biased by about
    // +1e-5 pixels^2 (at most 3e-5), a quarter of a percent of the curve's own variance;
    // the Gaussian model's difference of variances is biased by about -7e-5.
    for (int k = 1; k <= 3; ++k) {
        retrieve(k, "flat-curve");
        const std::vector<float> darkfield = image("flat-curve", k, "darkfield");
        for (const float value : darkfield) {
            ASSERT_GE(value, 0.0F);  // sigma^2 is never negative
        }
        const double bias = interiorMean(darkfield);
        std::printf("deflection %g rad: mean sigma^2 %.2e pixels^2\n", kDeflections[k - 1], bias);
        EXPECT_GE(bias, 0.0);
        EXPECT_LE(bias, 3e-5);
    }
}

}  // namespace
}  // namespace conesim
