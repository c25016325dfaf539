#include "UI/Operations/planarizationoptionsdialog.h"

#include "ui_planarizationoptionsdialog.h"

namespace Ui::Operations {

PlanarizationOptionsDialog::PlanarizationOptionsDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::PlanarizationOptionsBaseDialog>()) {
    form->setupUi(this);
    connect(form->sbxMaximumHeight, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &PlanarizationOptionsDialog::updateMinimumLimits);
}

PlanarizationOptionsDialog::~PlanarizationOptionsDialog() = default;

void PlanarizationOptionsDialog::limitToVolumeHeight(int sizeZ) {
    form->sbxMaximumHeight->setMaximum(sizeZ);
    form->sbxMinimumHeight->setMaximum(sizeZ);
    form->sbxMaximumHeight->setValue(sizeZ);
}

void PlanarizationOptionsDialog::updateMinimumLimits(int maximumHeight) {
    form->sbxMinimumHeight->setMaximum(maximumHeight);
}

int PlanarizationOptionsDialog::maximumHeight() const {
    return form->sbxMaximumHeight->value();
}

int PlanarizationOptionsDialog::minimumHeight() const {
    return form->sbxMinimumHeight->value();
}

} // namespace Ui::Operations
