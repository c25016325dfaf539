#include "Core/Operations/SiEtching/atomisticsiwetetchingoperation.h"
#include "Core/Operations/SiEtching/continouswetetchoperation.h"
#include "Core/Operations/SiEtching/siwetetchscenes.h"
#include "Model/Automaton/volumebudget.h"
#include "support/fakeoperations.h"
#include "support/operationfixture.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

class CountingObserver : public Util::IObserver {
public:
    void update() override { ++updates; }
    int updates = 0;
};

QStringList debugLines;
void captureDebug(QtMsgType, const QMessageLogContext&, const QString& message) {
    debugLines << message;
}

struct WetEtchOperationTest : VolumeOperationTest {
    QuietEtching quiet;

    void SetUp() override { useVolume(flatSilicon(6, 6, 6, 4)); }
    std::shared_ptr<AtomisticSiWetEtchingOperation> etch(double depth) {
        auto op = selected<AtomisticSiWetEtchingOperation>();
        op->setDepth(depth);
        op->end();
        return op;
    }
};

} // namespace

TEST_F(WetEtchOperationTest, AsksForAVolumeThenTakesItOnEnterAndShowsTheDialog) {
    auto op = std::make_shared<AtomisticSiWetEtchingOperation>(context);
    auto observer = std::make_shared<CountingObserver>();
    op->setObserver(observer);
    context.currentOperation = op;
    op->step();
    EXPECT_EQ(log->lines.last(),
              QStringLiteral("BCA Wet Etch: Select a cell volume and press Enter/Return."));
    EXPECT_TRUE(context.selection.isSelectionMode());
    EXPECT_EQ(observer->updates, 0);

    context.selection.toggle(volume);
    context.consoleInput.processInput(QString());
    EXPECT_EQ(log->lines.last(), QStringLiteral("BCA Wet Etch: Cell volume selected."));
    EXPECT_EQ(op->getTarget(), volume);
    EXPECT_TRUE(op->isVolumeSelected());
    EXPECT_FALSE(context.selection.isSelectionMode());
    EXPECT_FALSE(volume->isSelected());
    EXPECT_EQ(observer->updates, 1);
}

TEST_F(WetEtchOperationTest, TakesTheLastSelectedVolumeOrASinglePickedOne) {
    auto other = flatSilicon(3, 3, 3, 1);
    context.document->addObject(other);
    context.selection.toggle(volume);
    context.selection.toggle(other);
    auto op = std::make_shared<ContinousWetEtchOperation>(context);
    op->step();
    EXPECT_FALSE(op->getTarget()) << "asked first, with the volume shown selected";
    context.consoleInput.processInput(QString());
    EXPECT_EQ(op->getTarget(), other);
    EXPECT_EQ(log->lines.last(), QStringLiteral("Continuous Wet Etch: Cell volume selected."));

    auto picked = std::make_shared<ContinousWetEtchOperation>(context);
    context.viewInteraction.setPickedObjects({volume});
    picked->step();
    context.consoleInput.processInput(QString());
    EXPECT_EQ(picked->getTarget(), volume);

    // Two picked volumes are ambiguous: ask instead.
    auto ambiguous = std::make_shared<ContinousWetEtchOperation>(context);
    context.viewInteraction.setPickedObjects({volume, other});
    ambiguous->step();
    context.consoleInput.processInput(QString());
    EXPECT_FALSE(ambiguous->isVolumeSelected());
    EXPECT_EQ(log->lines.last(),
              QStringLiteral("Continuous Wet Etch: Select a cell volume and press Enter/Return."));
}

TEST_F(WetEtchOperationTest, EndWithoutDepthOrVolumeCancels) {
    auto op = selected<AtomisticSiWetEtchingOperation>();
    const auto before = materialsOf(*volume);
    op->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("BCA Wet Etch: Operation canceled."));
    EXPECT_EQ(host.cancelled, 1);
    EXPECT_EQ(host.finished, 0);
    EXPECT_FALSE(volume->getSiLattice());

    auto unselected = std::make_shared<ContinousWetEtchOperation>(context);
    unselected->setDepth(1.0);
    EXPECT_TRUE(unselected->areOptionsAccepted());
    unselected->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Continuous Wet Etch: Operation canceled."));
    EXPECT_EQ(host.cancelled, 2);
    EXPECT_EQ(materialsOf(*volume), before);
}

