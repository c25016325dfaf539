#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"
#include "Core/Operations/SiEtching/kohrecipe.h"
#include "Core/Operations/SiEtching/planeratemeasurement.h"
#include "Core/Operations/SiEtching/planerates.h"
#include "Core/Operations/SiEtching/siwetetchscenes.h"
#include "Core/Operations/Undo/processhistory.h"
#include "Model/Automaton/crystalorientation.h"

#include <gtest/gtest.h>

#include <QVariantMap>

#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_map>
#include <vector>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;
namespace names = Core::Operations::RecordParameters;
using Family = PlaneRateMeasurement::Family;

TEST(CalibratedWetEtch, PlaneRatesOfTheLatticeMatchThePublishedTables) {
    QuietEtching quiet;
    for (const Etchant etchant : {Etchant::Koh, Etchant::Tmah}) {
        const CalibratedEtchant& calibration = calibrated(etchant);
        SCOPED_TRACE(etchantName(etchant).toStdString());
        // A (100) face goes a quarter lattice constant per terrace count of steps (within the
        // 0.2 % by which 17 lattice constants miss 24 rows of the periodic sides).
        EXPECT_NEAR(PlaneRateMeasurement::hundredPerStep(calibration.steps),
                    0.25 / calibration.steps.terrace100,
                    0.02 * 0.25 / calibration.steps.terrace100);
        const PlaneRates& table = calibration.table.rates;
        for (const Family family : {Family::P110, Family::P111, Family::P311}) {
            const double expected = PlaneRateMeasurement::published(family, table) / table.r100;
            const double simulated = PlaneRateMeasurement::relativeRate(family, calibration.steps);
            EXPECT_NEAR(simulated / expected, 1.0, 0.05)
                << PlaneRateMeasurement::name(family) << " simulated " << simulated << " published "
                << expected;
        }
    }
}

TEST(CalibratedWetEtch, SameCellsAndAtomsForOneTwoThreeAndEightThreads) {
    QuietEtching quiet;
    // An off-centre mesa (convex corners bring every neighbourhood) over periodic sides,
    // with a boron-doped row that etches slowly.
    auto run = [](int threads) {
        PoolThreads pool(threads);
        auto volume = makeVolume(19, 13, 9, [](int x, int y, int z) {
            if (z < 7)
                return 1;
            if (z == 7)
                return x >= 3 && x < 11 && y >= 2 && y < 8 ? oxide : 0;
            return 0;
        });
        EXPECT_TRUE(volume->rebuildSiLattice());
        const std::unordered_map<Model::Automaton::CellIndex, float> slow{
            {volume->index(15, 6, 5), 0.25f}, {volume->index(16, 6, 5), 0.25f}};
        AtomicStructureSimpleSiWetEtch engine(*volume, 3.0, WetEtchSides::Periodic);
        engine.setEtchant(Etchant::Tmah);
        engine.setRateFactors(&slow);
        engine.runEtching();
        return resultOf(*volume);
    };
    const EtchResult single = run(1);
    EXPECT_NE(std::count(single.materials.begin(), single.materials.end(), 1), 19 * 13 * 7);
    for (int threads : {2, 3, 8})
        EXPECT_TRUE(run(threads) == single) << threads << " threads";
}

