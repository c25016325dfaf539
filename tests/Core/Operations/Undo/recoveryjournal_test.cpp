#include "Core/Operations/Isotropic/isotropicprocessoperations.h"
#include "Core/Operations/Undo/recoveryjournal.h"
#include "Core/Operations/Undo/recoverysession.h"
#include "Model/Materials/materialfactory.h"
#include "support/operationfixture.h"
#include "support/scenes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Silicon = 1, Film = 7;

// What recovery must give back: every volume's cells and last process, and the file.
struct DocumentState {
    std::vector<std::vector<int>> cells;
    std::vector<unsigned> lastOperations;
    QString fileName;
    bool operator==(const DocumentState& other) const {
        return cells == other.cells && lastOperations == other.lastOperations &&
               fileName == other.fileName;
    }
};

DocumentState stateOf(OperationContext& context) {
    DocumentState state;
    for (const Model::ObjectPtr& object : context.document->getObjects()) {
        auto* volume = dynamic_cast<Model::Automaton::TotalVolume*>(object.get());
        state.cells.push_back(volume ? materialsOf(*volume) : std::vector<int>{});
        state.lastOperations.push_back(context.processHistory.lastOperation(object->getId()));
    }
    state.fileName = context.document->getFileName();
    return state;
}

struct JournalTest : VolumeOperationTest {
    RecoveryJournal journal{context};
    QString folder() { return context.snapshotFiles.getSession().path(); }

    void SetUp() override {
        useVolume(
            makeVolume(8, 4, 8, [](int x, int, int z) { return z < 3 + x % 2 ? Silicon : 0; }));
    }
    std::shared_ptr<IsotropicFilmDepositionOperation> deposit(float distance) {
        auto op = std::make_shared<IsotropicFilmDepositionOperation>(context);
        op->setTarget(volume);
        op->setDistance(distance);
        op->setMaterialId(Film);
        op->end();
        return op;
    }
    // Reads the journal into a fresh context, as the next start of the program does.
    std::optional<DocumentState> recovered(QString* problem = nullptr) {
        OperationContext fresh(host, prompts);
        const auto read = RecoveryJournal::load(folder(), fresh, problem);
        if (!read)
            return std::nullopt;
        RecoveryJournal::apply(fresh, *read);
        EXPECT_TRUE(fresh.document->isModified());
        return stateOf(fresh);
    }
    int baseFiles() {
        return QDir(folder()).entryList({QStringLiteral("base-*.cvx")}, QDir::Files).size();
    }
};

} // namespace

// Each kind of step leaves a journal that gives back exactly the document after it: a step
// that changes what the document holds writes it whole; a step, undo or redo that changes
// cells in place adds only a manifest naming the undo record it already wrote.
TEST_F(JournalTest, RecoversTheLastFinishedStepOfEveryKind) {
    context.document->setFileName(QStringLiteral("/work/trench.cvx"));
    std::shared_ptr<IsotropicFilmDepositionOperation> first, second;
    const struct {
        const char* stage;
        std::function<void()> act;
        int bases;
    } stages[] = {
        {"a new volume", [&] { journal.stepFinished(); }, 1},
        {"a deposition",
         [&] {
             first = deposit(1.f);
             journal.stepFinished(first->journalCells(false));
         },
         1},
        {"a second one",
         [&] {
             second = deposit(2.f);
             journal.stepFinished(second->journalCells(false));
         },
         1},
        {"its undo",
         [&] {
             ASSERT_EQ(second->undo(), 1);
             journal.stepFinished(second->journalCells(true));
         },
         1},
        {"its redo",
         [&] {
             ASSERT_TRUE(second->redo());
             journal.stepFinished(second->journalCells(false));
         },
         1},
        {"a copy of the volume",
         [&] {
             context.document->addObject(Model::ObjectPtr(volume->clone()));
             journal.stepFinished();
         },
         1},
        {"a deposition on the first",
         [&] {
             first = deposit(1.f);
             journal.stepFinished(first->journalCells(false));
         },
         1},
    };
    int steps = 0;
    for (const auto& stage : stages) {
        SCOPED_TRACE(stage.stage);
        stage.act();
        journal.waitForWrites();
        EXPECT_TRUE(journal.takeProblem().isEmpty());
        EXPECT_EQ(baseFiles(), stage.bases) << "older bases are removed";
        const auto summary = RecoveryJournal::readSummary(folder(), nullptr);
        ASSERT_TRUE(summary);
        EXPECT_EQ(summary->steps, ++steps);
        EXPECT_EQ(summary->fileName, QStringLiteral("/work/trench.cvx"));
        const auto back = recovered();
        ASSERT_TRUE(back);
        EXPECT_TRUE(*back == stateOf(context));
    }
}

