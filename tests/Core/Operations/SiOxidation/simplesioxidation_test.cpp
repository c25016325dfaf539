#include "Core/Operations/SiOxidation/simplesioxidation.h"
#include "Core/Operations/SiOxidation/simplesioxidationoperation.h"
#include "support/operationfixture.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <cmath>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Silicon = 1, Oxide = 3, Aluminium = 4;

MaterialAt exposedBlock() {
    return [](int, int, int z) { return z < 8 ? Silicon : 0; };
}

std::vector<int> columnOf(Model::Automaton::TotalVolume& v, int x, int y) {
    std::vector<int> column;
    for (int z = 0; z < int(v.getSizeZ()); ++z)
        column.push_back(materialAt(v, x, y, z));
    return column;
}

} // namespace

TEST(SimpleSiOxidation, ExposedBlockGrowsIntoTheSiliconAndOutIntoEmptySpace) {
    auto v = makeVolume(6, 6, 20, exposedBlock());
    SimpleSiOxidation(*v, 1.0).oxidateTo(10.0);
    // Silicon at distances 0, 1 and 2 from the surface (below 0.3 d); empty cells at 1 to 5
    // (within the reach 0.56 d); beyond that empty cells keep their far vector.
    for (int z = 0; z < 20; ++z) {
        const int expected = z < 5 ? Silicon : z < 13 ? Oxide : 0;
        EXPECT_EQ(materialAt(*v, 2, 3, z), expected) << "z " << z;
    }
    EXPECT_EQ(columnOf(*v, 0, 0), columnOf(*v, 5, 5)) << "columns at the volume's sides";
}

TEST(SimpleSiOxidation, ThicknessNotAboveTheSmallestCellChangesNothing) {
    auto v = makeVolume(6, 6, 12, exposedBlock(), 1.f, 1.f, 0.5f);
    const auto before = materialsOf(*v);
    SimpleSiOxidation oxidation(*v, 1.0);
    oxidation.oxidateTo(0.5);
    oxidation.oxidateTo(std::nan(""));
    oxidation.oxidateTo(-4.0);
    EXPECT_EQ(materialsOf(*v), before);
    oxidation.oxidateTo(0.51);
    EXPECT_EQ(materialAt(*v, 2, 2, 7), Oxide) << "just above the smallest edge: the surface";
    EXPECT_EQ(materialAt(*v, 2, 2, 8), 0);
}

TEST(SimpleSiOxidation, OtherMaterialsAreFixedObstacles) {
    // Aluminium over x < 5 and oxide over x in [5, 9) cover the silicon; it is bare for x >= 9.
    auto v = makeVolume(16, 4, 20, [](int x, int, int z) {
        if (z < 8)
            return Silicon;
        if (z == 8 && x < 9)
            return x < 5 ? Aluminium : Oxide;
        return 0;
    });
    SimpleSiOxidation(*v, 1.0).oxidateTo(10.0);
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(materialAt(*v, x, 1, 8), Aluminium);
        EXPECT_EQ(materialAt(*v, x, 1, 7), Silicon) << "under the aluminium, x " << x;
        EXPECT_EQ(materialAt(*v, x, 1, 9), 0) << "above the aluminium, x " << x;
    }
    EXPECT_EQ(materialAt(*v, 5, 1, 7), Silicon) << "under the oxide, beyond 0.3 d of the edge";
    EXPECT_EQ(materialAt(*v, 8, 1, 7), Oxide) << "under the oxide, next to the bare surface";
    EXPECT_EQ(materialAt(*v, 5, 1, 8), Oxide);
    EXPECT_EQ(materialAt(*v, 12, 1, 5), Oxide) << "bare silicon oxidizes";
    EXPECT_EQ(materialAt(*v, 12, 1, 4), Silicon);
}

TEST(SimpleSiOxidation, NarrowVolumeRunsAsOneSlabAndMatchesAWideOne) {
    PoolThreads pool(8);
    auto narrow = makeVolume(3, 4, 20, exposedBlock());
    auto wide = makeVolume(40, 4, 20, exposedBlock());
    SimpleSiOxidation(*narrow, 1.0).oxidateTo(7.5);
    SimpleSiOxidation(*wide, 1.0).oxidateTo(7.5);
    EXPECT_EQ(columnOf(*narrow, 1, 1), columnOf(*wide, 20, 1));
}

TEST(SimpleSiOxidation, DealGroveFollowsTheDryOxidationLaw) {
    // Reference figures for 1 h at 1273 K, computed apart from the program.
    const auto atOneAtm = DealGroveThickness::compute(1.0, 1273.0, 1.0);
    EXPECT_NEAR(atOneAtm.parabolicRateAtOneAtm, 0.010517479759910664, 1e-15);
    EXPECT_NEAR(atOneAtm.parabolicRate, 0.010509747728273622, 1e-15);
    EXPECT_NEAR(atOneAtm.linearRate, 0.08035313185907425, 1e-14);
    EXPECT_NEAR(atOneAtm.a, 0.13079450029036746, 1e-14);
    EXPECT_NEAR(atOneAtm.tau, 0.370595242432044, 1e-13);
    EXPECT_NEAR(atOneAtm.microns, 0.0712827065495875, 1e-14);

    const auto atHalfAtm = DealGroveThickness::compute(1.0, 1273.0, 0.5);
    EXPECT_EQ(atHalfAtm.parabolicRate, atOneAtm.parabolicRate / 2);
    EXPECT_EQ(atHalfAtm.linearRate, atOneAtm.linearRate);
    EXPECT_NEAR(atHalfAtm.microns, 0.05995128156203102, 1e-14);
}

