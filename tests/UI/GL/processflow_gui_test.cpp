#include "Model/Automaton/totalvolume.h"
#include "UI/mainwindowpresenter.h"
#include "guitestsupport.h"
#include "support/scenes.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

QAction* action(QWidget* window, const char* name) {
    return window->findChild<QAction*>(QString::fromLatin1(name));
}

// Answers the next modal dialog: lets the test adjust it, then presses OK.
void acceptNextDialog(std::function<void(QDialog&)> adjust = {}) {
    QTimer::singleShot(0, [adjust] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            if (adjust)
                adjust(*dialog);
            dialog->accept();
        }
    });
}

void chooseMaterial(QDialog& dialog, int id) {
    auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("cbxMaterial"));
    combo->setCurrentIndex(combo->findData(id));
}

void setDistance(QDialog& dialog, const char* name, double value) {
    dialog.findChild<QDoubleSpinBox*>(QString::fromLatin1(name))->setValue(value);
}

} // namespace

// A user's session: a substrate, a film deposited on it and partly etched again, then undo and
// redo through the Edit menu, each step started from its menu action.
TEST(ProcessFlow, DepositEtchUndoRedoFromTheMenus) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto* presenter = shown.window->getPresenter();

    acceptNextDialog();
    action(shown.window, "actionCreate_Substrate")->trigger();
    const auto objects = presenter->getDocument()->getObjects();
    ASSERT_EQ(objects.size(), 1u);
    auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(objects[0]);
    ASSERT_TRUE(volume);
    const auto substrate = testing_support::materialsOf(*volume);

    // CVD asks for a volume first; a pick and Enter continue it into its dialog.
    action(shown.window, "actionCVD")->trigger();
    EXPECT_TRUE(presenter->getSelection().isSelectionMode());
    presenter->getSelection().toggle(volume);
    acceptNextDialog([](QDialog& dialog) {
        chooseMaterial(dialog, 3);
        setDistance(dialog, "dblFilmThickness", 3.0);
    });
    presenter->enterPressed();
    const auto deposited = testing_support::materialsOf(*volume);
    ASSERT_NE(deposited, substrate);
    EXPECT_EQ(action(shown.window, "actionUndo")->text(), QStringLiteral("Undo Isotropic Deposition"));

    action(shown.window, "actionIsotropic_Film_Etching")->trigger();
    presenter->getSelection().toggle(volume);
    acceptNextDialog([](QDialog& dialog) {
        chooseMaterial(dialog, 3);
        setDistance(dialog, "dblEtchDepth", 1.0);
    });
    presenter->enterPressed();
    const auto etched = testing_support::materialsOf(*volume);
    ASSERT_NE(etched, deposited);
    EXPECT_EQ(action(shown.window, "actionUndo")->text(), QStringLiteral("Undo Isotropic Etching"));

    action(shown.window, "actionUndo")->trigger();
    EXPECT_EQ(testing_support::materialsOf(*volume), deposited);
    EXPECT_EQ(action(shown.window, "actionRedo")->text(), QStringLiteral("Redo Isotropic Etching"));
    action(shown.window, "actionUndo")->trigger();
    EXPECT_EQ(testing_support::materialsOf(*volume), substrate);
    action(shown.window, "actionRedo")->trigger();
    action(shown.window, "actionRedo")->trigger();
    EXPECT_EQ(testing_support::materialsOf(*volume), etched);
    EXPECT_FALSE(action(shown.window, "actionRedo")->isEnabled());
}
