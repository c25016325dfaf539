#include "Model/Automaton/totalvolume.h"
#include "UI/longsteprunner.h"
#include "UI/mainwindowpresenter.h"
#include "guitestsupport.h"
#include "support/fakeoperations.h"
#include "support/scenes.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
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

} // namespace CELLVANE_TEST_FILE
