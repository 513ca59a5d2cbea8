#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.hpp"
#include "input/SampleVolume.hpp"

namespace conesim {
namespace {

using testing::ScratchDir;

void makeFileOfSize(const std::string& path, std::uintmax_t size) {
    testing::writeText(path, "");
    std::filesystem::resize_file(path, size);  // sparse: no bytes are written
}

TEST(SampleVolumeTest, ExactSizeIsAcceptedAndOneByteOffIsRefused) {
    ScratchDir dir;
    const std::string exact = dir.file("exact.bin");
    const std::string shorter = dir.file("short.bin");
    const std::string longer = dir.file("long.bin");
    makeFileOfSize(exact, 4000000);
    makeFileOfSize(shorter, 3999999);
    makeFileOfSize(longer, 4000001);

    const SampleVolume ok = loadSampleVolume(exact, 100, 100, 100, 0.1F, 3);
    EXPECT_TRUE(ok.loaded);
    EXPECT_EQ(ok.path, exact);
    EXPECT_EQ(ok.dimX, 100);
    EXPECT_EQ(ok.dimY, 100);
    EXPECT_EQ(ok.dimZ, 100);
    EXPECT_EQ(ok.voxelCount, 1000000);
    EXPECT_EQ(ok.sliceSize(), 10000);
    EXPECT_TRUE(ok.voxels.empty());

    for (const std::string& path : {shorter, longer}) {
        const SampleVolume refused = loadSampleVolume(path, 100, 100, 100, 0.1F, 3);
        EXPECT_FALSE(refused.loaded) << path;
        EXPECT_TRUE(refused.path.empty()) << path;
        EXPECT_EQ(refused.voxelCount, 1000000) << path;
    }
}

TEST(SampleVolumeTest, OnlyTheProductOfTheDimensionsCounts) {
    ScratchDir dir;
    const std::string path = dir.file("Sample.bin");
    testing::writeValues(path, std::vector<float>(100 * 200 * 10, 0.0F));
    EXPECT_TRUE(loadSampleVolume(path, 100, 200, 10, 1.0F, 3).loaded);
    const SampleVolume swapped = loadSampleVolume(path, 200, 100, 10, 1.0F, 4);
    EXPECT_TRUE(swapped.loaded);
    EXPECT_EQ(swapped.dimX, 200);
    EXPECT_EQ(swapped.sliceSize(), 20000);
}

TEST(SampleVolumeTest, SingleVoxelIsAFourByteFile) {
    ScratchDir dir;
    const std::string path = dir.file("one.bin");
    testing::writeValues(path, std::vector<float>{1.5F});
    EXPECT_TRUE(loadSampleVolume(path, 1, 1, 1, 1.0F, 5).loaded);
    EXPECT_FALSE(loadSampleVolume(path, 1, 1, 2, 1.0F, 5).loaded);
}

TEST(SampleVolumeTest, VolumesBeyondFourGibibytesAreVerifiedWithoutWrapping) {
    ScratchDir dir;
    const std::string path = dir.file("big.bin");
    const std::uintmax_t bytes = std::uintmax_t{1100} * 1100 * 1000 * 4;  // 4.84e9 bytes
    makeFileOfSize(path, bytes);

    const SampleVolume big = loadSampleVolume(path, 1100, 1100, 1000, 1.0F, 3);
    EXPECT_TRUE(big.loaded);
    EXPECT_EQ(big.voxelCount, std::int64_t{1210000000});
    EXPECT_EQ(big.sliceSize(), std::int64_t{1210000});

    // The 32-bit wrap of the byte count (4.84e9 mod 2^32) must not pass.
    const std::uintmax_t wrapped = bytes % (std::uintmax_t{1} << 32U);
    std::filesystem::resize_file(path, wrapped);
    EXPECT_FALSE(loadSampleVolume(path, 1100, 1100, 1000, 1.0F, 3).loaded);

    // Largest volume the validation lets through: 3000^3 voxels.
    std::filesystem::resize_file(path, std::uintmax_t{3000} * 3000 * 3000 * 4);
    const SampleVolume largest = loadSampleVolume(path, 3000, 3000, 3000, 1.0F, 3);
    EXPECT_TRUE(largest.loaded);
    EXPECT_EQ(largest.voxelCount, std::int64_t{27000000000});
}

TEST(SampleVolumeTest, MissingFileAndFolderAreNotSamples) {
    ScratchDir dir;
    const SampleVolume missing = loadSampleVolume(dir.file("none.bin"), 1, 1, 1, 1.0F, 3);
    EXPECT_FALSE(missing.loaded);
    EXPECT_TRUE(missing.path.empty());
    EXPECT_EQ(missing.dimX, 1);

    std::filesystem::create_directory(dir.file("folder"));
    EXPECT_FALSE(loadSampleVolume(dir.file("folder"), 1, 1, 1, 1.0F, 3).loaded);
    // Even a folder whose reported size would match the expected size is refused.
    EXPECT_FALSE(loadSampleVolume(dir.file("folder"), 0, 0, 0, 1.0F, 3).loaded);
}

TEST(SampleVolumeTest, EmptyFileMatchesAZeroVolume) {
    ScratchDir dir;
    const std::string path = dir.file("empty.bin");
    testing::writeText(path, "");
    EXPECT_TRUE(loadSampleVolume(path, 0, 5, 5, 1.0F, 3).loaded);
    EXPECT_FALSE(loadSampleVolume(path, 1, 1, 1, 1.0F, 3).loaded);
}

}  // namespace
}  // namespace conesim
