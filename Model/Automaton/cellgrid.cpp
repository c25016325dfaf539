#include "Model/Automaton/cellgrid.h"

#include "Model/Automaton/totalvolume.h"

namespace Model::Automaton {

CellGrid CellGrid::of(const TotalVolume& volume, MaterialCells cells) {
    CellGrid grid;
    grid.cells = cells;
    grid.sizeX = int(volume.getSizeX());
    grid.sizeY = int(volume.getSizeY());
    grid.sizeZ = int(volume.getSizeZ());
    grid.cellSize[0] = volume.getCellSizeX();
    grid.cellSize[1] = volume.getCellSizeY();
    grid.cellSize[2] = volume.getCellSizeZ();
    return grid;
}

} // namespace Model::Automaton
