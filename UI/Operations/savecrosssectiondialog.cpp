#include "UI/Operations/savecrosssectiondialog.h"

#include "ui_savecrosssectiondialog.h"

#include <QFileInfo>
#include <QPushButton>

#include <cmath>

namespace Ui::Operations {

SaveCrossSectionDialog::SaveCrossSectionDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::SaveCrossSectionDialogForm>()) {
    form->setupUi(this);
    form->cbxPlaneAxis->setCurrentIndex(1);
    connect(form->cbxPlaneAxis, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &SaveCrossSectionDialog::limitPosition);
    connect(form->lieFileName, &QLineEdit::textChanged, this, &SaveCrossSectionDialog::updateOk);
    connect(form->btnBrowse, &QPushButton::clicked, this, [this] {
        if (!chooser)
            return;
        const QString chosen = chooser();
        if (!chosen.isEmpty())
            form->lieFileName->setText(chosen);
    });
    updateOk();
}

SaveCrossSectionDialog::~SaveCrossSectionDialog() = default;

void SaveCrossSectionDialog::setExtents(const std::array<double, 3>& micrometres) {
    extents = micrometres;
    limitPosition();
}

void SaveCrossSectionDialog::setFileChooser(std::function<QString()> value) {
    chooser = std::move(value);
}

void SaveCrossSectionDialog::limitPosition() {
    const double extent = extents[std::size_t(axis())];
    // A plane on the far face would cut no cell: the last position offered lies just inside.
    const double step = std::pow(10.0, -form->dbxPlanePosition->decimals());
    form->dbxPlanePosition->setMaximum(extent > step ? extent - step : (extent > 0 ? 0 : 1e9));
}

void SaveCrossSectionDialog::updateOk() {
    form->buttonBox->button(QDialogButtonBox::Ok)
        ->setEnabled(!form->lieFileName->text().trimmed().isEmpty());
}

int SaveCrossSectionDialog::axis() const {
    return form->cbxPlaneAxis->currentIndex();
}

void SaveCrossSectionDialog::setAxis(int value) {
    form->cbxPlaneAxis->setCurrentIndex(value);
}

double SaveCrossSectionDialog::position() const {
    return form->dbxPlanePosition->value();
}

void SaveCrossSectionDialog::setPosition(double micrometres) {
    form->dbxPlanePosition->setValue(micrometres);
}

QString SaveCrossSectionDialog::fileName() const {
    const QString name = form->lieFileName->text().trimmed();
    if (name.isEmpty() || !QFileInfo(name).suffix().isEmpty())
        return name;
    return name + QStringLiteral(".png");
}

void SaveCrossSectionDialog::setFileName(const QString& name) {
    form->lieFileName->setText(name);
}

} // namespace Ui::Operations
