#include "Model/Automaton/cellarrayslock.h"
#include "Model/Metrology/materialtotals.h"
#include "Model/Metrology/measurementquery.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <cmath>

namespace CELLVANE_TEST_FILE {

using namespace Model::Metrology;
using testing_support::makeVolume;

namespace {

constexpr int Silicon = 1, Oxide = 3, Aluminium = 4;

// A known answer: the value of one quantity (the headline when `key` is empty), or a missing
// answer whose reason contains `reason`.
struct Case {
    const char* measurement;
    double value;
    const char* key = "";
    const char* reason = nullptr;
};

Measurement take(Model::Automaton::TotalVolume& volume, const char* text) {
    QString problem;
    const auto query = MeasurementQuery::parse(QString::fromUtf8(text), problem);
    EXPECT_TRUE(query) << text << ": " << problem.toStdString();
    return query ? measure(volume, *query) : Measurement::noAnswer(problem);
}

void check(Model::Automaton::TotalVolume& volume, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.measurement);
        const Measurement result = take(volume, c.measurement);
        if (c.reason) {
            ASSERT_FALSE(result.hasAnswer());
            EXPECT_TRUE(result.reason.contains(QString::fromUtf8(c.reason)))
                << result.reason.toStdString();
            EXPECT_TRUE(result.quantities.empty()) << "no made-up number";
            continue;
        }
        ASSERT_TRUE(result.hasAnswer()) << result.reason.toStdString();
        const QString key = QString::fromUtf8(c.key);
        const auto found = std::find_if(result.quantities.begin(), result.quantities.end(),
                                        [&](const Quantity& q) { return q.key == key; });
        ASSERT_NE(found, result.quantities.end()) << c.key;
        EXPECT_NEAR(found->value, c.value, 1e-6);
    }
}

// Silicon below z = 6, 3 cells of oxide on it, 2 of aluminium on the oxide for x < 5, and a
// void of one cell in the oxide at x = 7: cells 1 × 1 × 0.5 µm, so the oxide is 1.5 µm thick.
std::shared_ptr<Model::Automaton::TotalVolume> films() {
    return makeVolume(
        10, 8, 20,
        [](int x, int, int z) {
            if (z < 6)
                return Silicon;
            if (z < 9)
                return x == 7 && z == 7 ? 0 : Oxide;
            return z < 11 && x < 5 ? Aluminium : 0;
        },
        1.f, 1.f, 0.5f);
}

// Silicon below z = 10 with a trench x in [4, 8) 4 cells deep along y, oxide 2 cells thick on
// the silicon beside it: the trench is 4 µm wide, 4 µm deep in silicon and 6 µm below the
// oxide's top.
std::shared_ptr<Model::Automaton::TotalVolume> trench() {
    return makeVolume(12, 6, 16, [](int x, int, int z) {
        const bool inTrench = x >= 4 && x < 8;
        if (z < (inTrench ? 6 : 10))
            return Silicon;
        return !inTrench && z < 12 ? Oxide : 0;
    });
}

} // namespace

