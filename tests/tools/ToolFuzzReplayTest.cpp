// The tool-argument fuzzer's seed inputs and every input it once failed on, replayed through
// the same target body in the normal (and the sanitizer) test suite.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestSupport.hpp"
#include "ToolArgumentTarget.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;

int replay(const std::string& folder) {
    const fs::path dir = fs::path(CONESIM_SOURCE_DIR) / "tests/fuzz" / folder / "tool_arguments";
    int replayed = 0;
    if (!fs::is_directory(dir)) {
        return replayed;
    }
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::vector<std::uint8_t> bytes = testing::readBytes(entry.path().string());
        SCOPED_TRACE(entry.path().string());
        fuzz::toolArguments(bytes.data(), bytes.size());
        ++replayed;
    }
    return replayed;
}

TEST(ToolFuzzReplay, SeedCorpusRunsCleanly) {
    EXPECT_GE(replay("corpus"), 9);
}

TEST(ToolFuzzReplay, KeptInputsRunCleanly) {
    replay("regressions");
}

// The target's argument split: the first byte picks the tool, NUL bytes separate words, and
// an empty input or word is handled like any other.
TEST(ToolFuzzReplay, ArgumentVectorsOfEveryShapeRunCleanly) {
    // Every byte of each literal, embedded zeros included (sizeof counts them; the final
    // terminator is left out).
    const auto bytes = [](const auto& literal) {
        return std::string(literal, sizeof(literal) - 1);
    };
    const std::vector<std::string> inputs = {
        std::string(),
        std::string(1, '\0'),
        bytes("\x01--dims\0"
              "1x1x1\0-o\0\0"),
        bytes("\x02\0\0\0--colormap\0--min\0-0"),
        bytes("\x03-o\0x\0--width\0"
              "1\0"),
        bytes("\x04--size\0"
              "1\0-o\0m\0--opaque"),
    };
    for (const std::string& input : inputs) {
        fuzz::toolArguments(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    }
}

}  // namespace
}  // namespace conesim
