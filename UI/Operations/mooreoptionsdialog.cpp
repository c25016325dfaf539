#include "UI/Operations/mooreoptionsdialog.h"

#include "UI/Operations/materialcombobox.h"
#include "ui_mooreoptionsdialog.h"

namespace Ui::Operations {

MooreOptionsDialog::MooreOptionsDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::MooreOptionsBaseDialog>()) {
    form->setupUi(this);
}

MooreOptionsDialog::~MooreOptionsDialog() = default;

void MooreOptionsDialog::setFilms(const std::vector<Model::Materials::Material>& materials) {
    fillMaterialCombo(form->cbxFilm, materials);
}

void MooreOptionsDialog::setValueLabel(const QString& text) {
    form->lblValue->setText(text);
}

int MooreOptionsDialog::steps() const {
    return form->sbxValue->value();
}

int MooreOptionsDialog::materialId() const {
    return selectedMaterialId(form->cbxFilm);
}

} // namespace Ui::Operations
