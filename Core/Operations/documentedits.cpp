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

std::shared_ptr<Model::Automaton::TotalVolume>
takeSelectedVolume(OperationContext& context, Operation& operation, const QString& prompt) {
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
    return volume;
}

void dropIfCurrent(OperationContext& context, const Operation& operation) {
    if (context.currentOperation.get() == &operation)
        context.host.cancelCurrentOperation();
}

} // namespace Core::Operations::DocumentEdits