TEST(CellMeasures, FilmsAreCellCountsTimesTheCellEdge) {
    auto volume = films();
    check(*volume,
          {
              {"thickness:SiO2@2.5,3", 1.5},
              {"thickness:Thermal_Si02@2.5,3", 1.5},
              {"thickness:Si@2.5,3", 3.0},
              {"thickness:Al@2.5,3", 1.0},
              {"thickness:Si+SiO2@2.5,3", 4.5},
              {"thickness:SiO2@2.5,3", 4.5, "top"},
              {"thickness:SiO2@2.5,3", 3.0, "bottom"},
              // Above the void the oxide's highest run is one cell; the run holding
              // z = 3.2 is the one below it.
              {"thickness:SiO2@7.5,3", 0.5},
              {"thickness:SiO2@7.5,3,3.2", 0.5},
              {"top@2.5,3", 5.5},
              {"top@8,3", 4.5},
              {"top:Si@8,3", 3.0},
              {"step@2.5,3,8,3", -1.0},
              {"stack@7.5,0", 4.5, "top"},
              {"stack@7.5,0", 0.5, "1.Thermal Si02"},
              {"stack@7.5,0", 0.5, "2.Empty"},
              {"stack@7.5,0", 0.5, "3.Thermal Si02"},
              {"stack@7.5,0", 3.0, "4.Si"},
              {"thickness:Al@8,3", 0, "", "holds no Al"},
              {"thickness:SiO2@10,3", 0, "", "x = 10 µm lies outside the volume"},
              // The upper end is the next cell's face, outside as the message says.
              {"top@10,3", 0, "", "x = 10 µm lies outside the volume, which spans 0 ≤ x < 10 µm"},
              {"thickness:SiO2@1,3,9", 0, "", "holds Empty, not SiO2"},
              {"top@1,-0.1", 0, "", "y = -0.1 µm lies outside"},
          });
    // The stack walks the column from its top down, layer by layer, with the cells drawn.
    const Measurement stack = take(*volume, "stack@2,2");
    ASSERT_EQ(stack.layers.size(), 3u);
    EXPECT_EQ(stack.layers[0].name, QStringLiteral("Al (bulk)"));
    EXPECT_EQ(stack.layers[0].topCell, 10);
    EXPECT_EQ(stack.layers[0].bottomCell, 9);
    EXPECT_DOUBLE_EQ(stack.layers[2].bottom, 0.0);
    ASSERT_EQ(stack.dimensions.size(), 3u);
    EXPECT_DOUBLE_EQ(stack.dimensions[1].from.z, 3.0);
    EXPECT_DOUBLE_EQ(stack.dimensions[1].to.z, 4.5);
    EXPECT_DOUBLE_EQ(stack.dimensions[1].from.x, 2.5) << "the column's centre";
    EXPECT_EQ(stack.cells[1].lo[2], 6);
    EXPECT_EQ(stack.cells[1].hi[2], 9);
}

TEST(CellMeasures, TrenchWidthDepthAndWalls) {
    auto volume = trench();
    check(*volume, {
                       {"width:empty@x,3,8", 4.0},
                       {"width:empty@x,5,3,8", 4.0},
                       {"width:empty@x,3,8", 4.0, "from"},
                       {"width:empty@x,3,8", 8.0, "to"},
                       {"width:Si@x,1,3,5", 12.0, "", "reaches the side of the volume"},
                       {"width:Si@x,3,8", 0, "", "crosses 2 runs of Si"},
                       {"width:Si@x,1,3,8", 0, "", "reaches the side of the volume at x = 0"},
                       {"width:SiO2@x,5,3,8", 0, "", "holds Empty, not SiO2"},
                       {"width:empty@y,5,8", 0, "", "reaches the side"},
                       {"depth:Si@0,0..11.9,5.9", 4.0},
                       {"depth@0,0..11.9,5.9", 6.0},
                       {"depth@0,0..11.9,5.9", 6.0, "mean"},
                       {"depth@0,0..11.9,5.9", 24.0, "columns"},
                       {"depth@0,0..11.9,5.9,11", 5.0},
                       {"depth@0,0..11.9,5.9,11", 5.0 * 24 / 24, "mean"},
                       {"depth:Si@0,0..11.9,5.9,9", 3.0},
                       {"depth@0,0..3.9,5.9", 0, "", "below the reference"},
                       // The mean of 24 columns a reference this high above them would overflow.
                       {"depth@0,0..11.9,5.9,1e308", 0, "", "too far from the surface"},
                       {"step:Si@1,1,5,1", -4.0},
                       {"step@5,1,1,1", 6.0},
                       // Both walls stand upright.
                       {"angle:Si@x,1,3,6..9.5", 90.0},
                       {"angle:Si@x,1,3,6..9.5", 0.0, "residual"},
                       {"angle:Si@x,1,3,6..9.5", 4.0, "layers"},
                       {"angle:Si@x,5,3,6..9.5", 90.0},
                       {"angle:Si@-x,5,3,6..9.5", 90.0},
                       {"angle:Si@x,3,6..9.5", 0, "", "crosses 2 edges"},
                       {"angle:Si@x,1,3,6..6.5", 0, "", "one cell layer"},
                       {"angle:Si@x,1,3,6..11", 0, "", "lies outside Si"},
                   });
    const Measurement width = take(*volume, "width:empty@x,5,3,8");
    ASSERT_EQ(width.dimensions.size(), 1u);
    EXPECT_DOUBLE_EQ(width.dimensions[0].from.x, 4.0);
    EXPECT_DOUBLE_EQ(width.dimensions[0].to.x, 8.0);
    EXPECT_DOUBLE_EQ(width.dimensions[0].from.y, 3.5);
    EXPECT_DOUBLE_EQ(width.dimensions[0].from.z, 8.5);
    EXPECT_EQ(width.dimensions[0].label, QStringLiteral("width empty = 4 µm"));
}

