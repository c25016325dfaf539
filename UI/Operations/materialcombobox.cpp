#include "UI/Operations/materialcombobox.h"

#include "Model/Process/processfactory.h"

#include <QColor>
#include <QComboBox>
#include <QIcon>
#include <QPixmap>

namespace Ui::Operations {

namespace {

int channel(float value) {
    return int(value * 255.0f);
}

} // namespace

void fillMaterialCombo(QComboBox* combo, const std::vector<Model::Materials::Material>& materials) {
    for (const auto& material : materials) {
        QPixmap swatch(100, 100);
        swatch.fill(QColor(channel(material.getRed()), channel(material.getGreen()),
                           channel(material.getBlue()), channel(material.getAlpha())));
        combo->addItem(QIcon(swatch), material.getName(), int(material.getId()));
    }
}

int selectedMaterialId(const QComboBox* combo) {
    bool ok = false;
    const int id = combo->currentData().toInt(&ok);
    return ok ? id : 0;
}

std::vector<Model::Materials::Material> compatibleMaterials(const QString& processName) {
    return Model::Process::ProcessFactory::getInstance()
        ->getProcess(processName)
        .getCompatibleMaterials();
}

} // namespace Ui::Operations
