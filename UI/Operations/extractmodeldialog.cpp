#include "UI/Operations/extractmodeldialog.h"

#include "Core/Operations/Document/runmodelextraction.h"
#include "ui_extractmodeldialog.h"

#include "Model/ModelExtraction/mechanicsreport.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace Ui::Operations {

ExtractModelDialog::ExtractModelDialog(
    QWidget* parent, std::shared_ptr<Core::Operations::RunModelExtraction> operation)
    : QDialog(parent), form(std::make_unique<Ui::ExtractModelForm>()),
      operation(std::move(operation)) {
    form->setupUi(this);
    mechanics = new QTableWidget(this);
    mechanics->setObjectName(QStringLiteral("tblMechanics"));
    mechanics->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mechanics->setColumnCount(13);
    mechanics->setHorizontalHeaderLabels(
        {tr("Kind"), tr("Material"), tr("Length (µm)"), tr("Width (µm)"), tr("Thickness (µm)"),
         tr("Gap (µm)"), tr("k (N/m)"), tr("f (kHz)"), tr("Peel number"), tr("Detachment (µm)"),
         tr("Sticks"), tr("Tip (µm)"), tr("Pull-in (V)")});
    mechanics->verticalHeader()->setVisible(false);
    mechanics->setVisible(false);
    waferBow = new QLabel(this);
    waferBow->setObjectName(QStringLiteral("lblWaferBow"));
    waferBow->setVisible(false);
    // Above the spacer that closes the layout.
    form->verticalLayout->insertWidget(form->verticalLayout->count() - 1, mechanics);
    form->verticalLayout->insertWidget(form->verticalLayout->count() - 1, waferBow);
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
    showMechanics();
}

void ExtractModelDialog::showMechanics() {
    const auto volume = operation->getVolume();
    if (!volume)
        return;
    const auto report = Model::ModelExtraction::MechanicsReport::of(*volume, {});
    const auto number = [](double value, int digits) {
        return QString::number(value, 'g', digits);
    };
    const auto optional = [&](const std::optional<double>& value, double scale) {
        return value ? number(*value * scale, 4) : QStringLiteral("-");
    };
    mechanics->setRowCount(int(report.beams.size()));
    int row = 0;
    for (const auto& beam : report.beams) {
        const bool cantilever =
            beam.kind == Model::ModelExtraction::Mechanics::Clamping::Cantilever;
        const QStringList cells = {
            cantilever ? tr("cantilever") : tr("clamped-clamped"),
            beam.materialName,
            number(beam.length * 1e6, 4),
            number(beam.width * 1e6, 4),
            number(beam.thickness * 1e6, 4),
            optional(beam.gap, 1e6),
            beam.problem.isEmpty() ? number(beam.stiffness, 4) : beam.problem,
            beam.problem.isEmpty() ? number(beam.resonance / 1e3, 4) : QString(),
            optional(beam.peelNumber, 1.0),
            optional(beam.detachmentLength, 1e6),
            beam.peelNumber ? (beam.sticks ? tr("at risk") : tr("no")) : QStringLiteral("-"),
            number(beam.tipDeflection * 1e6, 3),
            optional(beam.pullInVoltage, 1.0)};
        for (int column = 0; column < cells.size(); ++column)
            mechanics->setItem(row, column, new QTableWidgetItem(cells[column]));
        ++row;
    }
    mechanics->resizeColumnsToContents();
    mechanics->setVisible(!report.beams.empty());
    waferBow->setText(tr("Wafer bow (Stoney, %1 mm wafer): %2 µm")
                          .arg(report.parameters.waferDiameter * 1e3)
                          .arg(number(report.waferBow * 1e6, 4)));
    waferBow->setVisible(true);
    adjustSize();
}

void ExtractModelDialog::runStepThreeClicked() {
    operation->saveNetlist(operation->stepThree());
}

} // namespace Ui::Operations
