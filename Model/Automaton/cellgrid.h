#pragma once

#include "Model/Automaton/cellindex.h"
#include "Model/Automaton/materialcells.h"

namespace Model::Automaton {

class TotalVolume;

// Read-only view of a volume's current cells for the surface builders. The builder's caller
// holds the volume's voxel lock for as long as the grid is used.
struct CellGrid {
    MaterialCells cells;
    int sizeX = 0;
    int sizeY = 0;
    int sizeZ = 0;
    float cellSize[3] = {1.f, 1.f, 1.f};

    CellIndex index(int x, int y, int z) const {
        return cellIndex(CellIndex(x), CellIndex(y), CellIndex(z), CellIndex(sizeY),
                         CellIndex(sizeZ));
    }
    MaterialId material(int x, int y, int z) const { return cells[index(x, y, z)]; }

    // The grid of a volume whose current cells the caller holds (CellArraysLock::materials()).
    static CellGrid of(const TotalVolume& volume, MaterialCells cells);
};

} // namespace Model::Automaton