TEST(CalibratedWetEtch, RecipeRatesFollowSeidelForKohAndArrheniusForTmah) {
    // Seidel's (100) law worked by hand: 0.72504 µm/min at 34 wt%, 70 °C (the table's point)
    // and 0.45789 µm/min at 20 wt%, 60 °C; the table's 0.797 scales by their ratio.
    KohRecipe koh{20.0, 60.0, 10.0};
    koh.etchant = Etchant::Koh;
    EXPECT_NEAR(koh.rate100(), 0.797 * 0.45789 / 0.72504, 1e-4);
    EXPECT_NEAR(koh.rate110(), 1.455 * 0.45789 / 0.72504, 1e-4);
    koh.concentration = 34.0;
    koh.temperature = 70.0;
    EXPECT_NEAR(koh.rate100(), 0.797, 1e-9);
    // TMAH: 0.603 µm/min at 90 °C times exp(-0.6 eV / k (1/353.15 K - 1/363.15 K)) at 80 °C.
    KohRecipe tmah{25.0, 80.0, 10.0};
    tmah.etchant = Etchant::Tmah;
    EXPECT_TRUE(tmah.refusal().isEmpty());
    EXPECT_NEAR(tmah.rate100(), 0.603 * std::exp(-0.6 / 8.617333e-5 * (1 / 353.15 - 1 / 363.15)),
                1e-5);
    EXPECT_NEAR(tmah.depthMicrons(), 10.0 * tmah.rate100(), 1e-12);
    const PlaneRates at80 = planeRates(Etchant::Tmah, 25.0, 80.0);
    EXPECT_NEAR(at80.r311 / at80.r100, 1.177 / 0.603, 1e-9);
    // Without an etchant the recipe is Seidel's alone, as before.
    EXPECT_NEAR((KohRecipe{20.0, 60.0, 10.0}.rate100()), 0.45789, 1e-4);

    for (const double wt : {20.0, 30.0, std::nan("")}) {
        tmah.concentration = wt;
        EXPECT_TRUE(tmah.refusal().contains(QStringLiteral("25 wt%"))) << wt;
    }
    tmah.concentration = 25.0;
    tmah.temperature = 100.0;
    EXPECT_FALSE(tmah.refusal().isEmpty());
}

TEST(CalibratedWetEtch, ARecordWithoutEtchantEtchesAsBeforeAndOneWithItByTheTable) {
    QuietEtching quiet;
    const auto run = [](const QVariantMap& extra,
                        std::shared_ptr<Model::Automaton::TotalVolume> volume) {
        ProcessHistory history;
        ProcessRecordExecutor executor(history, {});
        executor.setVolume(volume);
        QVariantMap values{{names::kohRecipe, true},
                           {names::kohConcentration, 34.0},
                           {names::kohTemperature, 70.0},
                           {names::etchTime, 10.0}};
        for (auto value = extra.cbegin(); value != extra.cend(); ++value)
            values.insert(value.key(), value.value());
        return executor.execute(ProcessTypes::SiWetEtching, values);
    };
    // The list as written before etchants: the same cells and atoms as the plain engine gives
    // for Seidel's depth (10 min × 0.7250 µm/min: 7 cells of 1 µm).
    const auto pit = [] { return maskedSilicon(22, 22, 12, 10, 1, 21); };
    auto old = pit();
    ASSERT_TRUE(run({}, old).isDone());
    auto plain = pit();
    ASSERT_TRUE(plain->rebuildSiLattice());
    AtomicStructureSimpleSiWetEtch(*plain, 7.0).runEtching();
    EXPECT_TRUE(resultOf(*old) == resultOf(*plain));
    EXPECT_EQ(materialAt(*old, 11, 11, 2), 1);
    EXPECT_EQ(materialAt(*old, 11, 11, 3), 0);

    // KOH by the table: 0.797 µm/min for 10 min, 8 cells of (100) floor.
    auto calibratedPit = pit();
    const auto done = run({{names::etchant, QStringLiteral("koh")}}, calibratedPit);
    ASSERT_TRUE(done.isDone()) << done.problem.toStdString();
    EXPECT_EQ(materialAt(*calibratedPit, 11, 11, 1), 1);
    EXPECT_EQ(materialAt(*calibratedPit, 11, 11, 2), 0);

    // Refusals name the value and leave the cells alone.
    struct Bad {
        QVariantMap values;
        const char* reason;
    };
    const Bad bad[] = {
        {{{names::etchant, QStringLiteral("HF")}}, "KOH or TMAH"},
        {{{names::etchant, QStringLiteral("TMAH")}}, "25 wt%"},
        {{{names::kohRecipe, false}, {names::depth, 2.0}, {names::etchant, QStringLiteral("KOH")}},
         "needs a recipe"},
    };
    for (const Bad& b : bad) {
        auto volume = pit();
        const auto before = materialsOf(*volume);
        const auto result = run(b.values, volume);
        EXPECT_FALSE(result.isDone());
        EXPECT_TRUE(result.problem.contains(QLatin1String(b.reason)))
            << result.problem.toStdString();
        EXPECT_EQ(materialsOf(*volume), before);
    }
}

