// The user interface's own worker threads: the batch dialog's run and a long step's worker.
// Both run here without a window, so the thread-sanitized build runs them too.

#include "Core/Operations/Document/documentexport.h"
#include "Core/ProcessList/processlistarchiver.h"
#include "Core/ProcessList/processlistrun.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/document.h"
#include "UI/BatchRun/runprocessesdialog.h"
#include "UI/longsteprunner.h"
#include "UI/mainwindowpresenter.h"
#include "support/fakeoperations.h"
#include "support/scenes.h"

#include <QDir>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>

namespace CELLVANE_TEST_FILE {

namespace {

using testing_support::ScriptedPrompts;

const QString exampleList = QStringLiteral(CELLVANE_TEST_SOURCE_DIR "/../examples/trench.plst");

// What the command-line runner makes of the example list on this thread.
std::vector<int> runnerCells(const QTemporaryDir& dir) {
    QString said;
    QTextStream log(&said);
    Ui::ProcessListRun::Options options;
    options.list = exampleList;
    options.output = dir.filePath(QStringLiteral("runner.cvx"));
    EXPECT_EQ(Ui::ProcessListRun::run(options, log), Ui::ProcessListRun::Done)
        << said.toStdString();
    const auto opened = Core::Operations::DocumentExport::open(options.output, 1, log);
    return opened ? testing_support::materialsOf(*opened->volume) : std::vector<int>();
}

} // namespace

// The dialog's worker runs the whole example list while this thread serves the dialog: the
// run creates the volume and its cells are the runner's, on one and on two pool threads. A
// second run of the same dialog starts a worker of its own after the first.
TEST(WorkerThreads, BatchDialogRunsAListOnItsWorkerAsTheRunnerDoes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The list names its picture relative to the current folder.
    const QString folderBefore = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const int threadsBefore = QThreadPool::globalInstance()->maxThreadCount();
    QList<Ui::ProcessData> list;
    ASSERT_TRUE(Ui::ProcessListArchiver().loadProcessList(exampleList, list));

    for (const int threads : {1, 2}) {
        QThreadPool::globalInstance()->setMaxThreadCount(threads);
        const std::vector<int> expected = runnerCells(dir);
        ASSERT_FALSE(expected.empty());

        auto scripted = std::make_unique<ScriptedPrompts>();
        ScriptedPrompts& prompts = *scripted;
        Ui::MainWindowPresenter presenter(nullptr, std::move(scripted));
        Ui::RunProcessesDialog dialog(nullptr, &presenter, nullptr);
        dialog.setProcessList(list);
        auto* run = dialog.findChild<QPushButton*>(QStringLiteral("btnRun"));
        ASSERT_TRUE(run);

        run->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isRunning(); }, 120000));
        // Without a window the picture is drawn as the runner draws it; every step ran.
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();
        EXPECT_FALSE(QImage(dir.filePath(QStringLiteral("trench.png"))).isNull());
        const auto objects = presenter.getDocument()->getObjects();
        ASSERT_EQ(objects.size(), 1u);
        const auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(objects[0]);
        ASSERT_TRUE(volume);
        EXPECT_EQ(volume, dialog.getVolume());
        EXPECT_EQ(testing_support::materialsOf(*volume), expected) << threads << " pool threads";

        run->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isRunning(); }, 120000));
    }
    QThreadPool::globalInstance()->setMaxThreadCount(threadsBefore);
    QDir::setCurrent(folderBefore);
}

// A long step's worker sees what this thread wrote before the step and hands back what it
// computed, its progress and its failure.
TEST(WorkerThreads, LongStepWorkerHandsBackItsResultAndItsFailure) {
    Ui::LongStepRunner runner(nullptr);
    std::vector<int> input(1 << 16);
    std::iota(input.begin(), input.end(), 0);
    long long sum = 0;
    runner.run(
        QStringLiteral("Summing"),
        [&](Util::ProgressReporter& progress) {
            progress.start(1, QStringLiteral("Adding"));
            sum = std::accumulate(input.begin(), input.end(), 0LL);
            progress.advance();
        },
        false);
    EXPECT_EQ(sum, (long long)(input.size()) * (long long)(input.size() - 1) / 2);

    EXPECT_THROW(runner.run(
                     QStringLiteral("Failing"),
                     [&](Util::ProgressReporter&) {
                         input.assign(3, 7);
                         throw std::runtime_error("no room");
                     },
                     true),
                 std::runtime_error);
    EXPECT_EQ(input, std::vector<int>(3, 7));
}

} // namespace CELLVANE_TEST_FILE
