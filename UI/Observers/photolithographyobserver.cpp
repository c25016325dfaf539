#include "UI/Observers/photolithographyobserver.h"

#include "Model/Automaton/totalvolume.h"
#include "UI/Operations/photolithographydialog.h"

namespace Ui::Observers {

using Model::Automaton::PhotoMask;
using Ui::Operations::PhotolithographyDialog;

void PhotolithographyObserver::update() {
    const auto op = operation();
    if (!op)
        return;
    const auto showTop = [&op](const PhotoMask& m) { op->setTopMask(m.bits, m.width, m.height); };
    const auto showBottom = [&op](const PhotoMask& m) {
        op->setBottomMask(m.bits, m.width, m.height);
    };
    PhotolithographyDialog dialog(op->getPrompts(), parentWidget());
    if (const auto volume = op->getTarget())
        dialog.setColumnGrid(Model::Layout::ColumnGrid::of(*volume));
    QObject::connect(&dialog, &PhotolithographyDialog::topMaskChanged, showTop);
    QObject::connect(&dialog, &PhotolithographyDialog::bottomMaskChanged, showBottom);
    acceptOrCancel(dialog, op, [&] {
        op->setResistMaterialId(dialog.materialId());
        showBottom(dialog.bottomMask());
        showTop(dialog.topMask());
    });
}

} // namespace Ui::Observers
