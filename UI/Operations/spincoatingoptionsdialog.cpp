#include "UI/Operations/spincoatingoptionsdialog.h"

#include "Model/Materials/materialfactory.h"
#include "UI/Operations/materialcombobox.h"
#include "ui_spincoatingoptionsdialog.h"

namespace Ui::Operations {

SpinCoatingOptionsDialog::SpinCoatingOptionsDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::SpinCoatingOptionsBaseDialog>()) {
    form->setupUi(this);
    fillMaterialCombo(form->cbxMaterial,
                      Model::Materials::MaterialFactory::getInstance()->getMaterials());
}

SpinCoatingOptionsDialog::~SpinCoatingOptionsDialog() = default;

void SpinCoatingOptionsDialog::limitToVolumeHeight(int sizeZ) {
    form->sbxDepositionHeight->setMaximum(sizeZ);
}

int SpinCoatingOptionsDialog::materialId() const {
    return selectedMaterialId(form->cbxMaterial);
}

int SpinCoatingOptionsDialog::depositionHeight() const {
    return form->sbxDepositionHeight->value();
}

} // namespace Ui::Operations