// Reads the layer under the mask of a convex mesa corner at (corner, corner) when the etch has
// run `at` steps, along lines of cells parallel to the diagonal, `offset` cells beside it.
class CornerReader : public Util::ProgressReporter {
public:
    CornerReader(Model::Automaton::TotalVolume& volume, const std::vector<int>& before, int corner,
                 int layer, std::uint64_t at)
        : volume(volume), before(before), corner(corner), layer(layer), at(at) {}
    void advance(std::uint64_t steps) override {
        step += steps;
        if (step == at)
            read();
    }
    // Silicon gone along the line of cells that starts `offset` cells from the corner along
    // the edge (negative: along the other edge); a diagonal step is sqrt 2 cells long.
    double gone(int offset) const {
        const auto lattice = volume.getSiLattice();
        double sum = 0.0;
        for (int k = 0; k < corner - std::abs(offset); ++k) {
            const int x = corner - 1 - k - std::max(offset, 0);
            const int y = corner - 1 - k + std::min(offset, 0);
            const auto c = volume.index(unsigned(x), unsigned(y), unsigned(layer));
            sum += 1.0 - double(lattice->atomCount(c)) / before[c];
        }
        return sum * std::sqrt(2.0);
    }
    void read() { atThen = gone(0); }
    double atThen = std::nan("");

private:
    Model::Automaton::TotalVolume& volume;
    const std::vector<int>& before;
    int corner, layer;
    std::uint64_t at, step = 0;
};

TEST(CalibratedWetEtch, AConvexCornerIsUndercutAlongItsDiagonalAtTheFastestPlanesPace) {
    QuietEtching quiet;
    // One convex corner of an oxide mesa edged along <110>: the mask covers x, y < corner.
    // The undercut along the diagonal grows by U/D per depth once the corner has lost its
    // square start (by about 10 cells of depth on the lattice), so it is read as the growth
    // between two depths of one etch. The corner is bounded at the mask by the pair (311),
    // (3-11): U/D = (sqrt 11 / 3) R311/R100, their traces at tan = 3 to the diagonal. The
    // plane (101), facing the diagonal at 45° with its trace across it, would give
    // sqrt 2 R110/R100 and a cut flat across the diagonal.
    constexpr int size = 64, height = 20, top = 18, corner = 40, early = 10, late = 16;
    for (const Etchant etchant : {Etchant::Koh, Etchant::Tmah}) {
        SCOPED_TRACE(etchantName(etchant).toStdString());
        auto volume = makeVolume(size, size, height, [](int x, int y, int z) {
            if (z < top)
                return 1;
            return z == top && x < corner && y < corner ? oxide : 0;
        });
        ASSERT_TRUE(volume->rebuildSiLattice());
        const auto lattice = volume->getSiLattice();
        std::vector<int> before(volume->getCellCount());
        for (std::size_t c = 0; c < before.size(); ++c)
            before[c] = lattice->atomCount(c);
        // Four atomic layers per cell of depth, terrace100 steps each.
        const auto layerSteps = std::uint64_t(4 * calibrated(etchant).steps.terrace100);
        CornerReader reader(*volume, before, corner, top - 1, early * layerSteps);
        AtomicStructureSimpleSiWetEtch engine(*volume, late);
        engine.setEtchant(etchant);
        engine.runEtching(reader);
        ASSERT_FALSE(std::isnan(reader.atThen));
        const PlaneRates& r = calibrated(etchant).table.rates;
        const double expected = std::sqrt(11.0) / 3.0 * r.r311 / r.r100;
        EXPECT_NEAR(convexCornerUndercutRatio(r), expected, 1e-12);
        const double tip = reader.gone(0);
        const double ratio = (tip - reader.atThen) / (late - early);
        EXPECT_NEAR(ratio / expected, 1.0, 0.1) << "undercut per depth " << ratio;
        // The cut's outline under the mask: a line 10 cells along an edge from the corner lies
        // 10 / sqrt 2 across the diagonal, where a {311} trace reaches a third of that further
        // along it than on the diagonal and a (101) trace no further.
        constexpr int offset = 10;
        const double across = offset / std::sqrt(2.0);
        for (const int side : {offset, -offset}) {
            const double flank = 1.0 - (tip - reader.gone(side)) / across;
            EXPECT_NEAR(flank, 1.0 / 3.0, 0.15) << "offset " << side;
        }
    }
}

