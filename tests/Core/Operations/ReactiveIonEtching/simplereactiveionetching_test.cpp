#include "Core/Operations/ReactiveIonEtching/simplereactiveionetching.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Silicon = 1, Oxide = 2, Film = 7;
constexpr int Top = SimpleReactiveIonEtching::fromTop;
constexpr int Below = SimpleReactiveIonEtching::fromBelow;

// Materials of column (x, y) from z = 0 upwards, one character per cell.
std::string column(Model::Automaton::TotalVolume& volume, int x, int y) {
    std::string out;
    for (int z = 0; z < int(volume.getSizeZ()); ++z) {
        const int m = materialAt(volume, x, y, z);
        out += m == 0 ? '.' : m == Silicon ? 'S' : m == Oxide ? 'O' : m == Film ? 'F' : '?';
    }
    return out;
}

std::shared_ptr<Model::Automaton::TotalVolume> scene(int sx, const char* cells) {
    const std::string layout(cells);
    return makeVolume(sx, 2, int(layout.size()), [layout](int, int, int z) {
        const char c = layout[std::size_t(z)];
        return c == 'S' ? Silicon : c == 'O' ? Oxide : c == 'F' ? Film : 0;
    });
}

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
    };
    for (const Case& c : cases) {
        auto volume = scene(3, c.before);
        SimpleReactiveIonEtching(*volume, Film, c.steps, c.directions).runEtching();
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(column(*volume, x, 1), c.after)
                << c.before << " steps " << c.steps << " directions " << c.directions;
    }
}

TEST(SimpleReactiveIonEtching, AMaskOfAnotherMaterialShieldsItsColumnsWithoutUndercut) {
    auto volume = makeVolume(6, 4, 6, [](int x, int, int z) {
        if (z < 2)
            return Silicon;
        if (z < 4)
            return Film;
        return z == 4 && x < 3 ? Oxide : 0;
    });
    SimpleReactiveIonEtching(*volume, Film, 10, Top).runEtching();
    for (int x = 0; x < 6; ++x)
        for (int y = 0; y < 4; ++y)
            EXPECT_EQ(column(*volume, x, y), x < 3 ? std::string("SSFFO.") : std::string("SS...."))
                << x;
}

TEST(SimpleReactiveIonEtching, EveryThreadCountGivesTheSingleStripResult) {
    const auto run = [](int threads, int sizeX, int directions) {
        PoolThreads pool(threads);
        auto volume = makeVolume(sizeX, 6, 14, [](int x, int y, int z) {
            if ((x * 3 + y * 5 + z * 7) % 11 == 0)
                return 0;
            return (x + z) % 6 == 0 ? Oxide : Film;
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
