#include "UI/Operations/isotropicdepositiondialog.h"

#include "UI/Operations/materialcombobox.h"
#include "UI/Operations/ratetimefields.h"
#include "ui_isotropicdepositiondialog.h"

#include <QComboBox>
#include <QDoubleSpinBox>

namespace Ui::Operations {

IsotropicDepositionDialog::IsotropicDepositionDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::IsotropicDepositionForm>()) {
    form->setupUi(this);
    fillMaterialCombo(form->cbxMaterial, compatibleMaterials(QStringLiteral("CVD")));
    rateFields = new RateTimeFields(QString(), this);
    form->verticalLayout->insertWidget(1, rateFields);
    connect(rateFields, &RateTimeFields::byRateChanged, form->dblFilmThickness,
            &QWidget::setDisabled);
    connect(rateFields, &RateTimeFields::lengthChanged, form->dblFilmThickness,
            &QDoubleSpinBox::setValue);
    connect(form->cbxMaterial, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this] { rateFields->setMaterial(materialId()); });
    rateFields->setMaterial(materialId());
}

IsotropicDepositionDialog::~IsotropicDepositionDialog() = default;

float IsotropicDepositionDialog::thickness() const {
    return float(form->dblFilmThickness->value());
}

int IsotropicDepositionDialog::materialId() const {
    return selectedMaterialId(form->cbxMaterial);
}

std::optional<Core::Operations::RateRecipe> IsotropicDepositionDialog::rate() const {
    return rateFields->recipe(materialId());
}

} // namespace Ui::Operations
