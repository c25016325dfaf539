#pragma once

#include "Model/Automaton/cellindex.h"
#include "Model/Automaton/crystalframe.h"
#include "Model/Automaton/largearray.h"
#include "Model/Automaton/materialcells.h"
#include "Model/Automaton/siatom.h"
#include "Model/Automaton/sicell.h"
#include "Util/vector3d.h"
#include "Util/vector4d.h"

#include <QString>

#include <array>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Model::Automaton {

class TotalVolume;

// The diamond lattice of silicon laid over one cell volume, for the wet-etching engines and
// the atomic renderer.
//
// The crystal lies as the volume's wafer orientation says (see CrystalFrame). On a (100) wafer
// it is turned 45 degrees about z: the volume's z is [001], its x and y run along the in-plane
// face diagonals. On a (110) wafer z is [110], x [1-10] and y [001]. One lattice constant is
// one cell edge (the shortest of the three): on (100) every cell then holds atoms of all four
// atomic layers of its height, so an etch front empties whole cells and advances one cell per
// four layers at any cell size. The crystal is a coarse stand-in for silicon's, its shape in
// µm the same on every grid. Unit cell (i, j, k) has key k + (j + i * cellsY) * cellsZ.
//
// The lattice is regular, so it stores per site only what changes: one byte with the atom's
// state. The sites of a dense box of unit cells around the silicon are numbered box cell by
// box cell in key order, eight per cell (atom 8 * ordinal + site); an atom's bond partners,
// cell of the volume and position follow from its number. Atoms that engines create in place
// of missing neighbours ("extra atoms") follow the sites.
//
// The crystal proper is every cell holding an atom inside a silicon cell of the volume
// (holdsSilicon) plus every cell next to one of them (26-neighbourhood), so that each silicon
// atom has all its first and second neighbours as real atoms: Empty ones towards the etchant,
// Fixed ones in masks and outside the volume. Bonds join atoms of the crystal only; the other
// cells of the box are there to keep the numbering regular, their atoms have no bonds and the
// engines never take them. Drawing code that wants only the crystal itself skips the cells
// without silicon.
class SiLattice {
public:
    // Copies the volume's sizes, position and cell sizes; build() fills the lattice.
    explicit SiLattice(TotalVolume& volume);

    SiLattice(const SiLattice&) = delete;
    SiLattice& operator=(const SiLattice&) = delete;

    // Places every atom of the box in the volume's cells and counts the silicon ones of each
    // cell (atomCount), split over the pool's x strips. Holds the volume's cells while it
    // works. Returns false, with a reason for the user, when the lattice would not fit in
    // memory; the lattice is then empty.
    bool build(QString* reason = nullptr);

    // Silicon atoms in cell c: as build() counted them and the etches since left them.
    std::int32_t atomCount(CellIndex c) const { return atomCounts ? atomCounts[c] : 0; }
    // The counts of every cell, for the etching engines; null until a build.
    std::int32_t* getAtomCounts() { return atomCounts.get(); }

    // --- geometry
    // The edge of one unit cell of the crystal, in scene units.
    double getLatticeConstant() const { return latticeConstant; }
    // Where a bond of a sublattice's atom in a slot leads, in scene units (the turned bond
    // table scaled by the lattice constant).
    Util::Vector3D bondVector(int sublattice, unsigned slot) const {
        const double* bond = frame->bond[sublattice][slot];
        return Util::Vector3D(bond[0] * latticeConstant, bond[1] * latticeConstant,
                              bond[2] * latticeConstant);
    }
    // The volume's corner when the lattice was built; atom positions are relative to it.
    Util::Vector3D getBuiltAt() const { return volumePosition; }
    unsigned getCellsX() const { return cellsX; }
    unsigned getCellsY() const { return cellsY; }
    unsigned getCellsZ() const { return cellsZ; }
    Util::Vector4D getOrigin() const { return origin; }
    CrystalOrientation getOrientation() const { return orientation; }
    // The shortest shift along the volume's x (axis 0) or y (axis 1) that maps the crystal onto
    // itself, in scene units: where the wafer comes back in through the opposite side.
    double sideRepeat(int axis) const;
    std::vector<Util::Vector3D> getUnitCellCorners() const { return unitCellCorners; }

