#include "UI/Observers/gluesubstrateobserver.h"

#include "UI/Operations/gluesubstratedialog.h"

namespace Ui::Observers {

void GlueSubstrateObserver::update() {
    // Held here so the operation outlives its dialog whatever becomes current meanwhile.
    const auto op = operation();
    if (!op)
        return;
    Operations::GlueSubstrateDialog dialog(parentWidget());
    dialog.setMinimumFinalSize(op->getMinimumFinalX(), op->getMinimumFinalY(),
                               op->getMinimumFinalZ());
    dialog.setFinalSize(op->getFinalX(), op->getFinalY(), op->getFinalZ());
    dialog.setMaximumDisplacement(op->getMaximumDisplacementX(), op->getMaximumDisplacementY());
    if (execDialog(dialog) != QDialog::Accepted) {
        // Nothing is printed; the operation only stops holding the two volumes.
        op->cancel();
        return;
    }
    op->setFinalSize(dialog.finalX(), dialog.finalY(), dialog.finalZ());
    op->setDisplacement(dialog.displacementX(), dialog.displacementY());
    op->setInvert(dialog.invert());
    op->end();
}

} // namespace Ui::Observers
