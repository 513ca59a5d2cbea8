// The scratch folder of the sweep tests: an empty sample, a spectrum and a parameter file
// of a small detector, and the sweep tool run there.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"
#include "ToolRunner.hpp"

namespace conesim::testing {

using Counts = std::vector<std::uint32_t>;

// A folder with a 20 x 20 x 4 empty sample, a spectrum and a run-mode-3 parameter file of
// a 40 x 40 detector whose left half of every pixel (from its centre) is sensitive.
class SweepToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::writeValues(dir.file("Sample.bin"), std::vector<float>(20 * 20 * 4, 0.0F));
        testing::writeText(dir.file("Spectrum"), "30\n");
        writeParameters({});
    }

    void writeParameters(std::map<int, std::string> overrides) {
        overrides.emplace(32, "3");
        overrides.emplace(34, "0.5");
        overrides.emplace(39, "20000");
        parameters = testing::parameterFileText(overrides);
        testing::writeText(dir.file("run.txt"), parameters);
    }

    ToolResult sweep(const std::vector<std::string>& args) {
        return runTool(CONESIM_SWEEP_TOOL, args, dir.path());
    }

    Counts image(const std::string& name) {
        return testing::readValues<std::uint32_t>(dir.file("sweep/" + name + ".1.dat"));
    }

    // How often the run log records each run mode.
    int modeCount(int mode) {
        const std::string log = readText(dir.file("sweep/Logger.txt"));
        const std::string line = "Running in mode: " + std::to_string(mode) + "\n";
        int count = 0;
        for (std::size_t at = log.find(line); at != std::string::npos;
             at = log.find(line, at + 1)) {
            ++count;
        }
        return count;
    }

    static std::uint64_t sum(const Counts& counts) {
        std::uint64_t total = 0;
        for (const std::uint32_t c : counts) {
            total += c;
        }
        return total;
    }

    ScratchDir dir;
    std::string parameters;
};

inline constexpr const char* kStackHeader =
    "ObjectType = Image\nNDims = 3\nBinaryData = True\nBinaryDataByteOrderMSB = False\n"
    "CompressedData = False\nElementSpacing = 1 1 1\nDimSize = 40 40 %d\n"
    "ElementType = MET_UINT\nElementDataFile = stack.raw\n";

// The stack header of the 40 x 40 detector with slices images.
inline std::string stackHeader(int slices) {
    char text[512];
    std::snprintf(text, sizeof text, kStackHeader, slices);
    return text;
}

}  // namespace conesim::testing
