#pragma once

#include <map>

namespace Core::Operations {

// Per cell volume (by object id): the last simulation applied to it, and whether its silicon
// lattice must be rebuilt before the next wet etch. An unknown volume needs a rebuild.
class ProcessHistory {
public:
    void recordOperation(int volumeId, unsigned operationNumber);
    // 0 when nothing has been recorded for the volume.
    unsigned lastOperation(int volumeId) const;

    void setLatticeRebuildNeeded(int volumeId, bool needed);
    bool isLatticeRebuildNeeded(int volumeId) const;

    void clear();

    const std::map<int, unsigned>& getLastOperations() const { return lastOperations; }
    const std::map<int, bool>& getLatticeRebuilds() const { return latticeRebuild; }

private:
    std::map<int, unsigned> lastOperations;
    std::map<int, bool> latticeRebuild;
};

} // namespace Core::Operations