TEST(CalibratedWetEtch, AFortyFiveDegreeSquareEtchesUprightHundredWallsUndercutByTheDepth) {
    QuietEtching quiet;
    // A square opening turned 45° on (100) has upright {100} walls, which recede sideways at
    // the (100) rate: each lies as far under the mask as the pit is deep, at every height, and
    // the floor along them is no lower than the open floor.
    constexpr int depth = 4, half = 24;
    for (const Etchant etchant : {Etchant::Koh, Etchant::Tmah}) {
        SCOPED_TRACE(etchantName(etchant).toStdString());
        const auto walls =
            PlaneRateMeasurement::turnedSquareWalls(calibrated(etchant).steps, depth, half);
        ASSERT_EQ(walls.size(), std::size_t(depth + 1));
        for (int layer = 0; layer < depth; ++layer)
            for (int wall = 0; wall < 4; ++wall)
                EXPECT_NEAR(walls[std::size_t(layer)][std::size_t(wall)], depth, 1.0)
                    << "wall " << wall << " layer " << layer;
        for (const double below : walls.back())
            EXPECT_LT(below, 0.5);
    }
}

TEST(CalibratedWetEtch, OnA110WaferTheDepthIsTheHundredDepthOfTheEtchsTime) {
    QuietEtching quiet;
    // The depth stands for the etch's time, as a (100) surface would go down in it; a bare
    // (110) surface goes R110/R100 times as far, by the table.
    constexpr double depth = 4.0;
    for (const Etchant etchant : {Etchant::Koh, Etchant::Tmah}) {
        SCOPED_TRACE(etchantName(etchant).toStdString());
        auto volume = flatSilicon(20, 17, 24, 20);
        volume->setCrystalOrientation(Model::Automaton::CrystalOrientation::Surface110);
        ASSERT_TRUE(volume->rebuildSiLattice());
        const auto lattice = volume->getSiLattice();
        std::vector<int> before(volume->getCellCount());
        for (std::size_t c = 0; c < before.size(); ++c)
            before[c] = lattice->atomCount(c);
        AtomicStructureSimpleSiWetEtch engine(*volume, depth, WetEtchSides::Periodic);
        engine.setEtchant(etchant);
        engine.runEtching();
        double gone = 0.0;
        for (std::size_t c = 0; c < before.size(); ++c)
            if (before[c] > 0)
                gone += 1.0 - double(lattice->atomCount(c)) / before[c];
        const PlaneRates& r = calibrated(etchant).table.rates;
        EXPECT_NEAR(gone / (20 * 17), depth * r.r110 / r.r100, 1.0);
    }
}

