#include "UI/Observers/planarizationobserver.h"

#include "UI/Operations/planarizationoptionsdialog.h"

namespace Ui::Observers {

void PlanarizationObserver::update() {
    const auto op = operation();
    if (!op)
        return;
    Ui::Operations::PlanarizationOptionsDialog dialog(parentWidget());
    const auto target = op->getTarget();
    dialog.limitToVolumeHeight(target ? int(target->getSizeZ()) : 0);
    acceptOrCancel(dialog, op, [&] {
        op->setMaximumHeight(dialog.maximumHeight());
        op->setMinimumHeight(dialog.minimumHeight());
    });
}

} // namespace Ui::Observers
