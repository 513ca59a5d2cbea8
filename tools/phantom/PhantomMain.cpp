// conesim-phantom: writes a sample volume file made of simple shapes.
#include <iostream>

#include "common/ToolExit.hpp"
#include "phantom/PhantomOptions.hpp"
#include "phantom/PhantomWriter.hpp"

namespace {

int runPhantom(int argc, char** argv) {
    using namespace conesim::tools;
    PhantomOptions options;
    std::string error;
    if (parsePhantomOptions(argc, argv, options, error) != kExitOk) {
        return usageError("conesim-phantom", error);
    }
    if (options.help) {
        std::cout << phantomUsage();
        return kExitOk;
    }
    if (!writePhantom(options, error)) {
        return failure("conesim-phantom", error);
    }
    const GridSize& g = options.grid;
    const std::int64_t bytes = g.x * g.y * g.z * 4;
    std::cout << "Wrote " << options.output << ": " << g.x << " x " << g.y << " x " << g.z
              << " voxels, " << bytes << " bytes.\n"
              << "Wrote " << options.output << ".mhd: its MetaImage header.\n"
              << "Parameter file values 10 to 12:\n"
              << "sampleDimX = " << g.x << "\n"
              << "sampleDimY = " << g.y << "\n"
              << "sampleDimZ = " << g.z << std::endl;
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    return conesim::tools::runGuarded("conesim-phantom", [&] { return runPhantom(argc, argv); });
}