TEST(CalibratedWetEtch, AStripeAlongEitherHundredTenDirectionKeepsItsHundredElevenSides) {
    QuietEtching quiet;
    // An oxide stripe 12 cells wide along x, then along y: its sides are {111} planes pinned to
    // the mask edges, so the silicon under it widens by 2 cot 54.74° = sqrt 2 per cell of depth
    // on both wafer directions. (A rule that took the foot of these sides with the floor left
    // one of the two directions upright.)
    constexpr int length = 24, across = 36, height = 10, top = 8, first = 12, width = 12;
    constexpr double depth = 4.0;
    for (const bool alongX : {true, false}) {
        SCOPED_TRACE(alongX ? "along x" : "along y");
        const int sx = alongX ? length : across, sy = alongX ? across : length;
        auto volume = makeVolume(sx, sy, height, [&](int x, int y, int z) {
            const int a = alongX ? y : x;
            if (z < top)
                return 1;
            return z == top && a >= first && a < first + width ? oxide : 0;
        });
        const std::vector<int> before = etchedByTable(*volume, depth, Etchant::Koh);
        ASSERT_FALSE(before.empty()) << "the lattice could not be built";
        const auto lattice = volume->getSiLattice();
        for (int z = top - 1; z > top - int(depth); --z) {
            // The silicon left across the stripe, in the middle of its length.
            double left = 0.0;
            for (int along = length / 3; along < 2 * length / 3; ++along)
                for (int a = 2; a < across - 2; ++a) {
                    const auto c = volume->index(unsigned(alongX ? along : a),
                                                 unsigned(alongX ? a : along), unsigned(z));
                    left += before[c] > 0 ? double(lattice->atomCount(c)) / before[c] : 0.0;
                }
            left /= length / 3;
            EXPECT_NEAR(left, width + std::sqrt(2.0) * (top - z - 0.5), 0.75) << "layer " << z;
        }
    }
}

TEST(PlaneRateMeasurement, ReadsHowFarEachWallOfATurnedSquareLiesUnderTheMask) {
    // Walls cut by hand into the silicon under a 45°-turned square opening: every atom of a
    // layer beyond the mask's mean edge out to a chosen distance goes, a different distance for
    // each wall and layer. The reading gives those distances (within an atomic layer, a/4
    // along <100>), whatever lies inside the edge (the pit itself) or far along the wall beside
    // the band it reads.
    constexpr int half = 12, top = 4, size = 40;
    constexpr double centre = size / 2.0;
    auto volume = makeVolume(size, size, top + 2, [&](int x, int y, int z) {
        if (z < top)
            return 1;
        if (z > top)
            return 0;
        return std::abs(x + 0.5 - centre) + std::abs(y + 0.5 - centre) < half ? 0 : oxide;
    });
    ASSERT_TRUE(volume->rebuildSiLattice());
    const auto lattice = volume->getSiLattice();
    const double edge = (half - 0.5) / std::sqrt(2.0);
    const auto distance = [](int wall, int layer) { return 0.5 + wall + 0.75 * layer; };
    for (Model::Automaton::AtomId id = 0; id < lattice->latticeAtomCount(); ++id) {
        if (lattice->cellIndexOf(id) < 0 || lattice->state(id) != Model::Automaton::SiAtom::Silicon)
            continue;
        const Util::Vector3D p = lattice->atomPosition(id);
        const double u = p.x - centre, v = p.y - centre;
        const int layer = top - 1 - int(std::floor(p.z));
        const int wall = (u < 0 ? 1 : 0) + (v < 0 ? 2 : 0);
        const double along = (std::abs(u) + std::abs(v)) / std::sqrt(2.0);
        const double across = (std::abs(u) - std::abs(v)) / std::sqrt(2.0);
        // Far from the wall's middle the cut goes deeper, as at an undercut corner.
        const double reach = distance(wall, layer) + (std::abs(across) > 6.0 ? 2.0 : 0.0);
        if (along < edge + reach)
            lattice->setState(id, Model::Automaton::SiAtom::Empty);
    }
    const auto walls = PlaneRateMeasurement::turnedSquareUndercut(*lattice, centre, half, top, top);
    ASSERT_EQ(walls.size(), std::size_t(top));
    for (int layer = 0; layer < top; ++layer)
        for (int wall = 0; wall < 4; ++wall)
            EXPECT_NEAR(walls[std::size_t(layer)][std::size_t(wall)], distance(wall, layer), 0.25)
                << "wall " << wall << " layer " << layer;
}

} // namespace CELLVANE_TEST_FILE
