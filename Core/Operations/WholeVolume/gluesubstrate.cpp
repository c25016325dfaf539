#include "Core/Operations/WholeVolume/gluesubstrate.h"

#include "Core/Operations/Kernels/strips.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/cellindex.h"

namespace Core::Operations {

using Model::Automaton::CellArraysLock;
using Model::Automaton::cellIndex;
using Model::Automaton::MaterialCells;

GlueSubstrate::GlueSubstrate(Model::Automaton::TotalVolume& base,
                             Model::Automaton::TotalVolume& top, const GlueLayout& layout,
                             const GluePlacement& placement)
    : base(base), top(top), layout(layout), placement(placement) {}

void GlueSubstrate::run(std::vector<int>& result) {
    const CellArraysLock baseLocked(base, CellArraysLock::Arrays::Current);
    const CellArraysLock topLocked(top, CellArraysLock::Arrays::Current);
    const MaterialCells baseCells = baseLocked.materials();
    const MaterialCells topCells = topLocked.materials();

    const int threads = StripPartition::poolThreadCount();
    const StripPartition baseStrips(base.getSizeX(), threads);
    const StripPartition topStrips(top.getSizeX(), threads);
    if (baseStrips.isSerial() || topStrips.isSerial()) {
        // One worker for everything, as soon as either volume is too thin to share.
        copyBase(baseCells, 0, base.getSizeX(), result);
        copyTop(topCells, 0, top.getSizeX(), result);
        return;
    }
    baseStrips.runPass([&](const Strip& strip) {
        copyBase(baseCells, strip.begin, strip.end, result);
        const Strip& topStrip = topStrips.getStrips()[std::size_t(strip.index)];
        copyTop(topCells, topStrip.begin, topStrip.end, result);
    });
}

void GlueSubstrate::copyBase(MaterialCells cells, unsigned beginX, unsigned endX,
                             std::vector<int>& result) const {
    const unsigned sizeY = base.getSizeY();
    const unsigned height = std::min(layout.baseHeight, base.getSizeZ());
    for (unsigned x = beginX; x < endX; ++x) {
        for (unsigned y = 0; y < sizeY; ++y) {
            const MaterialCells column = cells + std::ptrdiff_t(base.index(x, y, 0));
            int* out = result.data() + cellIndex(x, y, 0, placement.sizeY, placement.sizeZ);
            for (unsigned z = 0; z < height; ++z)
                out[z] = int(column[z]);
        }
    }
}

void GlueSubstrate::copyTop(MaterialCells cells, unsigned beginX, unsigned endX,
                            std::vector<int>& result) const {
    const unsigned sizeX = top.getSizeX();
    const unsigned sizeY = top.getSizeY();
    const unsigned band = layout.bandHeight();
    const unsigned dx = unsigned(placement.displacementX);
    const unsigned dy = unsigned(placement.displacementY);
    for (unsigned x = beginX; x < endX; ++x) {
        const unsigned toX = (placement.invert ? sizeX - 1 - x : x) + dx;
        for (unsigned y = 0; y < sizeY; ++y) {
            const MaterialCells column = cells + std::ptrdiff_t(top.index(x, y, layout.bandBegin));
            int* out = result.data() +
                       cellIndex(toX, y + dy, layout.baseHeight, placement.sizeY, placement.sizeZ);
            for (unsigned k = 0; k < band; ++k)
                out[placement.invert ? band - 1 - k : k] = int(column[k]);
        }
    }
}

} // namespace Core::Operations
