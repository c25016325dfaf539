#include "UI/Operations/extractmodeldialog.h"

#include "Core/Operations/Document/runmodelextraction.h"
#include "ui_extractmodeldialog.h"

#include <QPushButton>

namespace Ui::Operations {

ExtractModelDialog::ExtractModelDialog(
    QWidget* parent, std::shared_ptr<Core::Operations::RunModelExtraction> operation)
    : QDialog(parent), form(std::make_unique<Ui::ExtractModelForm>()),
      operation(std::move(operation)) {
    form->setupUi(this);
    connect(form->btnRunStepOne, &QPushButton::clicked, this,
            &ExtractModelDialog::runStepOneClicked);
    connect(form->btnRunStepTwo, &QPushButton::clicked, this,
            &ExtractModelDialog::runStepTwoClicked);
    connect(form->btnRunStepThree, &QPushButton::clicked, this,
            &ExtractModelDialog::runStepThreeClicked);
    // However the dialog goes away (its close button, Escape), the extraction ends with it.
    connect(this, &QDialog::finished, this, [this] { this->operation->end(); });
}

ExtractModelDialog::~ExtractModelDialog() = default;

void ExtractModelDialog::runStepOneClicked() {
    if (!operation->stepOne())
        return;
    form->btnRunStepOne->setEnabled(false);
    form->btnRunStepTwo->setEnabled(true);
}

void ExtractModelDialog::runStepTwoClicked() {
    if (!operation->stepTwo())
        return;
    form->btnRunStepTwo->setEnabled(false);
    form->btnRunStepThree->setEnabled(true);
}

void ExtractModelDialog::runStepThreeClicked() {
    operation->saveNetlist(operation->stepThree());
}

} // namespace Ui::Operations
