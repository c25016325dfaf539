#include "UI/Input/changegridspacingdialog.h"

#include "ui_changegridspacingdialog.h"

namespace Ui::Input {

ChangeGridSpacingDialog::ChangeGridSpacingDialog(double spacing, QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::ChangeGridSpacingDialogForm>()) {
    form->setupUi(this);
    setSpacing(spacing);
}

ChangeGridSpacingDialog::~ChangeGridSpacingDialog() = default;

double ChangeGridSpacingDialog::spacing() const {
    return form->dbxSpacing->value();
}

void ChangeGridSpacingDialog::setSpacing(double value) {
    form->dbxSpacing->setValue(value);
}

} // namespace Ui::Input
