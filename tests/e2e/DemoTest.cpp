// Runs the edge-illumination demo (examples/run-demo.sh) as `make demo` does, into a scratch
// folder, and checks that its images show refraction contrast: at the left and right edge
// of the plastic sphere the counts differ from the open beam in opposite directions, and
// moving the analyser strip to the other half of the beamlets reverses both; the
// laboratory variant keeps that contrast, weakened.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "ProgramRun.hpp"
#include "TestSupport.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::ScratchDir;

// The demo's detector: 128 x 128 pixels.
constexpr int kWidth = 128;
constexpr int kHeight = 128;

// The plastic sphere of the demo phantom (centre voxel x 92, y 40, radius 22 voxels) is
// magnified 0.8 times onto the detector pixels (voxel 10 um, magnification 4, pixel
// 50 um): centre column 86.4, row 44.8, radius 17.6, so its edges lie at columns 68.8 and
// 104.0. The rows taken lie around its centre row, where its edges run up and down.
constexpr int kFirstRow = 40;
constexpr int kLastRow = 49;
constexpr int kLeftEdgeFirst = 69;
constexpr int kLeftEdgeLast = 71;
constexpr int kRightEdgeFirst = 101;
constexpr int kRightEdgeLast = 103;
// Open beam beside the sphere, on the same rows.
constexpr int kBackgroundFirst = 110;
constexpr int kBackgroundLast = 125;

struct DemoRun {
    int shellStatus = -1;
    std::string console;
};

DemoRun runDemo(const fs::path& workDir, const fs::path& consoleFile) {
    testing::ProgramCall call{
        "/bin/bash",
        {CONESIM_SOURCE_DIR "/examples/run-demo.sh", CONESIM_BUILD_DIR, workDir.string()},
        workDir.parent_path()};
    call.mergeErrorIntoOutput = true;
    const testing::ProgramResult run = testing::runProgram(call);
    testing::writeText(consoleFile.string(), run.out);
    return DemoRun{run.shellStatus(), run.out};
}

// The run number a conesim console output names ("Run number N" on a line of its own).
std::string runNumber(const std::string& console) {
    std::smatch match;
    const std::regex line("\nRun number ([0-9]+)\n");
    return std::regex_search(console, match, line) ? match[1].str() : std::string();
}

// Mean count over the given rows and columns (inclusive) of a row-major image.
double meanCount(const std::vector<std::uint32_t>& image, int firstColumn, int lastColumn) {
    double sum = 0.0;
    int count = 0;
    for (int row = kFirstRow; row <= kLastRow; ++row) {
        for (int column = firstColumn; column <= lastColumn; ++column) {
            sum += image[static_cast<std::size_t>(row * kWidth + column)];
            ++count;
        }
    }
    return sum / count;
}

struct EdgeContrast {
    double background = 0.0;
    double leftEdge = 0.0;
    double rightEdge = 0.0;
};

EdgeContrast edgeContrast(const fs::path& datFile) {
    const std::vector<std::uint32_t> image = testing::readValues<std::uint32_t>(datFile.string());
    EXPECT_EQ(image.size(), static_cast<std::size_t>(kWidth * kHeight)) << datFile;
    EdgeContrast contrast;
    if (image.size() != static_cast<std::size_t>(kWidth * kHeight)) {
        return contrast;
    }
    contrast.background = meanCount(image, kBackgroundFirst, kBackgroundLast);
    contrast.leftEdge = meanCount(image, kLeftEdgeFirst, kLeftEdgeLast);
    contrast.rightEdge = meanCount(image, kRightEdgeFirst, kRightEdgeLast);
    return contrast;
}

bool toolsBuilt() {
    for (const char* tool : {"conesim-phantom", "conesim-mask", "conesim-png", "conesim-sum"}) {
        if (!fs::exists(fs::path(CONESIM_BUILD_DIR) / "tools" / tool)) {
            return false;
        }
    }
    return true;
}

