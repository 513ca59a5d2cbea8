// Every input the fuzzers ever kept, and the seed corpora, replayed through the same target
// bodies in the normal (and the sanitizer) test suite.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "../fuzz/FuzzTargets.hpp"
#include "TestSupport.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;

using Target = std::function<void(const std::uint8_t*, std::size_t)>;

const std::map<std::string, Target>& targets() {
    static const std::map<std::string, Target> all = {
        {"parameter_file", fuzz::parameterFile},
        {"mask_image", fuzz::maskImage},
        {"spectrum", fuzz::spectrum},
        {"map_file", fuzz::mapFile},
    };
    return all;
}

int replay(const std::string& folder) {
    int replayed = 0;
    for (const auto& [name, target] : targets()) {
        const fs::path dir = fs::path(CONESIM_SOURCE_DIR) / "tests/fuzz" / folder / name;
        if (!fs::is_directory(dir)) {
            continue;
        }
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::vector<std::uint8_t> bytes = testing::readBytes(entry.path().string());
            SCOPED_TRACE(entry.path().string());
            target(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    return replayed;
}

TEST(FuzzRegression, KeptCrashInputsRunCleanly) {
    EXPECT_GE(replay("regressions"), 1);
}

TEST(FuzzRegression, SeedCorporaRunCleanly) {
    EXPECT_GE(replay("corpus"), 4);
}

TEST(MapPreview, InfiniteAndNaNSumsGiveGreyLevelZero) {
    testing::ScratchDir dir;
    testing::WorkingDirectory cwd(dir.path());
    MapArray map = MapArray::createDoubleMap("Z_iLR-PRE", 3, 1, 1);
    map.doubleData() = {1.0, std::numeric_limits<double>::quiet_NaN(),
                        std::numeric_limits<double>::infinity()};
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
    std::ostringstream log;
    ASSERT_TRUE(map.writeMapPgm(console, log));
    const std::string preview = testing::readText("Z_iLR-PRE.pgm");
    EXPECT_EQ(preview.substr(0, 11), "P2\n3 1\n255\n");
}

}  // namespace
}  // namespace conesim
