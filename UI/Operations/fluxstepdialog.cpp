#include "UI/Operations/fluxstepdialog.h"

#include "UI/Operations/materialcombobox.h"
#include "UI/Operations/ratetimefields.h"
#include "ui_fluxstepdialog.h"

#include <QCheckBox>
#include <QComboBox>

namespace Ui::Operations {

using Core::Operations::FluxStepRecipe;

FluxStepDialog::FluxStepDialog(FluxStepRecipe::Kind kind, QWidget* parent)
    : QDialog(parent), kind(kind), form(std::make_unique<Ui::FluxStepForm>()) {
    form->setupUi(this);
    const bool etching = kind == FluxStepRecipe::Kind::Etching;
    // The etch reads the other materials' rates from the isotropic etch's table.
    const QString table = etching ? QStringLiteral("Isotropic Etching") : QString();
    setWindowTitle(etching ? QStringLiteral("Flux Etching") : QStringLiteral("Flux Deposition"));
    fillMaterialCombo(
        form->cbxMaterial,
        compatibleMaterials(etching ? QStringLiteral("Isotropic Etching") : QStringLiteral("CVD")));
    rateFields = new RateTimeFields(table, this);
    form->verticalLayout->insertWidget(1, rateFields);
    if (etching) {
        // An etch always goes by rate and time.
        auto* byRateBox = rateFields->findChild<QCheckBox*>(QStringLiteral("chkByRate"));
        byRateBox->setChecked(true);
        byRateBox->setEnabled(false);
        form->lblThickness->hide();
        form->dblThickness->hide();
    } else {
        form->lblExponent->setText(QStringLiteral("Source exponent"));
        form->dblExponent->setValue(1.0);
        form->lblSticking->setText(QStringLiteral("Sticking probability"));
        form->dblSticking->setValue(1.0);
        form->lblIonShare->hide();
        form->dblIonShare->hide();
        connect(rateFields, &RateTimeFields::byRateChanged, form->dblThickness,
                &QWidget::setDisabled);
    }
    connect(form->cbxMaterial, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this] { rateFields->setMaterial(selectedMaterialId(form->cbxMaterial)); });
    rateFields->setMaterial(selectedMaterialId(form->cbxMaterial));
}

FluxStepDialog::~FluxStepDialog() = default;

bool FluxStepDialog::byRate() const {
    return rateFields->byRate();
}

FluxStepRecipe FluxStepDialog::recipe() const {
    FluxStepRecipe recipe;
    recipe.kind = kind;
    const int material = selectedMaterialId(form->cbxMaterial);
    recipe.material = std::uint32_t(material);
    if (const auto rate = rateFields->recipe(material)) {
        recipe.rate = rate->rate;
        recipe.time = rate->time;
        if (kind == FluxStepRecipe::Kind::Etching)
            recipe.otherRates = rate->otherRates;
    } else {
        recipe.rate = 1.0;
        recipe.time = form->dblThickness->value();
    }
    if (kind == FluxStepRecipe::Kind::Etching) {
        recipe.ionExponent = form->dblExponent->value();
        recipe.neutralSticking = form->dblSticking->value();
        recipe.ionShare = form->dblIonShare->value();
    } else {
        recipe.sourceExponent = form->dblExponent->value();
        recipe.sticking = form->dblSticking->value();
    }
    recipe.raysPerCell = form->spbRays->value();
    recipe.periodicSides = form->chkPeriodic->isChecked();
    return recipe;
}

} // namespace Ui::Operations
