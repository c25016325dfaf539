#include "Core/Operations/runsnapshots.h"

#include <map>
#include <mutex>

namespace Core::Operations {

int RunSnapshots::nextInstance(const QString& stateKey) {
    static std::mutex lock;
    static std::map<QString, int> counters;
    std::lock_guard<std::mutex> guard(lock);
    return counters[stateKey]++;
}

RunSnapshots::RunSnapshots(const QString& stateKey, OperationContext& context)
    : helper(stateKey, nextInstance(stateKey), context) {}

void RunSnapshots::record(Model::Automaton::TotalVolume& volume,
                          const std::function<void()>& engine) {
    recordedBefore = helper.recordBefore(volume);
    recordedBoth = false;
    engine();
    recordedBoth = helper.recordAfter(volume) && recordedBefore;
}

bool RunSnapshots::rollBack(Model::Automaton::TotalVolume& volume) {
    return recordedBefore && helper.undo(volume);
}

bool RunSnapshots::undo(Model::Automaton::TotalVolume& volume) {
    return recordedBoth && helper.undo(volume);
}

bool RunSnapshots::redo(Model::Automaton::TotalVolume& volume) {
    return recordedBoth && helper.redo(volume);
}

QString RunSnapshots::lostMessage() {
    return QStringLiteral(": The cells could not be restored because the undo snapshot files "
                          "could not be written.");
}

} // namespace Core::Operations
