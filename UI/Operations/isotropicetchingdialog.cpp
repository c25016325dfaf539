#include "UI/Operations/isotropicetchingdialog.h"

#include "Model/Process/processfactory.h"
#include "UI/Operations/materialcombobox.h"
#include "ui_isotropicetchingdialog.h"

namespace Ui::Operations {

IsotropicEtchingDialog::IsotropicEtchingDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::IsotropicEtchingForm>()) {
    form->setupUi(this);
    const auto process = Model::Process::ProcessFactory::getInstance()->getProcess(
        QStringLiteral("Isotropic Etching"));
    setWindowTitle(process.getName() + QStringLiteral(" Options"));
    fillMaterialCombo(form->cbxMaterial, process.getCompatibleMaterials());
}

IsotropicEtchingDialog::~IsotropicEtchingDialog() = default;

float IsotropicEtchingDialog::depth() const {
    return float(form->dblEtchDepth->value());
}

int IsotropicEtchingDialog::materialId() const {
    return selectedMaterialId(form->cbxMaterial);
}

} // namespace Ui::Operations
