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
    // The view would go on showing the masks until something else repaints it.
    context.notifyUpdateObservers();
}

QString PhotolithographyOperation::maskRefusal(const Model::Automaton::TotalVolume& volume,
                                               const QString& side, unsigned width,
                                               unsigned height) {
    if ((width == 0 && height == 0) || (width == volume.getSizeX() && height == volume.getSizeY()))
        return QString();
    return QStringLiteral("The %1 mask is %2 x %3 pixels, but the cell volume has %4 x %5 "
                          "columns; a mask needs one pixel per column.")
        .arg(side)
        .arg(width)
        .arg(height)
        .arg(volume.getSizeX())
        .arg(volume.getSizeY());
}

QString PhotolithographyOperation::refusal() const {
    QString problem = maskRefusal(*target, QStringLiteral("top"), topMask.width, topMask.height);
    if (problem.isEmpty())
        problem =
            maskRefusal(*target, QStringLiteral("bottom"), bottomMask.width, bottomMask.height);
    return problem;
}

void PhotolithographyOperation::end() {
    // The console line alone is easily missed by someone who just closed the dialog.
    if (target && isReady())
        if (const QString problem = refusal(); !problem.isEmpty())
            context.prompts.showMessage(IUserPrompts::Icon::Warning, name, problem);
    SnapshotProcessOperation::end();
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
