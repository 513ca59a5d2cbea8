// conesim-params design on a known set-up, every number against its hand-computed value:
// a pre-sample grating of period 10 and opening 3 mask pixels (2 pixels per unit) at 50, a
// post-sample grating of period 5 and opening 2 (1 pixel per unit) at 100, a sample mid-plane
// at 62, detector pixels of 0.8 at 150.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"
#include "ToolRunner.hpp"

namespace conesim {
namespace {

using testing::runTool;
using testing::ScratchDir;
using testing::ToolResult;

// A 100 x 100 grating image whose pixel column i is clear where clear(i % period) holds.
template <typename Clear>
std::string gratingImage(int period, Clear clear) {
    std::string text = "P2\n# test grating\n100 100\n255\n";
    for (int row = 0; row < 100; ++row) {
        for (int i = 0; i < 100; ++i) {
            text += clear(i % period) ? "0 " : "255 ";
        }
        text += "\n";
    }
    return text;
}

std::string setupText(const std::string& extensions) {
    return testing::parameterFileText({{3, "2"}, {28, "0.8"}, {29, "0.8"}}) + extensions;
}

class ParamsDesignTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Clear 1 .. 3 of each 10: the opening nearest the axis (50) is 51 .. 53, centre 52.
        testing::writeText(dir.file("pre.pgm"),
                           gratingImage(10, [](int i) { return i >= 1 && i <= 3; }));
        // Clear 2 and 3 of each 5: openings centred at 47.5 and 52.5; the first found counts.
        testing::writeText(dir.file("post.pgm"),
                           gratingImage(5, [](int i) { return i == 2 || i == 3; }));
    }

    ToolResult design(const std::string& extensions) {
        testing::writeText(dir.file("p.txt"), setupText(extensions));
        return runTool(CONESIM_PARAMS_TOOL, {"design", "p.txt"}, dir.path());
    }

    ScratchDir dir;
};

// Magnifications 150 / 50 = 3, 150 / 62 = 2.41935, 150 / 100 = 1.5. Pre-sample: period
// 10 / 2 * 3 / 0.8 = 18.75 pixels, opening 3 / 2 * 3 / 0.8 = 5.625 pixels (0.3), centre
// (52 - 50) / 2 * 3 / 0.8 + 20 = 23.75. Post-sample: period 5 * 1.5 / 0.8 = 9.375, opening
// 2 * 1.5 / 0.8 = 3.75 (0.4), centre (47.5 - 50) * 1.5 / 0.8 + 20 = 15.3125. Penumbra
// (150 - 50) / 50 = 2 times the spot: 0.6 x 1.2 units, 0.75 x 1.5 pixels. One pixel:
// 0.8 / (150 - 62) = 0.00909091 rad.
constexpr const char* kGeometry =
    "Design of p.txt\n"
    "Magnification L / z: pre-sample mask 3, sample (mid-plane 62) 2.41935, post-sample "
    "mask 1.5.\n"
    "Pre-sample mask: period 10 mask pixels = 18.75 detector pixels; opening 3 mask pixels "
    "= 5.625 detector pixels (0.3 of the period).\n"
    "  Opening nearest the axis centred at column 23.75: -0.25 pixels from the centre of "
    "column 24.\n"
    "Post-sample mask: period 5 mask pixels = 9.375 detector pixels; opening 2 mask pixels "
    "= 3.75 detector pixels (0.4 of the period).\n"
    "  Opening nearest the axis centred at column 15.3125: 0.3125 pixels from the centre of "
    "column 15.\n"
    "Focal-spot penumbra F (L - zMask) / zMask: 0.6 x 1.2 length units = 0.75 x 1.5 detector "
    "pixels of blur.\n"
    "One detector pixel of shift: 0.00909091 rad of refraction (pixel size / (L - zMid)).\n";

TEST_F(ParamsDesignTest, NumbersOfAKnownSetUpWithoutLengthUnit) {
    const ToolResult r = design("focalSpotFwhmX = 0.3\nfocalSpotFwhmY = 0.6\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string(kGeometry) +
                         "Fresnel number of the pre-sample mask's opening: unknown without "
                         "lengthUnitMm.\n");
}

// a = 1.5 units, z = 100 units, lambda = 1.239841984e-6 mm keV / 100 keV. With 1 um units:
// 0.0015^2 / (1.239841984e-8 * 0.1) = 1814.75; with 0.5 nm units 0.907374 and a warning.
TEST_F(ParamsDesignTest, FresnelNumberOfThePreSampleOpening) {
    const std::string spot = "focalSpotFwhmX = 0.3\nfocalSpotFwhmY = 0.6\n";
    ToolResult r = design(spot + "lengthUnitMm = 0.001\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string(kGeometry) +
                         "Fresnel number a^2 / (lambda z) of the pre-sample mask's opening: "
                         "1814.75 (a 0.0015 mm, lambda 1.23984e-08 mm, z 0.1 mm).\n");
    r = design(spot + "lengthUnitMm = 0.0000005\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string(kGeometry) +
                         "Fresnel number a^2 / (lambda z) of the pre-sample mask's opening: "
                         "0.907374 (a 7.5e-07 mm, lambda 1.23984e-08 mm, z 5e-05 mm).\n"
                         "WARNING: the Fresnel number is below 1: diffraction at the "
                         "pre-sample mask spreads the beamlets and ray optics, which conesim "
                         "follows, no longer holds.\n");
}

// A pre-sample mask moved by 0.4 moves its opening by 0.4 * 3 / 0.8 = 1.5 pixels.
TEST_F(ParamsDesignTest, ShiftedMaskMovesItsOpeningAndUnreadableFilesAreRefused) {
    ToolResult r = design("preMaskShiftX = 0.4\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  Opening nearest the axis centred at column 25.25: 0.25 pixels from "
                         "the centre of column 25.\n"),
              std::string::npos)
        << r.out;
    r = runTool(CONESIM_PARAMS_TOOL, {"design", "missing.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    r = runTool(CONESIM_PARAMS_TOOL, {"design"}, dir.path());
    EXPECT_EQ(r.status, 2);
}

}  // namespace
}  // namespace conesim
