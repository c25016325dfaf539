#include "Core/Operations/volumeprocessoperation.h"

namespace Core::Operations {

VolumeProcessOperation::VolumeProcessOperation(OperationContext& context, const QString& name,
                                               int id)
    : ObjectOperation(name, id), context(context) {}

void VolumeProcessOperation::message(const QString& text) const {
    context.consoleInput.writeMessage(name + text);
}

void askForVolume(OperationContext& context, const QString& name,
                  const std::shared_ptr<Model::Automaton::TotalVolume>& preselect,
                  Operation& asking) {
    bool selected = false;
    for (const auto& object : context.selection.getSelectedObjects())
        selected = selected || std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(object);
    context.selection.setSelectionMode(true);
    if (!selected && preselect) {
        context.selection.toggle(preselect);
        selected = true;
    }
    context.consoleInput.writeMessage(
        name + QStringLiteral(": Select a cell volume and press Enter/Return."));
    if (selected) {
        context.consoleInput.writeMessage(
            name + QStringLiteral(": Enter/Return takes the selected cell volume."));
        context.notifyUpdateObservers();
    }
    context.consoleInput.requestEnter(asking);
}

void VolumeProcessOperation::step() {
    if (target)
        return;
    if (!asked) {
        asked = true;
        askForVolume(context, name, unselectedVolume(), *this);
        return;
    }
    // The last selected cell volume, when several are selected, as the wet etches take it.
    for (const auto& object : context.selection.getSelectedObjects()) {
        if (auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(object))
            target = volume;
    }
    if (!target)
        target = unselectedVolume();
    if (!target) {
        message(QStringLiteral(": Select a cell volume and press Enter/Return."));
        context.consoleInput.requestEnter(*this);
        context.selection.setSelectionMode(true);
        return;
    }
    context.selection.clearSelection();
    context.selection.setSelectionMode(false);
    context.notifyUpdateObservers();
    message(QStringLiteral(": Cell volume selected."));
    // The dialog may finish or cancel this operation, after which the presenter lets go of it.
    const OperationPtr keepAlive = weak_from_this().lock();
    if (observer)
        observer->update();
}

void VolumeProcessOperation::cancel() {
    message(cancelText);
    context.consoleInput.reset();
    context.host.cancelCurrentOperation();
}

void VolumeProcessOperation::finishRun(bool latticeOutOfDate) {
    context.processHistory.recordOperation(target->getId(), unsigned(id));
    if (latticeOutOfDate)
        context.processHistory.setLatticeRebuildNeeded(target->getId(), true);
    context.notifyUpdateObservers();
    message(QStringLiteral(": Operation finished."));
    context.consoleInput.reset();
    context.host.finishCurrentOperation();
}

} // namespace Core::Operations
