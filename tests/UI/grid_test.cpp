#include "UI/grid.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Ui::Grid;

TEST(Grid, LinesLieOnWholeMultiplesOfTheSpacingAndCoverTheRectangle) {
    Grid grid;
    const auto lines = grid.lines();
    // 61 lines across x and 61 across y for -300..300 at spacing 10.
    ASSERT_EQ(lines.size(), 122u);
    EXPECT_FLOAT_EQ(lines.front()[0], -300.0f);
    EXPECT_FLOAT_EQ(lines.front()[1], -300.0f);
    EXPECT_FLOAT_EQ(lines.front()[3], 300.0f);
    EXPECT_FLOAT_EQ(lines[60][0], 300.0f);
    EXPECT_FLOAT_EQ(lines[61][1], -300.0f);

    grid.spacing = 7;
    const auto seven = grid.lines();
    // floor(-300/7) = -43 gives -301; ceil(600/7) = 86 gives 87 lines up to 301.
    EXPECT_FLOAT_EQ(seven.front()[0], -301.0f);
    EXPECT_FLOAT_EQ(seven[86][0], 301.0f);
    EXPECT_FLOAT_EQ(seven.front()[3], 301.0f);
}

TEST(Grid, SpacingsThatWouldHangOrDivideByZeroDrawNothing) {
    Grid grid;
    for (double spacing : {0.0, -5.0, 1e-4}) {
        grid.spacing = spacing;
        EXPECT_TRUE(grid.lines().empty()) << spacing;
    }
    grid.spacing = 1e9;
    EXPECT_EQ(grid.lines().size(), 4u) << "one cell around the whole rectangle";
}

} // namespace CELLVANE_TEST_FILE
