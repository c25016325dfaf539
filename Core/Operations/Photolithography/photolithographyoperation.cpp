#include "Core/Operations/Photolithography/photolithographyoperation.h"

#include "Core/Operations/Photolithography/photolithography.h"

namespace Core::Operations {

PhotolithographyOperation::PhotolithographyOperation(OperationContext& context)
    : SnapshotProcessOperation(context, QStringLiteral("Photolithography"), number,
                               QStringLiteral("Photolithography")) {
    cancelText = QStringLiteral(": Operation Canceled!");
}

void PhotolithographyOperation::setBottomMask(const std::vector<bool>& bits, unsigned width,
                                              unsigned height) {
    bottomMask = {bits, width, height};
    showMasks();
}

void PhotolithographyOperation::setTopMask(const std::vector<bool>& bits, unsigned width,
                                           unsigned height) {
    topMask = {bits, width, height};
    showMasks();
}

void PhotolithographyOperation::showMasks() {
    if (!target)
        return;
    target->setBottomMask(bottomMask.bits, int(bottomMask.width), int(bottomMask.height));
    target->setTopMask(topMask.bits, int(topMask.width), int(topMask.height));
    context.notifyUpdateObservers();
}

void PhotolithographyOperation::takeMasksOff() {
    if (!target)
        return;
    target->setBottomMask({}, 0, 0);
    target->setTopMask({}, 0, 0);
}

void PhotolithographyOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                          Util::ProgressReporter& progress) {
    Photolithography(volume, resistMaterialId, bottomMask.bits, bottomMask.width, bottomMask.height,
                     topMask.bits, topMask.width, topMask.height)
        .runDevelopment(progress);
}

void PhotolithographyOperation::afterRun() {
    // The view draws the masks, so they come off here on its thread rather than in the run.
    takeMasksOff();
}

void PhotolithographyOperation::cancel() {
    // A mask left on the volume would stay in the view with nothing to apply it.
    takeMasksOff();
    SnapshotProcessOperation::cancel();
}

} // namespace Core::Operations
