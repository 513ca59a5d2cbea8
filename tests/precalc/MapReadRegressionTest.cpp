// Reader faults that the fuzzers found, each pinned down by the behaviour that replaced it.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <vector>

#include "TestSupport.hpp"
#include "precalc/MapArray.hpp"

namespace conesim {
namespace {

// A map read whose start no file position can reach (4 * start beyond the 64-bit offset
// range) used to overflow the byte offset. It now returns 0 and, like any failed
// positioning, leaves the stream failed, so that the next request returns 0 as well and the
// buffer keeps what the opening read stored.
TEST(FuzzRegression, MapReadStartBeyondAnyPositionFailsTheStream) {
    testing::ScratchDir dir;
    testing::WorkingDirectory cwd(dir.path());
    const float values[4] = {1.0F, 2.0F, 3.0F, 4.0F};
    {
        std::ofstream out("Z_iLR-PRE", std::ios::binary);
        out.write(reinterpret_cast<const char*>(values), sizeof values);
    }
    MapArray map = MapArray::openFloatMap("Z_iLR-PRE", 2, 2, 1);
    ASSERT_TRUE(map.isOpen());
    EXPECT_EQ(map.floatData(), (std::vector<float>{1.0F, 2.0F, 3.0F, 4.0F}));
    EXPECT_EQ(map.readRange(std::int64_t{8029758706415566959}, 4), 0);
    EXPECT_EQ(map.readRange(0, 4), 0);
    EXPECT_EQ(map.floatData(), (std::vector<float>{1.0F, 2.0F, 3.0F, 4.0F}));
}

// The largest start that still has a byte position is an ordinary read beyond the end.
TEST(FuzzRegression, MapReadLargestPositionableStartReturnsZero) {
    testing::ScratchDir dir;
    testing::WorkingDirectory cwd(dir.path());
    const float values[4] = {1.0F, 2.0F, 3.0F, 4.0F};
    {
        std::ofstream out("Z_ref-PRE", std::ios::binary);
        out.write(reinterpret_cast<const char*>(values), sizeof values);
    }
    MapArray map = MapArray::openFloatMap("Z_ref-PRE", 2, 2, 1);
    EXPECT_EQ(map.readRange(INT64_MAX / 4, 4), 0);
    EXPECT_EQ(map.readRange(0, 4), 0);
}

}  // namespace
}  // namespace conesim
