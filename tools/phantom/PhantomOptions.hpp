// The command line of conesim-phantom.
#pragma once

#include <string>
#include <vector>

#include "phantom/PhantomShapes.hpp"

namespace conesim::tools {

// The largest voxel count per axis that the program accepts.
constexpr std::int64_t kMaxSampleDim = 3000;

struct PhantomOptions {
    bool help = false;
    GridSize grid;
    std::string output;
    float background = 0.0F;
    std::vector<Shape> shapes;  //!< in command-line order; later ones overwrite earlier
};

extern const char* const kPhantomUsage;

// Returns kExitOk with options filled, or kExitUsage after reporting the bad argument.
int parsePhantomOptions(int argc, char** argv, PhantomOptions& options);

}  // namespace conesim::tools
