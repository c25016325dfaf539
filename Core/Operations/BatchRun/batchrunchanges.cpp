#include "Core/Operations/BatchRun/batchrunchanges.h"

#include "Core/Operations/Undo/runsnapshots.h"
#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/totalvolume.h"

#include <algorithm>

namespace Core::Operations {

namespace {
const QString stateKey = QStringLiteral("BatchRun");
} // namespace

BatchRunChanges::BatchRunChanges(OperationContext& context,
                                 std::shared_ptr<Model::Automaton::TotalVolume> volume)
    : ObjectOperation(QStringLiteral("Batch Run"), 24), context(context), volume(std::move(volume)),
      snapshots(stateKey, RunSnapshots::nextInstance(stateKey), context),
      objectsBefore(context.document->getObjects()) {}

bool BatchRunChanges::aboutToRun() {
    if (ran)
        return true;
    if (volume) {
        QString problem;
        recordedBefore = snapshots.recordBefore(*volume, &problem);
        if (!recordedBefore &&
            !context.prompts.confirm(RunSnapshots::withoutUndoTitle(),
                                     RunSnapshots::withoutUndoQuestion(name, problem))) {
            context.consoleInput.writeMessage(
                name + RunSnapshots::stopMessage(RunSnapshots::Outcome::NotRecorded, problem));
            return false;
        }
        lastBefore = context.processHistory.lastOperation(volume->getId());
    }
    ran = true;
    return true;
}

bool BatchRunChanges::finish() {
    if (!ran)
        return false;
    for (const Model::ObjectPtr& object : context.document->getObjects())
        if (std::find(objectsBefore.begin(), objectsBefore.end(), object) == objectsBefore.end())
            created.push_back(object);
    objectsBefore.clear();
    if (volume && recordedBefore) {
        QString problem;
        recordedBoth = snapshots.recordAfter(*volume, &problem);
        if (!recordedBoth)
            context.consoleInput.writeMessage(
                QStringLiteral("%1: These runs cannot be undone: %2.").arg(name, problem));
    }
    if (volume)
        snapshots.forgetBefore();
    if (volume)
        lastAfter = context.processHistory.lastOperation(volume->getId());
    return true;
}

int BatchRunChanges::undo() {
    if (volume) {
        if (!(recordedBoth && snapshots.undo(*volume))) {
            context.consoleInput.writeMessage(name + RunSnapshots::lostMessage());
            return 0;
        }
        context.processHistory.recordOperation(volume->getId(), lastBefore);
    }
    for (const Model::ObjectPtr& object : created) {
        // A volume that leaves the document must not stay selected.
        if (object->isSelected())
            context.selection.toggle(object);
        context.document->removeObject(object);
    }
    context.notifyUpdateObservers();
    return 1;
}

bool BatchRunChanges::redo() {
    if (volume) {
        if (!(recordedBoth && snapshots.redo(*volume))) {
            context.consoleInput.writeMessage(name + RunSnapshots::lostMessage());
            return false;
        }
        context.processHistory.recordOperation(volume->getId(), lastAfter);
    }
    for (const Model::ObjectPtr& object : created)
        context.document->addObject(object);
    context.notifyUpdateObservers();
    return true;
}

} // namespace Core::Operations
