#include "UI/Operations/extractfilmdialog.h"

#include "UI/Operations/materialcombobox.h"
#include "ui_extractfilmdialog.h"

namespace Ui::Operations {

ExtractFilmDialog::ExtractFilmDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::ExtractFilmForm>()) {
    form->setupUi(this);
}

ExtractFilmDialog::~ExtractFilmDialog() = default;

void ExtractFilmDialog::setFilms(const std::vector<Model::Materials::Material>& materials) {
    fillMaterialCombo(form->cbxMaterial, materials);
}

int ExtractFilmDialog::materialId() const {
    return selectedMaterialId(form->cbxMaterial);
}

bool ExtractFilmDialog::invert() const {
    return form->chkInvert->isChecked();
}

} // namespace Ui::Operations
