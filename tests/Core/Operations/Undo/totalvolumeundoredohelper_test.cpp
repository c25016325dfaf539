#include "Core/Operations/Undo/totalvolumeundoredohelper.h"
#include "support/fakeoperations.h"
#include "support/scenes.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace Core::Operations;
using namespace testing_support;

namespace {

struct SnapshotTest : ::testing::Test {
    CountingHost host;
    ScriptedPrompts prompts;
    OperationContext context{host, prompts};
    std::shared_ptr<Model::Automaton::TotalVolume> volume =
        makeVolume(2, 1, 2, [](int, int, int) { return 9; });

    void writeUndoFile(const QByteArray& text) {
        QFile file(context.snapshotFiles.getUndoFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
};

} // namespace

TEST_F(SnapshotTest, FilesAreNamedPerRunAndRemovedWithTheirOwner) {
    QString undoName, redoName;
    {
        SnapshotFiles files;
        undoName = files.getUndoFile();
        redoName = files.getRedoFile();
        EXPECT_TRUE(files.isUsable());
        EXPECT_TRUE(QFileInfo(undoName).isAbsolute());
        EXPECT_EQ(QFileInfo(undoName).absolutePath(), files.getSession().path());
        EXPECT_EQ(QFileInfo(redoName).absolutePath(), files.getSession().path());
        EXPECT_NE(undoName, redoName);
        EXPECT_TRUE(QFile::exists(undoName));
        EXPECT_EQ(QFile(undoName).size(), 0);
    }
    EXPECT_FALSE(QFile::exists(undoName));
    EXPECT_FALSE(QFile::exists(redoName));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(undoName).absolutePath()));
}

TEST_F(SnapshotTest, FirstMatchingRecordWinsAndOtherInstancesAreSkipped) {
    writeUndoFile("Doping 3 5 5 5 5\n"
                  "IsotropicDeposition 4 6 6 6 6 \n"
                  "IsotropicDeposition 3 1 2 3 4\n"
                  "IsotropicDeposition 3 7 7 7 7\n");
    TotalVolumeUndoRedoHelper helper(QStringLiteral("IsotropicDeposition"), 3, context);
    EXPECT_TRUE(helper.undo(*volume));
    EXPECT_EQ(materialsOf(*volume), (std::vector<int>{1, 2, 3, 4}));
    auto* next = volume->getNextVoxels();
    EXPECT_EQ(next[3].material, 4u);
    volume->releaseNextVoxels();
}

TEST_F(SnapshotTest, ShortOrDamagedRecordLeavesTheCellsUnchanged) {
    // Emptying the cells a short record does not cover would lose them; a damaged record is
    // refused whole instead.
    writeUndoFile("MooreFilmDep 0 1 2\n"
                  "MooreFilmDep 0 1 2 3 4\n");
    TotalVolumeUndoRedoHelper helper(QStringLiteral("MooreFilmDep"), 0, context);
    EXPECT_FALSE(helper.undo(*volume));
    EXPECT_EQ(materialsOf(*volume), std::vector<int>(4, 9));

    writeUndoFile("MooreFilmDep 0 1 2 x3 4\n");
    EXPECT_FALSE(helper.undo(*volume));
    writeUndoFile("MooreFilmDep 0 1 2\n3 4\n");
    EXPECT_FALSE(helper.undo(*volume)) << "a record ends with its line";
    writeUndoFile("MooreFilmDep 0 1 2 4294967296 4\n");
    EXPECT_FALSE(helper.undo(*volume)) << "ids are 32-bit";
    EXPECT_EQ(materialsOf(*volume), std::vector<int>(4, 9));
}

TEST_F(SnapshotTest, NoMatchingRecordLeavesTheVolumeAlone) {
    writeUndoFile("garbage line without numbers\n\n");
    TotalVolumeUndoRedoHelper helper(QStringLiteral("Doping"), 0, context);
    EXPECT_FALSE(helper.undo(*volume));
    EXPECT_EQ(materialsOf(*volume), std::vector<int>(4, 9));
    QFile::remove(context.snapshotFiles.getUndoFile());
    EXPECT_FALSE(helper.undo(*volume));
    EXPECT_EQ(materialsOf(*volume), std::vector<int>(4, 9));
}

TEST_F(SnapshotTest, RecordsWrittenBeforeAndAfterRoundTrip) {
    TotalVolumeUndoRedoHelper helper(QStringLiteral("IsotropicEtching"), 11, context);
    ASSERT_TRUE(helper.recordBefore(*volume));
    auto* cells = volume->getVoxels();
    cells[1].material = 4;
    volume->releaseVoxels();
    ASSERT_TRUE(helper.recordAfter(*volume));
    EXPECT_TRUE(helper.undo(*volume));
    EXPECT_EQ(materialsOf(*volume), std::vector<int>(4, 9));
    EXPECT_TRUE(helper.redo(*volume));
    EXPECT_EQ(materialsOf(*volume), (std::vector<int>{9, 4, 9, 9}));
}
