#include "Core/Operations/Isotropic/isotropicprocessoperations.h"
#include "Core/Operations/Undo/recoveryjournal.h"
#include "Core/Operations/Undo/recoverysession.h"
#include "support/operationfixture.h"
#include "support/scenes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>

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

} // namespace CELLVANE_TEST_FILE
