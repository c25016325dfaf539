#include "Model/Materials/materialfactory.h"
#include "Model/Process/processfactory.h"
#include "UI/Observers/isotropicprocessobservers.h"
#include "UI/Operations/electrodepositiondialog.h"
#include "UI/Operations/isotropicdepositiondialog.h"
#include "UI/Operations/isotropicetchingdialog.h"
#include "UI/Operations/mooreoptionsdialog.h"
#include "UI/Operations/simpleriedialog.h"
#include "support/fakeoperations.h"
#include "support/scenes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Ui::Operations;

namespace {

template <class T>
T* child(QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}

void expectFilmSpinBox(QDoubleSpinBox* box) {
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->decimals(), 2);
    EXPECT_EQ(box->minimum(), 0.0);
    EXPECT_EQ(box->maximum(), 1e9);
    EXPECT_EQ(box->value(), 10.0);
    EXPECT_EQ(box->suffix(), QStringLiteral(" µm"));
}

bool hasLabel(QWidget& dialog, const QString& text) {
    for (auto* label : dialog.findChildren<QLabel*>())
        if (label->text() == text)
            return true;
    return false;
}

// Accepts whichever modal dialog opens next, after letting the test adjust it.
void acceptNextDialog(std::function<void(QWidget&)> adjust = {}) {
    QTimer::singleShot(0, [adjust] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            if (adjust)
                adjust(*dialog);
            dialog->accept();
        }
    });
}

void rejectNextDialog() {
    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
}

} // namespace

TEST(ProcessDialogs, IsotropicDepositionOffersTheMaterialsOfCvd) {
    IsotropicDepositionDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Isotropic Film Deposition"));
    expectFilmSpinBox(child<QDoubleSpinBox>(dialog, "dblFilmThickness"));
    EXPECT_TRUE(hasLabel(dialog, QStringLiteral("Film thickness")));
    EXPECT_TRUE(hasLabel(dialog, QStringLiteral("Material")));
    auto* combo = dialog.findChild<QComboBox*>();
    const auto compatible = Model::Process::ProcessFactory::getInstance()
                                ->getProcess(QStringLiteral("CVD"))
                                .getCompatibleMaterials();
    ASSERT_EQ(combo->count(), int(compatible.size()));
    ASSERT_GT(combo->count(), 0);
    EXPECT_EQ(combo->itemText(0), compatible[0].getName());
    EXPECT_EQ(dialog.materialId(), int(compatible[0].getId()));
    EXPECT_EQ(combo->itemIcon(0).availableSizes().value(0), QSize(100, 100));
    EXPECT_FLOAT_EQ(dialog.thickness(), 10.f);
}

TEST(ProcessDialogs, EtchingTitleComesFromTheProcessName) {
    IsotropicEtchingDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Isotropic Etching Options"));
    expectFilmSpinBox(child<QDoubleSpinBox>(dialog, "dblEtchDepth"));
    EXPECT_TRUE(hasLabel(dialog, QStringLiteral("Etch Depth")));
}

TEST(ProcessDialogs, ElectroplatingListsEveryMaterialTwice) {
    ElectrodepositionDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Electroplating Options"));
    expectFilmSpinBox(child<QDoubleSpinBox>(dialog, "dblFilmThickness"));
    const int all = int(Model::Materials::MaterialFactory::getInstance()->getMaterials().size());
    EXPECT_EQ(child<QComboBox>(dialog, "cbxConductingFilm")->count(), all);
    EXPECT_EQ(child<QComboBox>(dialog, "cbxMaterial")->count(), all);
    EXPECT_TRUE(hasLabel(dialog, QStringLiteral("Conducting Material")));
}

TEST(ProcessDialogs, MooreOptionsCountWholeCells) {
    MooreOptionsDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Operation Options"));
    auto* box = child<QSpinBox>(dialog, "sbxValue");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->minimum(), 1);
    EXPECT_EQ(box->maximum(), 999999999);
    EXPECT_EQ(box->value(), 1);
    EXPECT_EQ(box->suffix(), QStringLiteral(" cells"));
    EXPECT_TRUE(hasLabel(dialog, QStringLiteral("Select Value")));
    EXPECT_TRUE(hasLabel(dialog, QStringLiteral("Select Film")));
    dialog.setValueLabel(QStringLiteral("Etch Depth"));
    EXPECT_TRUE(hasLabel(dialog, QStringLiteral("Etch Depth")));
}

