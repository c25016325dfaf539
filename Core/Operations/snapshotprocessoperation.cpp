#include "Core/Operations/snapshotprocessoperation.h"

#include <map>
#include <mutex>

namespace Core::Operations {

int SnapshotProcessOperation::nextInstance(const QString& stateKey) {
    static std::mutex lock;
    static std::map<QString, int> counters;
    std::lock_guard<std::mutex> guard(lock);
    return counters[stateKey]++;
}

SnapshotProcessOperation::SnapshotProcessOperation(OperationContext& context, const QString& name,
                                                   int id, const QString& stateKey)
    : VolumeProcessOperation(context, name, id),
      snapshots(stateKey, nextInstance(stateKey), context) {}

void SnapshotProcessOperation::end() {
    if (!target || !isReady()) {
        cancel();
        return;
    }
    const QString problem = refusal();
    if (!problem.isEmpty()) {
        message(problem);
        cancel();
        return;
    }
    recorded = snapshots.recordBefore(*target);
    runEngine(*target);
    recorded = snapshots.recordAfter(*target) && recorded;
    finishRun(changesSilicon());
}

int SnapshotProcessOperation::undo() {
    if (target && !(recorded && snapshots.undo(*target)))
        reportLostSnapshot();
    return 1;
}

void SnapshotProcessOperation::redo() {
    if (target && !(recorded && snapshots.redo(*target)))
        reportLostSnapshot();
}

void SnapshotProcessOperation::reportLostSnapshot() const {
    message(QStringLiteral(": The cells could not be restored because the undo snapshot files "
                           "could not be written."));
}

} // namespace Core::Operations
