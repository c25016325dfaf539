#include "UI/Observers/simplerieobserver.h"

#include "UI/Operations/simpleriedialog.h"

namespace Ui::Observers {

void SimpleRIEObserver::update() {
    const auto op = operation();
    if (!op)
        return;
    Ui::Operations::SimpleRIEDialog dialog(parentWidget());
    if (const auto volume = op->getTarget())
        dialog.setCellHeight(volume->getCellSizeZ() * op->micrometresPerSceneUnit());
    acceptOrCancel(dialog, op, [&] {
        if (const auto rate = dialog.rate())
            op->setRate(*rate);
        else
            op->setDepth(dialog.depth());
        op->setMaterial(dialog.materialId());
        op->setEtchFromBelow(dialog.etchFromBelow());
        op->setEtchFromTop(dialog.etchFromTop());
    });
}

} // namespace Ui::Observers
