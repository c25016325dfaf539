#pragma once

#include "Model/Automaton/materialcells.h"
#include "Model/Automaton/totalvolume.h"

namespace Model::Automaton {

// Holds a volume's cells for the length of a scope, so that no return and no exception can
// leave the lock taken. Every reader and writer of cells goes through it. The lock is not
// recursive: never take it twice on one code path.
class CellArraysLock {
public:
    // Which cells a caller means to touch: reading only, or reading and writing. Both take the
    // one lock; the difference is kept for the reader of the code.
    enum class Arrays { Current, Both };

    explicit CellArraysLock(TotalVolume& volume, Arrays = Arrays::Both)
        : volume(&volume), ids(volume.lockMaterials()) {}
    ~CellArraysLock() { release(); }

    CellArraysLock(const CellArraysLock&) = delete;
    CellArraysLock& operator=(const CellArraysLock&) = delete;

    // The materials of the held cells.
    MaterialCells materials() const { return MaterialCells(ids); }

    // Lets go before the end of the scope; the destructor then does nothing.
    void release() {
        if (!volume)
            return;
        volume->releaseMaterials();
        volume = nullptr;
        ids = nullptr;
    }

private:
    TotalVolume* volume;
    MaterialId* ids;
};

} // namespace Model::Automaton
