#include "Core/Operations/Undo/processhistory.h"

namespace Core::Operations {

void ProcessHistory::recordOperation(int volumeId, unsigned operationNumber) {
    lastOperations[volumeId] = operationNumber;
}

unsigned ProcessHistory::lastOperation(int volumeId) const {
    const auto found = lastOperations.find(volumeId);
    return found == lastOperations.end() ? 0u : found->second;
}

void ProcessHistory::setLatticeRebuildNeeded(int volumeId, bool needed) {
    latticeRebuild[volumeId] = needed;
}

bool ProcessHistory::isLatticeRebuildNeeded(int volumeId) const {
    const auto found = latticeRebuild.find(volumeId);
    return found == latticeRebuild.end() || found->second;
}

void ProcessHistory::clear() {
    lastOperations.clear();
    latticeRebuild.clear();
}

} // namespace Core::Operations
