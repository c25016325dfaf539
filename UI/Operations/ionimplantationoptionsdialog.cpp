#include "UI/Operations/ionimplantationoptionsdialog.h"

#include "UI/Operations/materialcombobox.h"
#include "ui_ionimplantationoptionsdialog.h"

namespace Ui::Operations {

IonImplantationOptionsDialog::IonImplantationOptionsDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::IonImplantationOptionsBaseDialog>()) {
    form->setupUi(this);
    fillMaterialCombo(form->cbxDopedMaterial,
                      compatibleMaterials(QStringLiteral("Ion Implantation")));
}

IonImplantationOptionsDialog::~IonImplantationOptionsDialog() = default;

float IonImplantationOptionsDialog::implantationDepth() const {
    return float(form->dblImplantationDepth->value());
}

float IonImplantationOptionsDialog::annealingDistance() const {
    return float(form->dblAnnealingDistance->value());
}

int IonImplantationOptionsDialog::dopedMaterialId() const {
    return selectedMaterialId(form->cbxDopedMaterial);
}

} // namespace Ui::Operations
