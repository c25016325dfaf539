#include "Core/Operations/MooreNeighborhood/mooreneighborhooddeposition.h"
#include "Core/Operations/MooreNeighborhood/mooreneighborhoodetching.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {
constexpr int Silicon = 1, Oxide = 2, Film = 7;
}

TEST(MooreDeposition, OneStepCoversTheBlockWithSquareCorners) {
    auto v = makeVolume(10, 10, 10, [](int x, int y, int z) {
        return x >= 3 && x < 6 && y >= 3 && y < 6 && z < 4 ? Silicon : 0;
    });
    MooreNeighborhoodDeposition(*v, Film, 1).runDeposition();
    EXPECT_EQ(materialAt(*v, 4, 4, 4), Film) << "top";
    EXPECT_EQ(materialAt(*v, 6, 6, 4), Film) << "corner diagonal";
    EXPECT_EQ(materialAt(*v, 2, 4, 0), Film) << "wall";
    EXPECT_EQ(materialAt(*v, 4, 4, 5), 0);
    EXPECT_EQ(materialAt(*v, 7, 7, 4), 0);
}

TEST(MooreDeposition, ZeroStepsAndTooManyStepsAreHarmless) {
    auto v = makeVolume(6, 6, 6, [](int, int, int z) { return z < 2 ? Silicon : 0; });
    const auto before = materialsOf(*v);
    MooreNeighborhoodDeposition(*v, Film, 0).runDeposition();
    EXPECT_EQ(materialsOf(*v), before);
    MooreNeighborhoodDeposition(*v, Film, 1000).runDeposition();
    EXPECT_EQ(materialAt(*v, 5, 5, 5), Film);
    EXPECT_EQ(materialAt(*v, 0, 0, 0), Silicon);
}

TEST(MooreEtching, BuriedMaterialIsReachedOnlyThroughEmptySpace) {
    // Silicon under an oxide lid, open only at x = 0.
    auto v = makeVolume(10, 3, 6, [](int x, int, int z) {
        if (z < 3)
            return x == 0 ? 0 : Silicon;
        if (z == 3)
            return Oxide;
        return 0;
    });
    MooreNeighborhoodEtching(*v, Silicon, 2).runEtching();
    EXPECT_EQ(materialAt(*v, 1, 1, 2), 0);
    EXPECT_EQ(materialAt(*v, 2, 1, 1), 0);
    EXPECT_EQ(materialAt(*v, 3, 1, 2), Silicon) << "beyond two cells of the opening";
    EXPECT_EQ(materialAt(*v, 5, 1, 3), Oxide);
}

TEST(MooreEngines, EveryThreadCountGivesTheSingleStripResult) {
    auto run = [](int threads, bool etch) {
        PoolThreads pool(threads);
        auto v = makeVolume(31, 7, 9, [](int x, int y, int z) {
            return z < 3 || ((x * 7 + y * 3) % 11 == 0 && z < 6) ? Silicon : 0;
        });
        if (etch)
            MooreNeighborhoodEtching(*v, Silicon, 2).runEtching();
        else
            MooreNeighborhoodDeposition(*v, Film, 3).runDeposition();
        return materialsOf(*v);
    };
    for (bool etch : {false, true}) {
        const auto serial = run(1, etch);
        for (int threads : {2, 3, 8})
            EXPECT_EQ(run(threads, etch), serial) << (etch ? "etch " : "deposit ") << threads;
    }
}

} // namespace CELLVANE_TEST_FILE
