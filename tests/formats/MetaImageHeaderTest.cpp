#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.hpp"
#include "formats/MetaImageHeader.hpp"

namespace conesim {
namespace {

TEST(MetaImageHeader, DetectorImageHeaderNamesItsRawFileAndLayout) {
    const MetaImageLayout layout{{400, 300}, {0.5, 1.3F}, MetaElementType::kUint32};
    EXPECT_EQ(metaImageHeaderText("out/Final.123.dat", layout),
              "ObjectType = Image\n"
              "NDims = 2\n"
              "BinaryData = True\n"
              "BinaryDataByteOrderMSB = False\n"
              "CompressedData = False\n"
              "ElementSpacing = 0.5 1.3\n"
              "DimSize = 400 300\n"
              "ElementType = MET_UINT\n"
              "ElementDataFile = Final.123.dat\n");
    EXPECT_EQ(metaImageHeaderPath("out/Final.123.dat"), "out/Final.123.dat.mhd");
}

TEST(MetaImageHeader, VolumeAndPlaneTypes) {
    const MetaImageLayout volume{{3000, 20, 1}, {0.1F, 0.25, 7.0}, MetaElementType::kFloat32};
    const std::string text = metaImageHeaderText("Z_ref-PRE", volume);
    EXPECT_NE(text.find("NDims = 3\n"), std::string::npos);
    EXPECT_NE(text.find("ElementSpacing = 0.1 0.25 7\n"), std::string::npos);
    EXPECT_NE(text.find("DimSize = 3000 20 1\n"), std::string::npos);
    EXPECT_NE(text.find("ElementType = MET_FLOAT\n"), std::string::npos);
    const MetaImageLayout plane{{2, 2}, {1e-7, 1.0 / 3.0}, MetaElementType::kFloat64};
    const std::string planeText = metaImageHeaderText("Z_ref-PRE.pca", plane);
    EXPECT_NE(planeText.find("ElementType = MET_DOUBLE\n"), std::string::npos);
    EXPECT_NE(planeText.find("ElementSpacing = 1e-07 0.3333333333333333\n"), std::string::npos);
    EXPECT_NE(planeText.find("ElementDataFile = Z_ref-PRE.pca\n"), std::string::npos);
}

TEST(MetaImageHeader, WrittenBesideTheRawFileOrReportedWhenItCannotBe) {
    testing::ScratchDir dir;
    const std::string raw = dir.file("image.dat");
    const MetaImageLayout layout{{4, 2}, {1.0, 1.0}, MetaElementType::kUint32};
    std::string error;
    ASSERT_TRUE(writeMetaImageHeader(raw, layout, error)) << error;
    EXPECT_EQ(testing::readText(raw + ".mhd"), metaImageHeaderText(raw, layout));
    EXPECT_FALSE(writeMetaImageHeader(dir.file("missing/image.dat"), layout, error));
    EXPECT_NE(error.find("missing/image.dat.mhd"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

}  // namespace
}  // namespace conesim
