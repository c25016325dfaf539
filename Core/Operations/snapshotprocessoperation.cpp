#include "Core/Operations/snapshotprocessoperation.h"

namespace Core::Operations {

SnapshotProcessOperation::SnapshotProcessOperation(OperationContext& context, const QString& name,
                                                   int id, const QString& stateKey)
    : VolumeProcessOperation(context, name, id), snapshots(stateKey, context) {}

void SnapshotProcessOperation::end() {
    if (!target || !isReady()) {
        cancel();
        return;
    }
    const QString problem = refusal();
    if (!problem.isEmpty()) {
        message(QStringLiteral(": ") + problem);
        cancel();
        return;
    }
    snapshots.record(*target, [this] { runEngine(*target); });
    finishRun(changesSilicon());
}

int SnapshotProcessOperation::undo() {
    if (target && !snapshots.undo(*target))
        message(RunSnapshots::lostMessage());
    return 1;
}

void SnapshotProcessOperation::redo() {
    if (target && !snapshots.redo(*target))
        message(RunSnapshots::lostMessage());
}

} // namespace Core::Operations
