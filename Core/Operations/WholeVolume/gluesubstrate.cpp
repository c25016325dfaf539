#include "Core/Operations/WholeVolume/gluesubstrate.h"

#include "Model/Automaton/cellarrayslock.h"

#include <algorithm>

namespace Core::Operations {

using Model::Automaton::CellArraysLock;
using Model::Automaton::MaterialCells;
using Model::Automaton::TotalVolume;

GlueSubstrate::GlueSubstrate(TotalVolume& base, TotalVolume& top, const GlueLayout& layout,
                             const GluePlacement& placement)
    : base(base), top(top), layout(layout), placement(placement) {}

std::shared_ptr<TotalVolume> GlueSubstrate::run() {
    const CellArraysLock baseLocked(base, CellArraysLock::Arrays::Current);
    const CellArraysLock topLocked(top, CellArraysLock::Arrays::Current);
    const MaterialCells baseCells = baseLocked.materials();
    const MaterialCells topCells = topLocked.materials();
    return std::make_shared<TotalVolume>(
        placement.sizeX, placement.sizeY, placement.sizeZ, layout.cellSizeX, layout.cellSizeY,
        layout.cellSizeZ, base.getPosition(), [&](unsigned x, unsigned y, MaterialCells column) {
            fillColumn(baseCells, topCells, x, y, column);
        });
}

void GlueSubstrate::fillColumn(MaterialCells baseCells, MaterialCells topCells, unsigned x,
                               unsigned y, MaterialCells column) const {
    if (x < base.getSizeX() && y < base.getSizeY()) {
        const MaterialCells from = baseCells + std::ptrdiff_t(base.index(x, y, 0));
        const unsigned height = std::min(layout.baseHeight, base.getSizeZ());
        for (unsigned z = 0; z < height; ++z)
            column.set(z, from[z]);
    }
    // The top column that lands here: shifted by the displacement, mirrored in x when inverted.
    const unsigned dx = unsigned(placement.displacementX);
    const unsigned dy = unsigned(placement.displacementY);
    if (x < dx || y < dy || x - dx >= top.getSizeX() || y - dy >= top.getSizeY())
        return;
    const unsigned topX = placement.invert ? top.getSizeX() - 1 - (x - dx) : x - dx;
    const MaterialCells from = topCells + std::ptrdiff_t(top.index(topX, y - dy, layout.bandBegin));
    const unsigned band = layout.bandHeight();
    for (unsigned k = 0; k < band; ++k)
        column.set(layout.baseHeight + (placement.invert ? band - 1 - k : k), from[k]);
}

} // namespace Core::Operations