TEST_F(WetEtchOperationTest, FinishedEtchIsRecordedAndKeepsTheLatticeUntilSiliconChanges) {
    etch(1.0);
    EXPECT_EQ(log->lines.last(), QStringLiteral("BCA Wet Etch: Operation finished."));
    EXPECT_EQ(host.finished, 1);
    EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), 28u);
    EXPECT_FALSE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
    const auto first = volume->getSiLattice();
    ASSERT_TRUE(first);
    EXPECT_EQ(materialAt(*volume, 3, 3, 3), 0); // one cell down

    // A second etch reuses the lattice and its removed atoms.
    etch(0.5);
    EXPECT_EQ(volume->getSiLattice(), first);
    EXPECT_EQ(countMismatches(*volume), 0);

    // After a silicon-changing step the next etch builds a new one.
    context.processHistory.setLatticeRebuildNeeded(volume->getId(), true);
    auto continuous = selected<ContinousWetEtchOperation>();
    continuous->setDepth(1.0);
    continuous->end();
    EXPECT_NE(volume->getSiLattice(), first);
    EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), 29u);
    EXPECT_FALSE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
    EXPECT_EQ(log->lines.last(), QStringLiteral("Continuous Wet Etch: Operation finished."));
}

TEST_F(WetEtchOperationTest, VolumeWithoutLatticeIsBuiltEvenWhenTheHistorySaysCurrent) {
    context.processHistory.setLatticeRebuildNeeded(volume->getId(), false);
    etch(1.0);
    EXPECT_TRUE(volume->getSiLattice());
    EXPECT_EQ(host.finished, 1);
}

TEST_F(WetEtchOperationTest, LatticeThatDoesNotFitIsReportedAndNothingIsEtched) {
    const auto before = materialsOf(*volume);
    Model::Automaton::VolumeBudget::setAvailableBytesForTesting(64);
    etch(2.0);
    Model::Automaton::VolumeBudget::setAvailableBytesForTesting(0);
    ASSERT_GE(log->lines.size(), 2);
    EXPECT_TRUE(log->lines[log->lines.size() - 2].startsWith(QStringLiteral("BCA Wet Etch: ")));
    EXPECT_TRUE(log->lines[log->lines.size() - 2].contains(QStringLiteral("memory")));
    EXPECT_EQ(log->lines.last(), QStringLiteral("BCA Wet Etch: Operation canceled."));
    EXPECT_EQ(host.finished, 0);
    EXPECT_EQ(host.cancelled, 1);
    EXPECT_TRUE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
    EXPECT_EQ(materialsOf(*volume), before);
}

TEST_F(WetEtchOperationTest, LogsTheTimesOfBuildRunAndRedraw) {
    QLoggingCategory::setFilterRules(
        QStringLiteral("*.debug=false\nCore/Operations/SiEtching/siwetetchoperation.debug=true"));
    debugLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureDebug);
    etch(1.0);
    etch(1.0);
    qInstallMessageHandler(previous);
    const QString all = debugLines.join(QLatin1Char('\n'));
    EXPECT_EQ(all.count(QStringLiteral("Time to allocate Si structure ")), 1);
    EXPECT_EQ(all.count(QStringLiteral("Total time to allocate and run ")), 2);
    EXPECT_EQ(all.count(QStringLiteral("Time to build rendered structrure ")), 2);
}

// Undo and redo replace the cells under the lattice, so the next etch must rebuild it: an etch
// after an undo gives exactly what the same etch gives on the untouched volume.
TEST_F(WetEtchOperationTest, UndoAndRedoRestoreTheCellsAndTheNextEtchRebuildsTheLattice) {
    const auto original = materialsOf(*volume);
    auto first = etch(1.0);
    const auto etched = materialsOf(*volume);
    ASSERT_NE(etched, original);

    EXPECT_EQ(first->undo(), 1);
    EXPECT_EQ(materialsOf(*volume), original);
    EXPECT_TRUE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
    first->redo();
    EXPECT_EQ(materialsOf(*volume), etched);
    EXPECT_TRUE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
    first->undo();

    auto again = etch(1.0);
    EXPECT_EQ(materialsOf(*volume), etched);
    EXPECT_EQ(countMismatches(*volume), 0);
    auto third = etch(1.0);
    ASSERT_NE(materialsOf(*volume), etched);
    // Undone in the order the undo stack takes them.
    third->undo();
    again->undo();
    EXPECT_EQ(materialsOf(*volume), original);
    auto continuous = selected<ContinousWetEtchOperation>();
    continuous->setDepth(1.0);
    continuous->end();
    EXPECT_EQ(countMismatches(*volume), 0) << "the lattice was rebuilt over the restored cells";
}

} // namespace CELLVANE_TEST_FILE
