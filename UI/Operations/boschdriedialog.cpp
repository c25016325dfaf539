#include "UI/Operations/boschdriedialog.h"

#include "UI/Operations/materialcombobox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace Ui::Operations {

using Core::Operations::BoschRecipe;

namespace {

QDoubleSpinBox* lengthBox(QWidget* parent, const QString& name, double value, const QString& unit,
                          double maximum = 1.0e4) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setDecimals(3);
    box->setRange(0.0, maximum);
    box->setSingleStep(0.1);
    box->setSuffix(QLatin1Char(' ') + unit);
    box->setValue(value);
    return box;
}

} // namespace

BoschDrieDialog::BoschDrieDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Bosch DRIE"));
    const BoschRecipe defaults;
    auto* form = new QFormLayout;
    material = new QComboBox(this);
    material->setObjectName(QStringLiteral("cbxMaterial"));
    fillMaterialCombo(material, compatibleMaterials(QStringLiteral("Isotropic Etching")));
    for (int i = 0; i < material->count(); ++i)
        if (material->itemData(i).toInt() == int(defaults.material))
            material->setCurrentIndex(i);
    form->addRow(QStringLiteral("Etched material"), material);
    cycles = new QSpinBox(this);
    cycles->setObjectName(QStringLiteral("spbCycles"));
    cycles->setRange(1, 100000);
    cycles->setValue(defaults.cycles);
    form->addRow(QStringLiteral("Cycles"), cycles);
    byRateBox = new QCheckBox(QStringLiteral("By rate and time"), this);
    byRateBox->setObjectName(QStringLiteral("chkByRate"));
    form->addRow(byRateBox);
    etchDepth = lengthBox(this, QStringLiteral("dblEtchDepth"), defaults.etchDepthPerCycle,
                          QStringLiteral("µm"));
    form->addRow(QStringLiteral("Etch depth per cycle"), etchDepth);
    passivation = lengthBox(this, QStringLiteral("dblPassivation"), defaults.passivationThickness,
                            QStringLiteral("µm"));
    form->addRow(QStringLiteral("Passivation thickness"), passivation);
    etchRateBox = lengthBox(this, QStringLiteral("dblEtchRate"), 6.0, QStringLiteral("µm/min"));
    form->addRow(QStringLiteral("Etch rate"), etchRateBox);
    etchTimeBox = lengthBox(this, QStringLiteral("dblEtchTime"), defaults.etchDepthPerCycle / 6.0,
                            QStringLiteral("min"));
    form->addRow(QStringLiteral("Etch time per cycle"), etchTimeBox);
    passivationRateBox =
        lengthBox(this, QStringLiteral("dblPassivationRate"), 0.5, QStringLiteral("µm/min"));
    form->addRow(QStringLiteral("Passivation rate"), passivationRateBox);
    passivationTimeBox = lengthBox(this, QStringLiteral("dblPassivationTime"),
                                   defaults.passivationThickness / 0.5, QStringLiteral("min"));
    form->addRow(QStringLiteral("Passivation time per cycle"), passivationTimeBox);
    comesTo = new QLabel(this);
    comesTo->setObjectName(QStringLiteral("lblComesTo"));
    form->addRow(comesTo);
    isotropy = new QDoubleSpinBox(this);
    isotropy->setObjectName(QStringLiteral("dblIsotropy"));
    isotropy->setRange(0.0, 1.0);
    isotropy->setSingleStep(0.05);
    isotropy->setValue(defaults.isotropy);
    isotropy->setToolTip(QStringLiteral("Sideways etch over downward etch on a wall beside an "
                                        "open field: 0 straight down, 1 as much sideways"));
    form->addRow(QStringLiteral("Isotropy"), isotropy);
    strip = new QCheckBox(QStringLiteral("Strip Passivation"), this);
    strip->setObjectName(QStringLiteral("chkStrip"));
    strip->setChecked(defaults.stripPassivation);
    form->addRow(strip);
    periodic = new QCheckBox(QStringLiteral("Periodic sides"), this);
    periodic->setObjectName(QStringLiteral("chkPeriodic"));
    form->addRow(periodic);
    rays = new QSpinBox(this);
    rays->setObjectName(QStringLiteral("spbRays"));
    rays->setRange(1, 100000);
    rays->setValue(defaults.raysPerCell);
    form->addRow(QStringLiteral("Rays per surface cell"), rays);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    for (QDoubleSpinBox* box : {etchRateBox, etchTimeBox, passivationRateBox, passivationTimeBox})
        connect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
                &BoschDrieDialog::showDepths);
    connect(byRateBox, &QCheckBox::toggled, this, &BoschDrieDialog::showDepths);
    showDepths();
}

void BoschDrieDialog::showDepths() {
    const bool rated = byRate();
    etchDepth->setEnabled(!rated);
    passivation->setEnabled(!rated);
    for (QDoubleSpinBox* box : {etchRateBox, etchTimeBox, passivationRateBox, passivationTimeBox})
        box->setEnabled(rated);
    comesTo->setVisible(rated);
    comesTo->setText(QStringLiteral("Per cycle: etch %1 µm, film %2 µm")
                         .arg(etchRate() * etchTime(), 0, 'g', 4)
                         .arg(passivationRate() * passivationTime(), 0, 'g', 4));
}

bool BoschDrieDialog::byRate() const {
    return byRateBox->isChecked();
}
double BoschDrieDialog::etchRate() const {
    return etchRateBox->value();
}
double BoschDrieDialog::etchTime() const {
    return etchTimeBox->value();
}
double BoschDrieDialog::passivationRate() const {
    return passivationRateBox->value();
}
double BoschDrieDialog::passivationTime() const {
    return passivationTimeBox->value();
}

BoschRecipe BoschDrieDialog::recipe() const {
    BoschRecipe recipe;
    recipe.material = std::uint32_t(selectedMaterialId(material));
    recipe.cycles = cycles->value();
    recipe.etchDepthPerCycle = byRate() ? etchRate() * etchTime() : etchDepth->value();
    recipe.passivationThickness =
        byRate() ? passivationRate() * passivationTime() : passivation->value();
    recipe.isotropy = isotropy->value();
    recipe.stripPassivation = strip->isChecked();
    recipe.periodicSides = periodic->isChecked();
    recipe.raysPerCell = rays->value();
    return recipe;
}

} // namespace Ui::Operations
