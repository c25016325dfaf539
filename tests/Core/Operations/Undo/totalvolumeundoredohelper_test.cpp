#include "Core/Operations/Undo/totalvolumeundoredohelper.h"
#include "Model/Automaton/keptmaterials.h"
#include "support/fakeoperations.h"
#include "support/scenes.h"

#include <QFile>
#include <QFileInfo>
#include <QThreadPool>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

struct SnapshotTest : ::testing::Test {
    CountingHost host;
    ScriptedPrompts prompts;
    OperationContext context{host, prompts};
    // Big enough for runs longer than one record run and more than one slab per thread.
    std::shared_ptr<Model::Automaton::TotalVolume> volume =
        makeVolume(30, 40, 60, [](int x, int, int z) { return z < 20 ? 1 : x % 7 == 0 ? 3 : 0; });

    void change(const std::function<unsigned(int x, int y, int z, unsigned now)>& to) {
        const Model::Automaton::CellArraysLock locked(*volume);
        const Model::Automaton::MaterialCells cells = locked.materials();
        for (int x = 0; x < 30; ++x)
            for (int y = 0; y < 40; ++y)
                for (int z = 0; z < 60; ++z) {
                    const auto i = std::ptrdiff_t(volume->index(unsigned(x), unsigned(y), unsigned(z)));
                    cells.set(i, Model::Automaton::MaterialId(to(x, y, z, cells[i])));
                }
    }
    // Records one run of `to` under `helper`, leaving the volume as the run left it.
    void run(TotalVolumeUndoRedoHelper& helper,
             const std::function<unsigned(int, int, int, unsigned)>& to) {
        ASSERT_TRUE(helper.recordBefore(*volume));
        change(to);
        ASSERT_TRUE(helper.recordAfter(*volume));
    }
    static QByteArray contents(const QString& name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void write(const QString& name, const QByteArray& bytes) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
};

// Oxide on the top face and a hole through it: small next to the volume, as most steps are.
unsigned film(int, int, int z, unsigned now) {
    return z == 20 ? 5 : now;
}
unsigned hole(int x, int y, int z, unsigned now) {
    return x > 10 && x < 15 && y > 5 && y < 9 && z >= 12 && z <= 20 ? 0 : now;
}
// Every cell changes: runs longer than a record holds in one piece.
unsigned everything(int, int, int, unsigned now) {
    return now + 10;
}

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

// Three steps in a row, undone and redone in the order a user does: each record holds only
// what its step changed, and the records of the other steps in the same files are skipped.
TEST_F(SnapshotTest, RecordsOfChangedCellsTakeEveryStepBackAndForth) {
    const std::vector<int> start = materialsOf(*volume);
    TotalVolumeUndoRedoHelper first(QStringLiteral("SiOxidation"), 0, context);
    TotalVolumeUndoRedoHelper second(QStringLiteral("SimpleRIE"), 0, context);
    TotalVolumeUndoRedoHelper third(QStringLiteral("SiOxidation"), 1, context);
    run(first, film);
    const std::vector<int> afterFirst = materialsOf(*volume);
    const qint64 filmRecord = QFile(context.snapshotFiles.getUndoFile()).size();
    run(second, hole);
    const std::vector<int> afterSecond = materialsOf(*volume);
    run(third, everything);
    const std::vector<int> afterThird = materialsOf(*volume);
    // 72 000 cells: a whole-volume record would be hundreds of kilobytes.
    EXPECT_LT(filmRecord, 2000);
    EXPECT_LT(QFile(context.snapshotFiles.getUndoFile()).size(), 20000);

    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(third.undo(*volume));
        EXPECT_EQ(materialsOf(*volume), afterSecond);
        ASSERT_TRUE(second.undo(*volume));
        EXPECT_EQ(materialsOf(*volume), afterFirst);
        ASSERT_TRUE(first.undo(*volume));
        EXPECT_EQ(materialsOf(*volume), start);
        ASSERT_TRUE(first.redo(*volume));
        ASSERT_TRUE(second.redo(*volume));
        ASSERT_TRUE(third.redo(*volume));
        EXPECT_EQ(materialsOf(*volume), afterThird);
    }
    ASSERT_TRUE(third.undo(*volume));
    EXPECT_EQ(materialAt(*volume, 12, 7, 15), 0);
    EXPECT_EQ(materialAt(*volume, 0, 0, 20), 5);
}

