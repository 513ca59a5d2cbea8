// Shared by the end-to-end tests that stop a long run: a mode-5 set-up of 40 x 40 pixels
// with planes of zeros, and the check that the final image holds every hit the console
// reported.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <numeric>
#include <regex>
#include <string>
#include <vector>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"

namespace conesim::testing {

// OUT/, a one-line spectrum, a sample of zeros and its three zero planes, and params.txt
// that asks for `photons` photons with a progress report every 10^8.
inline void prepareZeroPlaneRun(const ScratchDir& dir, const std::string& photons) {
    std::filesystem::create_directory(dir.path() / "OUT");
    writeText(dir.file("Spectrum"), "30\n");
    writeValues(dir.file("Sample.bin"), std::vector<float>(20 * 20 * 4, 0.0F));
    for (const char* plane : {"Z_ref-PRE.pca", "Z_iLR-PRE.pca", "Z_iUD-PRE.pca"}) {
        writeValues(dir.file(plane), std::vector<double>(400, 0.0));
    }
    writeText(dir.file("params.txt"), parameterFileText({{39, photons}, {40, "100000000"}}));
}

// The hits the console reports are the counts of the whole final image OUT/`name`.1.dat, and
// the run log records the run's end.
inline void expectWholeImage(const ScratchDir& dir, const std::string& console,
                             const std::string& name) {
    std::smatch hits;
    ASSERT_TRUE(std::regex_search(console, hits, std::regex("Detector scored ([0-9]+) hits.")))
        << console;
    const std::vector<std::uint32_t> image =
        readValues<std::uint32_t>(dir.file("OUT/" + name + ".1.dat"));
    ASSERT_EQ(image.size(), 40U * 40U);
    EXPECT_EQ(std::accumulate(image.begin(), image.end(), std::uint64_t{0}),
              std::stoull(hits[1].str()));
    EXPECT_NE(readText(dir.file("OUT/Logger.txt")).find("Run number 1 finished at:\n"),
              std::string::npos);
}

// Whether the output folder holds an image of the run `name` (or a placeholder of one); its
// record, NAME.1.json, is written whatever became of the run.
inline bool leavesImagesOf(const ScratchDir& dir, const std::string& name) {
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("OUT"))) {
        const std::string file = entry.path().filename().string();
        if (file.rfind(name + ".", 0) == 0 && file != name + ".1.json") {
            return true;
        }
    }
    return false;
}

}  // namespace conesim::testing
