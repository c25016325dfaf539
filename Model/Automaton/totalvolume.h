#pragma once

#include "Model/Automaton/cellindex.h"
#include "Model/Automaton/crystalorientation.h"
#include "Model/Automaton/largearray.h"
#include "Model/Automaton/totalvolumepainter.h"
#include "Model/Automaton/materialcells.h"
#include "Model/object.h"
#include "Util/spinlock.h"
#include "Util/vector3d.h"

#include <QString>

#include <memory>
#include <vector>

namespace Model::Automaton {

class SiLattice;

// The cell volume every process works on: one material id of 16 bits a cell, the
// photolithography masks and the silicon lattice laid over it. What an engine keeps per cell
// while it runs lives with the engine, near its front.
//
// Sizes are fixed for the life of a volume. Callers that create volumes from user input check
// VolumeBudget::fits() first; the constructor itself assumes the sizes are affordable.
//
// The cells are written once, in x strips on the global pool (the strips the engines work
// on), so a large volume is built at the speed of memory and each strip's pages are first
// touched by a pool thread.
class TotalVolume : public Model::Object {
public:
    // Cell i gets materials[i]; cells beyond a short list are empty.
    TotalVolume(unsigned sizeX, unsigned sizeY, unsigned sizeZ, float cellSizeX, float cellSizeY,
                float cellSizeZ, Util::Vector3D position, const std::vector<int>& materials);

    // For loaders that write the cells themselves: the cells are allocated but hold nothing
    // yet. The loader writes every cell (writeEmptyCells for what its source does not cover)
    // before the volume is drawn, etched or handed to anyone.
    struct UnwrittenCells {};
    TotalVolume(unsigned sizeX, unsigned sizeY, unsigned sizeZ, float cellSizeX, float cellSizeY,
                float cellSizeZ, Util::Vector3D position, UnwrittenCells);
    ~TotalVolume() override;

    int getType() const override { return 1; }
    void draw(bool renderObjects, bool renderEdges) override;
    void drawForPicking() override;
    Object* clone() override;
    void translate(Util::Vector4D delta) override;

    // The lock behind CellArraysLock, which every reader and writer of cells takes instead of
    // calling these directly. It is not recursive: never take it twice on one code path.
    MaterialId* lockMaterials();
    void releaseMaterials();
    // Makes cells [first, cell count) empty, split over the pool; the caller holds the lock.
    void writeEmptyCells(CellIndex first);

    unsigned getSizeX() const { return sizeX; }
    unsigned getSizeY() const { return sizeY; }
    unsigned getSizeZ() const { return sizeZ; }
    CellIndex getCellCount() const { return CellIndex(sizeX) * sizeY * sizeZ; }
    CellIndex index(unsigned x, unsigned y, unsigned z) const {
        return cellIndex(x, y, z, sizeY, sizeZ);
    }
    float getCellSizeX() const { return cellSizeX; }
    float getCellSizeY() const { return cellSizeY; }
    float getCellSizeZ() const { return cellSizeZ; }
    Util::Vector3D getPosition() const { return position; }
    // Micrometres per scene unit of the document the volume belongs to: cell sizes and
    // positions are in scene units, and this turns them into lengths a user can read.
    double getMicrometresPerSceneUnit() const { return micrometresPerSceneUnit; }
    void setMicrometresPerSceneUnit(double value) { micrometresPerSceneUnit = value; }
    // The wafer's surface plane, which the silicon lattice follows; (100) unless set. The
    // materials do not change with it: silicon is one material on every wafer.
    CrystalOrientation getCrystalOrientation() const { return crystalOrientation; }
    // A lattice built for the other orientation is dropped; the next etch builds its own.
    void setCrystalOrientation(CrystalOrientation value);

    void setTopMask(const std::vector<bool>& bits, int width, int height);
    void setBottomMask(const std::vector<bool>& bits, int width, int height);
    std::vector<bool> getTopMask() const { return topMask; }
    std::vector<bool> getBottomMask() const { return bottomMask; }
    void getTopMaskSize(int& width, int& height) const;
    void getBottomMaskSize(int& width, int& height) const;
    void clearTopMask();
    void clearBottomMask();

    std::shared_ptr<SiLattice> getSiLattice() const { return siLattice; }
    void setSiLattice(std::shared_ptr<SiLattice> lattice) { siLattice = std::move(lattice); }
    // Replaces the silicon lattice with a new one built over the current cells (and recounts
    // every cell's atoms). False, with a reason for the user, when it would not fit in memory;
    // the volume then has no lattice.
    bool rebuildSiLattice(QString* reason = nullptr);

    TotalVolumePainter& getPainter() { return *painter; }

private:
    // Writes material(i) at every index i in [first, end).
    template <class MaterialOf>
    void writeCells(CellIndex first, CellIndex end, MaterialOf material);

    LargeArray<MaterialId> materials;
    Util::SpinLock materialsLock;
    unsigned sizeX;
    unsigned sizeY;
    unsigned sizeZ;
    float cellSizeX;
    float cellSizeY;
    float cellSizeZ;
    Util::Vector3D position;
    double micrometresPerSceneUnit = 1.0;
    CrystalOrientation crystalOrientation = CrystalOrientation::Surface100;
    std::vector<bool> topMask;
    std::vector<bool> bottomMask;
    int bottomMaskHeight = 0;
    int bottomMaskWidth = 0;
    int topMaskHeight = 0;
    int topMaskWidth = 0;
    std::shared_ptr<SiLattice> siLattice;
    std::unique_ptr<TotalVolumePainter> painter;
};

} // namespace Model::Automaton
