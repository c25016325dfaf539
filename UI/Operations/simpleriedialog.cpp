#include "UI/Operations/simpleriedialog.h"

#include "Model/Materials/materialfactory.h"
#include "UI/Operations/materialcombobox.h"
#include "UI/Operations/ratetimefields.h"
#include "UI/dialogmemory.h"
#include "ui_simpleriedialog.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSignalBlocker>
#include <QSpinBox>

#include <cmath>

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

    // Cells and µm are one value: either field sets the other, and a rate and time set both.
    form->dbxEtchDepthMicrometres->setVisible(false);
    form->dbxEtchDepthMicrometres->setProperty(DialogMemory::derivedProperty, true);
    connect(rateFields, &RateTimeFields::byRateChanged, form->dbxEtchDepthMicrometres,
            &QWidget::setDisabled);
    connect(form->sbxEtchDepth, qOverload<int>(&QSpinBox::valueChanged), this,
            [this] { showMicrometres(); });
    connect(form->dbxEtchDepthMicrometres, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            [this](double micrometres) {
                if (cellHeight > 0.0)
                    form->sbxEtchDepth->setValue(int(std::lround(micrometres / cellHeight)));
                showMicrometres();
            });
    connect(rateFields, &RateTimeFields::lengthChanged, this, [this](double micrometres) {
        if (cellHeight > 0.0)
            form->sbxEtchDepth->setValue(int(std::lround(micrometres / cellHeight)));
    });
}

void SimpleRIEDialog::setCellHeight(double micrometres) {
    cellHeight = micrometres;
    form->dbxEtchDepthMicrometres->setVisible(cellHeight > 0.0);
    showMicrometres();
}

void SimpleRIEDialog::showMicrometres() {
    if (cellHeight <= 0.0)
        return;
    const QSignalBlocker quiet(form->dbxEtchDepthMicrometres);
    form->dbxEtchDepthMicrometres->setValue(form->sbxEtchDepth->value() * cellHeight);
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
