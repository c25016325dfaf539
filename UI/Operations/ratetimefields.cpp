#include "UI/Operations/ratetimefields.h"

#include "Model/Materials/materialfactory.h"
#include "Model/Process/processfactory.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace Ui::Operations {

using Core::Operations::RateRecipe;

RateTimeFields::RateTimeFields(const QString& processName, QWidget* parent) : QWidget(parent) {
    etch = !processName.isEmpty();
    if (etch)
        table =
            Model::Process::ProcessFactory::getInstance()->getProcess(processName).getEtchRates();
    chkByRate = new QCheckBox(QStringLiteral("By rate and time"), this);
    chkByRate->setObjectName(QStringLiteral("chkByRate"));
    dbxRate = new QDoubleSpinBox(this);
    dbxRate->setObjectName(QStringLiteral("dbxRate"));
    dbxRate->setDecimals(4);
    dbxRate->setRange(0.0, 1.0e6);
    dbxRate->setValue(0.1);
    dbxRate->setSuffix(QStringLiteral(" µm/min"));
    dbxTime = new QDoubleSpinBox(this);
    dbxTime->setObjectName(QStringLiteral("dbxTime"));
    dbxTime->setDecimals(2);
    dbxTime->setRange(0.0, 1.0e6);
    dbxTime->setValue(10.0);
    dbxTime->setSuffix(QStringLiteral(" min"));
    lblResult = new QLabel(this);
    lblResult->setObjectName(QStringLiteral("lblRateResult"));
    lblResult->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Rate"), dbxRate);
    form->addRow(QStringLiteral("Time"), dbxTime);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(chkByRate);
    layout->addLayout(form);
    layout->addWidget(lblResult);

    connect(chkByRate, &QCheckBox::toggled, this, [this](bool on) {
        refresh();
        emit byRateChanged(on);
    });
    for (QDoubleSpinBox* box : {dbxRate, dbxTime})
        connect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this, [this] { refresh(); });
    refresh();
}

bool RateTimeFields::byRate() const {
    return chkByRate->isChecked();
}

std::optional<RateRecipe> RateTimeFields::recipe(int materialId) const {
    if (!byRate())
        return std::nullopt;
    RateRecipe recipe;
    recipe.rate = dbxRate->value();
    recipe.time = dbxTime->value();
    recipe.otherRates = table;
    recipe.otherRates.erase(std::uint32_t(materialId));
    return recipe;
}

void RateTimeFields::setMaterial(int materialId) {
    material = materialId;
    const auto found = table.find(std::uint32_t(materialId));
    if (found != table.end())
        dbxRate->setValue(found->second);
    refresh();
}

void RateTimeFields::refresh() {
    const bool on = byRate();
    dbxRate->setEnabled(on);
    dbxTime->setEnabled(on);
    lblResult->setEnabled(on);
    const double time = dbxTime->value();
    if (on)
        emit lengthChanged(dbxRate->value() * time);
    QString text = QStringLiteral("≈ ") + RateRecipe::lengthText(dbxRate->value() * time, time);
    QStringList others;
    const auto registry = Model::Materials::MaterialFactory::getInstance();
    for (const auto& [id, rate] : table)
        if (int(id) != material && rate > 0.0)
            others << QStringLiteral("%1 %2 µm")
                          .arg(registry->getMaterial(id).getName(),
                               QString::number(rate * time, 'g', 3));
    if (!others.isEmpty())
        text += QStringLiteral("; meanwhile ") + others.join(QStringLiteral(", "));
    else if (etch)
        text += QStringLiteral("; no other material etches (no rates in processes.xml)");
    lblResult->setText(text);
}

} // namespace Ui::Operations
