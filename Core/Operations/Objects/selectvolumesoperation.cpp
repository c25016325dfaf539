#include "Core/Operations/Objects/selectvolumesoperation.h"

// Upward on purpose: choosing the volumes of a batch run is where its undo step begins, and that
// step (BatchRunChanges) belongs with the executor of process records it undoes.
#include "Core/Operations/BatchRun/batchrunchanges.h"

#include <mutex>

namespace Core::Operations {

namespace {

std::mutex observerLock;
std::shared_ptr<Util::IObserver>& observerSlot() {
    static std::shared_ptr<Util::IObserver> slot;
    return slot;
}

} // namespace

SelectVolumesOperation::SelectVolumesOperation(OperationContext& context)
    : Operation(QStringLiteral("Select volumes"), 24), context(context) {}

void SelectVolumesOperation::setObserver(std::shared_ptr<Util::IObserver> value) {
    std::lock_guard<std::mutex> guard(observerLock);
    observerSlot() = std::move(value);
}

std::shared_ptr<Util::IObserver> SelectVolumesOperation::getObserver() {
    std::lock_guard<std::mutex> guard(observerLock);
    return observerSlot();
}

void SelectVolumesOperation::step() {
    if (done)
        return;
    for (const Model::ObjectPtr& object : context.selection.getSelectedObjects()) {
        if (auto chosen = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(object)) {
            volume = chosen;
            break;
        }
    }
    if (volume) {
        context.selection.clearSelection();
        context.selection.setSelectionMode(false);
        context.notifyUpdateObservers();
        context.consoleInput.writeMessage(name + QStringLiteral(": Cell volume selected."));
        done = true;
        end();
        return;
    }
    if (answer.startsWith(QLatin1Char('n'), Qt::CaseInsensitive)) {
        done = true;
        end();
        return;
    }
    context.consoleInput.writeMessage(
        name + QStringLiteral(": Select a cell volume and press Enter/Return. To start without a "
                              "cell volume type N and press Enter/Return."));
    context.consoleInput.requestText(*this, answer);
    context.consoleInput.requestEnter(*this);
    context.selection.setSelectionMode(true);
}

void SelectVolumesOperation::cancel() {
    context.consoleInput.reset();
    context.host.cancelCurrentOperation();
}

void SelectVolumesOperation::end() {
    // The batch run starts once per choice.
    if (!done || ended)
        return;
    ended = true;
    // Keep this operation alive through the observer, which may run a long dialog.
    const OperationPtr self = shared_from_this();
    changes = std::make_shared<BatchRunChanges>(context, volume);
    if (const auto observer = getObserver())
        observer->update();
    context.consoleInput.reset();
    // What the runs changed goes on the undo stack in this operation's place; a dialog
    // closed without a run leaves nothing to undo.
    if (changes->finish())
        context.currentOperation = changes;
    context.host.finishCurrentOperation();
}

} // namespace Core::Operations
