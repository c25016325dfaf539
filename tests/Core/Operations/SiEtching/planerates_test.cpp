#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"
#include "Core/Operations/SiEtching/kohrecipe.h"
#include "Core/Operations/SiEtching/planeratemeasurement.h"
#include "Core/Operations/SiEtching/planerates.h"
#include "Core/Operations/SiEtching/siwetetchscenes.h"
#include "Core/Operations/Undo/processhistory.h"

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

TEST(CalibratedWetEtch, AnOpeningAlongHundredEtchesVerticalWallsUndercutAsDeepAsThePit) {
    QuietEtching quiet;
    // A square opening turned 45 degrees on the (100) wafer: its edges run along <100>, so
    // its walls are {100} planes standing upright, which recede as fast as the floor sinks.
    // Every layer of a wall is then undercut as deep as the pit (closed form: undercut =
    // depth). The opening is wide enough that the {111} planes through its corners stay
    // outside the walls: its half-diagonal r / sqrt 2 exceeds twice the undercut.
    constexpr int size = 60, height = 14, top = 11, centre = 30, radius = 18;
    constexpr double depth = 5.0;
    for (const Etchant etchant : {Etchant::Koh, Etchant::Tmah}) {
        SCOPED_TRACE(etchantName(etchant).toStdString());
        auto volume = makeVolume(size, size, height, [](int x, int y, int z) {
            if (z < top)
                return 1;
            if (z == top)
                return std::abs(x - centre) + std::abs(y - centre) <= radius ? 0 : oxide;
            return 0;
        });
        ASSERT_TRUE(volume->rebuildSiLattice());
        const auto lattice = volume->getSiLattice();
        // The turned lattice puts 7 to 9 atoms in a cell: the share removed is read against
        // each cell's own count.
        std::vector<int> before(volume->getCellCount());
        for (std::size_t c = 0; c < before.size(); ++c)
            before[c] = lattice->atomCount(c);
        AtomicStructureSimpleSiWetEtch engine(*volume, depth);
        engine.setEtchant(etchant);
        engine.runEtching();
        const auto removed = [&](int x, int y, int z) {
            const auto c = volume->index(unsigned(x), unsigned(y), unsigned(z));
            return before[c] > 0 ? 1.0 - double(lattice->atomCount(c)) / before[c] : 0.0;
        };
        // The pit's depth, from the silicon gone over its middle.
        double pitDepth = 0.0;
        for (int z = 0; z < top; ++z) {
            double share = 0.0;
            for (int x = centre - 5; x <= centre + 5; ++x)
                for (int y = centre - 5; y <= centre + 5; ++y)
                    share += removed(x, y, z);
            pitDepth += share / 121.0;
        }
        EXPECT_GE(pitDepth, depth - 0.5);
        // The undercut of each layer the pit has passed whole: the silicon gone under the mask
        // along the middle of one edge, per length of edge (the band x - y in [-6, 6] is
        // 13 / sqrt 2 long).
        // Upright walls: the undercut the same at every height within a cell.
        double least = INFINITY, most = -INFINITY;
        for (int z = top - 1; z >= top - int(pitDepth); --z) {
            double area = 0.0;
            for (int x = centre; x < size; ++x)
                for (int y = centre; y < size; ++y)
                    if (std::abs(x - y) <= 6 && x + y - 2 * centre > radius)
                        area += removed(x, y, z);
            const double undercut = area / (13.0 / std::sqrt(2.0));
            EXPECT_NEAR(undercut, pitDepth, 1.0) << "layer " << z;
            least = std::min(least, undercut);
            most = std::max(most, undercut);
        }
        EXPECT_LT(most - least, 1.0);
    }
}

TEST(CalibratedWetEtch, AConvexCornerIsUndercutAlongItsDiagonalAtTheFastestPlanesPace) {
    QuietEtching quiet;
    // One convex corner of an oxide mesa edged along <110>: the mask covers x, y < corner.
    // The undercut along the diagonal grows by U/D per depth once the corner has lost its
    // square start, so it is read as the growth between two depths. Closed form: the plane
    // (101) facing the diagonal at 45° gives sqrt 2 R110/R100, the {311} ridge
    // (sqrt 11 / 3) R311/R100; the corner goes with the faster.
    constexpr int size = 56, height = 12, top = 10, corner = 34;
    const auto undercut = [](Etchant etchant, double depth) {
        auto volume = makeVolume(size, size, height, [](int x, int y, int z) {
            if (z < top)
                return 1;
            return z == top && x < corner && y < corner ? oxide : 0;
        });
        EXPECT_TRUE(volume->rebuildSiLattice());
        const auto lattice = volume->getSiLattice();
        std::vector<int> before(volume->getCellCount());
        for (std::size_t c = 0; c < before.size(); ++c)
            before[c] = lattice->atomCount(c);
        AtomicStructureSimpleSiWetEtch engine(*volume, depth);
        engine.setEtchant(etchant);
        engine.runEtching();
        // Silicon gone from the layer under the mask, cell by cell along the diagonal; a
        // diagonal step is sqrt 2 cells long.
        double gone = 0.0;
        for (int k = 0; k < corner; ++k) {
            const auto c = volume->index(unsigned(corner - 1 - k), unsigned(corner - 1 - k),
                                         unsigned(top - 1));
            gone += 1.0 - double(lattice->atomCount(c)) / before[c];
        }
        return gone * std::sqrt(2.0);
    };
    for (const Etchant etchant : {Etchant::Koh, Etchant::Tmah}) {
        SCOPED_TRACE(etchantName(etchant).toStdString());
        const PlaneRates& r = calibrated(etchant).table.rates;
        const double expected =
            std::max(std::sqrt(2.0) * r.r110 / r.r100, std::sqrt(11.0) / 3.0 * r.r311 / r.r100);
        const double ratio = (undercut(etchant, 8.0) - undercut(etchant, 4.0)) / 4.0;
        EXPECT_NEAR(ratio / expected, 1.0, 0.1) << "undercut per depth " << ratio;
    }
}

} // namespace CELLVANE_TEST_FILE
