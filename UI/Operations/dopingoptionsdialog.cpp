#include "UI/Operations/dopingoptionsdialog.h"

#include "UI/Operations/materialcombobox.h"
#include "ui_dopingoptionsdialog.h"

namespace Ui::Operations {

DopingOptionsDialog::DopingOptionsDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::DopingOptionsBaseDialog>()) {
    form->setupUi(this);
    fillMaterialCombo(form->cbxDopedMaterial, compatibleMaterials(QStringLiteral("Simple Doping")));
}

DopingOptionsDialog::~DopingOptionsDialog() = default;

float DopingOptionsDialog::depth() const {
    return float(form->dblDopingDepth->value());
}

int DopingOptionsDialog::dopedMaterialId() const {
    return selectedMaterialId(form->cbxDopedMaterial);
}

} // namespace Ui::Operations
