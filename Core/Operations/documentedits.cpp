#include "Core/Operations/documentedits.h"

#include "Core/Operations/operationcontext.h"

namespace Core::Operations::DocumentEdits {

void add(OperationContext& context, const Model::ObjectPtr& object) {
    context.document->addObject(object);
}

void remove(OperationContext& context, const Model::ObjectPtr& object) {
    if (object->isSelected())
        context.selection.toggle(object);
    context.document->removeObject(object);
}

std::shared_ptr<Model::Automaton::TotalVolume>
firstSelectedVolume(const OperationContext& context, const Model::Automaton::TotalVolume* other) {
    for (const auto& object : context.selection.getSelectedObjects()) {
        auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(object);
        if (volume && volume.get() != other)
            return volume;
    }
    return nullptr;
}

std::shared_ptr<Model::Automaton::TotalVolume> takeSelectedVolume(OperationContext& context,
                                                                  Operation& operation,
                                                                  const QString& prompt,
                                                                  const QString& taken) {
    auto volume = firstSelectedVolume(context);
    if (!volume) {
        context.consoleInput.writeMessage(prompt);
        context.consoleInput.requestEnter(operation);
        context.selection.setSelectionMode(true);
        return nullptr;
    }
    context.selection.clearSelection();
    context.selection.setSelectionMode(false);
    context.notifyUpdateObservers();
    context.consoleInput.writeMessage(taken);
    return volume;
}

void openDialog(Operation& operation, const std::shared_ptr<Util::IObserver>& observer) {
    const OperationPtr keepAlive = operation.weak_from_this().lock();
    if (observer)
        observer->update();
}

void dropIfCurrent(OperationContext& context, const Operation& operation) {
    if (context.currentOperation.get() == &operation)
        context.host.cancelCurrentOperation();
}

} // namespace Core::Operations::DocumentEdits
