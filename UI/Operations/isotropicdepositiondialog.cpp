#include "UI/Operations/isotropicdepositiondialog.h"

#include "UI/Operations/materialcombobox.h"
#include "ui_isotropicdepositiondialog.h"

namespace Ui::Operations {

IsotropicDepositionDialog::IsotropicDepositionDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::IsotropicDepositionForm>()) {
    form->setupUi(this);
    fillMaterialCombo(form->cbxMaterial, compatibleMaterials(QStringLiteral("CVD")));
}

IsotropicDepositionDialog::~IsotropicDepositionDialog() = default;

float IsotropicDepositionDialog::thickness() const {
    return float(form->dblFilmThickness->value());
}

int IsotropicDepositionDialog::materialId() const {
    return selectedMaterialId(form->cbxMaterial);
}

} // namespace Ui::Operations
