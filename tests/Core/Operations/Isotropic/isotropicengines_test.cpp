#include "Core/Operations/Isotropic/electrodeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmdeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmetching.h"
#include "Core/Operations/Isotropic/vectordistancerule.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Silicon = 1, Oxide = 2, Gold = 5, Film = 7;

std::vector<int> deposit(Model::Automaton::TotalVolume& v, int material, float thickness) {
    IsotropicFilmDeposition(v, material, thickness).runDeposition();
    return materialsOf(v);
}

// A silicon block with a step and an oxide island: walls, tops, corners and a second material.
MaterialAt steppedScene() {
    return [](int x, int y, int z) {
        if (z < 4 || (x > 9 && z < 7))
            return Silicon;
        if (x >= 4 && x < 7 && y >= 3 && y < 6 && z == 4)
            return Oxide;
        return 0;
    };
}

} // namespace

TEST(IsotropicStepCount, CoversTheDiagonalAndRoundsUpPerCell) {
    EXPECT_EQ(VectorDistanceRule::stepCount(10.f, 1.f, 1.f, 1.f), 17);
    EXPECT_EQ(VectorDistanceRule::stepCount(0.5f, 1.f, 1.f, 1.f), 1);
    EXPECT_EQ(VectorDistanceRule::stepCount(0.f, 1.f, 1.f, 1.f), 0);
    EXPECT_EQ(VectorDistanceRule::stepCount(3.f, 2.f, 0.5f, 1.f), 10);
    EXPECT_EQ(VectorDistanceRule::stepCount(-1.f, 1.f, 1.f, 1.f), 0);
}

TEST(IsotropicDeposition, ThicknessBelowACellEdgeNeverCrossesThatFace) {
    // Cells twice as tall as wide: a 1.5 film reaches one cell sideways but none upwards.
    auto v = makeVolume(
        8, 8, 6, [](int x, int, int z) { return z < 2 || x < 2 ? Silicon : 0; }, 1.f, 1.f, 2.f);
    deposit(*v, Film, 1.5f);
    EXPECT_EQ(materialAt(*v, 5, 4, 2), 0) << "flat top must stay bare";
    EXPECT_EQ(materialAt(*v, 2, 4, 4), Film) << "wall facing x gets one cell";
    EXPECT_EQ(materialAt(*v, 3, 4, 4), 0);
}

TEST(IsotropicDeposition, ZeroDistanceAndEmptyVolumesChangeNothing) {
    auto v = makeVolume(6, 6, 6, steppedScene());
    const auto before = materialsOf(*v);
    EXPECT_EQ(deposit(*v, Film, 0.f), before);

    auto empty = makeVolume(5, 5, 5, [](int, int, int) { return 0; });
    EXPECT_EQ(deposit(*empty, Film, 3.f), std::vector<int>(125, 0));

    auto full = makeVolume(5, 5, 5, [](int, int, int) { return Silicon; });
    IsotropicFilmEtching(*full, Silicon, 3.f).runEtching();
    EXPECT_EQ(materialsOf(*full), std::vector<int>(125, Silicon));
}

TEST(IsotropicDeposition, FilmIsConformalOnTopsWallsAndUndersides) {
    // An overhang: the film must also grow underneath it.
    auto v = makeVolume(12, 4, 12, [](int x, int, int z) {
        return z < 2 || (x < 3 && z < 10) || (x < 8 && z >= 8 && z < 10) ? Silicon : 0;
    });
    deposit(*v, Film, 1.f);
    EXPECT_EQ(materialAt(*v, 6, 1, 10), Film) << "top of the overhang";
    EXPECT_EQ(materialAt(*v, 6, 1, 7), Film) << "underside of the overhang";
    EXPECT_EQ(materialAt(*v, 8, 1, 9), Film) << "tip of the overhang";
    EXPECT_EQ(materialAt(*v, 6, 1, 2), Film) << "floor";
    EXPECT_EQ(materialAt(*v, 6, 1, 5), 0) << "middle of the gap";
}

TEST(IsotropicEtching, OnlyPathsThroughTheEtchedMaterialCount) {
    // Silicon below an oxide cap that has an opening at x in [4, 6).
    auto v = makeVolume(12, 4, 10, [](int x, int, int z) {
        if (z < 6)
            return Silicon;
        if (z == 6 && (x < 4 || x >= 6))
            return Oxide;
        return 0;
    });
    IsotropicFilmEtching(*v, Silicon, 2.f).runEtching();
    EXPECT_EQ(materialAt(*v, 4, 1, 5), 0) << "under the opening";
    EXPECT_EQ(materialAt(*v, 5, 1, 4), 0);
    EXPECT_EQ(materialAt(*v, 10, 1, 5), Silicon) << "under the cap, far from the opening";
    EXPECT_EQ(materialAt(*v, 3, 1, 5), 0) << "undercut next to the opening";
    EXPECT_EQ(materialAt(*v, 0, 1, 6), Oxide) << "the mask stays";
    EXPECT_EQ(materialAt(*v, 9, 1, 6), Oxide);
}

