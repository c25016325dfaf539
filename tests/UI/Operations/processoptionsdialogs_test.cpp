#include "Model/Process/processfactory.h"
#include "UI/Observers/cvdobserver.h"
#include "UI/Observers/dopingobservers.h"
#include "UI/Observers/sioxidationobserver.h"
#include "UI/Operations/anisotropicdepositiondialog.h"
#include "UI/Operations/dopingoptionsdialog.h"
#include "UI/Operations/ionimplantationoptionsdialog.h"
#include "UI/Operations/simpleoxidationoptionsdialog.h"
#include "support/fakeoperations.h"
#include "support/scenes.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Ui::Operations;

namespace {

template <class T> T* child(QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}

QLabel* labelWith(QWidget& dialog, const QString& text) {
    for (auto* label : dialog.findChildren<QLabel*>())
        if (label->text() == text)
            return label;
    return nullptr;
}

struct Range {
    int decimals;
    double minimum, maximum, value;
    const char* suffix;
};

void expectSpinBox(QDoubleSpinBox* box, const Range& r) {
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->decimals(), r.decimals);
    EXPECT_EQ(box->minimum(), r.minimum);
    EXPECT_EQ(box->maximum(), r.maximum);
    EXPECT_EQ(box->value(), r.value);
    EXPECT_EQ(box->suffix(), QString::fromLatin1(r.suffix));
}

int compatibleCount(const char* process) {
    return int(Model::Process::ProcessFactory::getInstance()
                   ->getProcess(QString::fromLatin1(process))
                   .getCompatibleMaterials()
                   .size());
}

// Answers the next modal dialog: adjusts it and accepts, or rejects it.
void answerNextDialog(bool accept, std::function<void(QWidget&)> adjust = {}) {
    QTimer::singleShot(0, [accept, adjust] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            if (adjust)
                adjust(*dialog);
            accept ? dialog->accept() : dialog->reject();
        }
    });
}

} // namespace

TEST(ProcessOptionsDialogs, DopingAndImplantationOfferTheirProcessMaterials) {
    DopingOptionsDialog doping;
    EXPECT_EQ(doping.windowTitle(), QStringLiteral("Doping Options"));
    expectSpinBox(child<QDoubleSpinBox>(doping, "dblDopingDepth"), {4, 0, 1e9, 10, " units"});
    auto* combo = child<QComboBox>(doping, "cbxDopedMaterial");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), compatibleCount("Simple Doping"));
    EXPECT_EQ(doping.dopedMaterialId(), 1) << "silicon heads the built-in list";
    const QString help = QStringLiteral("This is the doped material. Not to be confused with the "
                                        "materials that will be doped. All materials in the list "
                                        "will be doped, plus Si.");
    auto* label = labelWith(doping, QStringLiteral("Doped Material"));
    ASSERT_NE(label, nullptr);
    for (QWidget* w : {static_cast<QWidget*>(label), static_cast<QWidget*>(combo)}) {
        EXPECT_EQ(w->toolTip(), help);
        EXPECT_EQ(w->statusTip(), help);
        EXPECT_EQ(w->whatsThis(), help);
    }
    EXPECT_NE(labelWith(doping, QStringLiteral("Doping Depth")), nullptr);

    IonImplantationOptionsDialog implantation;
    EXPECT_EQ(implantation.windowTitle(), QStringLiteral("Ion Implantation Options"));
    EXPECT_EQ(implantation.findChild<QComboBox*>()->count(), compatibleCount("Ion Implantation"));
    for (const char* text : {"Doped Material", "Implantation Depth", "Annealing Distance"})
        EXPECT_NE(labelWith(implantation, QString::fromLatin1(text)), nullptr) << text;
    expectSpinBox(child<QDoubleSpinBox>(implantation, "dblImplantationDepth"),
                  {2, 0, 1e9, 10, " units"});
    expectSpinBox(child<QDoubleSpinBox>(implantation, "dblAnnealingDistance"),
                  {2, 0, 1e9, 10, " units"});
}

