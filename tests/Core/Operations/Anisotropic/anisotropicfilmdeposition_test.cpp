#include "Core/Operations/Anisotropic/anisotropicfilmdeposition.h"
#include "Core/Operations/Anisotropic/anisotropicfilmdepositionoperation.h"
#include "Core/Operations/Isotropic/isotropicprocessoperations.h"
#include "support/operationfixture.h"
#include "support/scenes.h"

#include <QFile>
#include <gtest/gtest.h>

#include <cmath>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Silicon = 1, Oxide = 3, Aluminium = 4;
using Mode = AnisotropicFilmDeposition::DepositOn;

// Silicon below z = 6 with a trench x in [6, 10) down to z = 2, and a floating plate z in
// [10, 13) over x < 4 whose underside faces the top surface.
MaterialAt trenchWithOverhang() {
    return [](int x, int, int z) {
        const bool trench = x >= 6 && x < 10;
        if (z < (trench ? 2 : 6) || (x < 4 && z >= 10 && z < 13))
            return Silicon;
        return 0;
    };
}

// Every cell that was solid before keeps its material.
void expectSolidsKept(const std::vector<int>& before, const std::vector<int>& after) {
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] != 0) {
            ASSERT_EQ(after[i], before[i]) << "cell " << i;
        }
    }
}

std::vector<int> deposit(Model::Automaton::TotalVolume& v, float thickness, float ratio, int mode) {
    AnisotropicFilmDeposition(v, Aluminium, thickness, ratio, mode).runDeposition();
    return materialsOf(v);
}

} // namespace

TEST(AnisotropicDeposition, OnTopGrowsFromHorizontalFacesOnlyAndSidewaysByTheRatio) {
    auto v = makeVolume(16, 4, 16, trenchWithOverhang());
    const auto before = materialsOf(*v);
    const auto after = deposit(*v, 2.f, 0.5f, Mode::OnTop);
    expectSolidsKept(before, after);
    EXPECT_EQ(materialAt(*v, 5, 1, 6), Aluminium) << "top surface";
    EXPECT_EQ(materialAt(*v, 5, 1, 7), Aluminium);
    EXPECT_EQ(materialAt(*v, 5, 1, 8), 0) << "no thicker than the film";
    EXPECT_EQ(materialAt(*v, 8, 1, 2), Aluminium) << "trench floor";
    EXPECT_EQ(materialAt(*v, 8, 1, 3), Aluminium);
    EXPECT_EQ(materialAt(*v, 6, 1, 3), Aluminium) << "up the wall from the floor";
    EXPECT_EQ(materialAt(*v, 6, 1, 4), 0) << "the wall itself seeds nothing";
    EXPECT_EQ(materialAt(*v, 6, 1, 6), 0) << "half-rate sideways growth over the edge";
    EXPECT_EQ(materialAt(*v, 2, 1, 13), Aluminium) << "top of the plate";
    EXPECT_EQ(materialAt(*v, 2, 1, 9), 0) << "underside of the plate";

    auto full = makeVolume(16, 4, 16, trenchWithOverhang());
    deposit(*full, 2.f, 1.f, Mode::OnTop);
    EXPECT_EQ(materialAt(*full, 6, 1, 6), Aluminium) << "full-rate sideways growth";
}

TEST(AnisotropicDeposition, BottomAndBothSidesStartWhereEmptySpaceLiesBelow) {
    auto resting = makeVolume(8, 4, 8, [](int, int, int z) { return z < 4 ? Silicon : 0; });
    const auto bare = materialsOf(*resting);
    EXPECT_EQ(deposit(*resting, 3.f, 0.5f, Mode::OnBottom), bare)
        << "a substrate on the volume's bottom face has no bottom to coat";

    auto plate =
        makeVolume(8, 4, 12, [](int, int, int z) { return z >= 4 && z < 6 ? Silicon : 0; });
    deposit(*plate, 2.f, 0.5f, Mode::OnTopAndBottom);
    for (int z = 0; z < 12; ++z) {
        const int expected = z >= 4 && z < 6 ? Silicon : (z >= 2 && z < 8 ? Aluminium : 0);
        EXPECT_EQ(materialAt(*plate, 3, 1, z), expected) << "z " << z;
    }
}

TEST(AnisotropicDeposition, ThicknessBelowTheVerticalCellEdgeGivesNoFilm) {
    // Cells twice as tall as wide; a ratio of 2 makes the scaled horizontal edges small.
    auto v = makeVolume(
        8, 4, 6, [](int x, int, int z) { return z < 2 || x < 2 ? Silicon : 0; }, 1.f, 1.f, 2.f);
    const auto before = materialsOf(*v);
    EXPECT_EQ(deposit(*v, 1.5f, 2.f, Mode::OnTopAndBottom), before);
}

TEST(AnisotropicDeposition, EveryThreadCountGivesTheSingleStripResult) {
    auto scene = [](int x, int y, int z) {
        if (z < 3 || (x > 9 && z < 7) || (x > 20 && y > 4 && z > 9 && z < 11))
            return Silicon;
        return 0;
    };
    auto run = [&](int threads, int mode) {
        PoolThreads pool(threads);
        auto v = makeVolume(29, 9, 14, scene);
        return deposit(*v, 3.5f, 0.6f, mode);
    };
    for (int mode : {Mode::OnTop, Mode::OnBottom, Mode::OnTopAndBottom}) {
        const auto serial = run(1, mode);
        for (int threads : {2, 3, 8})
            EXPECT_EQ(run(threads, mode), serial)
                << "mode " << mode << ", " << threads << " threads";
    }
}

