#include "UI/Operations/simpleriedialog.h"

#include "Model/Materials/materialfactory.h"
#include "UI/Operations/materialcombobox.h"
#include "ui_simpleriedialog.h"

namespace Ui::Operations {

SimpleRIEDialog::SimpleRIEDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::SimpleRIEForm>()) {
    form->setupUi(this);
    fillMaterialCombo(form->cbxMaterial,
                      Model::Materials::MaterialFactory::getInstance()->getMaterials());
}

SimpleRIEDialog::~SimpleRIEDialog() = default;

int SimpleRIEDialog::depth() const {
    return form->sbxEtchDepth->value();
}

int SimpleRIEDialog::materialId() const {
    return selectedMaterialId(form->cbxMaterial);
}

bool SimpleRIEDialog::etchFromBelow() const {
    return form->chkEtchFromBelow->isChecked();
}

bool SimpleRIEDialog::etchFromTop() const {
    return form->chkEtchFromTop->isChecked();
}

} // namespace Ui::Operations