TEST(SimpleSiOxidation, EveryThreadCountGivesTheSingleStripResult) {
    auto scene = [](int x, int y, int z) {
        if (z < 4 || (x > 9 && z < 7) || (x > 20 && y > 4 && z < 9))
            return Silicon;
        return x >= 4 && x < 16 && z == 4 ? Aluminium : 0;
    };
    auto run = [&](int threads) {
        PoolThreads pool(threads);
        auto v = makeVolume(29, 9, 16, scene);
        SimpleSiOxidation(*v, 1.0).oxidateTo(6.5);
        return materialsOf(*v);
    };
    const auto serial = run(1);
    for (int threads : {2, 3, 8})
        EXPECT_EQ(run(threads), serial) << threads << " threads";
}

namespace {

struct OxidationOperationTest : VolumeOperationTest {
    void SetUp() override { useVolume(makeVolume(6, 4, 20, exposedBlock())); }
};

} // namespace

TEST_F(OxidationOperationTest, TakesTheOnlyVolumeOfTheDocumentWithoutASelection) {
    auto op = std::make_shared<SimpleSiOxidationOperation>(context);
    context.currentOperation = op;
    op->step();
    // Asked like every step, with the only volume shown selected for Enter to take.
    EXPECT_TRUE(volume->isSelected());
    EXPECT_FALSE(op->getTarget());
    context.consoleInput.processInput(QString());
    EXPECT_EQ(log->lines.last(), QStringLiteral("Simple Si Oxidation: Cell volume selected."));
    EXPECT_EQ(op->getTarget(), volume);

    context.document->addObject(makeVolume(2, 2, 2, exposedBlock()));
    auto asking = std::make_shared<SimpleSiOxidationOperation>(context);
    asking->step();
    context.consoleInput.processInput(QString());
    EXPECT_EQ(log->lines.last(),
              QStringLiteral("Simple Si Oxidation: Select a cell volume and press Enter/Return."));
    EXPECT_FALSE(asking->getTarget());
}

TEST_F(OxidationOperationTest, MicronsAreConvertedAndBadValuesCancelWithoutChange) {
    const auto before = materialsOf(*volume);
    selected<SimpleSiOxidationOperation>()->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Simple Si Oxidation: Operation canceled."));

    // (conversion, time or -1 for a thickness, kelvin, atm, microns)
    const struct {
        double conversion, time, kelvin, atm, microns;
        const char* message;
    } cases[] = {
        {100, 2, 0, 1, 0, "No oxide grows at 0 K and 1 atm."},
        {100, std::nan(""), 1273, 1, 0,
         "The oxidation time must be a number from 0 to 1000 "
         "hours."},
        {100, 2, 1e300, 1, 0, "The temperature must be a number from 0 to 2000 K."},
        {0, -1, 0, 0, 1, "The cell units per micron must be a number from 0.01 to 1000000000."},
        {100, -1, 0, 0, HUGE_VAL,
         "The oxide thickness must be a number from 0 to 100000 "
         "microns."},
    };
    for (const auto& c : cases) {
        auto op = selected<SimpleSiOxidationOperation>();
        op->setMicronConversion(c.conversion);
        if (c.time == -1) {
            op->setOxideThickness(c.microns);
        } else {
            op->setOxidationTime(c.time);
            op->setOxidationPressure(c.atm);
            op->setOxidationTemperature(c.kelvin);
        }
        op->end();
        EXPECT_EQ(log->lines.value(log->lines.size() - 2),
                  QStringLiteral("Simple Si Oxidation: ") + QString::fromUtf8(c.message));
    }
    EXPECT_EQ(materialsOf(*volume), before);
    EXPECT_EQ(host.finished, 0);

    auto op = selected<SimpleSiOxidationOperation>();
    op->setMicronConversion(20.0);
    op->setOxideThickness(0.5);
    op->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Simple Si Oxidation: Operation finished."));
    EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), 26u);
    auto reference = makeVolume(6, 4, 20, exposedBlock());
    SimpleSiOxidation(*reference, 20.0).oxidateTo(10.0);
    EXPECT_EQ(materialsOf(*volume), materialsOf(*reference)) << "0.5 microns at 20 per micron";
}

TEST_F(OxidationOperationTest, WithoutAConversionTheVolumesOwnScaleTurnsMicronsIntoCells) {
    // The substrate Create Substrate starts with (30 cells of silicon in a box 80 high), given
    // 10 µm of oxide and no conversion: a film at the surface, never the whole box. 10 µm is
    // 10 cells at 1 µm per scene unit and 20 at 0.5.
    const struct {
        double micrometresPerSceneUnit;
        int lowestOxide, highestOxide;
    } cases[] = {{1.0, 27, 34}, {0.5, 24, 40}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.micrometresPerSceneUnit);
        auto box = makeVolume(12, 12, 80, [](int, int, int z) { return z < 30 ? Silicon : 0; });
        box->setMicrometresPerSceneUnit(c.micrometresPerSceneUnit);
        EXPECT_DOUBLE_EQ(SimpleSiOxidationOperation::cellUnitsPerMicronOf(*box),
                         1.0 / c.micrometresPerSceneUnit);
        auto op = std::make_shared<SimpleSiOxidationOperation>(context);
        op->setTarget(box);
        op->setOxideThickness(10.0);
        op->end();
        const std::vector<int> column = columnOf(*box, 6, 6);
        std::vector<int> expected(80, 0);
        for (int z = 0; z < 80; ++z)
            expected[std::size_t(z)] = z < c.lowestOxide     ? Silicon
                                       : z <= c.highestOxide ? Oxide
                                                             : 0;
        EXPECT_EQ(column, expected);
    }
}

} // namespace CELLVANE_TEST_FILE