namespace {

struct PvdOperationTest : VolumeOperationTest {
    void SetUp() override {
        useVolume(makeVolume(
            12, 4, 12, [](int x, int, int z) { return z < 4 || (x < 4 && z < 7) ? Silicon : 0; }));
    }
    std::shared_ptr<AnisotropicFilmDepositionOperation> pvd(float thickness, float ratio, int mode,
                                                            int material = Aluminium) {
        auto op = selected<AnisotropicFilmDepositionOperation>();
        op->setThickness(thickness);
        op->setMaterialId(material);
        op->setHorizontalRatio(ratio);
        op->setDepositOnMode(mode);
        return op;
    }
};

} // namespace

// PVD carries the name and undo key of CVD; each still undoes to its own cells.
TEST_F(PvdOperationTest, SharesTheKeyOfIsotropicDepositionAndUndoesItsOwnCells) {
    const auto original = materialsOf(*volume);
    auto cvd = selected<IsotropicFilmDepositionOperation>();
    cvd->setDistance(1.f);
    cvd->setMaterialId(Oxide);
    cvd->end();
    const auto afterCvd = materialsOf(*volume);

    auto op = pvd(2.f, 0.5f, Mode::OnTop);
    context.processHistory.setLatticeRebuildNeeded(volume->getId(), false);
    op->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Isotropic Deposition: Operation finished."));
    EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), 27u);
    EXPECT_FALSE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
    ASSERT_NE(materialsOf(*volume), afterCvd);
    op->undo();
    EXPECT_EQ(materialsOf(*volume), afterCvd);
    cvd->undo();
    EXPECT_EQ(materialsOf(*volume), original);

    pvd(1.5f, 1.f, Mode::OnTop, Silicon)->end();
    EXPECT_TRUE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
}

// The history follows the cells: after an undo the volume's last process is the one before,
// after a redo it is the step again. An undo or redo whose snapshot cannot be read changes
// neither the cells nor the history, and says so.
TEST_F(PvdOperationTest, UndoAndRedoMoveTheHistoryAndAFailedOneChangesNothing) {
    auto cvd = selected<IsotropicFilmDepositionOperation>();
    cvd->setDistance(1.f);
    cvd->setMaterialId(Oxide);
    cvd->end();
    const auto afterCvd = materialsOf(*volume);
    auto op = pvd(2.f, 0.5f, Mode::OnTop);
    op->end();
    const auto afterPvd = materialsOf(*volume);
    const int id = volume->getId();
    ASSERT_EQ(context.processHistory.lastOperation(id), 27u);

    ASSERT_EQ(op->undo(), 1);
    EXPECT_EQ(context.processHistory.lastOperation(id), 13u);
    ASSERT_TRUE(op->redo());
    EXPECT_EQ(context.processHistory.lastOperation(id), 27u);
    ASSERT_EQ(op->undo(), 1);
    ASSERT_EQ(cvd->undo(), 1);
    EXPECT_EQ(context.processHistory.lastOperation(id), 0u);
    ASSERT_TRUE(cvd->redo());
    EXPECT_EQ(context.processHistory.lastOperation(id), 13u);

    const QString lost = QStringLiteral("Isotropic Deposition: The cells could not be restored "
                                        "because the undo snapshot files could not be written.");
    ASSERT_TRUE(QFile::resize(context.snapshotFiles.getRedoFile(), 0));
    EXPECT_FALSE(op->redo());
    EXPECT_EQ(log->lines.last(), lost);
    EXPECT_EQ(materialsOf(*volume), afterCvd);
    EXPECT_EQ(context.processHistory.lastOperation(id), 13u);

    auto again = pvd(2.f, 0.5f, Mode::OnTop);
    again->end();
    ASSERT_EQ(materialsOf(*volume), afterPvd);
    ASSERT_TRUE(QFile::resize(context.snapshotFiles.getUndoFile(), 0));
    EXPECT_EQ(again->undo(), 0);
    EXPECT_EQ(log->lines.last(), lost);
    EXPECT_EQ(materialsOf(*volume), afterPvd);
    EXPECT_EQ(context.processHistory.lastOperation(id), 27u);
}

TEST_F(PvdOperationTest, BadValuesFromOutsideTheDialogChangeNothing) {
    const auto before = materialsOf(*volume);
    const QString ratio = QStringLiteral(
        "Isotropic Deposition: The horizontal ratio must be a number above 0 and at most "
        "1000000000.");
    const QString thickness = QStringLiteral(
        "Isotropic Deposition: The film thickness must be a number from 0 to 1000000000 units.");
    const struct {
        float thickness, ratio;
        int mode;
        QString message;
    } cases[] = {
        {2.f, 0.f, Mode::OnTop, ratio},
        {std::nanf(""), 0.5f, Mode::OnTop, thickness},
        {2.f, 0.5f, 4,
         QStringLiteral("Isotropic Deposition: The deposit-on mode must be 1 (on top), 2 (on "
                        "bottom) or 3 (on top and bottom).")},
    };
    for (const auto& c : cases) {
        pvd(c.thickness, c.ratio, c.mode)->end();
        EXPECT_EQ(log->lines.value(log->lines.size() - 2), c.message);
    }
    // The dialog passes 0 when the process lists no compatible material.
    pvd(2.f, 0.5f, Mode::OnTop, 0)->end();
    EXPECT_EQ(log->lines.value(log->lines.size() - 2),
              QStringLiteral("Isotropic Deposition: No deposited material was chosen."));
    EXPECT_EQ(materialsOf(*volume), before);
    EXPECT_EQ(host.finished, 0);
}

} // namespace CELLVANE_TEST_FILE
