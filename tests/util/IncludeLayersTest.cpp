// The subsystems stand in layers, and an include may only point to the same layer or one
// below: util at the bottom; params, input and output on it; precalc; engine; the driver on
// top. The engine never includes the driver, and the shared utilities include no subsystem.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace conesim {
namespace {

namespace fs = std::filesystem;

const std::map<std::string, int> kLayer = {
    {"util", 0},    {"params", 1}, {"input", 1},  {"output", 1},
    {"precalc", 2}, {"engine", 3}, {"driver", 4},
};

TEST(IncludeLayers, NoSubsystemIncludesALayerAboveItsOwn) {
    const fs::path source = fs::path(CONESIM_SOURCE_DIR) / "src";
    const std::regex include("^\\s*#\\s*include\\s*\"([a-z]+)/");
    std::vector<std::string> upward;
    std::size_t filesRead = 0;
    for (const auto& [subsystem, layer] : kLayer) {
        ASSERT_TRUE(fs::is_directory(source / subsystem)) << subsystem;
        for (const fs::directory_entry& entry :
             fs::recursive_directory_iterator(source / subsystem)) {
            if (!entry.is_regular_file()) {
                continue;
            }
            ++filesRead;
            std::ifstream in(entry.path());
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                std::smatch found;
                if (!std::regex_search(line, found, include)) {
                    continue;
                }
                const auto target = kLayer.find(found[1].str());
                if (target != kLayer.end() && target->second > layer) {
                    upward.push_back(entry.path().string() + ":" + std::to_string(number) + ": " +
                                     line);
                }
            }
        }
    }
    EXPECT_GT(filesRead, 50U);
    EXPECT_TRUE(upward.empty()) << ::testing::PrintToString(upward);
}

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
