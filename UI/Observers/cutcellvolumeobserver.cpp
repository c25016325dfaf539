#include "UI/Observers/cutcellvolumeobserver.h"

#include "UI/Operations/cutcellvolumedialog.h"

namespace Ui::Observers {

void CutCellVolumeObserver::update() {
    // Held here so the operation outlives its dialog whatever becomes current meanwhile.
    const auto op = operation();
    if (!op)
        return;
    Core::Operations::CutCellVolumeOperation::Corner lower;
    Core::Operations::CutCellVolumeOperation::Corner upper;
    op->getCutLimits(lower, upper);
    Operations::CutCellVolumeDialog dialog(lower, upper, op->getVolumeSize(), parentWidget());
    dialog.setPreviewHandler([&op](const auto& previewLower, const auto& previewUpper) {
        op->setCutLimits(previewLower, previewUpper, true);
    });
    if (dialog.exec() == QDialog::Accepted) {
        op->setCutLimits(dialog.lowerLimits(), dialog.upperLimits(), true);
        op->end();
    } else {
        op->setCutLimits(lower, upper, true);
        op->cancel();
    }
}

} // namespace Ui::Observers
