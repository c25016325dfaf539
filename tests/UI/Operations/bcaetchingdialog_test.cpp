#include "Core/Operations/SiEtching/atomisticsiwetetchingoperation.h"
#include "Core/Operations/SiEtching/boronetchstop.h"
#include "Core/Operations/SiEtching/continouswetetchoperation.h"
#include "UI/BatchRun/batchstepdialogs.h"
#include "UI/Operations/bcaetchingdialog.h"
#include "UI/mainwindowpresenter.h"
#include "support/fakeoperations.h"
#include "support/registryfiles.h"
#include "support/scenes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using Ui::Operations::BCAEtchingDialog;

namespace {

const QString helpText = QStringLiteral("Set the depth of the etching. This is how far down the "
                                        "(100) plane on the surface will be etched.");

// Answers the next modal dialog: sets the depth and presses OK, or presses Cancel.
void answerNextDialog(bool accept, double depth) {
    QTimer::singleShot(0, [accept, depth] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        if (accept) {
            dialog->findChild<QDoubleSpinBox*>(QStringLiteral("dbxEtchDepth"))->setValue(depth);
            dialog->accept();
        } else {
            dialog->reject();
        }
    });
}

struct WetEtchMenuTest : ::testing::Test {
    void SetUp() override {
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
        presenter = std::make_unique<Ui::MainWindowPresenter>(
            nullptr, std::make_unique<testing_support::ScriptedPrompts>());
        presenter->getDocument()->addObject(volume);
        presenter->getSelection().toggle(volume);
    }
    void TearDown() override { QLoggingCategory::setFilterRules(QString()); }

    std::unique_ptr<Ui::MainWindowPresenter> presenter;
    std::shared_ptr<Model::Automaton::TotalVolume> volume =
        testing_support::makeVolume(6, 6, 6, [](int, int, int z) { return z < 4 ? 1 : 0; });
};

} // namespace