TEST(Electroplating, GrowsOnlyFromTheConductorAndStopsAtOtherMaterials) {
    auto v = makeVolume(12, 4, 8, [](int x, int, int z) {
        if (z < 2)
            return Silicon;
        if (z == 2 && x >= 3 && x < 6)
            return Gold;
        return 0;
    });
    auto noConductor = makeVolume(12, 4, 8, [](int, int, int z) { return z < 2 ? Silicon : 0; });
    const auto bare = materialsOf(*noConductor);
    Electrodeposition(*noConductor, Film, Gold, 3.f).runDeposition();
    EXPECT_EQ(materialsOf(*noConductor), bare);

    Electrodeposition(*v, Film, Gold, 2.f).runDeposition();
    EXPECT_EQ(materialAt(*v, 4, 1, 3), Film);
    EXPECT_EQ(materialAt(*v, 4, 1, 4), Film);
    EXPECT_EQ(materialAt(*v, 4, 1, 5), 0);
    EXPECT_EQ(materialAt(*v, 10, 1, 2), 0) << "silicon far from gold grows nothing";
}

// Exact check against brute force: every filled cell lies within the thickness of the original
// solid, and every empty cell closer than the thickness less one cell is filled.
TEST(IsotropicDeposition, FilmMatchesTheEuclideanDistanceOnRandomVolumes) {
    std::mt19937 random(1234);
    for (int trial = 0; trial < 12; ++trial) {
        const int sx = 6 + int(random() % 8), sy = 6 + int(random() % 8),
                  sz = 6 + int(random() % 8);
        std::bernoulli_distribution solid(0.08);
        std::vector<int> cells(std::size_t(sx) * sy * sz);
        for (auto& c : cells)
            c = solid(random) ? Silicon : 0;
        auto v = makeVolume(sx, sy, sz, [&](int x, int y, int z) {
            return cells[std::size_t(x) * sy * sz + std::size_t(y) * sz + z];
        });
        const float thickness = 1.0f + float(random() % 30) / 10.0f;
        const auto after = deposit(*v, Film, thickness);

        for (int x = 0; x < sx; ++x)
            for (int y = 0; y < sy; ++y)
                for (int z = 0; z < sz; ++z) {
                    const std::size_t i = std::size_t(x) * sy * sz + std::size_t(y) * sz + z;
                    if (cells[i] != 0)
                        continue;
                    double nearest = 1e30;
                    for (int a = 0; a < sx; ++a)
                        for (int b = 0; b < sy; ++b)
                            for (int c = 0; c < sz; ++c)
                                if (cells[std::size_t(a) * sy * sz + std::size_t(b) * sz + c])
                                    nearest = std::min(nearest, double((a - x) * (a - x) +
                                                                       (b - y) * (b - y) +
                                                                       (c - z) * (c - z)));
                    nearest = std::sqrt(nearest);
                    if (after[i] == Film)
                        EXPECT_LE(nearest, thickness + 1e-6)
                            << "trial " << trial << " cell " << x << "," << y << "," << z;
                    else if (nearest < thickness - 1.0)
                        ADD_FAILURE() << "trial " << trial << " unfilled cell " << x << "," << y
                                      << "," << z << " at " << nearest << " < " << thickness;
                }
    }
}

TEST(IsotropicEngines, EveryThreadCountGivesTheSingleStripResult) {
    auto run = [](int threads, int process) {
        PoolThreads pool(threads);
        auto v = makeVolume(29, 9, 12, steppedScene());
        if (process == 0)
            IsotropicFilmDeposition(*v, Film, 3.5f).runDeposition();
        else if (process == 1)
            IsotropicFilmEtching(*v, Silicon, 2.5f).runEtching();
        else
            Electrodeposition(*v, Film, Oxide, 2.f).runDeposition();
        return materialsOf(*v);
    };
    for (int process = 0; process < 3; ++process) {
        const auto serial = run(1, process);
        for (int threads : {2, 3, 8})
            EXPECT_EQ(run(threads, process), serial)
                << "process " << process << ", " << threads << " threads";
    }
}

} // namespace CELLVANE_TEST_FILE
