#include "Core/Operations/Undo/recoverysession.h"
#include "Core/Operations/Undo/totalvolumeundoredohelper.h"
#include "Model/Automaton/keptmaterials.h"
#include "support/fakeoperations.h"
#include "support/scenes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

struct CountingObserver : Util::IObserver {
    void update() override { ++calls; }
    int calls = 0;
};

struct SnapshotRecordTest : ::testing::Test {
    CountingHost host;
    ScriptedPrompts prompts;
    OperationContext context{host, prompts};
    std::shared_ptr<Model::Automaton::TotalVolume> volume =
        makeVolume(2, 1, 2, [](int x, int, int z) { return 1 + x * 2 + z; });

    void setCell(int index, unsigned material) {
        testing_support::setMaterial(*volume, Model::Automaton::CellIndex(index), material);
    }
};

} // namespace

TEST_F(SnapshotRecordTest, UndoAndRedoCanBeRepeatedAndRefreshEverythingThatShowsCells) {
    auto observer = std::make_shared<CountingObserver>();
    context.updateObservers.push_back(observer);
    context.processHistory.setLatticeRebuildNeeded(volume->getId(), false);
    TotalVolumeUndoRedoHelper helper(QStringLiteral("IsotropicDeposition"), 0, context);
    ASSERT_TRUE(helper.recordBefore(*volume));
    setCell(3, 0);
    ASSERT_TRUE(helper.recordAfter(*volume));
    volume->getPainter().rebuild();
    const std::size_t facesAfter = volume->getPainter().getOpaqueFaces().size();

    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(helper.undo(*volume));
        EXPECT_EQ(materialsOf(*volume), (std::vector<int>{1, 2, 3, 4}));
        EXPECT_EQ(volume->getPainter().getOpaqueFaces().size(), 16u) << "painter rebuilt";
        ASSERT_TRUE(helper.redo(*volume));
        EXPECT_EQ(materialsOf(*volume), (std::vector<int>{1, 2, 3, 0}));
        EXPECT_EQ(volume->getPainter().getOpaqueFaces().size(), facesAfter);
    }
    EXPECT_EQ(observer->calls, 4);
    EXPECT_TRUE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
}

TEST_F(SnapshotRecordTest, FailedWriteReportsFailure) {
    TotalVolumeUndoRedoHelper helper(QStringLiteral("Doping"), 0, context);
    Model::Automaton::KeptMaterials kept;
    ASSERT_TRUE(kept.keep(*volume));
    setCell(0, 12);
    const Model::Automaton::MaterialChanges changes = kept.changesTo(*volume).first;
    QString problem;
    EXPECT_FALSE(helper.appendRecord(QStringLiteral("/dev/full"), changes, &problem));
    EXPECT_TRUE(problem.contains(QStringLiteral("/dev/full"))) << problem.toStdString();
    EXPECT_FALSE(helper.appendRecord(QStringLiteral("no/such/folder/undo.temp"), changes));
    TotalVolumeUndoRedoHelper spaced(QStringLiteral("Two words"), 0, context);
    EXPECT_FALSE(spaced.recordBefore(*volume)) << "a key with a space could never be read back";
}

// A record read through a translation of material ids (a recovered journal's) is applied whole
// or not at all: an id no cell can hold is refused, never cut down to one that names another
// material.
TEST_F(SnapshotRecordTest, RecordsAreTranslatedOnlyIntoIdsACellCanHold) {
    TotalVolumeUndoRedoHelper helper(QStringLiteral("Doping"), 0, context);
    ASSERT_TRUE(helper.recordBefore(*volume));
    setCell(0, 9);
    setCell(3, 8);
    ASSERT_TRUE(helper.recordAfter(*volume));
    const QString redoFile = context.snapshotFiles.getRedoFile();
    const struct {
        const char* translation;
        std::map<std::uint32_t, std::uint32_t> ids;
        std::vector<int> cells;
    } cases[] = {
        {"none", {}, {9, 2, 3, 8}},
        {"into the registry's ids", {{9, 40}, {8, 65535}}, {40, 2, 3, 65535}},
        {"into an id no cell holds", {{9, 40}, {8, 65536 + 8}}, {1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.translation);
        setCell(0, 1);
        setCell(3, 4);
        TotalVolumeUndoRedoHelper reader(QStringLiteral("Doping"), 0, context);
        reader.setMaterialIds(
            std::make_shared<const std::map<std::uint32_t, std::uint32_t>>(c.ids));
        const bool applies = c.cells != std::vector<int>{1, 2, 3, 4};
        EXPECT_EQ(reader.applyRecord(redoFile, *volume), applies);
        EXPECT_EQ(materialsOf(*volume), c.cells);
    }
}

// Undo snapshots live in the session folder below the cache: a working folder that cannot be
// written (/proc, which not even root can write) no longer turns them off.
TEST_F(SnapshotRecordTest, UnwritableWorkingFolderKeepsSnapshots) {
    const QString home = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QStringLiteral("/proc")));
    {
        OperationContext session(host, prompts);
        EXPECT_TRUE(session.snapshotFiles.isUsable());
        EXPECT_TRUE(session.snapshotFiles.getUndoFile().startsWith(RecoverySession::root()));
        TotalVolumeUndoRedoHelper helper(QStringLiteral("Doping"), 0, session);
        ASSERT_TRUE(helper.recordBefore(*volume));
        setCell(0, 5);
        ASSERT_TRUE(helper.recordAfter(*volume));
        ASSERT_TRUE(helper.undo(*volume));
        EXPECT_EQ(materialsOf(*volume), (std::vector<int>{1, 2, 3, 4}));
    }
    ASSERT_TRUE(QDir::setCurrent(home));
}

// Where neither the cache nor the temporary folder can be written the program runs on without
// snapshots.
TEST_F(SnapshotRecordTest, NoWritableSessionFolderLeavesSnapshotsOffButTheProgramRunning) {
    const QByteArray cache = qgetenv("XDG_CACHE_HOME"), temp = qgetenv("TMPDIR");
    qputenv("XDG_CACHE_HOME", "/proc/no-cache");
    // A temporary folder where the fallback's name is taken by a file.
    QTemporaryDir temporary;
    qputenv("TMPDIR", temporary.path().toUtf8());
    QFile(RecoverySession::temporaryRoot()).open(QIODevice::WriteOnly);
    {
        OperationContext stranded(host, prompts);
        EXPECT_FALSE(stranded.snapshotFiles.isUsable());
        TotalVolumeUndoRedoHelper helper(QStringLiteral("Doping"), 0, stranded);
        EXPECT_FALSE(helper.recordBefore(*volume));
        setCell(0, 5);
        EXPECT_FALSE(helper.recordAfter(*volume));
        EXPECT_FALSE(helper.undo(*volume));
        EXPECT_EQ(materialsOf(*volume), (std::vector<int>{5, 2, 3, 4}));
    }
    qputenv("XDG_CACHE_HOME", cache);
    qputenv("TMPDIR", temp);
}

} // namespace CELLVANE_TEST_FILE