TEST(Demo, EdgeIlluminationImagesShowOppositeFringesAtTheSphereEdges) {
    if (!toolsBuilt()) {
        GTEST_SKIP() << "the companion tools are not built in " CONESIM_BUILD_DIR;
    }
    ScratchDir dir;
    const fs::path work = dir.path() / "demo";
    const DemoRun demo = runDemo(work, dir.path() / "demo-console.txt");
    ASSERT_EQ(demo.shellStatus, 0) << demo.console;

    const std::string runA = runNumber(readText((work / "run-a.log").string()));
    const std::string runB = runNumber(readText((work / "run-b.log").string()));
    ASSERT_FALSE(runA.empty());
    ASSERT_FALSE(runB.empty());

    // Run A: the sensitive strip holds the left half of every beamlet. The sphere bends
    // rays outwards (its refractive index is below 1): at its left edge the beamlets move
    // left, further into the strip (brighter), at its right edge right, out of it (darker).
    const EdgeContrast a = edgeContrast(work / "out" / ("Final." + runA + ".dat"));
    EXPECT_GT(a.background, 100.0);
    EXPECT_GT(a.leftEdge, 1.15 * a.background);
    EXPECT_LT(a.rightEdge, 0.85 * a.background);

    // Run B: the strip holds the right half of every beamlet, so both fringes turn round.
    const EdgeContrast b = edgeContrast(work / "out" / ("Final." + runB + ".dat"));
    EXPECT_GT(b.background, 100.0);
    EXPECT_LT(b.leftEdge, 0.85 * b.background);
    EXPECT_GT(b.rightEdge, 1.15 * b.background);

    // The laboratory runs (focal spot, photon energies, blur): the difference between the
    // two edges keeps its sign in each run but shrinks, mostly through the focal spot's
    // penumbra, which widens the beamlets beyond the strip.
    const std::string labA = runNumber(readText((work / "run-lab-a.log").string()));
    const std::string labB = runNumber(readText((work / "run-lab-b.log").string()));
    ASSERT_FALSE(labA.empty());
    ASSERT_FALSE(labB.empty());
    const EdgeContrast la = edgeContrast(work / "out" / ("Final." + labA + ".dat"));
    const EdgeContrast lb = edgeContrast(work / "out" / ("Final." + labB + ".dat"));
    EXPECT_GT(la.background, 100.0);
    EXPECT_GT(lb.background, 100.0);
    const double idealA = (a.leftEdge - a.rightEdge) / a.background;
    const double idealB = (b.rightEdge - b.leftEdge) / b.background;
    const double laboratoryA = (la.leftEdge - la.rightEdge) / la.background;
    const double laboratoryB = (lb.rightEdge - lb.leftEdge) / lb.background;
    EXPECT_GT(laboratoryA, 0.2);
    EXPECT_LT(laboratoryA, 0.8 * idealA);
    EXPECT_GT(laboratoryB, 0.2);
    EXPECT_LT(laboratoryB, 0.8 * idealB);
    EXPECT_NE(readText((work / "out" / "Logger.txt").string())
                  .find("Extension setting photonEnergies: spectrum\n"),
              std::string::npos);

    // Run B read the planes that run A computed instead of computing them again, and the
    // demo wrote every image it names.
    EXPECT_NE(readText((work / "run-a.log").string()).find("Calculating refractive index map."),
              std::string::npos);
    EXPECT_EQ(readText((work / "run-b.log").string()).find("Calculating refractive index map."),
              std::string::npos);
    EXPECT_NE(readText((work / "out" / "Logger.txt").string()).find("Running in mode: 5\n"),
              std::string::npos);
    for (const char* file :
         {"out/sum-a-b.dat", "out/sum-a-b.pgm", "out/sum-lab-a-b.dat", "png/final-a.png",
          "png/final-b.png", "png/sum-a-b.png", "png/lab-final-a.png", "png/lab-final-b.png",
          "png/lab-sum-a-b.png", "png/deflection-lr.png", "png/deflection-ud.png",
          "png/attenuation-plane.png"}) {
        EXPECT_TRUE(fs::is_regular_file(work / file)) << file;
    }
}

}  // namespace
}  // namespace conesim
