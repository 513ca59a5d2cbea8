// The materials file reader: words, quotes, comments, label order and the record's text.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.hpp"
#include "input/SampleLabels.hpp"
#include "input/SampleMaterials.hpp"

namespace conesim {
namespace {

using testing::ScratchDir;

TEST(SampleMaterialsReader, ReadsQuotedNamesCommentsAndSortsByLabel) {
    ScratchDir dir;
    testing::writeText(dir.file("m.txt"),
                       "# label density compound\n"
                       "\n"
                       "3 1.92 \"Bone, Cortical (ICRP)\"  # bone\n"
                       "\t1 1.0 H2O\r\n"
                       "2 1.18 C5H8O2#pmma\n");
    SampleMaterials materials;
    std::string error;
    ASSERT_TRUE(readSampleMaterials(dir.file("m.txt"), materials, error)) << error;
    ASSERT_EQ(materials.materials.size(), 3U);
    EXPECT_EQ(materials.materials[0].label, 1);
    EXPECT_EQ(materials.materials[0].material.compound, "H2O");
    EXPECT_EQ(materials.materials[0].line, 4);
    EXPECT_EQ(materials.materials[1].material.compound, "C5H8O2");
    EXPECT_DOUBLE_EQ(materials.materials[1].material.density, 1.18);
    EXPECT_EQ(materials.materials[2].material.compound, "Bone, Cortical (ICRP)");
    EXPECT_EQ(materialsSignature(materials),
              "1 H2O 1; 2 C5H8O2 1.18; 3 Bone, Cortical (ICRP) 1.92");
    EXPECT_TRUE(isSampleLabel(materials, 0.0F));
    EXPECT_TRUE(isSampleLabel(materials, 3.0F));
    EXPECT_FALSE(isSampleLabel(materials, 4.0F));
    EXPECT_FALSE(isSampleLabel(materials, 1.5F));
}

TEST(SampleMaterialsReader, MissingFileIsNamed) {
    SampleMaterials materials;
    std::string error;
    EXPECT_FALSE(readSampleMaterials("no/such/materials.txt", materials, error));
    EXPECT_EQ(error, "ERROR: Cannot read materials file no/such/materials.txt (sampleMaterials).");
}

TEST(SampleMaterialsReader, DensityMustBeAWholeNumberText) {
    ScratchDir dir;
    testing::writeText(dir.file("m.txt"), "1 1.0g H2O\n");
    SampleMaterials materials;
    std::string error;
    EXPECT_FALSE(readSampleMaterials(dir.file("m.txt"), materials, error));
    EXPECT_NE(error.find("line 1: the density 1.0g is not a positive number"), std::string::npos)
        << error;
}

TEST(SampleMaterialsReader, ScatterFieldGivesTheDiffusionCoefficient) {
    ScratchDir dir;
    testing::writeText(dir.file("m.txt"),
                       "2 1.18 C5H8O2 scatter=2.5e-7  # foam\n"
                       "1 1.0 H2O\n"
                       "3 2.7 Al scatter=0\n");
    SampleMaterials materials;
    std::string error;
    ASSERT_TRUE(readSampleMaterials(dir.file("m.txt"), materials, error)) << error;
    ASSERT_EQ(materials.materials.size(), 3U);
    EXPECT_EQ(materials.materials[0].scatter, 0.0);
    EXPECT_EQ(materials.materials[1].scatter, 2.5e-7);
    EXPECT_EQ(materials.materials[2].scatter, 0.0);
    EXPECT_TRUE(anyScatters(materials));
    // The record names the scattering of a material that scatters, so that planes made with
    // another are refused.
    EXPECT_EQ(materialsSignature(materials), "1 H2O 1; 2 C5H8O2 1.18 scatter=2.5e-07; 3 Al 2.7");
}

TEST(SampleMaterialsReader, MalformedScatterFieldIsRefusedWithItsValue) {
    const struct {
        const char* line;
        const char* reason;
    } cases[] = {
        {"1 1.0 H2O scatter=\n", "the scattering scatter= is not a number of at least 0"},
        {"1 1.0 H2O scatter=abc\n", "the scattering scatter=abc is not a number of at least 0"},
        {"1 1.0 H2O scatter=1e-3x\n", "the scattering scatter=1e-3x is not"},
        {"1 1.0 H2O scatter=-1e-6\n", "the scattering scatter=-1e-6 is not"},
        {"1 1.0 H2O scatter=nan\n", "the scattering scatter=nan is not"},
        {"1 1.0 H2O scatter=inf\n", "the scattering scatter=inf is not"},
        {"1 1.0 H2O scatter=1e-6 scatter=2e-6\n",
         "unknown field scatter=2e-6 after the "
         "scatter=1e-6"},
        {"1 1.0 H2O Scatter=1e-6\n", "unknown field Scatter=1e-6 after the compound"},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        testing::writeText(dir.file("m.txt"), c.line);
        SampleMaterials materials;
        std::string error;
        EXPECT_FALSE(readSampleMaterials(dir.file("m.txt"), materials, error)) << c.line;
        EXPECT_NE(error.find("line 1: " + std::string(c.reason)), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace conesim
