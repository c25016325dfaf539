#include "UI/Observers/dopingobservers.h"

#include "UI/Operations/dopingoptionsdialog.h"
#include "UI/Operations/ionimplantationoptionsdialog.h"

namespace Ui::Observers {

void DopingOptionsObserver::update() {
    const auto op = operation();
    if (!op)
        return;
    Ui::Operations::DopingOptionsDialog dialog(parentWidget());
    if (execDialog(dialog) != QDialog::Accepted)
        return;
    op->setDepth(dialog.depth());
    op->setDopedMaterialId(dialog.dopedMaterialId());
    op->setConcentration(dialog.concentration());
    op->end();
}

void IonImplantationOptionsObserver::update() {
    const auto op = operation();
    if (!op)
        return;
    Ui::Operations::IonImplantationOptionsDialog dialog(parentWidget());
    if (execDialog(dialog) != QDialog::Accepted)
        return;
    op->setAnnealingDistance(dialog.annealingDistance());
    op->setImplantationDepth(dialog.implantationDepth());
    op->setDopedMaterialId(dialog.dopedMaterialId());
    op->end();
}

} // namespace Ui::Observers
