#include "Core/Operations/Isotropic/isotropicprocessoperations.h"
#include "Core/Operations/MooreNeighborhood/mooreneighborhoodoperations.h"
#include "Core/Operations/Undo/recoverysession.h"
#include "support/fakeoperations.h"
#include "support/operationfixture.h"
#include "support/scenes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Silicon = 1, Oxide = 2, Film = 7;

struct ProcessOperationTest : VolumeOperationTest {
    void SetUp() override {
        useVolume(makeVolume(
            12, 6, 10, [](int x, int, int z) { return z < 4 || (x < 4 && z < 7) ? Silicon : 0; }));
    }
};

} // namespace

TEST_F(ProcessOperationTest, AsksForAVolumeThenTakesItOnEnter) {
    auto op = std::make_shared<IsotropicFilmDepositionOperation>(context);
    op->step();
    EXPECT_EQ(log->lines.last(),
              QStringLiteral("Isotropic Deposition: Select a cell volume and press Enter/Return."));
    EXPECT_TRUE(context.selection.isSelectionMode());

    context.selection.toggle(volume);
    context.consoleInput.processInput(QString());
    EXPECT_EQ(log->lines.last(), QStringLiteral("Isotropic Deposition: Cell volume selected."));
    EXPECT_EQ(op->getTarget(), volume);
    EXPECT_FALSE(context.selection.isSelectionMode());
    EXPECT_FALSE(volume->isSelected());
}

TEST_F(ProcessOperationTest, EndWithoutEveryValueCancels) {
    auto op = selected<ElectrodepositionOperation>();
    op->setDistance(2.f);
    op->setMaterialId(Film);
    const auto before = materialsOf(*volume);
    op->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Electroplating: Operation canceled."));
    EXPECT_EQ(host.cancelled, 1);
    EXPECT_EQ(host.finished, 0);
    EXPECT_EQ(materialsOf(*volume), before);
}

TEST_F(ProcessOperationTest, FinishedRunIsRecordedAndMarksTheLatticeOnlyForSilicon) {
    auto deposit = selected<IsotropicFilmDepositionOperation>();
    deposit->setDistance(1.f);
    deposit->setMaterialId(Film);
    context.processHistory.setLatticeRebuildNeeded(volume->getId(), false);
    deposit->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Isotropic Deposition: Operation finished."));
    EXPECT_EQ(host.finished, 1);
    EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), 13u);
    EXPECT_FALSE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
    EXPECT_EQ(materialAt(*volume, 8, 2, 4), Film);

    auto etch = selected<IsotropicFilmEtchingOperation>();
    etch->setDistance(1.f);
    etch->setMaterialId(Silicon);
    etch->end();
    EXPECT_TRUE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
    EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), 14u);
}

TEST_F(ProcessOperationTest, ZeroDistanceStillFinishes) {
    auto op = selected<IsotropicFilmDepositionOperation>();
    op->setDistance(0.f);
    op->setMaterialId(Film);
    const auto before = materialsOf(*volume);
    op->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Isotropic Deposition: Operation finished."));
    EXPECT_EQ(materialsOf(*volume), before);
}

TEST_F(ProcessOperationTest, UndoAndRedoRestoreEveryCell) {
    const auto original = materialsOf(*volume);
    auto deposit = selected<IsotropicFilmDepositionOperation>();
    deposit->setDistance(2.f);
    deposit->setMaterialId(Film);
    deposit->end();
    const auto deposited = materialsOf(*volume);
    ASSERT_NE(deposited, original);

    auto etch = selected<IsotropicFilmEtchingOperation>();
    etch->setDistance(1.5f);
    etch->setMaterialId(Film);
    etch->end();
    const auto etched = materialsOf(*volume);
    ASSERT_NE(etched, deposited);

    EXPECT_EQ(etch->undo(), 1);
    EXPECT_EQ(materialsOf(*volume), deposited);
    EXPECT_EQ(deposit->undo(), 1);
    EXPECT_EQ(materialsOf(*volume), original);
    deposit->redo();
    EXPECT_EQ(materialsOf(*volume), deposited);
    etch->redo();
    EXPECT_EQ(materialsOf(*volume), etched);
}

