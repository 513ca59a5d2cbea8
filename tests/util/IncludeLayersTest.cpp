// The subsystems stand in layers: util at the bottom; params, input, output and formats on it;
// precalc; engine; the driver on top. The build keeps includes from pointing upwards (each
// subsystem sees only its own headers and those below); here, that src holds the subsystems
// and the entry point alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace conesim {
namespace {

namespace fs = std::filesystem;

const std::map<std::string, int> kLayer = {
    {"util", 0},    {"params", 1},  {"input", 1},  {"output", 1},
    {"formats", 1}, {"precalc", 2}, {"engine", 3}, {"driver", 4},
};

// Only the entry point lies outside the subsystem folders, and it hands over to the driver.
TEST(IncludeLayers, SourceFolderHoldsTheSubsystemsAndTheEntryPoint) {
    const fs::path source = fs::path(CONESIM_SOURCE_DIR) / "src";
    for (const fs::directory_entry& entry : fs::directory_iterator(source)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_directory()) {
            EXPECT_TRUE(kLayer.count(name) == 1) << name;
        } else {
            EXPECT_EQ(name, "main.cpp");
        }
    }
}

}  // namespace
}  // namespace conesim
