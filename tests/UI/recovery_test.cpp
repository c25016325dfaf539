#include "Core/Operations/Isotropic/isotropicprocessoperations.h"
#include "Core/Operations/Undo/recoverysession.h"
#include "UI/mainwindow.h"
#include "UI/mainwindowpresenter.h"
#include "UI/quitsignals.h"
#include "UI/recoveryoffer.h"
#include "support/fakeoperations.h"
#include "support/mountedfolder.h"
#include "support/scenes.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using testing_support::FakeObjectOperation;
using testing_support::makeVolume;
using testing_support::materialsOf;
using testing_support::ScriptedPrompts;
using Ui::MainWindow;
using Ui::RecoveryOffer;

namespace {

constexpr int Silicon = 1, Film = 7;

struct Work {
    QString folder;
    std::vector<int> cells;
    unsigned lastOperation = 0;
    std::vector<int> cellsBeforeTheDeposition;
};

MainWindow* scriptedWindow(ScriptedPrompts** prompts = nullptr) {
    auto scripted = std::make_unique<ScriptedPrompts>();
    if (prompts)
        *prompts = scripted.get();
    auto* window = new MainWindow(nullptr, std::move(scripted));
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    return window;
}

// Two steps in a window on a document that came from trench.cvx: a new volume, a deposition.
Work doTwoSteps(MainWindow& window) {
    OperationContext& context = window.getPresenter()->getContext();
    context.document->setFileName(QDir::current().filePath(QStringLiteral("trench.cvx")));
    auto volume =
        makeVolume(6, 4, 6, [](int x, int, int z) { return z < 2 + x % 3 ? Silicon : 0; });
    auto add = std::make_shared<FakeObjectOperation>(context, QStringLiteral("Add"), 1);
    context.currentOperation = add;
    context.document->addObject(volume);
    add->end();
    const std::vector<int> before = materialsOf(*volume);
    auto deposit = std::make_shared<IsotropicFilmDepositionOperation>(context);
    context.currentOperation = deposit;
    deposit->setTarget(volume);
    deposit->setDistance(1.f);
    deposit->setMaterialId(Film);
    deposit->end();
    window.getPresenter()->getJournal().waitForWrites();
    return {context.snapshotFiles.getSession().path(), materialsOf(*volume),
            context.processHistory.lastOperation(volume->getId()), before};
}

// Work left by a window whose program died: its session folder, unlocked, with its journal.
Work leaveWork() {
    std::unique_ptr<MainWindow> window(scriptedWindow());
    const Work work = doTwoSteps(*window);
    window->getPresenter()->getSnapshotFiles().getSession().keepForRecovery(true);
    return work;
}

} // namespace

// Recover, Discard, closing the question and a damaged journal, as the user meets them.
TEST(RecoveryOfferTest, EachAnswerDoesWhatItSays) {
    const struct {
        const char* name;
        RecoveryOffer::Answer answer;
        bool damage;
        bool windowOpens;
        bool offeredAgain;
    } cases[] = {
        {"recover", RecoveryOffer::Answer::Recover, false, true, false},
        {"discard", RecoveryOffer::Answer::Discard, false, false, false},
        {"later", RecoveryOffer::Answer::Later, false, false, true},
        {"damaged", RecoveryOffer::Answer::Recover, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Work work = leaveWork();
        ASSERT_TRUE(RecoverySession::findStale().contains(work.folder));
        if (c.damage) {
            QFile redo(work.folder + QStringLiteral("/redo.temp"));
            ASSERT_TRUE(redo.open(QIODevice::ReadWrite) && redo.resize(redo.size() / 2));
        }
        QStringList questions, told;
        const std::vector<MainWindow*> windows = RecoveryOffer::run(
            [&](const QString& question) {
                questions << question;
                return c.answer;
            },
            [&](const QString& message) { told << message; });
        ASSERT_EQ(questions.size(), 1) << "asked once";
        EXPECT_TRUE(questions[0].startsWith(QStringLiteral("Recover the unsaved work of ")));
        EXPECT_TRUE(questions[0].endsWith(QStringLiteral(" (2 steps since trench.cvx)?")))
            << questions[0].toStdString();
        ASSERT_EQ(windows.size(), c.windowOpens ? 1u : 0u);
        EXPECT_EQ(RecoverySession::findStale().contains(work.folder), c.offeredAgain);
        EXPECT_EQ(QDir(work.folder).exists(), c.offeredAgain);
        if (c.damage) {
            ASSERT_EQ(told.size(), 1);
            EXPECT_TRUE(told[0].contains(QStringLiteral("cannot be recovered")));
            EXPECT_TRUE(QDir(work.folder + QStringLiteral(".damaged")).exists()) << "kept aside";
        }
        if (c.windowOpens) {
            std::unique_ptr<MainWindow> window(windows[0]);
            window->setAttribute(Qt::WA_DeleteOnClose, false);
            OperationContext& context = window->getPresenter()->getContext();
            const auto objects = context.document->getObjects();
            ASSERT_EQ(objects.size(), 1u);
            auto* volume = dynamic_cast<Model::Automaton::TotalVolume*>(objects[0].get());
            ASSERT_TRUE(volume);
            EXPECT_EQ(materialsOf(*volume), work.cells);
            EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), work.lastOperation);
            EXPECT_TRUE(context.document->isModified());
            EXPECT_TRUE(window->isWindowModified());
            EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("trench.cvx")));
            EXPECT_TRUE(QFile::exists(
                context.snapshotFiles.getSession().filePath(QStringLiteral("journal.json"))))
                << "the recovered work is journaled again at once";
            // The deposition since the journal's base can be taken back.
            EXPECT_TRUE(window->getUndoAction()->isEnabled());
            EXPECT_TRUE(window->getUndoAction()->text().contains(QStringLiteral("Deposition")))
                << window->getUndoAction()->text().toStdString();
            EXPECT_TRUE(window->getPresenter()->undo());
            EXPECT_EQ(materialsOf(*volume), work.cellsBeforeTheDeposition);
            EXPECT_TRUE(window->getRedoAction()->isEnabled());
            window->getPresenter()->discardRecovery();
        }
        if (c.offeredAgain)
            RecoveryOffer::run([](const QString&) { return RecoveryOffer::Answer::Discard; });
        QDir(work.folder + QStringLiteral(".damaged")).removeRecursively();
    }
}