TEST(ProcessOptionsDialogs, PvdOptionsChooseTheFacesTheFilmStartsOn) {
    AnisotropicDepositionDialog dialog(QStringLiteral("PVD"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("PVD Options"));
    EXPECT_EQ(child<QComboBox>(dialog, "cbxMaterial")->count(), compatibleCount("PVD"));
    expectSpinBox(child<QDoubleSpinBox>(dialog, "dblFilmThickness"), {2, 0, 1e9, 10, " units"});
    expectSpinBox(child<QDoubleSpinBox>(dialog, "dblHorizontalRatio"), {2, 0.01, 1e9, 0.5, ""});
    EXPECT_EQ(child<QDoubleSpinBox>(dialog, "dblHorizontalRatio")->singleStep(), 0.0);
    for (const char* text : {"Material", "Film thickness", "Horizontal ratio"})
        EXPECT_NE(labelWith(dialog, QString::fromLatin1(text)), nullptr) << text;

    const struct {
        const char* button;
        const char* text;
        int mode;
    } modes[] = {{"radDepositOnBottom", "Deposit on bottom", 2},
                 {"radDepositOnBothSides", "Deposit on both sides", 3},
                 {"radDepositOnTop", "Deposit on top", 1}};
    EXPECT_TRUE(child<QRadioButton>(dialog, "radDepositOnTop")->isChecked());
    EXPECT_EQ(dialog.depositOnMode(), 1);
    for (const auto& m : modes) {
        auto* radio = child<QRadioButton>(dialog, m.button);
        EXPECT_EQ(radio->text(), QString::fromLatin1(m.text));
        radio->setChecked(true);
        EXPECT_EQ(dialog.depositOnMode(), m.mode);
    }
}

TEST(ProcessOptionsDialogs, OxidationRadioButtonsEnableTheirSpinBoxes) {
    SimpleOxidationOptionsDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Si Oxidation Options"));
    EXPECT_EQ(dialog.size(), QSize(400, 350));
    auto* thickness = child<QDoubleSpinBox>(dialog, "sbxOxideThickness");
    auto* time = child<QDoubleSpinBox>(dialog, "sbxOxidationTime");
    auto* temperature = child<QDoubleSpinBox>(dialog, "sbxOxidationTemperature");
    auto* pressure = child<QDoubleSpinBox>(dialog, "sbxOxidationPressure");
    auto* conversion = child<QDoubleSpinBox>(dialog, "sbxMicronConversion");
    expectSpinBox(thickness, {2, 0, 100000, 10, " microns"});
    expectSpinBox(time, {2, 0, 1000, 2, " hours"});
    expectSpinBox(temperature, {2, 0, 2000, 1273, " K"});
    expectSpinBox(pressure, {2, 0, 1, 1, " atm"});
    EXPECT_EQ(pressure->singleStep(), 0.1);
    expectSpinBox(conversion, {2, 0.01, 1e9, 100, ""});
    EXPECT_EQ(conversion->singleStep(), 1.0);
    EXPECT_EQ(labelWith(dialog, QStringLiteral("Cell units per micron"))->toolTip(),
              QStringLiteral("Conversion between cell units and microns. Si cells are "
                             "approximately 1.0 x 1.0 x 0.35 units."));
    for (const char* text : {"Time", "Temperature", "Pressure"})
        EXPECT_NE(labelWith(dialog, QString::fromLatin1(text)), nullptr) << text;

    auto* timeMode = child<QRadioButton>(dialog, "radOxidationTime");
    auto* thicknessMode = child<QRadioButton>(dialog, "radOxideThickness");
    EXPECT_EQ(timeMode->text(), QStringLiteral("Oxidation Time"));
    EXPECT_EQ(thicknessMode->text(), QStringLiteral("Oxide thickness"));
    EXPECT_TRUE(thicknessMode->isChecked());
    EXPECT_FALSE(dialog.isTimeMode());
    auto enabled = [&] {
        return std::vector<bool>{thickness->isEnabled(), time->isEnabled(),
                                 temperature->isEnabled(), pressure->isEnabled(),
                                 conversion->isEnabled()};
    };
    EXPECT_EQ(enabled(), (std::vector<bool>{true, false, false, false, true}));
    timeMode->setChecked(true);
    EXPECT_TRUE(dialog.isTimeMode());
    EXPECT_EQ(enabled(), (std::vector<bool>{false, true, true, true, true}));
    thicknessMode->setChecked(true);
    EXPECT_EQ(enabled(), (std::vector<bool>{true, false, false, false, true}));
}

// Each observer runs its operation when its dialog is accepted and leaves it pending when it
// is cancelled.
TEST(ProcessOptionsObservers, AcceptedDialogsRunAndCancelledOnesLeaveTheStepPending) {
    using namespace Core::Operations;
    testing_support::CountingHost host;
    testing_support::ScriptedPrompts prompts;
    OperationContext context(host, prompts);
    auto volume =
        testing_support::makeVolume(6, 4, 10, [](int, int, int z) { return z < 5 ? 1 : 0; });

    auto runObserver = [&](auto operation, auto observer, std::function<void(QWidget&)> adjust) {
        operation->setTarget(volume);
        context.currentOperation = operation;
        answerNextDialog(false);
        observer.update();
        EXPECT_EQ(host.finished + host.cancelled, 0) << operation->getName().toStdString();
        answerNextDialog(true, adjust);
        observer.update();
        EXPECT_EQ(host.finished, 1) << operation->getName().toStdString();
        host.finished = 0;
    };
    using namespace Ui::Observers;
    runObserver(std::make_shared<DopingOperation>(context),
                DopingOptionsObserver(context.currentOperation, nullptr), {});
    EXPECT_EQ(testing_support::materialAt(*volume, 2, 2, 4), 1) << "doped with silicon itself";
    runObserver(std::make_shared<IonImplantationOperation>(context),
                IonImplantationOptionsObserver(context.currentOperation, nullptr), [](QWidget& d) {
                    child<QComboBox>(d, "cbxDopedMaterial")->setCurrentIndex(1);
                    child<QDoubleSpinBox>(d, "dblImplantationDepth")->setValue(2.0);
                    child<QDoubleSpinBox>(d, "dblAnnealingDistance")->setValue(0.0);
                });
    EXPECT_EQ(testing_support::materialAt(*volume, 2, 2, 2), 14);
    // 2 hours at 1273 K grow about 0.1 microns, here 1 cell unit: the surface layer.
    runObserver(std::make_shared<SimpleSiOxidationOperation>(context),
                SiOxidationObserver(context.currentOperation, nullptr), [](QWidget& d) {
                    child<QRadioButton>(d, "radOxidationTime")->setChecked(true);
                    child<QDoubleSpinBox>(d, "sbxMicronConversion")->setValue(10.0);
                });
    EXPECT_EQ(testing_support::materialAt(*volume, 2, 2, 4), 3);
    EXPECT_EQ(testing_support::materialAt(*volume, 2, 2, 5), 0);
    runObserver(std::make_shared<AnisotropicFilmDepositionOperation>(context),
                CVDObserver(context.currentOperation, nullptr),
                [](QWidget& d) { child<QDoubleSpinBox>(d, "dblFilmThickness")->setValue(1.0); });
    EXPECT_EQ(testing_support::materialAt(*volume, 2, 2, 5), 4);
}
