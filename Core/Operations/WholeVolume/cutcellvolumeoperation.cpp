#include "Core/Operations/WholeVolume/cutcellvolumeoperation.h"

#include "Core/Operations/Objects/documentedits.h"

#include <algorithm>

namespace Core::Operations {

CutCellVolumeOperation::CutCellVolumeOperation(OperationContext& context)
    : Operation(QStringLiteral("Change Cut Planes"), 16), context(context) {}

void CutCellVolumeOperation::message(const QString& text) const {
    context.consoleInput.writeMessage(name + text);
}

void CutCellVolumeOperation::setTarget(std::shared_ptr<Model::Automaton::TotalVolume> volume) {
    target = std::move(volume);
    counter = target ? WaitingForDialog : WaitingForVolume;
}

void CutCellVolumeOperation::step() {
    if (counter != WaitingForVolume)
        return;
    target = DocumentEdits::takeSelectedVolume(
        context, *this, name + QStringLiteral(": Select a cell volume and press Enter/Return."),
        name + QStringLiteral(": Cell volume selected."));
    if (!target)
        return;
    counter = WaitingForDialog;
    DocumentEdits::openDialog(*this, observer);
}

void CutCellVolumeOperation::getCutLimits(Corner& lower, Corner& upper) const {
    target->getPainter().getCutLimits(lower, upper);
}

CutCellVolumeOperation::Corner CutCellVolumeOperation::getVolumeSize() const {
    return {int(target->getSizeX()), int(target->getSizeY()), int(target->getSizeZ())};
}

void CutCellVolumeOperation::setCutLimits(const Corner& lower, const Corner& upper, bool rebuild) {
    if (!target || counter == Closed)
        return;
    const Corner size = getVolumeSize();
    Corner low;
    Corner high;
    for (std::size_t axis = 0; axis < 3; ++axis) {
        low[axis] = std::clamp(lower[axis], 0, size[axis] - 1);
        high[axis] = std::clamp(upper[axis], low[axis] + 1, size[axis]);
    }
    target->getPainter().setCutLimits(low, high);
    rebuilt = rebuild;
    if (rebuild)
        redraw();
    counter = LimitsSet;
}

void CutCellVolumeOperation::redraw() {
    target->getPainter().rebuild();
    context.notifyUpdateObservers();
}

void CutCellVolumeOperation::end() {
    if (counter == Closed)
        return;
    if (counter != LimitsSet) {
        cancel();
        return;
    }
    counter = Closed;
    if (!rebuilt)
        redraw();
    message(QStringLiteral(": Cut planes changed."));
    context.consoleInput.reset();
    context.host.finishCurrentOperation();
}

void CutCellVolumeOperation::cancel() {
    if (counter == Closed)
        return;
    counter = Closed;
    message(QStringLiteral(": Operation Canceled!"));
    context.consoleInput.reset();
    DocumentEdits::dropIfCurrent(context, *this);
}

} // namespace Core::Operations
