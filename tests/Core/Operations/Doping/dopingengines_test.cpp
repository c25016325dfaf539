#include "Core/Operations/Doping/ionimplantation.h"
#include "Core/Operations/Doping/simpledoping.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Silicon = 1, Oxide = 3, Doped = 15;

// Silicon below z = 5, bare for x < 6 and under an oxide cap at z = 5 for x >= 6.
MaterialAt cappedSilicon() {
    return [](int x, int, int z) {
        if (z < 5)
            return Silicon;
        return z == 5 && x >= 6 ? Oxide : 0;
    };
}

} // namespace

TEST(SimpleDoping, DopesOnlyThroughDopableMaterialWithinTheDepth) {
    auto v = makeVolume(12, 4, 9, cappedSilicon());
    SimpleDoping(*v, Doped, 0.9f).runDoping();
    EXPECT_EQ(materialsOf(*v), materialsOf(*makeVolume(12, 4, 9, cappedSilicon())))
        << "a depth below the smallest cell edge dopes nothing";

    SimpleDoping(*v, Doped, 2.f).runDoping();
    EXPECT_EQ(materialAt(*v, 2, 1, 4), Doped) << "surface cell";
    EXPECT_EQ(materialAt(*v, 2, 1, 3), Doped) << "two cells deep";
    EXPECT_EQ(materialAt(*v, 2, 1, 2), Silicon) << "three cells deep";
    EXPECT_EQ(materialAt(*v, 6, 1, 4), Doped) << "diagonal from the open surface";
    EXPECT_EQ(materialAt(*v, 7, 1, 4), Silicon) << "under the oxide, out of reach";
    EXPECT_EQ(materialAt(*v, 10, 1, 4), Silicon) << "not doped from above through the oxide";
    EXPECT_EQ(materialAt(*v, 10, 1, 5), Oxide);
    EXPECT_EQ(materialAt(*v, 2, 1, 5), 0);

    // A depth beyond the volume stops once the front has nowhere left to go.
    SimpleDoping(*v, Doped, 1.0e9f).runDoping();
    EXPECT_EQ(materialAt(*v, 10, 1, 0), Doped) << "every silicon cell is reachable";
    EXPECT_EQ(materialAt(*v, 10, 1, 5), Oxide);
}

TEST(IonImplantation, WithoutAnnealingOnlyTheLayerAtTheDepthIsDoped) {
    auto v = makeVolume(6, 5, 10, [](int, int, int z) { return z < 8 ? Silicon : 0; });
    IonImplantation(*v, Doped, 3.f, 0.f).runImplantation();
    for (int z = 0; z < 10; ++z)
        EXPECT_EQ(materialAt(*v, 3, 2, z), z == 4 ? Doped : z < 8 ? Silicon : 0) << "z " << z;
}

TEST(IonImplantation, IonsPassNonDopableLayersAndAnnealFromTheSeeds) {
    // Two oxide layers on the silicon, and one buried oxide cell where column (2, 2) would take
    // its seed.
    auto v = makeVolume(6, 5, 10, [](int x, int y, int z) {
        if (z >= 8)
            return 0;
        if (z >= 6 || (x == 2 && y == 2 && z == 4))
            return Oxide;
        return Silicon;
    });
    IonImplantation(*v, Doped, 3.f, 1.5f).runImplantation();
    EXPECT_EQ(materialAt(*v, 4, 1, 4), Doped) << "seed 3 below the top of the oxide";
    EXPECT_EQ(materialAt(*v, 4, 1, 5), Doped) << "annealed above";
    EXPECT_EQ(materialAt(*v, 4, 1, 3), Doped) << "annealed below";
    EXPECT_EQ(materialAt(*v, 4, 1, 2), Silicon);
    EXPECT_EQ(materialAt(*v, 4, 1, 6), Oxide) << "the oxide is not dopable";
    EXPECT_EQ(materialAt(*v, 2, 2, 4), Oxide) << "a column without a dopable cell at the depth";
    EXPECT_EQ(materialAt(*v, 2, 2, 3), Doped) << "reached by annealing from the next columns";
    EXPECT_EQ(materialAt(*v, 2, 2, 5), Doped);
}

TEST(IonImplantation, HalfwayDepthSeedsTwoLayersAndTopAndEmptyColumnsAreOrdinary) {
    // Silicon up to the top face for x < 3; empty columns for x >= 3.
    auto v = makeVolume(6, 4, 8, [](int x, int, int) { return x < 3 ? Silicon : 0; });
    IonImplantation(*v, Doped, 1.5f, 0.f).runImplantation();
    for (int z = 0; z < 8; ++z)
        EXPECT_EQ(materialAt(*v, 1, 2, z), z == 6 || z == 5 ? Doped : Silicon) << "z " << z;
    for (int z = 0; z < 8; ++z)
        EXPECT_EQ(materialAt(*v, 4, 2, z), 0);

    auto top = makeVolume(6, 4, 8, [](int x, int, int) { return x < 3 ? Silicon : 0; });
    IonImplantation(*top, Doped, 0.f, 0.f).runImplantation();
    EXPECT_EQ(materialAt(*top, 1, 2, 7), Doped) << "the top cell at the volume's top face";
    EXPECT_EQ(materialAt(*top, 1, 2, 6), Silicon);
}

TEST(DopingEngines, EveryThreadCountGivesTheSingleStripResult) {
    auto scene = [](int x, int y, int z) {
        if (z < 4 || (x > 9 && z < 7) || (x > 20 && y > 4 && z < 9))
            return Silicon;
        return x >= 4 && x < 16 && z == 4 ? Oxide : 0;
    };
    auto run = [&](int threads, bool implant) {
        PoolThreads pool(threads);
        auto v = makeVolume(29, 9, 12, scene);
        if (implant)
            IonImplantation(*v, Doped, 2.5f, 2.5f).runImplantation();
        else
            SimpleDoping(*v, Doped, 3.5f).runDoping();
        return materialsOf(*v);
    };
    for (bool implant : {false, true}) {
        const auto serial = run(1, implant);
        for (int threads : {2, 3, 8})
            EXPECT_EQ(run(threads, implant), serial)
                << (implant ? "implantation, " : "doping, ") << threads << " threads";
    }
}

} // namespace CELLVANE_TEST_FILE