TEST_F(JournalTest, ASaveLeavesNothingToRecover) {
    journal.stepFinished();
    journal.documentClean();
    journal.waitForWrites();
    EXPECT_EQ(journal.getSteps(), 0);
    EXPECT_FALSE(RecoveryJournal::readSummary(folder(), nullptr));
}

// A journal is recovered whole or not at all, with the reason.
TEST_F(JournalTest, DamagedJournalsAreRefusedWhole) {
    journal.stepFinished();
    const auto op = deposit(1.f);
    journal.stepFinished(op->journalCells(false));
    journal.waitForWrites();
    const QString manifest = folder() + QStringLiteral("/journal.json");
    const auto truncate = [](const QString& name, qint64 keep) {
        QFile file(name);
        return file.open(QIODevice::ReadWrite) && file.resize(qMin(file.size(), keep));
    };
    const auto base = [&] {
        return folder() + QLatin1Char('/') +
               QDir(folder()).entryList({QStringLiteral("base-*.cvx")}).value(0);
    };
    const struct {
        const char* damage;
        std::function<bool()> apply;
    } damages[] = {
        {"manifest cut short", [&] { return truncate(manifest, 40); }},
        {"base document cut short", [&] { return truncate(base(), 300); }},
        {"base document gone", [&] { return QFile::remove(base()); }},
        {"redo record cut short",
         [&] { return truncate(context.snapshotFiles.getRedoFile(), 30); }},
    };
    const QString intact = folder() + QStringLiteral(".intact");
    ASSERT_TRUE(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), folder(), intact}) ==
                0);
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.damage);
        ASSERT_EQ(QProcess::execute(QStringLiteral("sh"),
                                    {QStringLiteral("-c"), QStringLiteral("cp -a \"$0\"/. \"$1\"/"),
                                     intact, folder()}),
                  0);
        ASSERT_TRUE(recovered()) << "the copy is whole again";
        ASSERT_TRUE(damage.apply());
        QString problem;
        EXPECT_FALSE(recovered(&problem));
        EXPECT_FALSE(problem.isEmpty());
    }
    QDir(intact).removeRecursively();
}

// A write that fails is reported for the window to tell, and the journal keeps the step before.
TEST_F(JournalTest, FailedWriteGivesTheReason) {
    journal.stepFinished();
    journal.waitForWrites();
    const QString manifest = folder() + QStringLiteral("/journal.json");
    ASSERT_TRUE(QFile::remove(manifest));
    ASSERT_TRUE(QDir().mkdir(manifest)); // no file can be renamed over a folder
    journal.stepFinished();
    journal.waitForWrites();
    EXPECT_TRUE(journal.takeProblem().startsWith(QStringLiteral("journal.json: ")));
    EXPECT_TRUE(journal.takeProblem().isEmpty()) << "reported once";
    QDir().rmdir(manifest);
}

// A base that cannot be written (a full disk, here a folder in the way of its name) leaves the
// journal of the step before whole, and the journal catches up with the next step that can be
// written; the window hears of each change once.
TEST_F(JournalTest, AFailedBaseKeepsTheJournalBeforeIt) {
    std::vector<std::pair<bool, QString>> told;
    journal.setProtectionCallback(
        [&](bool protectedNow, const QString& reason) { told.emplace_back(protectedNow, reason); });
    journal.stepFinished();
    const auto first = deposit(1.f);
    journal.stepFinished(first->journalCells(false));
    journal.waitForWrites();
    const DocumentState beforeTheFailure = stateOf(context);
    ASSERT_TRUE(QDir().mkdir(folder() + QStringLiteral("/base-2.cvx")));

    context.document->addObject(Model::ObjectPtr(volume->clone()));
    journal.stepFinished();
    EXPECT_FALSE(journal.isUpToDate());
    EXPECT_TRUE(journal.takeProblem().startsWith(QStringLiteral("base-2.cvx: ")));
    const auto kept = recovered();
    ASSERT_TRUE(kept) << "the journal of the step before is whole";
    EXPECT_TRUE(*kept == beforeTheFailure);

    // An in-place step after it cannot be a record over a base that was never written.
    const auto second = deposit(1.f);
    journal.stepFinished(second->journalCells(false));
    EXPECT_TRUE(journal.isUpToDate());
    const auto back = recovered();
    ASSERT_TRUE(back);
    EXPECT_TRUE(*back == stateOf(context));
    EXPECT_EQ(baseFiles(), 1);
    ASSERT_EQ(told.size(), 2u) << "each change told once";
    EXPECT_FALSE(told[0].first);
    EXPECT_TRUE(told[0].second.startsWith(QStringLiteral("base-2.cvx: ")));
    EXPECT_TRUE(told[1].first);
    QDir().rmdir(folder() + QStringLiteral("/base-2.cvx"));
}

