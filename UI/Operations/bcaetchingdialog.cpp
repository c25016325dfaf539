#include "UI/Operations/bcaetchingdialog.h"

#include "ui_bcaetchingdialog.h"

namespace Ui::Operations {

BCAEtchingDialog::BCAEtchingDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::BCAEtchingBaseDialog>()) {
    form->setupUi(this);
}

BCAEtchingDialog::~BCAEtchingDialog() = default;

double BCAEtchingDialog::depth() const {
    return form->dbxEtchDepth->value();
}

void BCAEtchingDialog::setDepth(double value) {
    form->dbxEtchDepth->setValue(value);
}

void BCAEtchingDialog::runFor(
    const std::shared_ptr<Core::Operations::SiWetEtchOperation>& operation, QWidget* parent) {
    if (!operation)
        return;
    BCAEtchingDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) {
        operation->cancel();
        return;
    }
    operation->setDepth(dialog.depth());
    operation->end();
}

} // namespace Ui::Operations
