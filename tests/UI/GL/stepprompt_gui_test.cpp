#include "Model/Automaton/totalvolume.h"
#include "UI/mainwindowpresenter.h"
#include "UI/returnkeyguard.h"
#include "guitestsupport.h"
#include "support/scenes.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace CELLVANE_TEST_FILE {

namespace {

QAction* action(QWidget* window, const char* name) {
    return window->findChild<QAction*>(QString::fromLatin1(name));
}

} // namespace

// As the README says, every time: a step asks for its volume even when one is selected already,
// and its dialog opens only on Enter; a Return that reaches the dialog as it opens (pressed
// twice, or held down) does not press its OK, one pressed once it has been seen does.
TEST(StepPrompt, SelectedVolumeStillAsksAndReturnReachesOnlyASeenDialog) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto* presenter = shown.window->getPresenter();
    gui_support::acceptNextDialog();
    action(shown.window, "actionCreate_Substrate")->trigger();
    auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(
        presenter->getDocument()->getObjects().at(0));
    ASSERT_TRUE(volume);
    const auto substrate = testing_support::materialsOf(*volume);
    auto* line = presenter->getConsole()->findChild<QLineEdit*>(QStringLiteral("linCommand"));
    ASSERT_TRUE(line);

    presenter->getSelection().toggle(volume);
    action(shown.window, "actionCVD")->trigger();
    EXPECT_FALSE(QApplication::activeModalWidget()) << "no dialog before Enter";
    EXPECT_EQ(presenter->getConsoleInput().getLastMessage(),
              QStringLiteral("Isotropic Deposition: Enter/Return takes the selected cell volume."));
    EXPECT_TRUE(presenter->getSelection().isSelectionMode());

    bool opened = false;
    bool stayedOpen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        opened = true;
        QWidget* focus = dialog->focusWidget() ? dialog->focusWidget() : dialog;
        QTest::keyClick(focus, Qt::Key_Return);
        QKeyEvent held(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"),
                       true);
        QApplication::sendEvent(focus, &held);
        stayedOpen = dialog->isVisible();
        dialog->reject();
    });
    line->setFocus();
    QTest::keyClick(line, Qt::Key_Return);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(stayedOpen) << "a Return that came with the dialog accepted it";
    EXPECT_EQ(testing_support::materialsOf(*volume), substrate);

    // Once the dialog has been on screen, Return is its OK as always.
    action(shown.window, "actionCVD")->trigger();
    presenter->getSelection().toggle(volume);
    QTimer::singleShot(0, [] {
        QTest::qWait(Ui::ReturnKeyGuard::settleTime + 100);
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, Qt::Key_Return);
    });
    presenter->enterPressed();
    EXPECT_FALSE(QApplication::activeModalWidget());
    EXPECT_NE(testing_support::materialsOf(*volume), substrate);
}

// Each step's dialog opens with the values the step last ran with in this document, and File →
// New forgets them.
TEST(StepDialogs, OpenWithTheValuesTheStepLastRanWith) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto* presenter = shown.window->getPresenter();
    struct Seen {
        double thickness = -1.0;
        int material = -1;
    };
    const auto runCvd = [&](std::function<void(QDialog&)> adjust, bool accept) {
        gui_support::acceptNextDialog();
        action(shown.window, "actionCreate_Substrate")->trigger();
        auto volume = presenter->getDocument()->getObjects().back();
        action(shown.window, "actionCVD")->trigger();
        presenter->getSelection().toggle(volume);
        Seen seen;
        QTimer::singleShot(0, [&seen, adjust, accept] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto* thickness =
                dialog->findChild<QDoubleSpinBox*>(QStringLiteral("dblFilmThickness"));
            auto* material = dialog->findChild<QComboBox*>(QStringLiteral("cbxMaterial"));
            seen = {thickness->value(), material->currentData().toInt()};
            adjust(*dialog);
            accept ? dialog->accept() : dialog->reject();
        });
        presenter->enterPressed();
        return seen;
    };
    const Seen first = runCvd(
        [](QDialog& dialog) {
            dialog.findChild<QDoubleSpinBox*>(QStringLiteral("dblFilmThickness"))->setValue(3.0);
            auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("cbxMaterial"));
            combo->setCurrentIndex(combo->findData(3));
        },
        true);
    ASSERT_NE(first.thickness, 3.0);
    const Seen again = runCvd([](QDialog&) {}, false);
    EXPECT_EQ(again.thickness, 3.0);
    EXPECT_EQ(again.material, 3);

    action(shown.window, "actionNew")->trigger();
    const Seen fresh = runCvd([](QDialog&) {}, false);
    EXPECT_EQ(fresh.thickness, first.thickness);
    EXPECT_EQ(fresh.material, first.material);
}

} // namespace CELLVANE_TEST_FILE