TEST(BCAEtchingDialog, FormAsUsersSeeIt) {
    BCAEtchingDialog dialog;
    EXPECT_EQ(dialog.objectName(), QStringLiteral("BCAEtchingBaseDialog"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Wet Etching Options"));
    auto* depth = dialog.findChild<QDoubleSpinBox*>(QStringLiteral("dbxEtchDepth"));
    ASSERT_TRUE(depth);
    EXPECT_EQ(depth->decimals(), 4);
    EXPECT_DOUBLE_EQ(depth->minimum(), 0.0);
    EXPECT_DOUBLE_EQ(depth->maximum(), 1e9);
    EXPECT_DOUBLE_EQ(depth->singleStep(), 0.353552);
    EXPECT_DOUBLE_EQ(depth->value(), 10.0);
    EXPECT_DOUBLE_EQ(dialog.depth(), 10.0);
    EXPECT_EQ(depth->suffix(), QStringLiteral(" µm"));
    EXPECT_EQ(depth->toolTip(), helpText);
    EXPECT_EQ(depth->statusTip(), helpText);
    EXPECT_EQ(depth->whatsThis(), helpText);

    QLabel* label = nullptr;
    for (auto* candidate : dialog.findChildren<QLabel*>()) {
        if (candidate->text() == QStringLiteral("Etch Depth"))
            label = candidate;
    }
    ASSERT_TRUE(label);
    EXPECT_EQ(label->toolTip(), helpText);

    dialog.setDepth(-4.0);
    EXPECT_DOUBLE_EQ(dialog.depth(), 0.0); // no negative depths from the dialog
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_TRUE(buttons);
    EXPECT_TRUE(buttons->button(QDialogButtonBox::Ok));
    EXPECT_TRUE(buttons->button(QDialogButtonBox::Cancel));
}

TEST_F(WetEtchMenuTest, SiWetEtchingRunsFromActivationThroughTheDialogAndUndoes) {
    const auto before = testing_support::materialsOf(*volume);
    answerNextDialog(true, 1.0);
    presenter->operationActivated(QStringLiteral("28"));
    presenter->enterPressed();
    EXPECT_FALSE(presenter->getContext().currentOperation);
    EXPECT_EQ(presenter->getProcessHistory().lastOperation(volume->getId()), 28u);
    EXPECT_FALSE(presenter->getProcessHistory().isLatticeRebuildNeeded(volume->getId()));
    EXPECT_EQ(testing_support::materialAt(*volume, 3, 3, 3), 0);
    EXPECT_EQ(presenter->getConsoleInput().getLastMessage(),
              QStringLiteral("BCA Wet Etch: Operation finished."));
    EXPECT_EQ(presenter->getUndoRedoStack().undoName(), QStringLiteral("BCA Wet Etch"));

    const auto etched = testing_support::materialsOf(*volume);
    ASSERT_TRUE(presenter->undo());
    EXPECT_EQ(testing_support::materialsOf(*volume), before);
    // The lattice still holds the etched atoms: the next etch must rebuild it.
    EXPECT_TRUE(presenter->getProcessHistory().isLatticeRebuildNeeded(volume->getId()));
    presenter->redo();
    EXPECT_EQ(testing_support::materialsOf(*volume), etched);
}

TEST_F(WetEtchMenuTest, CancellingTheDialogCancelsTheContinuousEtch) {
    const auto before = testing_support::materialsOf(*volume);
    answerNextDialog(false, 0.0);
    presenter->operationActivated(QStringLiteral("29"));
    presenter->enterPressed();
    EXPECT_FALSE(presenter->getContext().currentOperation);
    EXPECT_EQ(presenter->getConsoleInput().getLastMessage(),
              QStringLiteral("Continuous Wet Etch: Operation canceled."));
    EXPECT_EQ(testing_support::materialsOf(*volume), before);
    EXPECT_EQ(presenter->getProcessHistory().lastOperation(volume->getId()), 0u);
}

TEST_F(WetEtchMenuTest, FactoryMakesBothEtchesWithTheirNames) {
    auto& factory = *presenter->getContext().operationFactory;
    const auto atomistic = factory.create(28);
    const auto continuous = factory.create(29);
    ASSERT_TRUE(std::dynamic_pointer_cast<AtomisticSiWetEtchingOperation>(atomistic));
    ASSERT_TRUE(std::dynamic_pointer_cast<ContinousWetEtchOperation>(continuous));
    EXPECT_EQ(atomistic->getName(), QStringLiteral("BCA Wet Etch"));
    EXPECT_EQ(continuous->getName(), QStringLiteral("Continuous Wet Etch"));
    EXPECT_EQ(atomistic->getId(), 28);
    EXPECT_EQ(continuous->getId(), 29);
}

// The recipe as a user gives it: the depth shows before OK, a concentration outside the law's
// range is refused there, and the etch runs to the recipe's depth with the sides open.
TEST_F(WetEtchMenuTest, KohRecipeShowsItsDepthAndEtchesFlatWithPeriodicSides) {
    QString shown, refused;
    bool okWhileRefused = true;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        auto* byRecipe = dialog->findChild<QCheckBox*>(QStringLiteral("chkKohRecipe"));
        auto* concentration =
            dialog->findChild<QDoubleSpinBox*>(QStringLiteral("dbxConcentration"));
        auto* time = dialog->findChild<QDoubleSpinBox*>(QStringLiteral("dbxTime"));
        auto* label = dialog->findChild<QLabel*>(QStringLiteral("lblRecipeDepth"));
        auto* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        byRecipe->setChecked(true);
        concentration->setValue(65.0);
        refused = label->text();
        okWhileRefused = ok->isEnabled();
        concentration->setValue(30.0);
        time->setValue(0.75);
        shown = label->text();
        dialog->findChild<QCheckBox*>(QStringLiteral("chkPeriodicSides"))->setChecked(true);
        ok->click();
    });
    presenter->operationActivated(QStringLiteral("28"));
    presenter->enterPressed();
    EXPECT_TRUE(refused.contains(QStringLiteral("10 to 60 wt%"))) << refused.toStdString();
    EXPECT_FALSE(okWhileRefused);
    EXPECT_TRUE(shown.contains(QStringLiteral("≈ 1.0 µm in 0.75 min"))) << shown.toStdString();
    EXPECT_EQ(presenter->getConsoleInput().getLastMessage(),
              QStringLiteral("BCA Wet Etch: Operation finished."));
    // 1.03 µm is four atomic layers: the top cell layer goes everywhere, the sides included.
    for (int x = 0; x < 6; ++x)
        for (int y = 0; y < 6; ++y) {
            EXPECT_EQ(testing_support::materialAt(*volume, x, y, 3), 0) << x << "," << y;
            EXPECT_EQ(testing_support::materialAt(*volume, x, y, 2), 1) << x << "," << y;
        }
}

