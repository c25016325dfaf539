#include "Model/Metrology/freestructures.h"
#include "Model/Metrology/measurementquery.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Model::Metrology;
using Hold = FreeBody::Hold;

// A silicon substrate (z < 3) carrying: a poly plate (10 x 10, z = 5) held up by a 2 x 2 oxide
// pillar in its middle, a poly film patch lying flat on the substrate, and a poly block
// floating above everything.
TEST(FreeStructures, PillarHeldPlateIsAnchoredFloatingBlockIsLooseFlatFilmAttached) {
    constexpr int si = 1, oxide = 3, poly = 16;
    const auto volume = testing_support::makeVolume(30, 20, 10, [](int x, int y, int z) {
        if (z < 3)
            return si;
        if (z < 5 && x >= 6 && x < 8 && y >= 6 && y < 8)
            return oxide;
        if (z == 5 && x >= 2 && x < 12 && y >= 2 && y < 12)
            return poly;
        if (z == 3 && x >= 20 && x < 24 && y < 3)
            return poly;
        if (z >= 7 && z < 9 && x >= 20 && x < 23 && y >= 10 && y < 13)
            return poly;
        return 0;
    });
    QString problem;
    const auto query = MeasurementQuery::parse(QStringLiteral("free"), problem);
    ASSERT_TRUE(query) << problem.toStdString();
    const Measurement result = measure(*volume, *query);
    ASSERT_TRUE(result.hasAnswer()) << result.reason.toStdString();
    const CellEdges edges = CellEdges::of(*volume);

    ASSERT_EQ(result.bodies.size(), 4u);
    // Bodies in the order their first cell is met (x, then y, then z).
    const FreeBody& substrate = result.bodies[0];
    const FreeBody& plate = result.bodies[1];
    const FreeBody& film = result.bodies[2];
    const FreeBody& block = result.bodies[3];
    EXPECT_TRUE(substrate.substrate);
    EXPECT_EQ(substrate.hold, Hold::Attached);
    EXPECT_EQ(plate.hold, Hold::Anchored);
    EXPECT_EQ(plate.cells, 100u + 2 * 4u);
    EXPECT_DOUBLE_EQ(plate.contact, 4 * edges.sideArea(2));
    EXPECT_DOUBLE_EQ(plate.released, 96 * edges.sideArea(2));
    EXPECT_EQ(film.hold, Hold::Attached);
    EXPECT_DOUBLE_EQ(film.contact, 12 * edges.sideArea(2));
    EXPECT_EQ(block.hold, Hold::Loose);
    EXPECT_EQ(block.contact, 0.0);
    EXPECT_DOUBLE_EQ(block.volume, 18 * edges.cellVolume());
    EXPECT_EQ(block.box.lo[0], 20);
    EXPECT_EQ(block.box.hi[2], 9);

    // The counts head the quantities.
    ASSERT_GE(result.quantities.size(), 4u);
    EXPECT_EQ(result.quantities[0].value, 4.0);
    EXPECT_EQ(result.quantities[1].key, QStringLiteral("attached"));
    EXPECT_EQ(result.quantities[1].value, 2.0);
    EXPECT_EQ(result.quantities[2].value, 1.0);
    EXPECT_EQ(result.quantities[3].key, QStringLiteral("loose"));
    EXPECT_EQ(result.quantities[3].value, 1.0);

    EXPECT_FALSE(MeasurementQuery::parse(QStringLiteral("free@1,2"), problem));
    EXPECT_EQ(problem, QStringLiteral("free takes no place after '@'"));
}

// Once the pillar is gone the plate has nothing to hold it: loose.
TEST(FreeStructures, EtchedAwayPillarLeavesThePlateLoose) {
    const auto volume = testing_support::makeVolume(12, 12, 8, [](int x, int y, int z) {
        if (z < 3)
            return 1;
        return z == 5 && x >= 2 && x < 10 && y >= 2 && y < 10 ? 16 : 0;
    });
    QString problem;
    const Measurement result =
        measure(*volume, *MeasurementQuery::parse(QStringLiteral("free"), problem));
    ASSERT_EQ(result.bodies.size(), 2u);
    EXPECT_EQ(result.bodies[1].hold, Hold::Loose);
}

} // namespace CELLVANE_TEST_FILE
