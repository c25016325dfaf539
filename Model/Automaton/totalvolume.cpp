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
                         float cellSizeY, float cellSizeZ, Util::Vector3D position, UntouchedCells)
    : materials(allocateLargeArray<MaterialId>(CellIndex(sizeX) * sizeY * sizeZ)), sizeX(sizeX),
      sizeY(sizeY), sizeZ(sizeZ), cellSizeX(cellSizeX), cellSizeY(cellSizeY), cellSizeZ(cellSizeZ),
      position(position), painter(std::make_unique<TotalVolumePainter>(*this)) {}

TotalVolume::TotalVolume(unsigned sizeX, unsigned sizeY, unsigned sizeZ, float cellSizeX,
                         float cellSizeY, float cellSizeZ, Util::Vector3D position, UnwrittenCells)
    : TotalVolume(sizeX, sizeY, sizeZ, cellSizeX, cellSizeY, cellSizeZ, position,
                  UntouchedCells()) {
    if (getCellCount() * sizeof(MaterialId) >= prefaultThreshold)
        writeStrips([](const Strip&, MaterialId*) {});
}

TotalVolume::TotalVolume(unsigned sizeX, unsigned sizeY, unsigned sizeZ, float cellSizeX,
                         float cellSizeY, float cellSizeZ, Util::Vector3D position,
                         const ColumnContents& contents)
    : TotalVolume(sizeX, sizeY, sizeZ, cellSizeX, cellSizeY, cellSizeZ, position,
                  UntouchedCells()) {
    writeStrips([&](const Strip& strip, MaterialId* cells) {
        for (unsigned x = strip.begin; x < strip.end; ++x) {
            for (unsigned y = 0; y < sizeY; ++y) {
                // The description sets only what is filled; fresh memory may hold anything.
                std::fill(cells, cells + sizeZ, MaterialId(0));
                contents(x, y, MaterialCells(cells));
                cells += sizeZ;
            }
        }
    });
}

template <class WriteStrip> void TotalVolume::writeStrips(WriteStrip write) {
    const CellIndex slice = CellIndex(sizeY) * sizeZ;
    const bool prefault = getCellCount() * sizeof(MaterialId) >= prefaultThreshold;
    StripPartition(sizeX).runPass([&](const Strip& strip) {
        MaterialId* first = materials.get() + strip.begin * slice;
        if (prefault)
            prefaultLarge(first, (strip.end - strip.begin) * slice * sizeof(MaterialId));
        write(strip, first);
    });
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

void TotalVolume::drawForPicking() {
    painter->drawForPicking();
}

Model::Object* TotalVolume::clone() {
    std::unique_ptr<TotalVolume> copy(new TotalVolume(sizeX, sizeY, sizeZ, cellSizeX, cellSizeY,
                                                      cellSizeZ, position, UntouchedCells()));
    {
        const CellArraysLock locked(*this, CellArraysLock::Arrays::Current);
        const MaterialId* const from = materials.get();
        const CellIndex slice = CellIndex(sizeY) * sizeZ;
        copy->writeStrips([&](const Strip& strip, MaterialId* to) {
            const MaterialId* const begin = from + strip.begin * slice;
            std::copy(begin, begin + (strip.end - strip.begin) * slice, to);
        });
    }
    copy->setMicrometresPerSceneUnit(micrometresPerSceneUnit);
    copy->setCrystalOrientation(crystalOrientation);
    return copy.release();
}

void TotalVolume::setCrystalOrientation(CrystalOrientation value) {
    if (value == crystalOrientation)
        return;
    crystalOrientation = value;
    siLattice.reset();
}

void TotalVolume::translate(Util::Vector4D delta) {
    position += delta;
}

MaterialId* TotalVolume::lockMaterials() {
    materialsLock.lock();
    return materials.get();
}

void TotalVolume::releaseMaterials() {
    materialsLock.unlock();
}

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

void TotalVolume::clearTopMask() {
    std::fill(topMask.begin(), topMask.end(), false);
}

void TotalVolume::clearBottomMask() {
    std::fill(bottomMask.begin(), bottomMask.end(), false);
}

} // namespace Model::Automaton
