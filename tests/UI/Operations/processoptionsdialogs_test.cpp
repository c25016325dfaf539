#include "Model/Process/processfactory.h"
#include "UI/Operations/anisotropicdepositiondialog.h"
#include "UI/Operations/dopingoptionsdialog.h"
#include "UI/Operations/ionimplantationoptionsdialog.h"
#include "UI/Operations/simpleoxidationoptionsdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Ui::Operations;

namespace {

template <class T> T* child(QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}

QLabel* labelWith(QWidget& dialog, const char* text) {
    for (auto* label : dialog.findChildren<QLabel*>())
        if (label->text() == QString::fromLatin1(text))
            return label;
    return nullptr;
}

struct SpinBox {
    const char* name;
    int decimals;
    double minimum, maximum, value, step;
    const char* suffix;
};

// The spin boxes with their ranges, and the labels beside them.
void expectFields(QWidget& dialog, std::initializer_list<SpinBox> boxes,
                  std::initializer_list<const char*> labels) {
    for (const SpinBox& b : boxes) {
        auto* box = child<QDoubleSpinBox>(dialog, b.name);
        ASSERT_NE(box, nullptr) << b.name;
        EXPECT_EQ(box->decimals(), b.decimals) << b.name;
        EXPECT_EQ(box->minimum(), b.minimum) << b.name;
        EXPECT_EQ(box->maximum(), b.maximum) << b.name;
        EXPECT_EQ(box->value(), b.value) << b.name;
        EXPECT_EQ(box->singleStep(), b.step) << b.name;
        EXPECT_EQ(box->suffix(), QString::fromUtf8(b.suffix)) << b.name;
    }
    for (const char* text : labels)
        EXPECT_NE(labelWith(dialog, text), nullptr) << text;
}

int compatibleCount(const char* process) {
    return int(Model::Process::ProcessFactory::getInstance()
                   ->getProcess(QString::fromLatin1(process))
                   .getCompatibleMaterials()
                   .size());
}

} // namespace

TEST(ProcessOptionsDialogs, DopingAndImplantationOfferTheirProcessMaterials) {
    DopingOptionsDialog doping;
    EXPECT_EQ(doping.windowTitle(), QStringLiteral("Doping Options"));
    expectFields(doping, {{"dblDopingDepth", 4, 0, 1e9, 10, 1, " µm"}},
                 {"Doped Material", "Doping Depth"});
    auto* combo = child<QComboBox>(doping, "cbxDopedMaterial");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), compatibleCount("Simple Doping"));
    EXPECT_EQ(doping.dopedMaterialId(), 1) << "silicon heads the built-in list";
    const QString help = QStringLiteral("This is the doped material. Not to be confused with the "
                                        "materials that will be doped. All materials in the list "
                                        "will be doped, plus Si.");
    for (QWidget* w : {static_cast<QWidget*>(labelWith(doping, "Doped Material")),
                       static_cast<QWidget*>(combo)}) {
        EXPECT_EQ(w->toolTip(), help);
        EXPECT_EQ(w->statusTip(), help);
        EXPECT_EQ(w->whatsThis(), help);
    }
    // The concentration is optional, and OK waits for one the etch can use.
    EXPECT_FALSE(doping.concentration().has_value());
    auto* given = child<QCheckBox>(doping, "chkConcentration");
    auto* value = child<QLineEdit>(doping, "edtConcentration");
    auto* ok = doping.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    ASSERT_TRUE(given && value && ok);
    EXPECT_FALSE(value->isEnabled());
    given->setChecked(true);
    for (const auto& [text, usable] : {std::pair{"1e20", true}, std::pair{"abc", false},
                                       std::pair{"1e25", false}, std::pair{" 2.5e18 ", true}}) {
        value->setText(QString::fromLatin1(text));
        EXPECT_EQ(ok->isEnabled(), usable) << text;
    }
    EXPECT_EQ(doping.concentration(), std::optional<double>(2.5e18));

    IonImplantationOptionsDialog implantation;
    EXPECT_EQ(implantation.windowTitle(), QStringLiteral("Ion Implantation Options"));
    EXPECT_EQ(implantation.findChild<QComboBox*>()->count(), compatibleCount("Ion Implantation"));
    expectFields(implantation,
                 {{"dblImplantationDepth", 2, 0, 1e9, 10, 1, " µm"},
                  {"dblAnnealingDistance", 2, 0, 1e9, 10, 1, " µm"}},
                 {"Doped Material", "Implantation Depth", "Annealing Distance"});
}

TEST(ProcessOptionsDialogs, PvdOptionsChooseTheFacesTheFilmStartsOn) {
    AnisotropicDepositionDialog dialog(QStringLiteral("PVD"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("PVD Options"));
    EXPECT_EQ(child<QComboBox>(dialog, "cbxMaterial")->count(), compatibleCount("PVD"));
    expectFields(dialog,
                 {{"dblFilmThickness", 2, 0, 1e9, 10, 1, " µm"},
                  {"dblHorizontalRatio", 2, 0.01, 1e9, 0.5, 0, ""}},
                 {"Material", "Film thickness", "Horizontal ratio"});

    EXPECT_EQ(dialog.depositOnMode(), 1);
    const struct {
        const char* button;
        const char* text;
        int mode;
    } modes[] = {{"radDepositOnBottom", "Deposit on bottom", 2},
                 {"radDepositOnBothSides", "Deposit on both sides", 3},
                 {"radDepositOnTop", "Deposit on top", 1}};
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
    expectFields(dialog,
                 {{"sbxOxideThickness", 2, 0, 100000, 10, 1, " µm"},
                  {"sbxOxidationTime", 2, 0, 1000, 2, 1, " hours"},
                  {"sbxOxidationTemperature", 2, 0, 2000, 1273, 1, " K"},
                  {"sbxOxidationPressure", 2, 0, 1, 1, 0.1, " atm"},
                  {"sbxMicronConversion", 2, 0.01, 1e9, 1, 1, ""}},
                 {"Time", "Temperature", "Pressure", "Cell units per micron"});
    EXPECT_EQ(labelWith(dialog, "Cell units per micron")->toolTip(),
              QStringLiteral("Conversion between cell units and microns. Si cells are "
                             "approximately 1.0 x 1.0 x 0.35 units."));

    auto* timeMode = child<QRadioButton>(dialog, "radOxidationTime");
    auto* thicknessMode = child<QRadioButton>(dialog, "radOxideThickness");
    EXPECT_EQ(timeMode->text(), QStringLiteral("Oxidation Time"));
    EXPECT_EQ(thicknessMode->text(), QStringLiteral("Oxide thickness"));
    auto enabled = [&] {
        std::vector<bool> on;
        for (const char* name : {"sbxOxideThickness", "sbxOxidationTime", "sbxOxidationTemperature",
                                 "sbxOxidationPressure", "sbxMicronConversion"})
            on.push_back(child<QDoubleSpinBox>(dialog, name)->isEnabled());
        return on;
    };
    const std::vector<bool> thicknessFields{true, false, false, false, true};
    EXPECT_FALSE(dialog.isTimeMode());
    EXPECT_EQ(enabled(), thicknessFields);
    timeMode->setChecked(true);
    EXPECT_TRUE(dialog.isTimeMode());
    EXPECT_EQ(enabled(), (std::vector<bool>{false, true, true, true, true}));
    thicknessMode->setChecked(true);
    EXPECT_EQ(enabled(), thicknessFields);
}

} // namespace CELLVANE_TEST_FILE
