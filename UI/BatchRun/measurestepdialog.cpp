#include "UI/BatchRun/measurestepdialog.h"

#include "Model/Metrology/measurementquery.h"
#include "ui_measurestepdialog.h"

#include <QFontDatabase>

namespace Ui {

MeasureStepDialog::MeasureStepDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<MeasureStepDialogForm>()) {
    form->setupUi(this);
    form->lblVocabulary->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    form->lblVocabulary->setText(Model::Metrology::MeasurementQuery::vocabulary());
    form->lblProblem->hide();
    connect(form->lieMeasurement, &QLineEdit::textChanged, form->lblProblem, &QWidget::hide);
}

MeasureStepDialog::~MeasureStepDialog() = default;

QString MeasureStepDialog::measurement() const {
    return form->lieMeasurement->text().trimmed();
}

QString MeasureStepDialog::resultName() const {
    return form->lieResultName->text().trimmed();
}

void MeasureStepDialog::accept() {
    QString problem;
    if (!Model::Metrology::MeasurementQuery::parse(measurement(), problem)) {
        form->lblProblem->setText(problem);
        form->lblProblem->show();
        form->lieMeasurement->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace Ui
