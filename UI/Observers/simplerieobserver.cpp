#include "UI/Observers/simplerieobserver.h"

#include "UI/Operations/simpleriedialog.h"

namespace Ui::Observers {

void SimpleRIEObserver::update() {
    const auto op = operation();
    if (!op)
        return;
    Ui::Operations::SimpleRIEDialog dialog(parentWidget());
    if (dialog.exec() != QDialog::Accepted) {
        op->cancel();
        return;
    }
    op->setDepth(dialog.depth());
    op->setMaterial(dialog.materialId());
    op->setEtchFromBelow(dialog.etchFromBelow());
    op->setEtchFromTop(dialog.etchFromTop());
    op->end();
}

} // namespace Ui::Observers
