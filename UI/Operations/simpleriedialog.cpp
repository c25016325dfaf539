#include "UI/Operations/simpleriedialog.h"

#include "Model/Materials/materialfactory.h"
#include "UI/Operations/materialcombobox.h"
#include "UI/Operations/ratetimefields.h"
#include "ui_simpleriedialog.h"

#include <QComboBox>

namespace Ui::Operations {

SimpleRIEDialog::SimpleRIEDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::SimpleRIEForm>()) {
    form->setupUi(this);
    fillMaterialCombo(form->cbxMaterial,
                      Model::Materials::MaterialFactory::getInstance()->getMaterials());
    rateFields = new RateTimeFields(QStringLiteral("DRIE"), this);
    form->verticalLayout->insertWidget(1, rateFields);
    connect(rateFields, &RateTimeFields::byRateChanged, form->sbxEtchDepth, &QWidget::setDisabled);
    connect(form->cbxMaterial, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this] { rateFields->setMaterial(materialId()); });
    rateFields->setMaterial(materialId());
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

std::optional<Core::Operations::RateRecipe> SimpleRIEDialog::rate() const {
    return rateFields->recipe(materialId());
}

} // namespace Ui::Operations