    // The volume's cell that contains a point, by the placement rule every engine shares:
    // false outside the volume.
    bool locate(double x, double y, double z, CellIndex& index) const;
    bool locate(const Util::Vector4D& p, CellIndex& index) const {
        return locate(p.x, p.y, p.z, index);
    }
    // The x column of a cell index.
    unsigned columnOf(CellIndex index) const { return unsigned(index / sliceSize); }

    // --- cells (the box, in key order)
    std::size_t cellCount() const { return boxCells; }
    SiCell cell(std::size_t ordinal) const;
    // True for cells of the crystal proper (silicon cells and their neighbours).
    bool isCrystalCell(std::size_t ordinal) const { return !(sites[ordinal * 8] & OutsideCrystal); }
    // cell(ordinal).holdsSilicon without working out the cell's key.
    bool holdsSilicon(std::size_t ordinal) const {
        return (sites[ordinal * 8] & HoldsSilicon) != 0;
    }
    // Ordinal of the cell with this key, or cellCount() when the box does not hold it.
    std::size_t findCell(std::uint32_t key) const;
    Util::Vector3D cellPosition(std::size_t ordinal) const;
    // Cells with x columns possibly in [firstColumn, endColumn), as ordinal ranges in
    // increasing order. A superset: callers check each atom's own column.
    std::vector<std::pair<std::size_t, std::size_t>> cellRangesForColumns(unsigned firstColumn,
                                                                          unsigned endColumn) const;

    // --- atoms
    std::size_t latticeAtomCount() const { return siteCount; }
    std::size_t extraAtomCount() const { return extraAtoms.size(); }
    AtomId firstExtraAtom() const { return AtomId(siteCount); }
    AtomId atomOfCell(std::size_t ordinal, unsigned index) const {
        return AtomId(ordinal * 8 + index);
    }
    // Ordinal of the cell an atom belongs to, or cellCount() for extra atoms.
    std::size_t cellOf(AtomId id) const { return id < siteCount ? id / 8 : boxCells; }
    // Position 0..7 of the atom in the cell, -1 when it is not one of the cell's atoms.
    int indexOfAtom(std::size_t ordinal, AtomId id) const;

    // Everything about one atom at once (a snapshot; the lattice does not keep it).
    SiAtom atom(AtomId id) const;

    SiAtom::AtomState state(AtomId id) const {
        return id < siteCount ? SiAtom::AtomState(sites[id] & StateBits)
                              : extraAtoms[id - siteCount].state;
    }
    // Engines change the states of the atoms of their own strip only, so that concurrent
    // strips write distinct bytes.
    void setState(AtomId id, SiAtom::AtomState value) {
        if (id < siteCount)
            sites[id] = std::uint8_t((sites[id] & ~StateBits) | std::uint8_t(value));
        else
            extraAtoms[id - siteCount].state = value;
    }
    // The partner in a bond slot, or noAtom.
    AtomId neighbor(AtomId id, unsigned slot) const {
        if (id >= siteCount)
            return extraAtoms[id - siteCount].neighbors[slot];
        const std::uint8_t bits = sites[id];
        if (bits & ExplicitBond) {
            const AtomId linked = explicitNeighbor(id, slot);
            if (linked != noAtom)
                return linked;
        }
        if (bits & OutsideCrystal)
            return noAtom;
        const AtomId partner = (bits & BoxFace) ? partnerInBox(id, slot)
                                                : AtomId(std::int64_t(id) + step[id & 7][slot]);
        return partner == noAtom || (sites[partner] & OutsideCrystal) ? noAtom : partner;
    }
    // The volume's cell that holds the atom, -1 outside the volume.
    std::int32_t cellIndexOf(AtomId id) const {
        if (id >= siteCount)
            return extraAtoms[id - siteCount].cellIndex;
        const std::size_t column = (id >> 3) / boxZ;
        const std::size_t k = (id >> 3) - column * boxZ;
        const unsigned s = id & 7;
        const std::int32_t xy = columnCells[column * 8 + s];
        const std::int32_t z = layerCells[siteLayer[s] * boxZ + k];
        return xy < 0 || z < 0 ? -1 : xy + z;
    }
    int sublatticeOf(AtomId id) const {
        return id < siteCount ? int((id >> 1) & 1u) : extraAtoms[id - siteCount].sublattice();
    }
    Util::Vector3D atomPosition(AtomId id) const;
    // An atom with a free bond slot or an Empty partner: what the renderer shows as surface.
    bool isSurfaceAtom(AtomId id) const;

