// The phase model of refraction on the built programs: phantoms from conesim-phantom, planes
// from a run in mode 3 with deflectionModel = phase, compared with the closed forms of a
// sphere, a cylinder and a prism. alpha(x) = 2 delta x / sqrt(R^2 - x^2) is the deflection
// of a ray at distance x from the centre of a circular section of radius R (delta the
// map's 1 - n), the derivative of the projected decrement 2 delta sqrt(R^2 - x^2).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"
#include "ToolRunner.hpp"

namespace conesim {
namespace {

using testing::runTool;
using testing::ScratchDir;
using testing::ToolResult;

struct Grid {
    int x;
    int y;
    int z;
    std::string dims() const {
        return std::to_string(x) + "x" + std::to_string(y) + "x" + std::to_string(z);
    }
};

// What a mode-3 run leaves of a phantom: the LR and UD deflection planes and the refractive
// index map (n - 1 per voxel).
struct PhasePlanes {
    Grid grid;
    std::vector<double> lr;
    std::vector<double> ud;
    std::vector<float> indexMap;

    double lrAt(int x, int y) const { return lr[static_cast<std::size_t>(y * grid.x + x)]; }
    // 1 - n of voxel (x, y, z).
    double decrementAt(int x, int y, int z) const {
        return -static_cast<double>(
            indexMap[static_cast<std::size_t>((z * grid.y + y) * grid.x + x)]);
    }
};

// Makes the phantom with conesim-phantom and runs conesim on it in mode 3 with the given
// deflection model and voxel sizes (values 13 and 15; y as x).
PhasePlanes runPhantom(const Grid& grid, const std::vector<std::string>& phantomArgs,
                       const std::string& model, const std::string& scaleX = "1",
                       const std::string& scaleZ = "1") {
    ScratchDir dir;
    std::vector<std::string> args = {"--dims", grid.dims(), "-o", "phantom.bin"};
    args.insert(args.end(), phantomArgs.begin(), phantomArgs.end());
    const ToolResult made = runTool(CONESIM_PHANTOM_TOOL, args, dir.path());
    EXPECT_EQ(made.status, 0) << made.err;
    std::filesystem::create_directory(dir.path() / "OUT");
    testing::writeText(dir.file("Spectrum"), "30\n");
    const std::string parameters = testing::parameterFileText({{10, std::to_string(grid.x)},
                                                               {11, std::to_string(grid.y)},
                                                               {12, std::to_string(grid.z)},
                                                               {13, scaleX},
                                                               {14, scaleX},
                                                               {15, scaleZ},
                                                               {16, "10"},
                                                               {17, "phantom.bin"},
                                                               {32, "3"},
                                                               {39, "10"}}) +
                                   "deflectionModel = " + model + "\n";
    testing::writeText(dir.file("params.txt"), parameters);
    const ToolResult run = runTool(CONESIM_BINARY, {"params.txt"}, dir.path());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    PhasePlanes planes{grid, testing::readValues<double>(dir.file("Z_iLR-PRE.pca")),
                       testing::readValues<double>(dir.file("Z_iUD-PRE.pca")),
                       testing::readValues<float>(dir.file("Z_ref-PRE"))};
    EXPECT_EQ(planes.lr.size(), static_cast<std::size_t>(grid.x) * grid.y);
    EXPECT_EQ(planes.indexMap.size(), static_cast<std::size_t>(grid.x) * grid.y * grid.z);
    return planes;
}

struct Band {
    double low;   //!< fraction of the radius
    double high;  //!< fraction of the radius
};

// Sum of the plane's LR deflection over the columns of row y whose distance from the centre
// c lies in the band, each side turned outward, over the sum of the closed form there.
double bandRatio(const PhasePlanes& planes, int y, double c, double radius, double delta,
                 Band band) {
    double measured = 0.0;
    double closedForm = 0.0;
    for (int x = 0; x < planes.grid.x; ++x) {
        const double d = x - c;
        if (std::abs(d) < band.low * radius || std::abs(d) > band.high * radius) {
            continue;
        }
        measured += std::copysign(1.0, d) * planes.lrAt(x, y);
        closedForm += 2.0 * delta * std::abs(d) / std::sqrt(radius * radius - d * d);
    }
    return measured / closedForm;
}

constexpr double kRadius = 32.0;
constexpr double kCentre = 39.5;  // the centre of an 80-voxel axis
const Grid kCube{80, 80, 80};
const Band kInner{0.1, 0.25};
const Band kMiddle{0.4, 0.6};
const Band kOuter{0.8, 0.9};

std::vector<std::string> sphere(bool supersampled) {
    std::vector<std::string> args = {"--sphere", "39.5,39.5,39.5,32,1"};
    if (supersampled) {
        args.insert(args.end(), {"--supersample", "4"});
    }
    return args;
}

std::vector<std::string> cylinder(bool supersampled) {
    std::vector<std::string> args = {"--cylinder", "y,39.5,39.5,32,1"};
    if (supersampled) {
        args.insert(args.end(), {"--supersample", "4"});
    }
    return args;
}

// Rows 39 and 40 of the sphere lie half a voxel from its centre: their section has the
// radius sqrt(R^2 - 0.25).
double sphereRowRadius() {
    return std::sqrt(kRadius * kRadius - 0.25);
}

// The bands of the two rows next to the middle of the grid along y.
void expectBands(const PhasePlanes& planes, double rowRadius, const std::vector<Band>& bands) {
    const int middle = planes.grid.y / 2;
    const double delta = planes.decrementAt(40, middle, 40);
    ASSERT_GT(delta, 0.0);
    for (int y : {middle - 1, middle}) {
        for (const Band& band : bands) {
            const double ratio = bandRatio(planes, y, kCentre, rowRadius, delta, band);
            EXPECT_GE(ratio, 0.95) << "row " << y << ", band " << band.low << "-" << band.high;
            EXPECT_LE(ratio, 1.05) << "row " << y << ", band " << band.low << "-" << band.high;
        }
    }
}

TEST(PhaseModelTest, SupersampledSphereAndCylinderFollowTheClosedFormInEveryBand) {
    expectBands(runPhantom(kCube, sphere(true), "phase"), sphereRowRadius(),
                {kInner, kMiddle, kOuter});
    expectBands(runPhantom(Grid{80, 8, 80}, cylinder(true), "phase"), kRadius,
                {kInner, kMiddle, kOuter});
}

TEST(PhaseModelTest, BinarySphereAndCylinderFollowTheClosedFormAwayFromTheCentre) {
    expectBands(runPhantom(kCube, sphere(false), "phase"), sphereRowRadius(), {kMiddle, kOuter});
    expectBands(runPhantom(Grid{80, 8, 80}, cylinder(false), "phase"), kRadius, {kMiddle, kOuter});
}

TEST(PhaseModelTest, DeflectionIntegratedFromRimToCentreIsTheCentralProjectedDecrement) {
    const PhasePlanes planes = runPhantom(kCube, sphere(true), "phase");
    const double delta = planes.decrementAt(40, 40, 40);
    // Column (40, 40) lies half a voxel from the centre along x and along y.
    const double chord = 2.0 * std::sqrt(kRadius * kRadius - 0.5);
    double integrated = 0.0;
    for (int x = 40; x < kCube.x; ++x) {
        integrated += planes.lrAt(x, 40);  // voxel size 1
    }
    EXPECT_NEAR(integrated / (delta * chord), 1.0, 0.02);
}

TEST(PhaseModelTest, ElevenDegreePrismDeflectsByDeltaTimesTheSlopeOfItsFace) {
    // A block 256 columns wide whose top face rises by tan(11 deg) per column: a slab tilted
    // 101 degrees, as thick as the whole grid and moved by half that, clears the voxels
    // above the face through the grid centre. Voxels 0.5 long along x, 0.25 deep along z.
    const Grid grid{300, 8, 64};
    const PhasePlanes planes = runPhantom(
        grid, {"--box", "22,0,0,277,7,63,1", "--slab", "101,1000,0,y,500"}, "phase", "0.5", "0.25");
    const double delta = planes.decrementAt(150, 4, 0);
    // The slope of the voxelised face: least-squares line through the columns' voxel counts.
    const int first = 25;
    const int last = 274;
    double sumX = 0.0;
    double sumT = 0.0;
    double sumXX = 0.0;
    double sumXT = 0.0;
    double sumDeflection = 0.0;
    const int columns = last - first + 1;
    for (int x = first; x <= last; ++x) {
        double voxels = 0.0;
        for (int z = 0; z < grid.z; ++z) {
            voxels += planes.decrementAt(x, 4, z) > 0.0 ? 1.0 : 0.0;
        }
        sumX += x;
        sumT += voxels;
        sumXX += static_cast<double>(x) * x;
        sumXT += x * voxels;
        sumDeflection += planes.lrAt(x, 4);
    }
    const double slope = (columns * sumXT - sumX * sumT) / (columns * sumXX - sumX * sumX);
    EXPECT_NEAR(slope, std::tan(11.0 * 3.14159265358979 / 180.0), 0.002);
    // Thickness rises to the right: the rays turn left, towards the thin edge.
    const double expected = -delta * slope * 0.25 / 0.5;
    EXPECT_NEAR(sumDeflection / columns / expected, 1.0, 0.02);
    // Nothing changes along y.
    for (double value : planes.ud) {
        EXPECT_EQ(value, 0.0);
    }
}

TEST(PhaseModelTest, SphereTurnsRaysOutwardUnderBothModels) {
    for (const char* model : {"interface", "phase"}) {
        const PhasePlanes planes =
            runPhantom(Grid{40, 40, 40}, {"--sphere", "19.5,19.5,19.5,12,1"}, model);
        double outward = 0.0;
        double upward = 0.0;  // along y, through the central column
        for (int i = 0; i < 40; ++i) {
            outward += (i < 20 ? -1.0 : 1.0) * planes.lrAt(i, 20);
            upward += (i < 20 ? -1.0 : 1.0) * planes.ud[static_cast<std::size_t>(i * 40 + 20)];
        }
        EXPECT_GT(outward, 0.0) << model;
        EXPECT_GT(upward, 0.0) << model;
    }
}

}  // namespace
}  // namespace conesim
