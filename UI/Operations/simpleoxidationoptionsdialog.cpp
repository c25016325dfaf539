#include "UI/Operations/simpleoxidationoptionsdialog.h"

#include "ui_simpleoxidationoptionsdialog.h"

namespace Ui::Operations {

SimpleOxidationOptionsDialog::SimpleOxidationOptionsDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::SimpleOxidationOptionsBaseDialog>()) {
    form->setupUi(this);
    connect(form->radOxidationTime, &QRadioButton::toggled, this,
            &SimpleOxidationOptionsDialog::enableModeWidgets);
    enableModeWidgets();
}

SimpleOxidationOptionsDialog::~SimpleOxidationOptionsDialog() = default;

void SimpleOxidationOptionsDialog::enableModeWidgets() {
    const bool time = isTimeMode();
    form->sbxOxideThickness->setEnabled(!time);
    form->sbxOxidationTime->setEnabled(time);
    form->sbxOxidationTemperature->setEnabled(time);
    form->sbxOxidationPressure->setEnabled(time);
}

bool SimpleOxidationOptionsDialog::isTimeMode() const {
    return form->radOxidationTime->isChecked();
}

double SimpleOxidationOptionsDialog::oxideThickness() const {
    return form->sbxOxideThickness->value();
}

double SimpleOxidationOptionsDialog::oxidationTime() const {
    return form->sbxOxidationTime->value();
}

double SimpleOxidationOptionsDialog::temperature() const {
    return form->sbxOxidationTemperature->value();
}

double SimpleOxidationOptionsDialog::pressure() const {
    return form->sbxOxidationPressure->value();
}

double SimpleOxidationOptionsDialog::micronConversion() const {
    return form->sbxMicronConversion->value();
}

void SimpleOxidationOptionsDialog::setMicronConversion(double cellUnitsPerMicron) {
    form->sbxMicronConversion->setValue(cellUnitsPerMicron);
}

} // namespace Ui::Operations