    // Links p to q in p's slot and q to p in the opposite slot; slots of 4 or more do nothing.
    void link(AtomId p, AtomId q, unsigned slot);

    // Present neighbours (4 for a Fixed atom: it never etches and holds its neighbours).
    int countBondedNeighbors(AtomId id) const {
        if (state(id) == SiAtom::Fixed)
            return 4;
        int bonded = 0;
        for (unsigned s = 0; s < 4; ++s) {
            const AtomId n = neighbor(id, s);
            if (n != noAtom && state(n) != SiAtom::Empty)
                ++bonded;
        }
        return bonded;
    }
    // Over the present neighbours: bonded count - 1 for silicon, 3 for a Fixed one. 12 in the
    // bulk, 9 for a (111) surface atom.
    int countSecondNeighbors(AtomId id) const {
        int sum = 0;
        for (unsigned s = 0; s < 4; ++s) {
            const AtomId n = neighbor(id, s);
            if (n == noAtom)
                continue;
            const SiAtom::AtomState partner = state(n);
            if (partner == SiAtom::Silicon)
                sum += countBondedNeighbors(n) - 1;
            else if (partner == SiAtom::Fixed)
                sum += 3;
        }
        return sum;
    }

    // Adds a Fixed boundary atom at `position`, linked to `partner` in `slot`; returns its id.
    // Only between etching passes.
    AtomId addBoundaryAtom(AtomId partner, unsigned slot, const Util::Vector3D& position);
    // Removes every boundary atom and unlinks it from its partner.
    void clearExtraAtoms();

    // The atom of the crystal proper at a position (within a hundredth of a lattice constant),
    // or noAtom when no site of the box lies there.
    AtomId atomAt(const Util::Vector3D& position) const;
    // Makes `partner` the atom's neighbour in `slot` without changing the partner's own bonds,
    // so that a bond leaving the volume through a side can end on the atom where the wafer
    // continues on the far side. Only between etching passes; undone by unlinkOneWay.
    void linkOneWay(AtomId id, unsigned slot, AtomId partner) {
        setExplicitNeighbor(id, slot, partner);
    }
    // Gives the slot back its own partner.
    void unlinkOneWay(AtomId id, unsigned slot);

    // --- occupancy, the continuous etch's per-atom remainder. An atom that etch took reads 1
    // until the etch records less; one it never took, or removed, reads 0.
    float occupancy(AtomId id) const;
    // Marks an atom as taken by a continuous etch (from its own strip).
    void takeForOccupancy(AtomId id) {
        if (id < siteCount)
            sites[id] |= Taken;
    }
    // The atom went: its occupancy reads 0 (from its own strip).
    void dropOccupancy(AtomId id) {
        if (id < siteCount)
            sites[id] &= std::uint8_t(~Taken);
    }
    // Forgets what earlier etches recorded for the atoms that are silicon now (the next run
    // takes them afresh); only between passes.
    void restartOccupancyOfSilicon();
    // Records a remainder; only between passes.
    void setOccupancy(AtomId id, float value);

    // Visits every atom of the crystal proper that lies in a volume cell of x columns
    // [firstColumn, endColumn), as f(atom, cell index). Cells are visited in no fixed order.
    template <class Function>
    void forEachCrystalAtom(unsigned firstColumn, unsigned endColumn, Function&& f) const;

