#include "Core/Operations/ReactiveIonEtching/simplereactiveionetching.h"
#include "support/columnscenes.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {
constexpr int Film = 7;
constexpr int Top = SimpleReactiveIonEtching::fromTop;
constexpr int Below = SimpleReactiveIonEtching::fromBelow;
} // namespace

TEST(SimpleReactiveIonEtching, RemovesOneLayerPerStepFromEachChosenSide) {
    struct Case {
        const char* before;
        int steps;
        int directions;
        const char* after;
    };
    const Case cases[] = {
        {"SSSFFF..", 2, Top, "SSSF...."},         // a 3-cell film keeps its lowest layer
        {"SSSFFF..", 5, Top, "SSS....."},         // and is gone with depth 5; silicon stays
        {"..FFFS..", 1, Below, "...FFS.."},       // upwards from the empty cell below
        {"..FFFS..", 2, Top, "..FFFS.."},         // silicon shields it from the top
        {".FFFF...", 1, Top | Below, "..FF...."}, // both ends in the same step
        {"SSSSSSFF", 3, Top, "SSSSSSFF"},         // the top face is no opening
        {"FF......", 3, Below, "FF......"},       // nor is the bottom face
        {".FFFF...", 4, 0, ".FFFF..."},           // no direction, no etch
        {"SF.F.FF.", 1, Top, "S....F.."},         // every exposed run loses one layer
        {"FFSO..FF", 9, Top, "FFSO..FF"}, // shielded under a mask; the top face is no opening
    };
    for (const Case& c : cases) {
        auto volume = columnScene({c.before}, 3, 2);
        SimpleReactiveIonEtching(*volume, Film, c.steps, c.directions).runEtching();
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(columnAt(*volume, x, 1), c.after)
                << c.before << " steps " << c.steps << " directions " << c.directions;
    }
}

TEST(SimpleReactiveIonEtching, MaskedColumnsBesideEtchedOnesAreNotUndercut) {
    auto volume = columnScene({"SSFFO.", "SSFFO.", "SSFF.."}, 6, 4);
    SimpleReactiveIonEtching(*volume, Film, 10, Top).runEtching();
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(columnAt(*volume, x, 2), x % 3 < 2 ? "SSFFO." : "SS....") << x;
}

TEST(SimpleReactiveIonEtching, EveryThreadCountGivesTheSingleStripResult) {
    const auto run = [](int threads, int sizeX, int directions) {
        PoolThreads pool(threads);
        auto volume = makeVolume(sizeX, 6, 14, [](int x, int y, int z) {
            return (x * 3 + y * 5 + z * 7) % 11 == 0 ? 0 : (x + z) % 6 == 0 ? 2 : Film;
        });
        SimpleReactiveIonEtching(*volume, Film, 4, directions).runEtching();
        return materialsOf(*volume);
    };
    for (const int directions : {Top, Below, Top | Below})
        for (const int sizeX : {23, 3}) {
            const auto serial = run(1, sizeX, directions);
            for (const int threads : {2, 3, 8})
                EXPECT_EQ(run(threads, sizeX, directions), serial)
                    << "directions " << directions << " sizeX " << sizeX << " threads " << threads;
        }
}

} // namespace CELLVANE_TEST_FILE
