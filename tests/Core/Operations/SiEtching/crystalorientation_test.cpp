#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"
#include "Core/Operations/SiEtching/siwetetchscenes.h"
#include "Model/Automaton/crystalorientation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace CELLVANE_TEST_FILE {

using Core::Operations::AtomicStructureSimpleSiWetEtch;
using Model::Automaton::CrystalOrientation;
using Model::Automaton::TotalVolume;
using namespace testing_support;

namespace {

constexpr double pi = 3.14159265358979323846;

// A long slot through a one-cell oxide mask on a (110) wafer, along the <112> direction
// (1, sqrt 2, 0)/sqrt 3 of the volume, which the vertical {111} plane (1-1-1) meets the
// surface in. `across` is the unit normal of that plane in the volume's x-y plane.
struct Slot {
    static constexpr int size = 72;
    static constexpr int top = 14; // silicon below, the mask at this z
    static constexpr double width = 6.0;
    static constexpr double length = 84.0;
    double along[2] = {1.0 / std::sqrt(3.0), std::sqrt(2.0) / std::sqrt(3.0)};
    double across[2] = {std::sqrt(2.0) / std::sqrt(3.0), -1.0 / std::sqrt(3.0)};
    double centre = size / 2.0;

    double alongOf(int x, int y) const {
        return (x + 0.5 - centre) * along[0] + (y + 0.5 - centre) * along[1];
    }
    double acrossOf(int x, int y) const {
        return (x + 0.5 - centre) * across[0] + (y + 0.5 - centre) * across[1];
    }
    std::shared_ptr<TotalVolume> wafer(CrystalOrientation orientation) const {
        auto volume = makeVolume(size, size, top + 2, [this](int x, int y, int z) {
            if (z < top)
                return 1;
            if (z > top)
                return 0;
            const bool open =
                std::abs(acrossOf(x, y)) < width / 2 && std::abs(alongOf(x, y)) < length / 2;
            return open ? 0 : oxide;
        });
        volume->setCrystalOrientation(orientation);
        return volume;
    }
};

// Slope of the least-squares line through (x[i], y[i]).
double slope(const std::vector<double>& x, const std::vector<double>& y) {
    const double n = double(x.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

} // namespace

TEST(CrystalOrientationEtch, ASlotAlong112OnA110WaferEtchesVertical111Walls) {
    QuietEtching quiet;
    const Slot slot;
    auto volume = slot.wafer(CrystalOrientation::Surface110);
    ASSERT_TRUE(volume->rebuildSiLattice());
    // One (110) layer, a / (2 sqrt 2) deep, goes per step: 23 steps come to 8.1 cells.
    const int steps = 23;
    AtomicStructureSimpleSiWetEtch engine(*volume, steps / 4.0);
    engine.runEtching();
    ASSERT_EQ(engine.getStepsRun(), std::uint64_t(steps));
    const double depth = steps * std::sqrt(2.0) / 4.0;

    // The bottom in the middle of the slot lies the layers' depth down, within a cell.
    int bottom = Slot::top;
    while (bottom > 0 && materialAt(*volume, Slot::size / 2, Slot::size / 2, bottom - 1) == 0)
        --bottom;
    EXPECT_NEAR(Slot::top - bottom, depth, 1.0);

    // Each wall's mean distance from the slot's centre line, layer by layer: the etched cells
    // on its side of a stretch of the slot, over the stretch's length. The slanted {111}
    // planes that close the slot's ends come in by sqrt 2 per cell of depth; the stretch
    // stays clear of them.
    const double stretch = 40.0;
    std::vector<double> heights, right, left;
    for (int z = bottom + 1; z < Slot::top; ++z) {
        int sides[2] = {0, 0};
        for (int x = 0; x < Slot::size; ++x)
            for (int y = 0; y < Slot::size; ++y)
                if (std::abs(slot.alongOf(x, y)) < stretch / 2 && materialAt(*volume, x, y, z) == 0)
                    ++sides[slot.acrossOf(x, y) > 0 ? 0 : 1];
        heights.push_back(z);
        right.push_back(sides[0] / stretch);
        left.push_back(sides[1] / stretch);
    }
    ASSERT_GE(heights.size(), 6u);
    for (const auto& [name, wall] : {std::pair{"right", right}, std::pair{"left", left}}) {
        const double angle = 90.0 - std::atan(std::abs(slope(heights, wall))) * 180.0 / pi;
        EXPECT_NEAR(angle, 90.0, 2.0) << name << " wall";
        // The wall stands on the mask's edge: the slot is as wide at the bottom as it was
        // opened, give or take the cells its staircase edge cuts.
        EXPECT_NEAR(wall.front(), Slot::width / 2, 1.0) << name << " wall";
    }
    EXPECT_EQ(countMismatches(*volume), 0);
}

TEST(CrystalOrientationEtch, ABare110WaferWithPeriodicSidesRecedesFlatALayerAStep) {
    // (110) layers lie a / (2 sqrt 2) apart: 16 steps take the surface from 14 down to 8.34,
    // leaving cell 8 with atoms, in every column, the sides' included.
    QuietEtching quiet;
    auto volume = flatSilicon(20, 17, 20, 14);
    volume->setCrystalOrientation(CrystalOrientation::Surface110);
    ASSERT_TRUE(volume->rebuildSiLattice());
    AtomicStructureSimpleSiWetEtch(*volume, 4.0, Core::Operations::WetEtchSides::Periodic)
        .runEtching();
    const int top = int(std::ceil(14 - 16 * std::sqrt(2.0) / 4));
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 17; ++y) {
            ASSERT_EQ(materialAt(*volume, x, y, top - 1), 1) << x << " " << y;
            ASSERT_EQ(materialAt(*volume, x, y, top), 0) << x << " " << y;
        }
    EXPECT_EQ(countMismatches(*volume), 0);
}

TEST(CrystalOrientationEtch, A110EtchIsTheSameAtEveryThreadCount) {
    QuietEtching quiet;
    EtchResult single;
    for (const int threads : {1, 2, 3, 8}) {
        PoolThreads pool(threads);
        auto volume = maskedSilicon(22, 18, 10, 7, 5, 14);
        volume->setCrystalOrientation(CrystalOrientation::Surface110);
        ASSERT_TRUE(volume->rebuildSiLattice());
        AtomicStructureSimpleSiWetEtch(*volume, 3.0).runEtching();
        const EtchResult result = resultOf(*volume);
        if (threads == 1)
            single = result;
        else
            EXPECT_TRUE(result == single) << threads << " threads";
        EXPECT_EQ(countMismatches(*volume), 0) << threads << " threads";
    }
    EXPECT_NE(single.materials, materialsOf(*maskedSilicon(22, 18, 10, 7, 5, 14)));
}

} // namespace CELLVANE_TEST_FILE
