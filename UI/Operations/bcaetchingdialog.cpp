#include "UI/Operations/bcaetchingdialog.h"

#include "ui_bcaetchingdialog.h"

#include <QPushButton>

namespace Ui::Operations {

using Core::Operations::KohRecipe;

BCAEtchingDialog::BCAEtchingDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::BCAEtchingBaseDialog>()) {
    form->setupUi(this);
    const auto changed = [this] { showRecipe(); };
    connect(form->chkKohRecipe, &QCheckBox::toggled, this, changed);
    connect(form->cbxEtchant, qOverload<int>(&QComboBox::currentIndexChanged), this, changed);
    for (QDoubleSpinBox* box : {form->dbxConcentration, form->dbxTemperature, form->dbxTime})
        connect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this, changed);
    showRecipe();
}

BCAEtchingDialog::~BCAEtchingDialog() = default;

double BCAEtchingDialog::depth() const {
    return form->dbxEtchDepth->value();
}

void BCAEtchingDialog::setDepth(double value) {
    form->dbxEtchDepth->setValue(value);
}

KohRecipe BCAEtchingDialog::recipeShown() const {
    KohRecipe shown{form->dbxConcentration->value(), form->dbxTemperature->value(),
                    form->dbxTime->value()};
    // The first entry names no etchant; the others by their text.
    Core::Operations::Etchant etchant = Core::Operations::Etchant::Koh;
    if (form->cbxEtchant->currentIndex() > 0 &&
        Core::Operations::etchantFromName(form->cbxEtchant->currentText(), etchant))
        shown.etchant = etchant;
    return shown;
}

std::optional<KohRecipe> BCAEtchingDialog::recipe() const {
    if (!form->chkKohRecipe->isChecked())
        return std::nullopt;
    return recipeShown();
}

void BCAEtchingDialog::setRecipe(const KohRecipe& value) {
    form->dbxConcentration->setValue(value.concentration);
    form->dbxTemperature->setValue(value.temperature);
    form->dbxTime->setValue(value.time);
    form->cbxEtchant->setCurrentIndex(
        value.etchant ? form->cbxEtchant->findText(Core::Operations::etchantName(*value.etchant))
                      : 0);
    form->chkKohRecipe->setChecked(true);
}

bool BCAEtchingDialog::periodicSides() const {
    return form->chkPeriodicSides->isChecked();
}

Core::Operations::EtchSide BCAEtchingDialog::etchSide() const {
    Core::Operations::EtchSide side = Core::Operations::EtchSide::Top;
    Core::Operations::etchSideFromName(form->cbxEtchSide->currentText(), side);
    return side;
}

void BCAEtchingDialog::setEtchSide(Core::Operations::EtchSide value) {
    form->cbxEtchSide->setCurrentText(Core::Operations::etchSideName(value));
}

void BCAEtchingDialog::showRecipe() {
    const bool byRecipe = form->chkKohRecipe->isChecked();
    for (QWidget* widget : std::initializer_list<QWidget*>{
             form->dbxConcentration, form->dbxTemperature, form->dbxTime, form->lblConcentration,
             form->lblTemperature, form->lblTime, form->lblRecipeDepth, form->cbxEtchant,
             form->lblEtchant})
        widget->setEnabled(byRecipe);
    form->dbxEtchDepth->setEnabled(!byRecipe);
    form->lblEtchDepth->setEnabled(!byRecipe);
    const KohRecipe shown = recipeShown();
    form->lblConcentration->setText(QStringLiteral("%1 concentration")
                                        .arg(Core::Operations::etchantName(shown.etchant.value_or(
                                            Core::Operations::Etchant::Koh))));
    const QString refusal = shown.refusal();
    if (refusal.isEmpty())
        form->lblRecipeDepth->setText(
            QStringLiteral("(100) %1 µm/min, (110) %2 µm/min: %3 on a (100) wafer")
                .arg(QString::number(shown.rate100(), 'f', 3),
                     QString::number(shown.rate110(), 'f', 3), shown.depthText()));
    else
        form->lblRecipeDepth->setText(refusal);
    form->lblRecipeDepth->setStyleSheet(
        refusal.isEmpty() || !byRecipe ? QString() : QStringLiteral("color: #b00000;"));
    form->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(!byRecipe || refusal.isEmpty());
}

void BCAEtchingDialog::runFor(
    const std::shared_ptr<Core::Operations::SiWetEtchOperation>& operation, QWidget* parent,
    const std::function<int(QDialog&)>& show) {
    if (!operation)
        return;
    BCAEtchingDialog dialog(parent);
    if ((show ? show(dialog) : dialog.exec()) != QDialog::Accepted) {
        operation->cancel();
        return;
    }
    if (const auto recipe = dialog.recipe())
        operation->setRecipe(recipe);
    else
        operation->setDepth(dialog.depth());
    operation->setSides(dialog.periodicSides() ? Core::Operations::WetEtchSides::Periodic
                                               : Core::Operations::WetEtchSides::Closed);
    operation->setEtchSide(dialog.etchSide());
    operation->end();
}

} // namespace Ui::Operations
