#include <gtest/gtest.h>

#include "formats/PgmWriter.hpp"

namespace conesim {
namespace {

// The mask tool's header carries a comment line (which the mask reader skips as the second
// of its four header lines); the map preview's has none.
TEST(PgmWriter, HeaderLinesWithAndWithoutComment) {
    EXPECT_EQ(pgmHeaderText(4, 4, "conesim-mask uniform"),
              "P2\n# conesim-mask uniform\n4 4\n255\n");
    EXPECT_EQ(pgmHeaderText(3000, 20), "P2\n3000 20\n255\n");
}

}  // namespace
}  // namespace conesim