    // Bytes held by the lattice.
    std::size_t memoryBytes() const;

private:
    // What a site's byte holds besides its state.
    enum SiteBits : std::uint8_t {
        StateBits = 0x03,
        // The site's cell is not part of the crystal proper: no bonds, never taken.
        OutsideCrystal = 0x04,
        // The site's cell holds silicon (set on all eight sites of the cell).
        HoldsSilicon = 0x08,
        // A slot of this atom was linked explicitly (a boundary atom): look it up first.
        ExplicitBond = 0x10,
        // The cell lies on a face of the box: partners may lie outside it.
        BoxFace = 0x20,
        // Taken by the last continuous etch that reached it.
        Taken = 0x40,
    };

    Util::Vector3D siteCoordinates(long long i, long long j, long long k, unsigned site) const;
    void boxCellOf(std::size_t ordinal, unsigned& i, unsigned& j, unsigned& k) const;
    AtomId partnerInBox(AtomId id, unsigned slot) const;
    AtomId explicitNeighbor(AtomId id, unsigned slot) const;
    void setExplicitNeighbor(AtomId id, unsigned slot, AtomId partner);

    // Build steps.
    struct SiliconExtent;
    void clear();
    bool findBox(const SiliconExtent& extent);
    void placeColumns();
    void placeSites(MaterialCells materials, std::uint8_t* holds, unsigned firstI, unsigned endI);
    void markCrystal(std::uint8_t* flags);
    void countAtoms();

    TotalVolume* volume;
    CrystalOrientation orientation;
    const CrystalFrame* frame;
    // The frame's layer of each site, at hand for cellIndexOf.
    std::uint8_t siteLayer[8];
    unsigned sizeX;
    unsigned sizeY;
    unsigned sizeZ;
    float cellSizeX;
    float cellSizeY;
    float cellSizeZ;
    Util::Vector3D volumePosition;
    double latticeConstant = 1.0;
    Util::Vector4D origin;
    unsigned cellsX;
    unsigned cellsY;
    unsigned cellsZ;
    CellIndex sliceSize;
    double cosTurn;
    double sinTurn;
    std::vector<Util::Vector3D> unitCellCorners;

    // The box: unit cells [boxI, boxI + boxX) x [boxJ, boxJ + boxY) x [boxK, boxK + boxZ).
    unsigned boxI = 0, boxJ = 0, boxK = 0;
    unsigned boxX = 0, boxY = 0, boxZ = 0;
    std::size_t boxCells = 0;
    std::size_t siteCount = 0;
    // Atom id step from a site to its partner in each slot, for cells inside the box.
    std::int64_t step[8][4] = {};

    LargeArray<std::uint8_t> sites;
    // Silicon atoms in each cell of the volume; none when the lattice is empty.
    LargeArray<std::int32_t> atomCounts;
    // Per box column (i, j) and site: the volume cell index of the site's x and y, or -1 when
    // they lie outside; per z layer of the box and atomic layer of the cell: the z cell, or -1.
    std::vector<std::int32_t> columnCells;
    std::vector<std::int32_t> layerCells;

    std::vector<SiAtom> extraAtoms;
    std::vector<std::array<double, 3>> extraPositions;
    // (atom * 4 + slot) -> partner, for the sites marked ExplicitBond; sorted by key.
    std::vector<std::pair<std::uint64_t, AtomId>> explicitBonds;
    std::unordered_map<AtomId, float> occupancies;
};

template <class Function>
void SiLattice::forEachCrystalAtom(unsigned firstColumn, unsigned endColumn, Function&& f) const {
    const std::size_t columns = std::size_t(boxX) * boxY;
    for (std::size_t column = 0; column < columns; ++column) {
        for (unsigned s = 0; s < 8; ++s) {
            const std::int32_t xy = columnCells[column * 8 + s];
            if (xy < 0)
                continue;
            const unsigned x = columnOf(CellIndex(xy));
            if (x < firstColumn || x >= endColumn)
                continue;
            const std::int32_t* layers = layerCells.data() + siteLayer[s] * boxZ;
            const AtomId first = AtomId(column * boxZ * 8 + s);
            for (unsigned k = 0; k < boxZ; ++k) {
                const AtomId id = first + AtomId(k) * 8;
                if (layers[k] < 0 || (sites[id] & OutsideCrystal))
                    continue;
                f(id, CellIndex(xy + layers[k]));
            }
        }
    }
}

} // namespace Model::Automaton
