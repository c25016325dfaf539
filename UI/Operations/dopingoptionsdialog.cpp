#include "UI/Operations/dopingoptionsdialog.h"

#include "UI/Operations/materialcombobox.h"
#include "ui_dopingoptionsdialog.h"

#include "Core/Operations/SiEtching/boronetchstop.h"

#include <QPushButton>

namespace Ui::Operations {

DopingOptionsDialog::DopingOptionsDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::DopingOptionsBaseDialog>()) {
    form->setupUi(this);
    fillMaterialCombo(form->cbxDopedMaterial, compatibleMaterials(QStringLiteral("Simple Doping")));
    connect(form->chkConcentration, &QCheckBox::toggled, this, [this] { checkConcentration(); });
    connect(form->edtConcentration, &QLineEdit::textChanged, this,
            [this] { checkConcentration(); });
    checkConcentration();
}

void DopingOptionsDialog::checkConcentration() {
    const bool given = form->chkConcentration->isChecked();
    form->edtConcentration->setEnabled(given);
    bool ok = false;
    const double value = form->edtConcentration->text().trimmed().toDouble(&ok);
    const QString refusal =
        !given ? QString()
        : !ok  ? QStringLiteral("The concentration must be a number in cm⁻³, e.g. 1e20.")
               : Core::Operations::BoronEtchStop::refusal(value);
    form->edtConcentration->setToolTip(refusal);
    form->edtConcentration->setStyleSheet(refusal.isEmpty() ? QString()
                                                            : QStringLiteral("color: #b00000;"));
    form->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(refusal.isEmpty());
}

std::optional<double> DopingOptionsDialog::concentration() const {
    if (!form->chkConcentration->isChecked())
        return std::nullopt;
    return form->edtConcentration->text().trimmed().toDouble();
}

DopingOptionsDialog::~DopingOptionsDialog() = default;

float DopingOptionsDialog::depth() const {
    return float(form->dblDopingDepth->value());
}

int DopingOptionsDialog::dopedMaterialId() const {
    return selectedMaterialId(form->cbxDopedMaterial);
}

} // namespace Ui::Operations