// Simple RIE counts cells; beside them the same depth in µm of the volume's cell height, either
// one setting the other, and a rate × time setting both. With "By rate and time" ticked, the
// greyed depth or thickness of every dialog shows what the rate and time come to.
TEST(ProcessDialogs, CellCountsShowTheirMicrometresAndRatesFillTheGreyedLength) {
    SimpleRIEDialog rie;
    auto* cells = child<QSpinBox>(rie, "sbxEtchDepth");
    auto* micrometres = child<QDoubleSpinBox>(rie, "dbxEtchDepthMicrometres");
    ASSERT_TRUE(cells && micrometres);
    EXPECT_EQ(cells->suffix(), QStringLiteral(" cells"));
    EXPECT_TRUE(micrometres->isHidden()) << "no volume, no µm";
    rie.setCellHeight(0.5);
    EXPECT_FALSE(micrometres->isHidden());
    EXPECT_EQ(micrometres->suffix(), QStringLiteral(" µm"));
    cells->setValue(12);
    EXPECT_DOUBLE_EQ(micrometres->value(), 6.0);
    micrometres->setValue(3.2);
    EXPECT_EQ(rie.depth(), 6) << "3.2 µm is the nearest whole cell, 6 of 0.5 µm";
    EXPECT_DOUBLE_EQ(micrometres->value(), 3.0);

    child<QCheckBox>(rie, "chkByRate")->setChecked(true);
    child<QDoubleSpinBox>(rie, "dbxRate")->setValue(0.5);
    child<QDoubleSpinBox>(rie, "dbxTime")->setValue(9.0);
    EXPECT_FALSE(cells->isEnabled());
    EXPECT_EQ(cells->value(), 9) << "4.5 µm";

    IsotropicDepositionDialog deposition;
    child<QCheckBox>(deposition, "chkByRate")->setChecked(true);
    child<QDoubleSpinBox>(deposition, "dbxRate")->setValue(0.25);
    child<QDoubleSpinBox>(deposition, "dbxTime")->setValue(6.0);
    EXPECT_FALSE(child<QDoubleSpinBox>(deposition, "dblFilmThickness")->isEnabled());
    EXPECT_DOUBLE_EQ(child<QDoubleSpinBox>(deposition, "dblFilmThickness")->value(), 1.5);

    IsotropicEtchingDialog etching;
    child<QCheckBox>(etching, "chkByRate")->setChecked(true);
    child<QDoubleSpinBox>(etching, "dbxRate")->setValue(0.2);
    child<QDoubleSpinBox>(etching, "dbxTime")->setValue(10.0);
    EXPECT_DOUBLE_EQ(child<QDoubleSpinBox>(etching, "dblEtchDepth")->value(), 2.0);
}

TEST(ProcessObservers, AcceptedDialogRunsTheOperationAndCancelDoesNot) {
    testing_support::CountingHost host;
    testing_support::ScriptedPrompts prompts;
    Core::Operations::OperationContext context(host, prompts);
    auto volume = testing_support::makeVolume(6, 4, 6, [](int, int, int z) { return z < 2 ? 1 : 0; });

    auto deposition = std::make_shared<Core::Operations::IsotropicFilmDepositionOperation>(context);
    deposition->setTarget(volume);
    context.currentOperation = deposition;
    Ui::Observers::IsotropicFilmDepositionObserver observer(context.currentOperation, nullptr);
    rejectNextDialog();
    observer.update();
    EXPECT_EQ(host.finished + host.cancelled, 0) << "a cancelled dialog leaves the step pending";

    acceptNextDialog([](QWidget& dialog) {
        dialog.findChild<QDoubleSpinBox*>(QStringLiteral("dblFilmThickness"))->setValue(1.0);
    });
    observer.update();
    EXPECT_EQ(host.finished, 1);
    EXPECT_NE(testing_support::materialAt(*volume, 2, 2, 2), 0);

    auto moore = std::make_shared<Core::Operations::MooreNeighborhoodEtchingOperation>(context);
    moore->setTarget(volume);
    context.currentOperation = moore;
    Ui::Observers::MooreEtchingObserver mooreObserver(context.currentOperation, nullptr);
    rejectNextDialog();
    mooreObserver.update();
    EXPECT_EQ(host.cancelled, 1) << "a cancelled Moore dialog cancels the step";
}

} // namespace CELLVANE_TEST_FILE