// The steps since the base come back on the undo and redo stacks, under their names, and undo
// and redo as they did in the program that died; new steps never take their records' names.
TEST_F(JournalTest, RecoveredStepsUndoAndRedo) {
    const auto named = [](const auto& op, bool undone) {
        auto cells = op->journalCells(undone);
        cells->name = op->getName();
        return cells;
    };
    journal.stepFinished();
    const DocumentState initial = stateOf(context);
    const auto first = deposit(1.f);
    journal.stepFinished(named(first, false));
    const DocumentState afterFirst = stateOf(context);
    const auto second = deposit(2.f);
    journal.stepFinished(named(second, false));
    const DocumentState afterSecond = stateOf(context);
    ASSERT_EQ(second->undo(), 1);
    journal.stepFinished(named(second, true));
    journal.waitForWrites();

    OperationContext fresh(host, prompts);
    const auto read = RecoveryJournal::load(folder(), fresh, nullptr);
    ASSERT_TRUE(read);
    RecoveryJournal::apply(fresh, *read);
    UndoRedoStack& stacks = fresh.undoRedoStack;
    ASSERT_EQ(stacks.getUndoStack().size(), 1u);
    ASSERT_EQ(stacks.getRedoStack().size(), 1u);
    EXPECT_EQ(stacks.undoName(), first->getName());
    EXPECT_TRUE(stateOf(fresh) == afterFirst);

    const auto redone = stacks.takeRedo();
    ASSERT_TRUE(redone->redo());
    EXPECT_TRUE(stateOf(fresh) == afterSecond);
    ASSERT_EQ(redone->undo(), 1);
    const auto undone = stacks.takeUndo();
    ASSERT_EQ(undone->undo(), 1);
    EXPECT_TRUE(stateOf(fresh) == initial);
    EXPECT_EQ(undone->journalCells(true)->instance, first->journalCells(true)->instance);
    ASSERT_TRUE(undone->redo());
    EXPECT_TRUE(stateOf(fresh) == afterFirst);
}

// Records hold the ids of the program that wrote them. When materials.xml changed before the
// recovery, the journal's own table puts each cell back into the material it was.
TEST_F(JournalTest, RecordsFollowTheMaterialsTheyWereWrittenWith) {
    const auto materials = Model::Materials::MaterialFactory::getInstance();
    const Model::Materials::Material early(3001, QStringLiteral("Early"), 1, 1, 1),
        late(3002, QStringLiteral("Late"), 2, 2, 2);
    ASSERT_TRUE(materials->updateMaterial(early));
    journal.stepFinished();
    const auto depositOf = [&](int material) {
        auto op = std::make_shared<IsotropicFilmDepositionOperation>(context);
        op->setTarget(volume);
        op->setDistance(1.f);
        op->setMaterialId(material);
        op->end();
        journal.stepFinished(op->journalCells(false));
    };
    depositOf(3001);
    ASSERT_TRUE(materials->updateMaterial(late)); // registered after the base was written
    depositOf(3002);
    journal.waitForWrites();
    const std::vector<int> cells = materialsOf(*volume);

    // Another program, whose materials.xml gives both ids to other materials.
    ASSERT_TRUE(materials->updateMaterial({3001, QStringLiteral("Other"), 5, 5, 5}));
    ASSERT_TRUE(materials->updateMaterial({3002, QStringLiteral("Another"), 6, 6, 6}));
    OperationContext fresh(host, prompts);
    const auto read = RecoveryJournal::load(folder(), fresh, nullptr);
    ASSERT_TRUE(read);
    auto* back = dynamic_cast<Model::Automaton::TotalVolume*>(read->objects[0].get());
    ASSERT_TRUE(back);
    const std::vector<int> recoveredCells = materialsOf(*back);
    ASSERT_EQ(recoveredCells.size(), cells.size());
    std::map<QString, int> named;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const QString was = materials->getMaterial(unsigned(cells[i])).getName();
        const QString is = materials->getMaterial(unsigned(recoveredCells[i])).getName();
        if (cells[i] == 3001 || cells[i] == 3002) {
            EXPECT_EQ(is, cells[i] == 3001 ? QStringLiteral("Early") : QStringLiteral("Late"));
            ++named[is];
        } else {
            EXPECT_EQ(recoveredCells[i], cells[i]) << was.toStdString();
        }
    }
    EXPECT_GT(named[QStringLiteral("Early")], 0);
    EXPECT_GT(named[QStringLiteral("Late")], 0);
    int earlyIds = 0;
    for (const auto& material : materials->getMaterials())
        earlyIds += material.getName() == QStringLiteral("Early");
    EXPECT_EQ(earlyIds, 1) << "one material, one id";
    const QStringList added{QStringLiteral("Early"), QStringLiteral("Late"),
                            QStringLiteral("Other"), QStringLiteral("Another")};
    for (const auto& material : materials->getMaterials())
        if (added.contains(material.getName()))
            materials->removeMaterial(material.getId());
}

