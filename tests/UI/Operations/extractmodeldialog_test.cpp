#include "Model/Automaton/totalvolume.h"
#include "UI/Operations/extractmodeldialog.h"
#include "UI/mainwindowpresenter.h"
#include "support/cantileverscenes.h"
#include "support/fakeoperations.h"
#include "support/qtprinters.h"
#include "support/registryfiles.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Ui::Operations::ExtractModelDialog;

namespace {

ExtractModelDialog* openDialog() {
    QApplication::processEvents();
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<ExtractModelDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

QPushButton* button(ExtractModelDialog& dialog, const char* name) {
    return dialog.findChild<QPushButton*>(QString::fromLatin1(name));
}

std::vector<bool> enabledSteps(ExtractModelDialog& dialog) {
    return {button(dialog, "btnRunStepOne")->isEnabled(),
            button(dialog, "btnRunStepTwo")->isEnabled(),
            button(dialog, "btnRunStepThree")->isEnabled()};
}

} // namespace

TEST(ExtractModelDialog, StepsRunInTurnBesideTheViewAndClosingOrAnotherOperationEndsThem) {
    TestSupport::restoreBuiltInRegistries();
    auto scripted = std::make_unique<testing_support::ScriptedPrompts>();
    auto* prompts = scripted.get();
    Ui::MainWindowPresenter presenter(nullptr, std::move(scripted));
    const auto volume = testing_support::anchoredPlate();
    presenter.getDocument()->addObject(volume);
    const auto objectCount = [&] { return presenter.getDocument()->getObjects().size(); };
    QTemporaryDir dir;

    presenter.getSelection().toggle(volume);
    presenter.operationActivated(QStringLiteral("1000"));
    ExtractModelDialog* dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Extract Model"));
    EXPECT_EQ(enabledSteps(*dialog), (std::vector<bool>{true, false, false}));

    button(*dialog, "btnRunStepOne")->click();
    EXPECT_EQ(enabledSteps(*dialog), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(objectCount(), 2u);
    button(*dialog, "btnRunStepTwo")->click();
    EXPECT_EQ(enabledSteps(*dialog), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(objectCount(), 3u);
    // The beam's mechanics: the plate's 20 free cells of aluminium, 3 cells above silicon.
    const auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("tblMechanics"));
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->isVisible());
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("cantilever"));
    EXPECT_EQ(table->item(0, 2)->text(), QStringLiteral("20"));
    EXPECT_EQ(table->item(0, 5)->text(), QStringLiteral("3"));
    // Plain silicon is no conductor: no pull-in voltage.
    EXPECT_EQ(table->item(0, 12)->text(), QStringLiteral("-"));
    prompts->fileAnswer = dir.filePath(QStringLiteral("plate.cir"));
    button(*dialog, "btnRunStepThree")->click();
    QFile netlist(prompts->fileAnswer);
    ASSERT_TRUE(netlist.open(QIODevice::ReadOnly));
    EXPECT_TRUE(netlist.readAll().startsWith("Model extracted by Cellvane\nc1 1 0 "));

    dialog->close();
    QApplication::processEvents();
    EXPECT_EQ(presenter.getConsoleInput().getLastMessage(),
              QStringLiteral("Model Extraction: Model extracted."));
    EXPECT_EQ(objectCount(), 1u);
    EXPECT_FALSE(volume->getPainter().isHidden());
    EXPECT_FALSE(presenter.getContext().currentOperation);
    EXPECT_EQ(openDialog(), nullptr);

    // Another operation started while the dialog is open cancels the extraction and closes it.
    presenter.getSelection().toggle(volume);
    presenter.operationActivated(QStringLiteral("1000"));
    dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    button(*dialog, "btnRunStepOne")->click();
    EXPECT_TRUE(volume->getPainter().isHidden());
    presenter.operationActivated(QStringLiteral("4"));
    QApplication::processEvents();
    EXPECT_EQ(openDialog(), nullptr);
    EXPECT_EQ(objectCount(), 1u);
    EXPECT_FALSE(volume->getPainter().isHidden());
    presenter.cancelPressed();
}

} // namespace CELLVANE_TEST_FILE
