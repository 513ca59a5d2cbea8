#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.hpp"
#include "formats/MetaImageHeader.hpp"
#include "formats/RawVolume.hpp"

namespace conesim {
namespace {

using testing::readBytes;
using testing::readText;
using testing::ScratchDir;

MetaImageLayout floatLayout(std::int64_t x, std::int64_t y, std::int64_t z) {
    return MetaImageLayout{{x, y, z}, {0.5, 0.5, 2.0}, MetaElementType::kFloat32};
}

// Slice by slice or staged whole, a volume's file holds its floats little-endian, x fastest,
// and reads back through its header as the same values.
TEST(RawVolume, WrittenLittleEndianAndReadBackThroughItsHeader) {
    ScratchDir dir;
    const std::string streamed = dir.file("streamed.raw");
    std::string error;
    ASSERT_TRUE(writeFloatVolume(
        streamed, floatLayout(2, 1, 2),
        [](std::int64_t z, std::vector<float>& slice) {
            slice = {1.0F + static_cast<float>(z), -2.5F};
        },
        error))
        << error;
    const std::vector<std::uint8_t> bytes = readBytes(streamed);
    ASSERT_EQ(bytes.size(), 16U);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x80, 0x3F}));  // 1.0F
    EXPECT_EQ(readText(streamed + ".mhd"), metaImageHeaderText(streamed, floatLayout(2, 1, 2)));
    FloatVolume volume;
    ASSERT_TRUE(readFloatVolume(streamed + ".mhd", volume, error)) << error;
    EXPECT_EQ(volume.dimX, 2);
    EXPECT_EQ(volume.dimZ, 2);
    EXPECT_EQ(volume.values, (std::vector<float>{1.0F, -2.5F, 2.0F, -2.5F}));
    EXPECT_EQ(volume.planeXz(0), volume.values);

    std::vector<std::unique_ptr<PendingFile>> files;
    const std::string staged = dir.file("staged.raw");
    ASSERT_TRUE(stageFloatVolume(staged, floatLayout(2, 1, 2), volume.values, files, error));
    ASSERT_EQ(files.size(), 2U);
    ASSERT_TRUE(commitTogether({files[0].get(), files[1].get()}, error)) << error;
    EXPECT_EQ(readBytes(staged), bytes);
}

TEST(RawVolume, RefusesOtherTypesAndSizesNamingTheFiles) {
    ScratchDir dir;
    const std::string raw = dir.file("v.raw");
    testing::writeValues(raw, std::vector<float>{1.0F, 2.0F, 3.0F});
    std::string error;
    ASSERT_TRUE(writeMetaImageHeader(raw, floatLayout(2, 2, 1), error));
    FloatVolume volume;
    EXPECT_FALSE(readFloatVolume(raw + ".mhd", volume, error));
    EXPECT_EQ(error, raw + " holds 3 floats; " + raw + ".mhd describes 4");
    ASSERT_TRUE(writeMetaImageHeader(raw, {{3, 1}, {1.0, 1.0}, MetaElementType::kUint32}, error));
    EXPECT_FALSE(readFloatVolume(raw + ".mhd", volume, error));
    EXPECT_EQ(error, raw + ".mhd: not a volume of 32-bit floats (MET_FLOAT)");
}

}  // namespace
}  // namespace conesim
