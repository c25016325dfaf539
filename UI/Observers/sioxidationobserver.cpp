#include "UI/Observers/sioxidationobserver.h"

#include "UI/Operations/simpleoxidationoptionsdialog.h"

namespace Ui::Observers {

void SiOxidationObserver::update() {
    const auto op = operation();
    if (!op)
        return;
    Ui::Operations::SimpleOxidationOptionsDialog dialog(parentWidget());
    if (const auto volume = op->getTarget())
        dialog.setMicronConversion(
            Core::Operations::SimpleSiOxidationOperation::cellUnitsPerMicronOf(*volume));
    if (execDialog(dialog) != QDialog::Accepted)
        return;
    op->setMicronConversion(dialog.micronConversion());
    if (dialog.isTimeMode()) {
        op->setOxidationTime(dialog.oxidationTime());
        op->setOxidationPressure(dialog.pressure());
        op->setOxidationTemperature(dialog.temperature());
    } else {
        op->setOxideThickness(dialog.oxideThickness());
    }
    op->end();
}

} // namespace Ui::Observers
