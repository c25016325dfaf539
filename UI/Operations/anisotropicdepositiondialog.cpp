#include "UI/Operations/anisotropicdepositiondialog.h"

#include "Model/Process/processfactory.h"
#include "UI/Operations/materialcombobox.h"
#include "ui_anisotropicdepositiondialog.h"

namespace Ui::Operations {

AnisotropicDepositionDialog::AnisotropicDepositionDialog(const QString& processName,
                                                         QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::AnisotropicDepositionBaseDialog>()) {
    form->setupUi(this);
    const auto process = Model::Process::ProcessFactory::getInstance()->getProcess(processName);
    setWindowTitle(process.getName() + QStringLiteral(" Options"));
    fillMaterialCombo(form->cbxMaterial, process.getCompatibleMaterials());
}

AnisotropicDepositionDialog::~AnisotropicDepositionDialog() = default;

float AnisotropicDepositionDialog::thickness() const {
    return float(form->dblFilmThickness->value());
}

int AnisotropicDepositionDialog::materialId() const {
    return selectedMaterialId(form->cbxMaterial);
}

float AnisotropicDepositionDialog::horizontalRatio() const {
    return float(form->dblHorizontalRatio->value());
}

int AnisotropicDepositionDialog::depositOnMode() const {
    if (form->radDepositOnBottom->isChecked())
        return 2;
    if (form->radDepositOnBothSides->isChecked())
        return 3;
    return 1;
}

} // namespace Ui::Operations
