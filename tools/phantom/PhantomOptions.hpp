// The command line of conesim-phantom.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "phantom/PhantomShapes.hpp"

namespace conesim::tools {

// The largest voxel count per axis that the program accepts.
constexpr std::int64_t kMaxSampleDim = 3000;
// The most sub-samples per voxel edge that --supersample accepts.
constexpr std::int64_t kMaxSupersample = 16;

struct PhantomOptions {
    bool help = false;
    GridSize grid;
    std::string output;
    float background = 0.0F;
    std::array<double, 3> voxelSize{1.0, 1.0, 1.0};  //!< --voxel-size, for the header only
    std::int64_t supersample = 1;  //!< --supersample N: N^3 sub-samples per voxel; 1 = the centre
    std::vector<Shape> shapes;     //!< in command-line order; later ones overwrite earlier
    bool labels = false;  //!< --labels: a label volume; every value a whole number 0 .. 2^24
};

// The largest label of a label volume: whole numbers up to it are exact in a 32-bit float.
constexpr double kMaxLabel = 16777216.0;

// The --help text: usage, what the tool writes, the options and the exit statuses.
std::string phantomUsage();

// Returns kExitOk with options filled (options.help after -h or --help), or kExitUsage with
// error saying which argument is wrong.
int parsePhantomOptions(int argc, char** argv, PhantomOptions& options, std::string& error);

}  // namespace conesim::tools
