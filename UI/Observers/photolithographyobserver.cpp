#include "UI/Observers/photolithographyobserver.h"

#include "UI/Operations/photolithographydialog.h"

namespace Ui::Observers {

using Model::Automaton::PhotoMask;
using Ui::Operations::PhotolithographyDialog;

void PhotolithographyObserver::update() {
    const auto op = operation();
    if (!op)
        return;
    PhotolithographyDialog dialog(op->getPrompts(), parentWidget());
    QObject::connect(
        &dialog, &PhotolithographyDialog::topMaskChanged,
        [&op](const PhotoMask& mask) { op->setTopMask(mask.bits, mask.width, mask.height); });
    QObject::connect(
        &dialog, &PhotolithographyDialog::bottomMaskChanged,
        [&op](const PhotoMask& mask) { op->setBottomMask(mask.bits, mask.width, mask.height); });
    if (dialog.exec() != QDialog::Accepted) {
        op->cancel();
        return;
    }
    op->setResistMaterialId(dialog.materialId());
    const PhotoMask& bottom = dialog.bottomMask();
    op->setBottomMask(bottom.bits, bottom.width, bottom.height);
    const PhotoMask& top = dialog.topMask();
    op->setTopMask(top.bits, top.width, top.height);
    op->end();
}

} // namespace Ui::Observers
