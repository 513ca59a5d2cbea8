// The tools together with the program, as a user runs them: a phantom and masks made by the
// tools feed two runs, whose final images are added and turned into PNGs.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ParameterFileText.hpp"
#include "TestSupport.hpp"
#include "ToolRunner.hpp"
#include "common/PngIo.hpp"

namespace conesim {
namespace {

using testing::runTool;
using testing::ScratchDir;
using testing::ToolResult;
using Counts = std::vector<std::uint32_t>;

TEST(ToolWorkflowTest, PhantomAndMasksFeedRunsWhoseImagesAreAddedAndShown) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.path() / "OUT");
    const auto step = [&](const char* tool, const std::vector<std::string>& args) {
        const ToolResult result = runTool(tool, args, dir.path());
        EXPECT_EQ(result.status, 0) << tool << ": " << result.err << result.out;
        return result;
    };
    step(CONESIM_PHANTOM_TOOL, {"--dims", "24x24x12", "-o", "Phantom.bin", "--sphere", "8,12,6,5,1",
                                "--slab", "45,4,0.5"});
    step(CONESIM_MASK_TOOL, {"--size", "100", "-o", "pre.pgm", "--clear"});
    step(CONESIM_MASK_TOOL, {"--size", "100", "-o", "post.pgm", "--grating", "4,3"});
    testing::writeText(dir.file("Spectrum"), "30\n");
    const auto parameters = [](const std::string& mode) {
        return testing::parameterFileText({{10, "24"},
                                           {11, "24"},
                                           {12, "12"},
                                           {16, "1"},
                                           {17, "Phantom.bin"},
                                           {32, mode},
                                           {39, "20000"}});
    };
    testing::writeText(dir.file("run.txt"), parameters("3"));
    step(CONESIM_BINARY, {"run.txt", "first"});
    testing::writeText(dir.file("run.txt"), parameters("5"));
    step(CONESIM_BINARY, {"run.txt", "second"});

    const Counts first = testing::readValues<std::uint32_t>(dir.file("OUT/first.1.dat"));
    const Counts second = testing::readValues<std::uint32_t>(dir.file("OUT/second.1.dat"));
    ASSERT_EQ(first.size(), 40U * 40U);
    ASSERT_EQ(second.size(), first.size());

    step(CONESIM_SUM_TOOL,
         {"--params", "run.txt", "-o", "OUT/total", "OUT/first.1.dat", "OUT/second.1.dat"});
    Counts expected(first.size());
    std::uint64_t hits = 0;
    for (std::size_t i = 0; i < first.size(); ++i) {
        expected[i] = first[i] + second[i];
        hits += expected[i];
    }
    EXPECT_GT(hits, 0U);
    EXPECT_EQ(testing::readValues<std::uint32_t>(dir.file("OUT/total.dat")), expected);
    EXPECT_EQ(testing::readText(dir.file("OUT/total.pgm")), testing::programPgm(expected, 40));

    step(CONESIM_PNG_TOOL, {"OUT/total.dat", "--params", "run.txt", "--log"});
    step(CONESIM_PNG_TOOL, {"Z_iLR-PRE.pca", "--params", "run.txt"});
    step(CONESIM_PNG_TOOL, {"OUT/first.1.pgm"});
    for (const auto& [name, width, height] :
         std::vector<std::tuple<std::string, std::uint32_t, std::uint32_t>>{
             {"OUT/total.png", 40, 40}, {"Z_iLR-PRE.png", 24, 24}, {"OUT/first.1.png", 40, 40}}) {
        tools::GreyImage png;
        std::string error;
        ASSERT_TRUE(tools::readGreyPng(dir.file(name), png, error)) << error;
        EXPECT_EQ(png.width, width) << name;
        EXPECT_EQ(png.height, height) << name;
    }
}

}  // namespace
}  // namespace conesim
