// The detector's window test on the pixel fraction and the bilinear look-up of planes.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/Bilinear.hpp"
#include "engine/DetectorWindow.hpp"

namespace conesim {
namespace {

TEST(WindowTest, InclusiveLimitsOnThePixelFraction) {
    EXPECT_TRUE(insideWindow(10.25, 1.0F, 0.0F));
    EXPECT_TRUE(insideWindow(10.25, 0.25F, 0.0F));  // upper limit inclusive
    EXPECT_FALSE(insideWindow(10.26, 0.25F, 0.0F));
    EXPECT_TRUE(insideWindow(10.5, 0.5F, 0.5F));  // lower limit inclusive
    EXPECT_FALSE(insideWindow(10.49, 0.5F, 0.5F));
    EXPECT_DOUBLE_EQ(pixelFraction(7.75), 0.75);
}

TEST(Bilinear, ExactPixelAndHalfway) {
    const std::vector<float> plane = {1, 2, 3, 4, 5, 6};  // 3 wide, 2 rows
    EXPECT_FLOAT_EQ(sampleBilinear<float>(plane, 3, 6, 1.0F, 1.0F), 5.0F);
    EXPECT_FLOAT_EQ(sampleBilinear<float>(plane, 3, 6, 0.5F, 0.0F), 1.5F);
    EXPECT_FLOAT_EQ(sampleBilinear<float>(plane, 3, 6, 0.0F, 0.5F), 2.5F);
    EXPECT_FLOAT_EQ(sampleBilinear<float>(plane, 3, 6, 0.5F, 0.5F), 3.0F);
}

TEST(Bilinear, CornerPastLastColumnReadsNextRowAndBeyondCountIsZero) {
    const std::vector<float> plane = {1, 2, 3, 4, 5, 6};
    // Between column 2 and "column 3", which is the first pixel of the next row.
    EXPECT_FLOAT_EQ(sampleBilinear<float>(plane, 3, 6, 2.5F, 0.0F), 0.5F * 3 + 0.5F * 4);
    // On the last row the corner past the end contributes 0.
    EXPECT_FLOAT_EQ(sampleBilinear<float>(plane, 3, 6, 2.5F, 1.0F), 0.5F * 6);
    // A negative corner index, which only a corrupt coordinate can give, contributes 0.
    const BilinearAxis before{-1, 0, 0.5F};
    const BilinearAxis row{0, 0, 1.0F};
    EXPECT_FLOAT_EQ(sampleBilinear<float>(plane, 3, 6, before, row), 0.5F * 1);
}

TEST(Bilinear, IndexIsExactForWidePlanes) {
    // A 10000-wide plane: the single-precision index of column 9999 in row 5000 would be
    // off by one pixel; the look-up must read exactly that pixel.
    const std::int64_t width = 10000;
    std::vector<std::uint8_t> plane(static_cast<std::size_t>(width * 5001), 0);
    plane[static_cast<std::size_t>(5000 * width + 9999)] = 1;
    auto value = [&](std::int64_t i) { return static_cast<float>(plane[i]); };
    struct View {
        decltype(value)& f;
        float operator[](std::int64_t i) const { return f(i); }
    } view{value};
    EXPECT_FLOAT_EQ(sampleBilinear<float>(view, width, width * 5001, 9999.0F, 5000.0F), 1.0F);
}

}  // namespace
}  // namespace conesim