TEST_F(WetEtchMenuTest, TmahRecipeEtchesByItsCalibratedRatesAndRefusesOtherConcentrations) {
    QString refused, concentrationLabel;
    bool okWhileRefused = true;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        dialog->findChild<QCheckBox*>(QStringLiteral("chkKohRecipe"))->setChecked(true);
        dialog->findChild<QComboBox*>(QStringLiteral("cbxEtchant"))
            ->setCurrentText(QStringLiteral("TMAH"));
        auto* concentration =
            dialog->findChild<QDoubleSpinBox*>(QStringLiteral("dbxConcentration"));
        auto* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        concentration->setValue(30.0);
        refused = dialog->findChild<QLabel*>(QStringLiteral("lblRecipeDepth"))->text();
        concentrationLabel = dialog->findChild<QLabel*>(QStringLiteral("lblConcentration"))->text();
        okWhileRefused = ok->isEnabled();
        concentration->setValue(25.0);
        dialog->findChild<QDoubleSpinBox*>(QStringLiteral("dbxTemperature"))->setValue(90.0);
        // 0.603 µm/min × 3.32 min = 2.0 µm: two cells.
        dialog->findChild<QDoubleSpinBox*>(QStringLiteral("dbxTime"))->setValue(3.32);
        dialog->findChild<QCheckBox*>(QStringLiteral("chkPeriodicSides"))->setChecked(true);
        ok->click();
    });
    presenter->operationActivated(QStringLiteral("28"));
    presenter->enterPressed();
    EXPECT_TRUE(refused.contains(QStringLiteral("25 wt%"))) << refused.toStdString();
    EXPECT_EQ(concentrationLabel, QStringLiteral("TMAH concentration"));
    EXPECT_FALSE(okWhileRefused);
    EXPECT_EQ(presenter->getConsoleInput().getLastMessage(),
              QStringLiteral("BCA Wet Etch: Operation finished."));
    for (int x = 0; x < 6; ++x)
        for (int y = 0; y < 6; ++y) {
            EXPECT_EQ(testing_support::materialAt(*volume, x, y, 2), 0) << x << "," << y;
            EXPECT_EQ(testing_support::materialAt(*volume, x, y, 1), 1) << x << "," << y;
        }
}

// A list step made in the batch dialog keeps the etchant chosen, and only when one is.
TEST(BCAEtchingDialog, BatchStepRecordsTheChosenEtchant) {
    namespace names = Core::Operations::RecordParameters;
    Ui::BatchStepDialogs::Context context;
    for (const QString& etchant : {QStringLiteral("TMAH"), QString()}) {
        QTimer::singleShot(0, [etchant] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            dialog->findChild<QCheckBox*>(QStringLiteral("chkKohRecipe"))->setChecked(true);
            if (!etchant.isEmpty())
                dialog->findChild<QComboBox*>(QStringLiteral("cbxEtchant"))
                    ->setCurrentText(etchant);
            dialog->findChild<QDoubleSpinBox*>(QStringLiteral("dbxConcentration"))->setValue(25);
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        const auto record = Ui::BatchStepDialogs::ask(Ui::ProcessData::SiWetEtching, context);
        ASSERT_TRUE(record);
        const QVariantMap values = record->getParameters();
        EXPECT_EQ(values.value(names::etchant).toString(), etchant);
        EXPECT_EQ(values.contains(names::etchant), !etchant.isEmpty());
    }
}

// The membrane flow from the menu: the etch side chosen in the dialog, a back window under a
// wafer whose top is boron-doped at 1e20 cm⁻³; the doped layer stays, and undo restores.
TEST_F(WetEtchMenuTest, EtchingFromTheBottomStopsOnTheBoronLayer) {
    // The material made for the concentration goes with the test.
    struct Restore {
        ~Restore() { TestSupport::restoreBuiltInRegistries(); }
    } restore;
    const int doped = int(BoronEtchStop::materialFor(15, 1e20));
    auto wafer = testing_support::makeVolume(24, 24, 12, [doped](int x, int y, int z) {
        const bool window = x >= 4 && x < 20 && y >= 4 && y < 20;
        return z == 0 ? (window ? 0 : 2) : z < 7 ? 1 : z < 10 ? doped : 0;
    });
    presenter->getSelection().toggle(volume);
    presenter->getDocument()->addObject(wafer);
    presenter->getSelection().toggle(wafer);
    const auto before = testing_support::materialsOf(*wafer);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        dialog->findChild<QDoubleSpinBox*>(QStringLiteral("dbxEtchDepth"))->setValue(8.0);
        dialog->findChild<QComboBox*>(QStringLiteral("cbxEtchSide"))
            ->setCurrentText(QStringLiteral("bottom"));
        dialog->accept();
    });
    presenter->operationActivated(QStringLiteral("28"));
    presenter->enterPressed();
    EXPECT_EQ(presenter->getConsoleInput().getLastMessage(),
              QStringLiteral("BCA Wet Etch: Operation finished."));
    for (int z = 1; z < 7; ++z)
        EXPECT_EQ(testing_support::materialAt(*wafer, 12, 12, z), 0) << z;
    for (int z = 7; z < 10; ++z)
        EXPECT_EQ(testing_support::materialAt(*wafer, 12, 12, z), doped) << z;
    // Beside the window, and on the dry front, nothing changed.
    EXPECT_EQ(testing_support::materialAt(*wafer, 1, 1, 1), 1);
    EXPECT_EQ(testing_support::materialAt(*wafer, 1, 1, 9), doped);
    // The lattice was built with the doped cells as silicon.
    EXPECT_TRUE(presenter->getProcessHistory().isLatticeRebuildNeeded(wafer->getId()));
    ASSERT_TRUE(presenter->undo());
    EXPECT_EQ(testing_support::materialsOf(*wafer), before);
}

} // namespace CELLVANE_TEST_FILE
