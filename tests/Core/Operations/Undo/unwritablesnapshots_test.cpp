#include "Core/Operations/BatchRun/batchrunchanges.h"
#include "Core/Operations/Undo/runsnapshots.h"
#include "support/fakeoperations.h"
#include "support/mountedfolder.h"
#include "support/scenes.h"

#include <QDir>

#include <gtest/gtest.h>

#include <memory>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

// The snapshot files are made in the working folder: here, one on a file system of its own
// that is full or read-only, from the start or from part-way through the step.
enum class Trouble { FullFromTheStart, ReadOnlyFromTheStart, FillsDuringTheStep };

struct UnwritableSnapshotsTest : ::testing::TestWithParam<Trouble> {
    MountedFolder folder;
    const QString home = QDir::currentPath();
    const QByteArray cache = qgetenv("XDG_CACHE_HOME"), temp = qgetenv("TMPDIR");
    CountingHost host;
    ScriptedPrompts prompts;
    std::unique_ptr<OperationContext> context;
    std::shared_ptr<Model::Automaton::TotalVolume> volume =
        makeVolume(4, 3, 5, [](int x, int, int z) { return 1 + (x + z) % 3; });
    int engineRuns = 0;

    void SetUp() override {
        if (!folder.isMounted())
            GTEST_SKIP() << folder.why().toStdString();
        // The undo records live in the session folder below the cache, or below the temporary
        // folder when the cache cannot be written: both are the troubled place here.
        ASSERT_TRUE(QDir::setCurrent(folder.path()));
        qputenv("XDG_CACHE_HOME", folder.path().toUtf8());
        qputenv("TMPDIR", folder.path().toUtf8());
        if (GetParam() == Trouble::ReadOnlyFromTheStart) {
            ASSERT_TRUE(folder.makeReadOnly());
        }
        context = std::make_unique<OperationContext>(host, prompts);
        if (GetParam() == Trouble::FullFromTheStart)
            folder.fill();
        context->document->addObject(volume);
    }
    void TearDown() override {
        QDir::setCurrent(home);
        qputenv("XDG_CACHE_HOME", cache);
        qputenv("TMPDIR", temp);
    }

    QString reason() const {
        return GetParam() == Trouble::ReadOnlyFromTheStart ? MountedFolder::readOnly()
                                                           : MountedFolder::noSpace();
    }
    RunSnapshots::Outcome run(RunSnapshots& snapshots, QString* failure) {
        return snapshots.run(
            *volume, QStringLiteral("Etch"),
            [this](Model::Automaton::TotalVolume& cells, Util::ProgressReporter&) {
                ++engineRuns;
                if (GetParam() == Trouble::FillsDuringTheStep)
                    folder.fill();
                setMaterial(cells, 0, 0);
            },
            failure);
    }
};

} // namespace

TEST_P(UnwritableSnapshotsTest, AStepThatCannotBeUndoneRunsOnlyWhenTheUserSaysSo) {
    const std::vector<int> before = materialsOf(*volume);
    const bool askedFirst = GetParam() != Trouble::FillsDuringTheStep;

    // Declined: nothing runs, and the console line gives the reason.
    prompts.confirmAnswer = false;
    RunSnapshots declined(QStringLiteral("Etch"), *context);
    QString failure;
    const auto outcome = run(declined, &failure);
    if (askedFirst) {
        EXPECT_EQ(outcome, RunSnapshots::Outcome::NotRecorded);
        EXPECT_EQ(engineRuns, 0);
        EXPECT_EQ(materialsOf(*volume), before);
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_TRUE(prompts.messages[0].startsWith(QStringLiteral("Run without undo: ")));
        EXPECT_TRUE(prompts.messages[0].contains(reason())) << prompts.messages[0].toStdString();
        EXPECT_TRUE(RunSnapshots::stopMessage(outcome, failure).contains(reason()));
    } else {
        // The record from before was written; only the one after failed, once it was too late
        // to ask: the step stands, and says that it cannot be undone.
        EXPECT_EQ(outcome, RunSnapshots::Outcome::Finished);
        EXPECT_TRUE(prompts.messages.isEmpty());
        EXPECT_FALSE(declined.isUndoable());
        EXPECT_TRUE(declined.notUndoableMessage().contains(reason()));
        return;
    }

    // Accepted: the step runs, cannot be undone, and an undo says so instead of losing cells.
    prompts.confirmAnswer = true;
    RunSnapshots accepted(QStringLiteral("Etch"), *context);
    EXPECT_EQ(run(accepted, &failure), RunSnapshots::Outcome::Finished);
    EXPECT_EQ(engineRuns, 1);
    EXPECT_EQ(materialsOf(*volume)[0], 0);
    EXPECT_FALSE(accepted.isUndoable());
    EXPECT_TRUE(accepted.notUndoableMessage().contains(reason()));
    EXPECT_FALSE(accepted.undo(*volume));
    EXPECT_EQ(materialsOf(*volume)[0], 0);

    // A batch run asks the same question before its first run.
    prompts.confirmAnswer = false;
    BatchRunChanges batch(*context, volume);
    EXPECT_FALSE(batch.aboutToRun());
    EXPECT_TRUE(context->consoleInput.getLastMessage().contains(reason()));
    prompts.confirmAnswer = true;
    EXPECT_TRUE(batch.aboutToRun());
}

INSTANTIATE_TEST_SUITE_P(Places, UnwritableSnapshotsTest,
                         ::testing::Values(Trouble::FullFromTheStart, Trouble::ReadOnlyFromTheStart,
                                           Trouble::FillsDuringTheStep));

} // namespace CELLVANE_TEST_FILE