// Records are written on one number of threads and read on another: the frames of a record
// are the slabs of the thread count it was written on.
TEST_F(SnapshotTest, RecordsReadBackOnAnyThreadCount) {
    QThreadPool& pool = *QThreadPool::globalInstance();
    const int threads = pool.maxThreadCount();
    for (const auto& [writing, reading] : {std::pair{1, 3}, std::pair{3, 1}, std::pair{8, 2}}) {
        const std::vector<int> start = materialsOf(*volume);
        TotalVolumeUndoRedoHelper helper(QStringLiteral("Planarization"), writing, context);
        pool.setMaxThreadCount(writing);
        run(helper, everything);
        const std::vector<int> after = materialsOf(*volume);
        pool.setMaxThreadCount(reading);
        ASSERT_TRUE(helper.undo(*volume));
        EXPECT_EQ(materialsOf(*volume), start) << writing << " -> " << reading;
        ASSERT_TRUE(helper.redo(*volume));
        EXPECT_EQ(materialsOf(*volume), after) << writing << " -> " << reading;
    }
    pool.setMaxThreadCount(threads);
}

// Whatever is wrong with the file, the cells stay exactly as they were: a record is read and
// checked whole before any cell changes.
TEST_F(SnapshotTest, DamagedOrForeignRecordsLeaveTheCellsUnchanged) {
    TotalVolumeUndoRedoHelper helper(QStringLiteral("IsotropicEtching"), 4, context);
    run(helper, hole);
    const std::vector<int> after = materialsOf(*volume);
    const QString undoFile = context.snapshotFiles.getUndoFile();
    const QByteArray record = contents(undoFile);
    ASSERT_GT(record.size(), 80);

    QByteArray flipped = record;
    flipped[flipped.size() - 20] = char(flipped[flipped.size() - 20] ^ 0x5a);
    QByteArray otherSize = record;
    // Mark, key length, key, instance, then the cell count.
    const int cellCountAt = 8 + 4 + int(qstrlen("IsotropicEtching")) + 4;
    otherSize[cellCountAt] = char(otherSize[cellCountAt] + 1);
    const struct {
        const char* what;
        QByteArray file;
    } cases[] = {
        {"cut off in the header", record.left(30)},
        {"cut off in the runs", record.left(record.size() - 5)},
        {"a damaged frame", flipped},
        {"a record of a volume of another size", otherSize},
        {"the text records of an older version", QByteArray("IsotropicEtching 4 1 1 1 1\n")},
        {"nothing", QByteArray()},
    };
    for (const auto& c : cases) {
        write(undoFile, c.file);
        EXPECT_FALSE(helper.undo(*volume)) << c.what;
        EXPECT_EQ(materialsOf(*volume), after) << c.what;
    }
    QFile::remove(undoFile);
    EXPECT_FALSE(helper.undo(*volume));
    EXPECT_EQ(materialsOf(*volume), after);
    // Only this record's key and instance are taken.
    write(undoFile, record);
    EXPECT_FALSE(TotalVolumeUndoRedoHelper(QStringLiteral("IsotropicEtching"), 5, context)
                     .undo(*volume));
    EXPECT_TRUE(helper.undo(*volume));
}

// Two copies of one slab's runs would be written by two threads at once; such a record is
// refused however sound each frame is.
TEST_F(SnapshotTest, FramesThatOverlapAreRefused) {
    Model::Automaton::KeptMaterials kept;
    ASSERT_TRUE(kept.keep(*volume));
    change(hole);
    auto changes = kept.changesTo(*volume).first;
    ASSERT_TRUE(changes.isValid());
    std::string busiest;
    for (const std::string& frame : changes.frames)
        busiest = frame.size() > busiest.size() ? frame : busiest;
    changes.frames = {busiest, busiest};
    EXPECT_FALSE(changes.isValid());
}

} // namespace CELLVANE_TEST_FILE
