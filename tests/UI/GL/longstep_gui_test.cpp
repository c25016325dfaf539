#include "Model/Automaton/totalvolume.h"
#include "UI/longsteprunner.h"
#include "UI/mainwindowpresenter.h"
#include "guitestsupport.h"
#include "support/fakeoperations.h"
#include "support/scenes.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

// A deposition on a volume of millions of cells, started from the menu: the progress window
// appears while the window keeps running, its Cancel takes the step back, and the stacks and
// the cells are as they were.
TEST(LongStep, ProgressWindowCancelsADepositionOnALargeVolume) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto* presenter = shown.window->getPresenter();
    presenter->getLongStepRunner().setShowDelay(0);

    auto volume = testing_support::makeVolume(
        240, 240, 100, [](int x, int, int z) { return z < 40 || (x < 80 && z < 60) ? 1 : 0; });
    presenter->getDocument()->addObject(volume);
    // An earlier step the cancelled one must not disturb.
    auto& stacks = presenter->getUndoRedoStack();
    stacks.pushFinished(std::make_shared<testing_support::FakeObjectOperation>(
        presenter->getContext(), QStringLiteral("Earlier Step"), 0));
    stacks.notifyUndoObservers();
    const auto before = testing_support::materialsOf(*volume);

    QString progressText;
    bool barShown = false;
    QTimer watcher;
    watcher.setInterval(20);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<Ui::StepProgressDialog*>(QApplication::activeModalWidget());
        if (!dialog || !progressText.isEmpty())
            return;
        progressText = dialog->findChild<QLabel*>(QStringLiteral("lblProgress"))->text();
        barShown = dialog->findChild<QProgressBar*>(QStringLiteral("prbProgress"))->isVisible();
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btnCancel")),
                          Qt::LeftButton);
    });

    shown.window->findChild<QAction*>(QStringLiteral("actionCVD"))->trigger();
    presenter->getSelection().toggle(volume);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("cbxMaterial"));
        combo->setCurrentIndex(combo->findData(7));
        dialog->findChild<QDoubleSpinBox*>(QStringLiteral("dblFilmThickness"))->setValue(20.0);
        dialog->accept();
    });
    watcher.start();
    presenter->enterPressed();
    watcher.stop();

    EXPECT_TRUE(progressText.startsWith(QStringLiteral("Isotropic Deposition: ")))
        << progressText.toStdString();
    EXPECT_TRUE(barShown);
    EXPECT_EQ(testing_support::materialsOf(*volume), before);
    EXPECT_EQ(presenter->getConsoleInput().getLastMessage(),
              QStringLiteral("Isotropic Deposition: Operation canceled."));
    EXPECT_EQ(stacks.undoName(), QStringLiteral("Earlier Step"));
    EXPECT_EQ(stacks.redoName(), QString());
    EXPECT_EQ(shown.window->findChild<QAction*>(QStringLiteral("actionUndo"))->text(),
              QStringLiteral("Undo Earlier Step"));
    EXPECT_FALSE(presenter->getContext().currentOperation);
    EXPECT_TRUE(shown.window->findChild<QLabel*>(QStringLiteral("lblStepTime"))
                    ->text()
                    .startsWith(QStringLiteral("Isotropic Deposition cancelled after ")));
    EXPECT_FALSE(QApplication::activeModalWidget());
}

// A stage of one step moves a busy bar instead of standing at 0 % under "1 of 1"; a stage of
// several counts them.
TEST(LongStep, AStageOfOneStepShowsABusyBar) {
    Ui::StepProgressDialog dialog(nullptr, QStringLiteral("CVD"), true);
    Ui::SharedProgress::Reading reading;
    reading.stage = QStringLiteral("Building the surface");
    reading.total = 1;
    dialog.showReading(reading);
    auto* bar = dialog.findChild<QProgressBar*>(QStringLiteral("prbProgress"));
    EXPECT_EQ(bar->maximum(), 0) << "busy";
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("lblProgress"))->text(),
              QStringLiteral("CVD: Building the surface"));
    reading.total = 4;
    reading.done = 1;
    dialog.showReading(reading);
    EXPECT_EQ(bar->maximum(), 4);
    EXPECT_EQ(bar->value(), 1);
    EXPECT_EQ(Ui::StepProgressDialog::describe(QStringLiteral("CVD"), reading),
              QStringLiteral("CVD: Building the surface 2 of 4"));
}

// Escape on the progress window cancels a step that has only just started; one that has run a
// while asks first, keeps running while the question waits, and goes on after Continue.
TEST(LongStep, EscapeAsksBeforeCancellingAStepThatHasRunAWhile) {
    QWidget parent;
    parent.show();
    Ui::LongStepRunner runner(&parent);
    runner.setShowDelay(0);
    const auto runUntilCancelled = [&](std::function<void(Ui::StepProgressDialog&, int tick)> act) {
        bool cancelled = false;
        int tick = 0;
        QTimer driver;
        driver.setInterval(30);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            if (Ui::StepProgressDialog* dialog = runner.visibleDialog())
                act(*dialog, tick++);
        });
        driver.start();
        runner.run(
            QStringLiteral("Long Step"),
            [&](Util::ProgressReporter& progress) {
                QElapsedTimer clock;
                clock.start();
                while (!progress.wasCancelled() && clock.elapsed() < 20000)
                    QThread::msleep(5);
                cancelled = progress.wasCancelled();
            },
            true);
        return std::make_pair(cancelled, tick);
    };
    const auto question = [](Ui::StepProgressDialog& dialog) {
        return dialog.findChild<QMessageBox*>(QStringLiteral("msgConfirmCancel"));
    };

    // Just started: Escape cancels without a question.
    bool asked = false;
    auto [cancelled, ticks] = runUntilCancelled([&](Ui::StepProgressDialog& dialog, int) {
        asked = asked || question(dialog);
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(asked);

    // Running a while: Escape asks; Continue goes on; Escape and "Cancel Step" cancel.
    runner.setAskBeforeCancelAfter(0);
    bool runningWhileAsked = false;
    bool continued = false;
    std::tie(cancelled, ticks) = runUntilCancelled([&](Ui::StepProgressDialog& dialog, int tick) {
        QMessageBox* box = question(dialog);
        if (tick == 0 || tick == 3) {
            QTest::keyClick(&dialog, Qt::Key_Escape);
        } else if (tick == 1 && box) {
            runningWhileAsked = true;
            box->findChild<QPushButton*>(QStringLiteral("btnContinue"))->click();
        } else if (tick == 2) {
            continued = !box;
        } else if (tick == 4 && box) {
            box->findChild<QPushButton*>(QStringLiteral("btnCancelStep"))->click();
        }
    });
    EXPECT_TRUE(runningWhileAsked) << "Escape asked instead of cancelling";
    EXPECT_TRUE(continued) << "Continue closed the question and the step went on";
    EXPECT_TRUE(cancelled);
    EXPECT_GE(ticks, 5);
}

} // namespace CELLVANE_TEST_FILE
