#include "Core/Operations/Planarization/planarization.h"
#include "Core/Operations/Planarization/spincoating.h"
#include "Model/Automaton/cellarrayslock.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <climits>

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Silicon = 1, Oxide = 2, Resist = 5;

// Layer z holds material z + 1, so every height is told apart.
std::shared_ptr<Model::Automaton::TotalVolume> layers(int sx = 5) {
    return makeVolume(sx, 3, 10, [](int, int, int z) { return z + 1; });
}

// The lowest and highest z still holding material in column (x, y), or -1 for both.
std::pair<int, int> keptRange(Model::Automaton::TotalVolume& volume, int x, int y) {
    int low = -1, high = -1;
    for (int z = 0; z < int(volume.getSizeZ()); ++z)
        if (materialAt(volume, x, y, z) != 0) {
            high = z;
            if (low < 0)
                low = z;
        }
    return {low, high};
}

bool nextArrayMatches(Model::Automaton::TotalVolume& volume) {
    const Model::Automaton::CellArraysLock cells(volume);
    for (std::size_t i = 0; i < volume.getCellCount(); ++i)
        if (cells.current()[i].material != cells.next()[i].material)
            return false;
    return true;
}

} // namespace

TEST(Planarization, KeepsTheLayersFromTheMinimumUpToBelowTheMaximum) {
    struct Case {
        unsigned maximum;
        int minimum;
        int low, high; // kept layers, -1 when none
    };
    const Case cases[] = {
        {10, 0, 0, 9},           // the whole volume: nothing changes
        {7, 3, 3, 6},            // the layer at the minimum stays, the one at the maximum goes
        {1000, 2, 2, 9},         // a maximum above sizeZ is sizeZ
        {unsigned(-3), 0, 0, 9}, // so is a negative maximum read as unsigned
        {0, 0, -1, -1},          // a maximum of 0 empties the volume
        {10, -5, 0, 9},          // a negative minimum removes nothing
        {10, INT_MAX, -1, -1},   // a minimum beyond the top removes everything
        {4, 6, -1, -1},          // a minimum above the maximum leaves no slab
    };
    for (const Case& c : cases) {
        auto volume = layers();
        Planarization(*volume, c.maximum, c.minimum).runPlanarization();
        for (int x = 0; x < 5; ++x)
            for (int y = 0; y < 3; ++y)
                ASSERT_EQ(keptRange(*volume, x, y), std::make_pair(c.low, c.high))
                    << "maximum " << c.maximum << " minimum " << c.minimum;
        if (c.low >= 0) {
            EXPECT_EQ(materialAt(*volume, 0, 0, c.low), c.low + 1) << "kept cells are untouched";
        }
        EXPECT_TRUE(nextArrayMatches(*volume));
    }
}

TEST(SpinCoating, FillsEveryEmptyCellBelowTheHeightAndReplacesNothing) {
    // A silicon box with a sealed cavity, an oxide overhang over an open pit, and empty space.
    const auto scene = [] {
        return makeVolume(8, 6, 8, [](int x, int y, int z) {
            const bool box = x < 4 && z < 5;
            const bool cavity = x >= 1 && x <= 2 && y >= 1 && y <= 4 && z >= 1 && z <= 3;
            if (box)
                return cavity ? 0 : Silicon;
            if (z == 3 && x >= 5)
                return Oxide;
            return 0;
        });
    };
    for (const unsigned height : {0u, 4u, 8u, 500u, unsigned(-1)}) {
        auto volume = scene();
        const auto before = materialsOf(*volume);
        SpinCoating(*volume, Resist, height).runSpinCoating();
        const unsigned level = std::min(height, 8u);
        const auto after = materialsOf(*volume);
        for (std::size_t i = 0; i < after.size(); ++i) {
            const unsigned z = unsigned(i % 8);
            const int expected = before[i] != 0 ? before[i] : z < level ? Resist : 0;
            ASSERT_EQ(after[i], expected) << "height " << height << " cell " << i;
        }
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
