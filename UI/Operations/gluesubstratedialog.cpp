#include "UI/Operations/gluesubstratedialog.h"

#include "ui_gluesubstratedialog.h"

namespace Ui::Operations {

GlueSubstrateDialog::GlueSubstrateDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::GlueSubstrateForm>()) {
    form->setupUi(this);
}

GlueSubstrateDialog::~GlueSubstrateDialog() = default;

void GlueSubstrateDialog::setMinimumFinalSize(int x, int y, int z) {
    form->sbxFinalX->setMinimum(x);
    form->sbxFinalY->setMinimum(y);
    form->sbxFinalZ->setMinimum(z);
    form->sbxFinalX->setEnabled(false);
    form->sbxFinalY->setEnabled(false);
}

void GlueSubstrateDialog::setFinalSize(int x, int y, int z) {
    form->sbxFinalX->setValue(x);
    form->sbxFinalY->setValue(y);
    form->sbxFinalZ->setValue(z);
}

void GlueSubstrateDialog::setMaximumDisplacement(int x, int y) {
    form->sbxDisplacementX->setMaximum(x);
    form->sbxDisplacementY->setMaximum(y);
}

int GlueSubstrateDialog::finalX() const {
    return form->sbxFinalX->value();
}
int GlueSubstrateDialog::finalY() const {
    return form->sbxFinalY->value();
}
int GlueSubstrateDialog::finalZ() const {
    return form->sbxFinalZ->value();
}
int GlueSubstrateDialog::displacementX() const {
    return form->sbxDisplacementX->value();
}
int GlueSubstrateDialog::displacementY() const {
    return form->sbxDisplacementY->value();
}
bool GlueSubstrateDialog::invert() const {
    return form->chkInvert->isChecked();
}

} // namespace Ui::Operations