// Recovered on a full disk: the new window cannot journal the work again, so the old journal
// stays for the next start, and the window says the work is not protected until it is again.
TEST(RecoveryOfferTest, WorkThatCannotBeJournaledAgainKeepsItsOldJournal) {
    testing_support::MountedFolder disk;
    if (!disk.isMounted())
        GTEST_SKIP() << disk.why().toStdString();
    const QByteArray cache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", disk.path().toUtf8());
    const Work work = leaveWork();
    disk.fill();
    const std::vector<MainWindow*> windows = RecoveryOffer::run(
        [](const QString&) { return RecoveryOffer::Answer::Recover; }, [](const QString&) {});
    ASSERT_EQ(windows.size(), 1u);
    std::unique_ptr<MainWindow> window(windows[0]);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    EXPECT_TRUE(QFile::exists(work.folder + QStringLiteral("/journal.json")));
    EXPECT_TRUE(RecoverySession::findStale().contains(work.folder)) << "offered again";

    const auto told = [&] {
        QCoreApplication::processEvents();
        QStringList texts;
        for (auto* box : window->findChildren<QMessageBox*>(QStringLiteral("journalMessage"))) {
            if (box->isVisible())
                texts << box->text();
            box->close(); // deleted once the event loop runs
        }
        QCoreApplication::processEvents();
        return texts;
    };
    auto* state = window->findChild<QLabel*>(QStringLiteral("lblJournalState"));
    ASSERT_TRUE(state);
    QStringList texts = told();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].startsWith(QStringLiteral("Unsaved work is no longer protected")));
    EXPECT_TRUE(texts[0].contains(testing_support::MountedFolder::noSpace()));
    EXPECT_FALSE(state->isHidden());

    // Room again: the next step is journaled, and the window says so, once.
    ASSERT_TRUE(QFile::remove(disk.filePath(QStringLiteral(".filler"))));
    OperationContext& context = window->getPresenter()->getContext();
    auto add = std::make_shared<FakeObjectOperation>(context, QStringLiteral("Add"), 1);
    context.currentOperation = add;
    context.document->addObject(makeVolume(2, 2, 2, [](int, int, int) { return Silicon; }));
    add->end();
    window->getPresenter()->getJournal().waitForWrites();
    texts = told();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_EQ(texts[0], Ui::MainWindowPresenter::protectedAgainMessage());
    EXPECT_TRUE(state->isHidden());

    window->getPresenter()->discardRecovery();
    RecoveryOffer::run([](const QString&) { return RecoveryOffer::Answer::Discard; });
    qputenv("XDG_CACHE_HOME", cache);
}

// A signal ends the program through its quit path: no question, the event loop ends with
// 128 + the signal, and unsaved work stays for the next start; a window without unsaved work
// leaves nothing.
TEST(QuitSignalsTest, SignalsQuitWithoutAskingAndKeepTheWork) {
    Ui::QuitSignals quitSignals;
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(number);
        ScriptedPrompts* prompts = nullptr;
        std::unique_ptr<MainWindow> modified(scriptedWindow(&prompts));
        std::unique_ptr<MainWindow> clean(scriptedWindow());
        const Work work = doTwoSteps(*modified);
        const QString cleanFolder =
            clean->getPresenter()->getContext().snapshotFiles.getSession().path();
        QTimer::singleShot(0, [number] { ::raise(number); });
        EXPECT_EQ(QApplication::exec(), 128 + number);
        EXPECT_TRUE(prompts->messages.isEmpty()) << "nothing asked";
        modified.reset();
        clean.reset();
        EXPECT_TRUE(RecoverySession::findStale().contains(work.folder));
        EXPECT_FALSE(QDir(cleanFolder).exists());
        RecoveryOffer::run([](const QString&) { return RecoveryOffer::Answer::Discard; });
    }
}

} // namespace CELLVANE_TEST_FILE