// The two Moore processes share one state key; each must still undo to its own cells.
TEST_F(ProcessOperationTest, MooreProcessesSharingAKeyUndoTheirOwnCells) {
    const auto original = materialsOf(*volume);
    auto deposit = selected<MooreNeighborhoodDepositionOperation>();
    deposit->setMaterialId(Oxide);
    deposit->setSteps(2);
    deposit->end();
    const auto deposited = materialsOf(*volume);

    auto etch = selected<MooreNeighborhoodEtchingOperation>();
    etch->setMaterialId(Oxide);
    etch->setSteps(1);
    etch->end();
    ASSERT_NE(materialsOf(*volume), deposited);

    etch->undo();
    EXPECT_EQ(materialsOf(*volume), deposited);
    deposit->undo();
    EXPECT_EQ(materialsOf(*volume), original);
}

TEST_F(ProcessOperationTest, MooreWithZeroStepsFinishesWithoutChange) {
    auto op = selected<MooreNeighborhoodDepositionOperation>();
    op->setMaterialId(Oxide);
    op->setSteps(0);
    const auto before = materialsOf(*volume);
    op->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Moore film deposition: Operation finished."));
    EXPECT_EQ(materialsOf(*volume), before);
}

// Where the snapshot files cannot be created the program runs on; undo then says it cannot
// restore the cells instead of pretending, and reports that it did not undo.
TEST(ProcessOperationWithoutSnapshots, UndoLeavesCellsAndSaysSo) {
    const QByteArray cache = qgetenv("XDG_CACHE_HOME"), temp = qgetenv("TMPDIR");
    qputenv("XDG_CACHE_HOME", "/proc/no-cache");
    // A temporary folder where the fallback's name is taken by a file.
    QTemporaryDir temporary;
    qputenv("TMPDIR", temporary.path().toUtf8());
    QFile(RecoverySession::temporaryRoot()).open(QIODevice::WriteOnly);
    CountingHost host;
    ScriptedPrompts prompts;
    auto context = std::make_unique<OperationContext>(host, prompts);
    qputenv("XDG_CACHE_HOME", cache);
    qputenv("TMPDIR", temp);
    ASSERT_FALSE(context->snapshotFiles.isUsable());

    auto log = std::make_shared<MessageLog>(context->consoleInput);
    context->consoleInput.getMessageObservers().push_back(log);
    auto volume = makeVolume(6, 4, 6, [](int, int, int z) { return z < 2 ? Silicon : 0; });
    auto op = std::make_shared<IsotropicFilmDepositionOperation>(*context);
    op->setTarget(volume);
    op->setDistance(1.f);
    op->setMaterialId(Film);
    op->end();
    const auto deposited = materialsOf(*volume);
    EXPECT_EQ(op->undo(), 0) << "a failed undo keeps the step on the undo stack";
    EXPECT_EQ(materialsOf(*volume), deposited);
    EXPECT_TRUE(log->lines.last().startsWith(
        QStringLiteral("Isotropic Deposition: The cells could not be restored")));
}

// The window's release etch: a film resting on a silicon post is undercut from the open side
// until it hangs free; the console lists the bodies and the step undoes like any etch.
struct ReleaseEtchOperationTest : VolumeOperationTest {};

TEST_F(ReleaseEtchOperationTest, ListsTheFreedBodiesAndUndoes) {
    constexpr int Sacrificial = 3;
    useVolume(makeVolume(16, 6, 10, [](int x, int, int z) {
        if (z < 3)
            return Silicon;
        if (z < 5)
            return x < 12 ? Sacrificial : 0;
        return z < 6 && x < 15 ? Film : 0;
    }));
    const auto original = materialsOf(*volume);
    auto op = selected<ReleaseEtchOperation>();
    op->setDistance(4.f);
    op->setMaterialId(Sacrificial);
    op->end();
    ASSERT_NE(materialsOf(*volume), original);
    const QString said = log->lines.join(QLatin1Char('\n'));
    EXPECT_TRUE(said.contains(QStringLiteral("Release Etch: 2 solid bodies: 1 attached, 1 "
                                             "anchored, 0 loose.")))
        << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("undercut below the anchor of body 2: ")))
        << said.toStdString();
    EXPECT_EQ(op->undo(), 1);
    EXPECT_EQ(materialsOf(*volume), original);
}

} // namespace CELLVANE_TEST_FILE
