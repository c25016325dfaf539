#include "Core/Operations/WholeVolume/filmextraction.h"

#include "Model/Automaton/cellarrayslock.h"

#include <algorithm>

namespace Core::Operations {

using Model::Automaton::CellArraysLock;
using Model::Automaton::CellIndex;

FilmExtraction::FilmExtraction(Model::Automaton::TotalVolume& source, unsigned material,
                               bool invert)
    : source(source), material(material), invert(invert) {}

bool FilmExtraction::run(std::vector<int>& result) {
    const CellArraysLock locked(source, CellArraysLock::Arrays::Current);
    const Model::Automaton::MaterialCells cells = locked.materials();
    const CellIndex count = source.getCellCount();
    CellIndex seed = 0;
    while (seed < count && cells[std::ptrdiff_t(seed)] != material)
        ++seed;
    if (seed == count)
        return false;

    const CellIndex sizeY = source.getSizeY();
    const CellIndex sizeZ = source.getSizeZ();
    const CellIndex strideX = sizeY * sizeZ;
    std::vector<bool> visited(count, false);
    std::vector<CellIndex> pending{seed};
    visited[seed] = true;
    unsigned lowestZ = unsigned(sizeZ);
    while (!pending.empty()) {
        const CellIndex cell = pending.back();
        pending.pop_back();
        const CellIndex x = cell / strideX;
        const CellIndex y = (cell / sizeZ) % sizeY;
        const CellIndex z = cell % sizeZ;
        const CellIndex toY = invert ? sizeY - 1 - y : y;
        const CellIndex toZ = invert ? sizeZ - 1 - z : z;
        result[x * strideX + toY * sizeZ + toZ] = int(material);
        lowestZ = std::min(lowestZ, unsigned(toZ));

        const auto visit = [&](bool inside, CellIndex neighbour) {
            if (inside && !visited[neighbour] && cells[std::ptrdiff_t(neighbour)] == material) {
                visited[neighbour] = true;
                pending.push_back(neighbour);
            }
        };
        visit(z > 0, cell - 1);
        visit(z + 1 < sizeZ, cell + 1);
        visit(y > 0, cell - sizeZ);
        visit(y + 1 < sizeY, cell + sizeZ);
        visit(x > 0, cell - strideX);
        visit(x + 1 < CellIndex(source.getSizeX()), cell + strideX);
    }
    lowerToBottom(result, lowestZ);
    return true;
}

void FilmExtraction::lowerToBottom(std::vector<int>& result, unsigned lowestZ) const {
    if (lowestZ == 0)
        return;
    const CellIndex sizeZ = source.getSizeZ();
    const CellIndex columns = CellIndex(source.getSizeX()) * source.getSizeY();
    for (CellIndex column = 0; column < columns; ++column) {
        int* cells = result.data() + column * sizeZ;
        std::copy(cells + lowestZ, cells + sizeZ, cells);
        std::fill(cells + (sizeZ - lowestZ), cells + sizeZ, 0);
    }
}

} // namespace Core::Operations
