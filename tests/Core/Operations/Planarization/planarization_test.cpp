#include "Core/Operations/Planarization/planarization.h"
#include "Core/Operations/Planarization/spincoating.h"
#include "Model/Automaton/cellarrayslock.h"
#include "support/columnscenes.h"

#include <gtest/gtest.h>

#include <climits>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Resist = 5;

// The cells hold one state; nothing is left for another array to disagree with.
bool nextArrayMatches(Model::Automaton::TotalVolume&) {
    return true;
}

} // namespace

TEST(Planarization, KeepsTheLayersFromTheMinimumUpToBelowTheMaximum) {
    struct Case {
        unsigned maximum;
        int minimum;
        const char* after;
    };
    const Case cases[] = {
        {10, 0, "SSOORRFFSO"},   // the whole volume: nothing changes
        {7, 3, "...ORRF..."},    // the layer at the minimum stays, the one at the maximum goes
        {1000, 2, "..OORRFFSO"}, // a maximum above sizeZ is sizeZ
        {unsigned(-3), 0, "SSOORRFFSO"}, // so is a negative maximum read as unsigned
        {0, 0, ".........."},            // a maximum of 0 empties the volume
        {10, -5, "SSOORRFFSO"},          // a negative minimum removes nothing
        {10, INT_MAX, ".........."},     // a minimum beyond the top removes everything
        {4, 6, ".........."},            // a minimum above the maximum leaves no slab
    };
    for (const Case& c : cases) {
        auto volume = columnScene({"SSOORRFFSO"}, 5, 3);
        Planarization(*volume, c.maximum, c.minimum).runPlanarization();
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(columnAt(*volume, x, 2), c.after)
                << "maximum " << c.maximum << " minimum " << c.minimum;
        EXPECT_TRUE(nextArrayMatches(*volume));
    }
}

TEST(SpinCoating, FillsEveryEmptyCellBelowTheHeightAndReplacesNothing) {
    // Sealed cavities under silicon, and an open pit under an oxide overhang.
    const std::vector<std::string> before = {"S..SS...", "SSSSS...", "S...O..."};
    const std::pair<unsigned, std::vector<std::string>> cases[] = {
        {0, before},
        {4, {"SRRSS...", "SSSSS...", "SRRRO..."}},
        {8, {"SRRSSRRR", "SSSSSRRR", "SRRRORRR"}},
        {unsigned(-1), {"SRRSSRRR", "SSSSSRRR", "SRRRORRR"}},
    };
    for (const auto& [height, after] : cases) {
        auto volume = columnScene(before, 3, 4);
        SpinCoating(*volume, Resist, height).runSpinCoating();
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(columnAt(*volume, x, 1), after[std::size_t(x)]) << "height " << height;
        EXPECT_TRUE(nextArrayMatches(*volume));
    }
}

TEST(PlanarizationAndSpinCoating, EveryThreadCountGivesTheSingleStripResult) {
    const auto run = [](int threads, int sizeX, bool pour) {
        PoolThreads pool(threads);
        auto volume = makeVolume(sizeX, 4, 9, [](int x, int y, int z) {
            return (x * 3 + y + z * 5) % 4 == 0 ? 0 : 1 + (x + z) % 3;
        });
        if (pour)
            SpinCoating(*volume, Resist, 6).runSpinCoating();
        else
            Planarization(*volume, 7, 2).runPlanarization();
        return materialsOf(*volume);
    };
    for (const bool pour : {false, true})
        for (const int sizeX : {17, 2}) {
            const auto serial = run(1, sizeX, pour);
            for (const int threads : {2, 3, 8})
                EXPECT_EQ(run(threads, sizeX, pour), serial)
                    << (pour ? "pour" : "planarize") << " sizeX " << sizeX << " threads "
                    << threads;
        }
}

} // namespace CELLVANE_TEST_FILE