// Oxide fills x < 3 up to the top face of a 6 x 4 x 10 volume of 1 µm cells, on silicon below
// z = 4: the volume cut the oxide off, so nothing measured up to its top is a length; a window
// up to the volume's far face is the whole volume.
TEST(CellMeasures, ARunReachingTheTopFaceHasNoAnswer) {
    auto volume = makeVolume(6, 4, 10, [](int x, int, int z) {
        return z < 4 ? Silicon : x < 3 ? Oxide : 0;
    });
    check(*volume, {
                       {"thickness:SiO2@1,1", 0, "", "reaches the top of the volume at z = 10"},
                       {"thickness:solid@1,1", 0, "", "reaches the top"},
                       {"top@1,1", 0, "", "reaches the top"},
                       {"step@4,1,1,1", 0, "", "reaches the top"},
                       {"stack@1,1", 6.0, "1.Thermal Si02"},
                       {"depth@0,0..6,4", 0, "", "reaches the top"},
                       {"depth@0,0..6,4,12", 0, "", "reaches the top"},
                       {"thickness:Si@1,1", 4.0},
                       {"top@4,1", 4.0},
                       {"stack@4,1", 4.0, "1.Si"},
                       {"depth:Si@3,0..6,4,5", 1.0},
                       {"depth:Si@3,0..6,4,5", 12.0, "columns"},
                       {"depth@3,0..6,4,10", 6.0},
                       {"angle:SiO2@x,1,4.5..10", 90.0},
                       {"depth:Si@3,0..6.01,4,5", 0, "", "x = 6.01 µm lies outside"},
                   });
    // The stack lists the layers, the one the volume cut off marked.
    const Measurement stack = take(*volume, "stack@1,1");
    ASSERT_EQ(stack.layers.size(), 2u);
    EXPECT_TRUE(stack.layers[0].reachesTop);
    EXPECT_FALSE(stack.layers[1].reachesTop);
    EXPECT_FALSE(take(*volume, "stack@4,1").layers[0].reachesTop);
}

// A wall whose edge moves by one cell per layer leans at 45°; halve the x edge and it stands at
// atan(2); turn it over and it overhangs.
TEST(CellMeasures, TiltedEdgesGiveTheirAngle) {
    const auto wall = [](bool overhang, float dx) {
        return makeVolume(
            24, 3, 12,
            [overhang](int x, int, int z) {
                return (overhang ? x >= 16 - z : x >= 4 + z) ? Silicon : 0;
            },
            dx, 1.f, 1.f);
    };
    const double steep = std::atan(2.0) * 180.0 / 3.14159265358979323846;
    auto leaning = wall(false, 1.f);
    check(*leaning, {{"angle:Si@x,1,0..11", 45.0},
                     {"angle:Si@x,1,0..11", 0.0, "residual"},
                     {"angle:Si@x,1,1,0..11", 45.0},
                     {"angle:empty@x,1,0..11", 135.0}});
    auto narrow = wall(false, 0.5f);
    check(*narrow, {{"angle:Si@x,1,0..11", steep}});
    auto overhang = wall(true, 1.f);
    check(*overhang, {{"angle:Si@x,1,0..11", 135.0}});
    // A staircase of two cells per layer, one per layer: the fit has a residual.
    auto ragged =
        makeVolume(24, 3, 8, [](int x, int, int z) { return x >= 4 + z + (z % 2) ? Silicon : 0; });
    const Measurement fit = take(*ragged, "angle:Si@x,1,0..7");
    ASSERT_TRUE(fit.hasAnswer());
    EXPECT_GT(fit.quantities[1].value, 0.1);
    EXPECT_LT(fit.quantities[1].value, 0.6);
}

