#include "UI/Operations/electrodepositiondialog.h"

#include "Model/Materials/materialfactory.h"
#include "UI/Operations/materialcombobox.h"
#include "ui_electrodepositiondialog.h"

namespace Ui::Operations {

ElectrodepositionDialog::ElectrodepositionDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::ElectrodepositionForm>()) {
    form->setupUi(this);
    const auto materials = Model::Materials::MaterialFactory::getInstance()->getMaterials();
    fillMaterialCombo(form->cbxMaterial, materials);
    fillMaterialCombo(form->cbxConductingFilm, materials);
}

ElectrodepositionDialog::~ElectrodepositionDialog() = default;

float ElectrodepositionDialog::thickness() const {
    return float(form->dblFilmThickness->value());
}

int ElectrodepositionDialog::materialId() const {
    return selectedMaterialId(form->cbxMaterial);
}

int ElectrodepositionDialog::conductingMaterialId() const {
    return selectedMaterialId(form->cbxConductingFilm);
}

} // namespace Ui::Operations
