#pragma once

#include "Model/Automaton/cellindex.h"
#include "Model/Automaton/voxel.h"

namespace Model::Automaton {

class TotalVolume;

// Read-only view of a volume's current cells for the surface builders. The builder's caller
// holds the volume's voxel lock for as long as the grid is used.
struct CellGrid {
    const Voxel* cells = nullptr;
    int sizeX = 0;
    int sizeY = 0;
    int sizeZ = 0;
    float cellSize[3] = {1.f, 1.f, 1.f};

    CellIndex index(int x, int y, int z) const {
        return cellIndex(CellIndex(x), CellIndex(y), CellIndex(z), CellIndex(sizeY),
                         CellIndex(sizeZ));
    }
    std::uint32_t material(int x, int y, int z) const { return cells[index(x, y, z)].material; }

    // The grid of a volume whose current cells the caller holds (CellArraysLock::current()).
    static CellGrid of(const TotalVolume& volume, const Voxel* cells);
};

} // namespace Model::Automaton
