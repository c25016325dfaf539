#include "UI/Operations/isotropicetchingdialog.h"

#include "Model/Process/processfactory.h"
#include "UI/Operations/materialcombobox.h"
#include "UI/Operations/ratetimefields.h"
#include "ui_isotropicetchingdialog.h"

#include <QComboBox>
#include <QDoubleSpinBox>

namespace Ui::Operations {

IsotropicEtchingDialog::IsotropicEtchingDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::IsotropicEtchingForm>()) {
    form->setupUi(this);
    const auto process = Model::Process::ProcessFactory::getInstance()->getProcess(
        QStringLiteral("Isotropic Etching"));
    setWindowTitle(process.getName() + QStringLiteral(" Options"));
    fillMaterialCombo(form->cbxMaterial, process.getCompatibleMaterials());
    rateFields = new RateTimeFields(QStringLiteral("Isotropic Etching"), this);
    form->verticalLayout->insertWidget(1, rateFields);
    connect(rateFields, &RateTimeFields::byRateChanged, form->dblEtchDepth, &QWidget::setDisabled);
    connect(rateFields, &RateTimeFields::lengthChanged, form->dblEtchDepth,
            &QDoubleSpinBox::setValue);
    connect(form->cbxMaterial, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this] { rateFields->setMaterial(materialId()); });
    rateFields->setMaterial(materialId());
}

IsotropicEtchingDialog::~IsotropicEtchingDialog() = default;

float IsotropicEtchingDialog::depth() const {
    return float(form->dblEtchDepth->value());
}

int IsotropicEtchingDialog::materialId() const {
    return selectedMaterialId(form->cbxMaterial);
}

std::optional<Core::Operations::RateRecipe> IsotropicEtchingDialog::rate() const {
    return rateFields->recipe(materialId());
}

} // namespace Ui::Operations