// Two sessions never share a folder, and a session held by another process is neither
// offered nor taken until that process is gone.
TEST(RecoverySessionTest, SessionsAreExclusiveUntilTheirProgramDies) {
    RecoverySession first, second;
    ASSERT_TRUE(first.isValid() && second.isValid());
    EXPECT_NE(first.path(), second.path());
    EXPECT_TRUE(first.path().contains(QString::number(QCoreApplication::applicationPid())));
    EXPECT_FALSE(RecoverySession(first.path()).isValid()) << "held by this program";
    EXPECT_FALSE(RecoverySession::findStale().contains(first.path()));

    // Another program's session: a shell holds its lock file as that program would, and dies
    // with a SIGKILL as it might.
    const QString other = RecoverySession::root() + QStringLiteral("/20260101T000000-1-0");
    ASSERT_TRUE(QDir().mkpath(other));
    QFile(other + QStringLiteral("/journal.json")).open(QIODevice::WriteOnly);
    QProcess holder;
    holder.start(QStringLiteral("sh"),
                 {QStringLiteral("-c"),
                  QStringLiteral("exec 9>\"$0\"; flock -x 9; echo locked; exec sleep 60"),
                  other + QStringLiteral("/lock")});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    EXPECT_FALSE(RecoverySession(other).isValid());
    EXPECT_FALSE(RecoverySession::findStale().contains(other));
    holder.kill();
    holder.waitForFinished();
    EXPECT_TRUE(RecoverySession::findStale().contains(other));
    RecoverySession taken(other);
    EXPECT_TRUE(taken.isValid());
}

// Where the cache cannot be written, sessions go below the shared temporary folder: only into a
// folder of this user's own, and the next start finds them there.
TEST(RecoverySessionTest, TheTemporaryFallbackIsPrivateAndSearched) {
    const QByteArray cache = qgetenv("XDG_CACHE_HOME"), temp = qgetenv("TMPDIR");
    QTemporaryDir temporary, elsewhere;
    qputenv("XDG_CACHE_HOME", "/proc/no-cache");
    qputenv("TMPDIR", temporary.path().toUtf8());
    const QByteArray fallback = QFile::encodeName(RecoverySession::temporaryRoot());
    const struct {
        const char* place;
        std::function<bool()> make;
        const char* refusal; // empty: used
    } places[] = {
        {"a link to elsewhere",
         [&] { return ::symlink(QFile::encodeName(elsewhere.path()), fallback) == 0; },
         "is not a folder"},
        {"another user's folder",
         [&] { return ::mkdir(fallback, 0777) == 0 && ::chown(fallback, 65534, 65534) == 0; },
         "belongs to another user"},
        {"an own folder open to all", [&] { return ::mkdir(fallback, 0777) == 0; }, ""},
        {"no folder yet", [] { return true; }, ""},
    };
    for (const auto& place : places) {
        SCOPED_TRACE(place.place);
        ::unlink(fallback);
        QDir(RecoverySession::temporaryRoot()).removeRecursively();
        ASSERT_TRUE(place.make());
        QString path;
        {
            RecoverySession session;
            if (*place.refusal) {
                EXPECT_FALSE(session.isValid());
                EXPECT_TRUE(session.getFailure().contains(QLatin1String(place.refusal)))
                    << session.getFailure().toStdString();
                EXPECT_TRUE(QDir(elsewhere.path()).isEmpty()) << "nothing written through a link";
                EXPECT_TRUE(RecoverySession::roots().isEmpty());
                continue;
            }
            ASSERT_TRUE(session.isValid());
            path = session.path();
            EXPECT_TRUE(path.startsWith(RecoverySession::temporaryRoot()));
            EXPECT_EQ(QFileInfo(RecoverySession::temporaryRoot()).permissions() & 0x0077, 0);
            QFile(session.filePath(QStringLiteral("journal.json"))).open(QIODevice::WriteOnly);
            session.keepForRecovery(true);
        }
        EXPECT_TRUE(RecoverySession::findStale().contains(path));
    }
    ::unlink(fallback);
    qputenv("XDG_CACHE_HOME", cache);
    qputenv("TMPDIR", temp);
}

} // namespace CELLVANE_TEST_FILE
