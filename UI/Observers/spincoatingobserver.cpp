#include "UI/Observers/spincoatingobserver.h"

#include "UI/Operations/spincoatingoptionsdialog.h"

namespace Ui::Observers {

void SpinCoatingObserver::update() {
    const auto op = operation();
    if (!op)
        return;
    Ui::Operations::SpinCoatingOptionsDialog dialog(parentWidget());
    const auto target = op->getTarget();
    dialog.limitToVolumeHeight(target ? int(target->getSizeZ()) : 0);
    acceptOrCancel(dialog, op, [&] {
        op->setMaterialId(dialog.materialId());
        op->setDepositionHeight(dialog.depositionHeight());
    });
}

} // namespace Ui::Observers
