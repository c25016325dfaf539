#include "Core/Operations/Undo/snapshotprocessoperation.h"

namespace Core::Operations {

SnapshotProcessOperation::SnapshotProcessOperation(OperationContext& context, const QString& name,
                                                   int id, const QString& stateKey)
    : VolumeProcessOperation(context, name, id), snapshots(stateKey, context) {}

void SnapshotProcessOperation::end() {
    if (!target || !isReady()) {
        cancel();
        return;
    }
    QString problem = refusal();
    const std::optional<LengthRequest> length = requestedLength();
    const CellLength cells = CellLength::of(*target, length ? length->microns : 0.0);
    if (problem.isEmpty() && length)
        problem = cells.refusal(length->what);
    if (!problem.isEmpty()) {
        message(QStringLiteral(": ") + problem);
        cancel();
        return;
    }
    // The run may take long enough for the user to go elsewhere; the presenter lets go of a
    // finished or cancelled operation.
    const OperationPtr keepAlive = weak_from_this().lock();
    QString failure;
    const RunSnapshots::Outcome outcome = snapshots.run(
        *target, name,
        [this](Model::Automaton::TotalVolume& volume, Util::ProgressReporter& progress) {
            runEngine(volume, progress);
        },
        &failure);
    if (outcome != RunSnapshots::Outcome::Finished) {
        if (const QString why = RunSnapshots::stopMessage(outcome, failure); !why.isEmpty())
            message(why);
        cancel();
        return;
    }
    if (!snapshots.isUndoable())
        message(snapshots.notUndoableMessage());
    if (length)
        if (const QString note = cells.note(length->done); !note.isEmpty())
            message(QStringLiteral(": ") + note + QLatin1Char('.'));
    afterRun();
    finishRun(changesSilicon());
}

int SnapshotProcessOperation::undo() {
    if (target && !snapshots.undo(*target)) {
        message(RunSnapshots::lostMessage());
        return 0;
    }
    return 1;
}

bool SnapshotProcessOperation::redo() {
    if (target && !snapshots.redo(*target)) {
        message(RunSnapshots::lostMessage());
        return false;
    }
    return true;
}

std::optional<JournalCells> SnapshotProcessOperation::journalCells(bool undone) const {
    if (!target)
        return std::nullopt;
    return snapshots.journalCells(target->getId(), undone);
}

} // namespace Core::Operations
