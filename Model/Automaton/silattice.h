#pragma once

#include "Model/Automaton/cellindex.h"
#include "Model/Automaton/siatom.h"
#include "Model/Automaton/sicell.h"
#include "Util/vector3d.h"
#include "Util/vector4d.h"

#include <QString>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace Model::Automaton {

class TotalVolume;
struct Voxel;

// The diamond lattice of silicon laid over one cell volume, for the wet-etching engines and
// the atomic renderer.
//
// The crystal is a (100) wafer turned 45 degrees about z: the volume's z is [001], its x and
// y run along the in-plane face diagonals, and one lattice constant is one length unit. Unit
// cell (i, j, k) has key k + (j + i * cellsY) * cellsZ; only cells that matter are stored, in
// key order, each with its eight atoms at ids 8 * ordinal .. 8 * ordinal + 7. Atoms that
// engines create in place of missing neighbours ("extra atoms") follow at ids from
// 8 * cellCount() on.
//
// Stored cells are those holding an atom inside a silicon cell of the volume (holdsSilicon)
// plus every cell next to one of them (26-neighbourhood), so that each silicon atom has all
// its first and second neighbours as real atoms: Empty ones towards the etchant, Fixed ones in
// masks and outside the volume. Drawing code that wants only the crystal itself skips the
// cells without silicon.
class SiLattice {
public:
    // Copies the volume's sizes, position and cell sizes; build() fills the lattice.
    explicit SiLattice(TotalVolume& volume);

    SiLattice(const SiLattice&) = delete;
    SiLattice& operator=(const SiLattice&) = delete;

    // Places every candidate atom in the volume's cells and counts the silicon ones into each
    // cell's atomCount (from zero). Takes both voxel locks while it works. Returns false,
    // with a reason for the user, when the lattice would not fit in memory; the lattice is
    // then empty and the volume's counts untouched.
    bool build(QString* reason = nullptr);

    // --- geometry
    unsigned getCellsX() const { return cellsX; }
    unsigned getCellsY() const { return cellsY; }
    unsigned getCellsZ() const { return cellsZ; }
    Util::Vector4D getOrigin() const { return origin; }
    std::vector<Util::Vector3D> getUnitCellCorners() const { return unitCellCorners; }

    // The volume's cell that contains a point, by the placement rule every engine shares:
    // false outside the volume.
    bool locate(double x, double y, double z, CellIndex& index) const;
    bool locate(const Util::Vector4D& p, CellIndex& index) const {
        return locate(p.x, p.y, p.z, index);
    }
    // The x column of a cell index.
    unsigned columnOf(CellIndex index) const { return unsigned(index / sliceSize); }

    // --- cells
    std::size_t cellCount() const { return cells.size(); }
    const SiCell& cell(std::size_t ordinal) const { return cells[ordinal]; }
    // Ordinal of the stored cell with this key, or cellCount() when there is none.
    std::size_t findCell(std::uint32_t key) const;
    Util::Vector3D cellPosition(std::size_t ordinal) const;
    // Stored cells with x columns possibly in [firstColumn, endColumn), as ordinal ranges in
    // increasing order. A superset: callers check each atom's own column.
    std::vector<std::pair<std::size_t, std::size_t>> cellRangesForColumns(unsigned firstColumn,
                                                                          unsigned endColumn) const;

    // --- atoms
    std::size_t latticeAtomCount() const { return atoms.size(); }
    std::size_t extraAtomCount() const { return extraAtoms.size(); }
    AtomId firstExtraAtom() const { return AtomId(atoms.size()); }
    AtomId atomOfCell(std::size_t ordinal, unsigned index) const {
        return AtomId(ordinal * 8 + index);
    }
    SiAtom& atom(AtomId id) {
        return id < atoms.size() ? atoms[id] : extraAtoms[id - atoms.size()];
    }
    const SiAtom& atom(AtomId id) const {
        return id < atoms.size() ? atoms[id] : extraAtoms[id - atoms.size()];
    }
    // Ordinal of the cell an atom belongs to, or cellCount() for extra atoms.
    std::size_t cellOf(AtomId id) const { return id < atoms.size() ? id / 8 : cells.size(); }
    // Position 0..7 of the atom in the cell, -1 when it is not one of the cell's atoms.
    int indexOfAtom(std::size_t ordinal, AtomId id) const;
    Util::Vector3D atomPosition(AtomId id) const;

    // Links p to q in p's slot and q to p in the opposite slot; slots of 4 or more do nothing.
    void link(AtomId p, AtomId q, unsigned slot);

    // Present neighbours (4 for a Fixed atom: it never etches and holds its neighbours).
    int countBondedNeighbors(AtomId id) const;
    // Over the present neighbours: bonded count - 1 for silicon, 3 for a Fixed one. 12 in the
    // bulk, 9 for a (111) surface atom.
    int countSecondNeighbors(AtomId id) const;

    // Adds a Fixed boundary atom at `position`, linked to `partner` in `slot`; returns its id.
    // Only between etching passes: it may move the extra-atom pool.
    AtomId addBoundaryAtom(AtomId partner, unsigned slot, const Util::Vector3D& position);
    // Removes every boundary atom and unlinks it from its partner.
    void clearExtraAtoms();

    // Bytes held by the lattice's pools.
    std::size_t memoryBytes() const;

private:
    struct Placement {
        std::int32_t cellIndex;
        SiAtom::AtomState state;
    };

    Util::Vector3D siteCoordinates(unsigned i, unsigned j, unsigned k, unsigned site) const;
    Placement place(double x, double y, double z, const Voxel* voxels) const;
    void keyToCell(std::uint32_t key, unsigned& i, unsigned& j, unsigned& k) const;
    void markSiliconCells(std::vector<std::uint8_t>& flags, const Voxel* voxels) const;
    std::size_t markNeighbourCells(std::vector<std::uint8_t>& flags) const;
    void fillCells(const std::vector<std::uint8_t>& flags, Voxel* voxels, Voxel* nextVoxels);
    void linkCells();

    TotalVolume* volume;
    unsigned sizeX;
    unsigned sizeY;
    unsigned sizeZ;
    float cellSizeX;
    float cellSizeY;
    float cellSizeZ;
    Util::Vector3D volumePosition;
    Util::Vector4D origin;
    unsigned cellsX;
    unsigned cellsY;
    unsigned cellsZ;
    CellIndex sliceSize;
    double cosTurn;
    double sinTurn;
    std::vector<Util::Vector3D> unitCellCorners;

    std::vector<SiCell> cells;
    std::vector<SiAtom> atoms;
    std::vector<SiAtom> extraAtoms;
    std::vector<std::array<double, 3>> extraPositions;
};

} // namespace Model::Automaton
