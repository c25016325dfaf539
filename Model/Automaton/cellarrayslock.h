#pragma once

#include "Model/Automaton/materialcells.h"
#include "Model/Automaton/totalvolume.h"

namespace Model::Automaton {

// Holds the cell arrays of one volume for the length of a scope, so that no return and no
// exception can leave a lock taken. Every reader and writer of cells goes through it.
//
// Both arrays are always taken current first, next second, and released in reverse order;
// taking them in one fixed order is what keeps two users of the same volume from deadlocking.
class CellArraysLock {
public:
    enum class Arrays { Current, Both };

    explicit CellArraysLock(TotalVolume& volume, Arrays which = Arrays::Both)
        : volume(&volume), cells(volume.getVoxels()),
          nextCells(which == Arrays::Both ? volume.getNextVoxels() : nullptr) {}
    ~CellArraysLock() { release(); }

    CellArraysLock(const CellArraysLock&) = delete;
    CellArraysLock& operator=(const CellArraysLock&) = delete;

    // The materials of the held cells; writes reach both arrays when both are held.
    MaterialCells materials() const { return MaterialCells(cells, nextCells); }

    // The engines' records of the cells.
    Voxel* current() const { return cells; }
    // Null when only the current array is held.
    Voxel* next() const { return nextCells; }

    // Lets go before the end of the scope; the destructor then does nothing.
    void release() {
        if (!volume)
            return;
        if (nextCells)
            volume->releaseNextVoxels();
        volume->releaseVoxels();
        volume = nullptr;
        cells = nullptr;
        nextCells = nullptr;
    }

private:
    TotalVolume* volume;
    Voxel* cells;
    Voxel* nextCells;
};

} // namespace Model::Automaton
