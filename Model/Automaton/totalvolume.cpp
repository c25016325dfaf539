#include "Model/Automaton/totalvolume.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/silattice.h"
#include "Model/Automaton/strips.h"

#include <QLoggingCategory>

#include <algorithm>

namespace Model::Automaton {

namespace {
Q_LOGGING_CATEGORY(lcTotalVolume, "Model/Automaton/totalvolume", QtInfoMsg)

// Below this the pages are few and faulting them as they are written costs nothing to speak of.
constexpr std::size_t prefaultThreshold = std::size_t(4) << 20;
} // namespace

TotalVolume::TotalVolume(unsigned sizeX, unsigned sizeY, unsigned sizeZ, float cellSizeX,
                         float cellSizeY, float cellSizeZ, Util::Vector3D position, UnwrittenCells)
    : materials(allocateLargeArray<MaterialId>(CellIndex(sizeX) * sizeY * sizeZ)), sizeX(sizeX),
      sizeY(sizeY), sizeZ(sizeZ), cellSizeX(cellSizeX), cellSizeY(cellSizeY), cellSizeZ(cellSizeZ),
      position(position), painter(std::make_unique<TotalVolumePainter>(*this)) {
    if (getCellCount() * sizeof(MaterialId) < prefaultThreshold)
        return;
    // Each strip's pages are mapped by the pool thread that will fill and work on the strip.
    const CellIndex slice = CellIndex(sizeY) * sizeZ;
    StripPartition(sizeX).runPass([&](const Strip& strip) {
        const std::size_t bytes = (strip.end - strip.begin) * slice * sizeof(MaterialId);
        prefaultLarge(materials.get() + strip.begin * slice, bytes);
    });
}

TotalVolume::TotalVolume(unsigned sizeX, unsigned sizeY, unsigned sizeZ, float cellSizeX,
                         float cellSizeY, float cellSizeZ, Util::Vector3D position,
                         const std::vector<int>& list)
    : TotalVolume(sizeX, sizeY, sizeZ, cellSizeX, cellSizeY, cellSizeZ, position,
                  UnwrittenCells()) {
    // A short list leaves the remaining cells empty rather than reading past its end.
    const CellIndex given = std::min<CellIndex>(getCellCount(), list.size());
    const int* ids = list.data();
    writeCells(0, given, [ids](CellIndex i) { return static_cast<MaterialId>(ids[i]); });
    writeEmptyCells(given);
}

template <class MaterialOf>
void TotalVolume::writeCells(CellIndex first, CellIndex end, MaterialOf material) {
    if (first >= end)
        return;
    const CellIndex slice = CellIndex(sizeY) * sizeZ;
    MaterialId* cells = materials.get();
    StripPartition(sizeX).runPass([&](const Strip& strip) {
        const CellIndex begin = std::max(first, strip.begin * slice);
        const CellIndex stop = std::min(end, strip.end * slice);
        for (CellIndex i = begin; i < stop; ++i)
            cells[i] = material(i);
    });
}

void TotalVolume::writeEmptyCells(CellIndex first) {
    writeCells(first, getCellCount(), [](CellIndex) { return MaterialId(0); });
}

TotalVolume::~TotalVolume() = default;

void TotalVolume::draw(bool renderObjects, bool renderEdges) {
    painter->draw(renderObjects, renderEdges);
}

void TotalVolume::drawForPicking() { painter->drawForPicking(); }

Model::Object* TotalVolume::clone() {
    std::vector<int> list(getCellCount());
    {
        const CellArraysLock locked(*this, CellArraysLock::Arrays::Current);
        const MaterialCells cells = locked.materials();
        for (CellIndex i = 0; i < list.size(); ++i)
            list[i] = static_cast<int>(cells[std::ptrdiff_t(i)]);
    }
    auto* copy =
        new TotalVolume(sizeX, sizeY, sizeZ, cellSizeX, cellSizeY, cellSizeZ, position, list);
    copy->setMicrometresPerSceneUnit(micrometresPerSceneUnit);
    copy->setCrystalOrientation(crystalOrientation);
    return copy;
}

void TotalVolume::setCrystalOrientation(CrystalOrientation value) {
    if (value == crystalOrientation)
        return;
    crystalOrientation = value;
    siLattice.reset();
}

void TotalVolume::translate(Util::Vector4D delta) { position += delta; }

MaterialId* TotalVolume::lockMaterials() {
    materialsLock.lock();
    return materials.get();
}

void TotalVolume::releaseMaterials() { materialsLock.unlock(); }

bool TotalVolume::rebuildSiLattice(QString* reason) {
    // Let the old lattice go first: the new one may need its memory.
    siLattice.reset();
    auto lattice = std::make_shared<SiLattice>(*this);
    if (!lattice->build(reason))
        return false;
    siLattice = std::move(lattice);
    qCDebug(lcTotalVolume) << "Done initializing";
    return true;
}

void TotalVolume::setTopMask(const std::vector<bool>& bits, int width, int height) {
    topMask = bits;
    topMaskWidth = width;
    topMaskHeight = height;
}

void TotalVolume::setBottomMask(const std::vector<bool>& bits, int width, int height) {
    bottomMask = bits;
    bottomMaskWidth = width;
    bottomMaskHeight = height;
}

void TotalVolume::getTopMaskSize(int& width, int& height) const {
    width = topMaskWidth;
    height = topMaskHeight;
}

void TotalVolume::getBottomMaskSize(int& width, int& height) const {
    width = bottomMaskWidth;
    height = bottomMaskHeight;
}

void TotalVolume::clearTopMask() { std::fill(topMask.begin(), topMask.end(), false); }

void TotalVolume::clearBottomMask() { std::fill(bottomMask.begin(), bottomMask.end(), false); }

} // namespace Model::Automaton
