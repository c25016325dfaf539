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
    : voxels(allocateLargeArray<Voxel>(CellIndex(sizeX) * sizeY * sizeZ)),
      nextVoxels(allocateLargeArray<Voxel>(CellIndex(sizeX) * sizeY * sizeZ)), sizeX(sizeX),
      sizeY(sizeY), sizeZ(sizeZ), cellSizeX(cellSizeX), cellSizeY(cellSizeY), cellSizeZ(cellSizeZ),
      position(position), painter(std::make_unique<TotalVolumePainter>(*this)) {
    if (getCellCount() * sizeof(Voxel) < prefaultThreshold)
        return;
    // Each strip's pages are mapped by the pool thread that will fill and work on the strip.
    const CellIndex slice = CellIndex(sizeY) * sizeZ;
    StripPartition(sizeX).runPass([&](const Strip& strip) {
        const std::size_t bytes = (strip.end - strip.begin) * slice * sizeof(Voxel);
        prefaultLarge(voxels.get() + strip.begin * slice, bytes);
        prefaultLarge(nextVoxels.get() + strip.begin * slice, bytes);
    });
}

TotalVolume::TotalVolume(unsigned sizeX, unsigned sizeY, unsigned sizeZ, float cellSizeX,
                         float cellSizeY, float cellSizeZ, Util::Vector3D position,
                         const std::vector<int>& materials)
    : TotalVolume(sizeX, sizeY, sizeZ, cellSizeX, cellSizeY, cellSizeZ, position,
                  UnwrittenCells()) {
    // A short list leaves the remaining cells empty rather than reading past its end.
    const CellIndex given = std::min<CellIndex>(getCellCount(), materials.size());
    const int* ids = materials.data();
    writeCells(0, given, [ids](CellIndex i) { return static_cast<uint32_t>(ids[i]); });
    writeEmptyCells(given);
}

template <class MaterialOf>
void TotalVolume::writeCells(CellIndex first, CellIndex end, MaterialOf material) {
    if (first >= end)
        return;
    const CellIndex slice = CellIndex(sizeY) * sizeZ;
    Voxel* current = voxels.get();
    Voxel* next = nextVoxels.get();
    StripPartition(sizeX).runPass([&](const Strip& strip) {
        const CellIndex begin = std::max(first, strip.begin * slice);
        const CellIndex stop = std::min(end, strip.end * slice);
        for (CellIndex i = begin; i < stop; ++i) {
            const uint32_t id = material(i);
            new (current + i) Voxel(id);
            new (next + i) Voxel(id);
        }
    });
}

void TotalVolume::writeEmptyCells(CellIndex first) {
    writeCells(first, getCellCount(), [](CellIndex) { return 0u; });
}

TotalVolume::~TotalVolume() = default;

void TotalVolume::draw(bool renderObjects, bool renderEdges) {
    painter->draw(renderObjects, renderEdges);
}

void TotalVolume::drawForPicking() { painter->drawForPicking(); }

Model::Object* TotalVolume::clone() {
    std::vector<int> materials(getCellCount());
    {
        const CellArraysLock locked(*this, CellArraysLock::Arrays::Current);
        for (CellIndex i = 0; i < materials.size(); ++i)
            materials[i] = static_cast<int>(locked.current()[i].material);
    }
    auto* copy =
        new TotalVolume(sizeX, sizeY, sizeZ, cellSizeX, cellSizeY, cellSizeZ, position, materials);
    copy->setMicrometresPerSceneUnit(micrometresPerSceneUnit);
    return copy;
}

void TotalVolume::translate(Util::Vector4D delta) { position += delta; }

Voxel* TotalVolume::getVoxels() {
    voxelsLock.lock();
    return voxels.get();
}

void TotalVolume::releaseVoxels() { voxelsLock.unlock(); }

Voxel* TotalVolume::getNextVoxels() {
    nextVoxelsLock.lock();
    return nextVoxels.get();
}

void TotalVolume::releaseNextVoxels() { nextVoxelsLock.unlock(); }

void TotalVolume::swapVoxelBuffers() { voxels.swap(nextVoxels); }

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
