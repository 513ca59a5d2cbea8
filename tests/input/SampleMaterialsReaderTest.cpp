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

}  // namespace
}  // namespace conesim
