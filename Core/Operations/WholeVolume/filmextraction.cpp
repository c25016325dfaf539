#include "Core/Operations/WholeVolume/filmextraction.h"

#include "Model/Automaton/cellarrayslock.h"

#include <algorithm>

namespace Core::Operations {

using Model::Automaton::CellArraysLock;
using Model::Automaton::CellIndex;
using Model::Automaton::MaterialCells;
using Model::Automaton::TotalVolume;

FilmExtraction::FilmExtraction(TotalVolume& source, unsigned material, bool invert)
    : source(source), material(material), invert(invert) {}

std::shared_ptr<TotalVolume> FilmExtraction::run() {
    if (!findPiece())
        return nullptr;
    auto result = std::make_shared<TotalVolume>(
        source.getSizeX(), source.getSizeY(), source.getSizeZ(), source.getCellSizeX(),
        source.getCellSizeY(), source.getCellSizeZ(), source.getPosition(),
        [this](unsigned x, unsigned y, MaterialCells column) { fillColumn(x, y, column); });
    std::vector<bool>().swap(piece);
    return result;
}

bool FilmExtraction::findPiece() {
    const CellArraysLock locked(source, CellArraysLock::Arrays::Current);
    const MaterialCells cells = locked.materials();
    const CellIndex count = source.getCellCount();
    CellIndex seed = 0;
    while (seed < count && cells[std::ptrdiff_t(seed)] != material)
        ++seed;
    if (seed == count)
        return false;

    const CellIndex sizeY = source.getSizeY();
    const CellIndex sizeZ = source.getSizeZ();
    const CellIndex strideX = sizeY * sizeZ;
    piece.assign(count, false);
    std::vector<CellIndex> pending{seed};
    piece[seed] = true;
    lowestZ = unsigned(sizeZ);
    while (!pending.empty()) {
        const CellIndex cell = pending.back();
        pending.pop_back();
        const CellIndex x = cell / strideX;
        const CellIndex y = (cell / sizeZ) % sizeY;
        const CellIndex z = cell % sizeZ;
        lowestZ = std::min(lowestZ, unsigned(invert ? sizeZ - 1 - z : z));

        const auto visit = [&](bool inside, CellIndex neighbour) {
            if (inside && !piece[neighbour] && cells[std::ptrdiff_t(neighbour)] == material) {
                piece[neighbour] = true;
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
    return true;
}

void FilmExtraction::fillColumn(unsigned x, unsigned y, MaterialCells column) const {
    const unsigned sizeY = source.getSizeY();
    const unsigned sizeZ = source.getSizeZ();
    // Cell z of the result comes from layer z + lowestZ of the turned piece.
    const unsigned fromY = invert ? sizeY - 1 - y : y;
    const CellIndex from = source.index(x, fromY, 0);
    for (unsigned z = 0; z + lowestZ < sizeZ; ++z) {
        const unsigned turned = z + lowestZ;
        const unsigned fromZ = invert ? sizeZ - 1 - turned : turned;
        if (piece[from + fromZ])
            column.set(z, Model::Automaton::MaterialId(material));
    }
}

} // namespace Core::Operations