// Oxide over silicon whose edge lies at x = 8; the silicon beneath ends at x = 6 on the right
// (undercut by 2 µm) and sticks out by 1 µm beyond the oxide's left edge at x = 2.
TEST(CellMeasures, UndercutBelowAMaskEdge) {
    auto volume = makeVolume(12, 3, 8, [](int x, int, int z) {
        if (z < 3)
            return Silicon;
        if (z < 5)
            return x >= 1 && x < 6 ? Silicon : 0;
        if (z < 6)
            return x >= 2 && x < 8 ? Oxide : 0;
        return 0;
    });
    check(*volume, {
                       {"undercut:SiO2/Si@x,3,1", 2.0},
                       {"undercut:SiO2/Si@-x,3,1", -1.0},
                       {"undercut:SiO2/Si@x,10,1", 0, "", "no SiO2 lies directly on Si"},
                       {"undercut:SiO2/Si@y,3,1", 0, "", "reaches the side of the volume"},
                   });
}

// Hand counts: a 4 × 3 × 5 volume, silicon below z = 2 and one oxide cell on it at (1, 1, 2).
// The silicon's exposed sides are its top (12 cells less the one under the oxide); the oxide's
// are four walls and its top. The volume's own faces do not count.
TEST(CellMeasures, VolumesAndExposedAreasAreTheSameForEveryThreadCount) {
    auto volume = makeVolume(
        4, 3, 5,
        [](int x, int y, int z) {
            if (z < 2)
                return Silicon;
            return x == 1 && y == 1 && z == 2 ? Oxide : 0;
        },
        2.f, 1.f, 0.5f);
    const Model::Automaton::CellArraysLock locked(
        *volume, Model::Automaton::CellArraysLock::Arrays::Current);
    const auto grid = Model::Automaton::CellGrid::of(*volume, locked.materials());
    for (int threads : {1, 2, 3, 8}) {
        SCOPED_TRACE(threads);
        const Measurement totals = materialTotals(grid, CellEdges{2.0, 1.0, 0.5}, threads);
        ASSERT_EQ(totals.totals.size(), 2u);
        const MaterialTotal& si = totals.totals[0];
        const MaterialTotal& oxide = totals.totals[1];
        EXPECT_EQ(si.cells, 24u);
        EXPECT_DOUBLE_EQ(si.volume, 24.0);
        EXPECT_EQ(si.exposedSides[2], 11u);
        EXPECT_EQ(si.exposedSides[0] + si.exposedSides[1], 0u);
        EXPECT_DOUBLE_EQ(si.exposedArea, 22.0);
        EXPECT_EQ(oxide.cells, 1u);
        EXPECT_EQ(oxide.exposedSides[0], 2u);
        EXPECT_EQ(oxide.exposedSides[1], 2u);
        EXPECT_EQ(oxide.exposedSides[2], 1u);
        // Two sides of 1 × 0.5, two of 2 × 0.5 and a top of 2 × 1.
        EXPECT_DOUBLE_EQ(oxide.exposedArea, 1.0 + 2.0 + 2.0);
        EXPECT_EQ(totals.quantities[0].key, QStringLiteral("Si.volume"));
        EXPECT_EQ(totals.quantities[3].key, QStringLiteral("Thermal Si02.area"));
    }
}

} // namespace CELLVANE_TEST_FILE
