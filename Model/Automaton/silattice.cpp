#include "Model/Automaton/silattice.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/volumebudget.h"
#include "Model/Automaton/voxel.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Model::Automaton {

namespace {

Q_LOGGING_CATEGORY(lcSiLattice, "Model/Automaton/silattice", QtInfoMsg)

enum CellFlag : std::uint8_t {
    HoldsSilicon = 1,
    Stored = 2,
    // Scratch bits of the neighbourhood dilation.
    NearAlongZ = 4,
    NearAlongYZ = 8,
};

// The cell of one axis that a coordinate falls in, in single precision as every engine
// computes it; false outside [0, size).
inline bool axisCell(double offset, float cellSize, unsigned size, unsigned& cell) {
    const float f = float(offset / double(cellSize));
    if (!(f >= 0.0f) || f >= float(size))
        return false;
    cell = unsigned(f);
    return true;
}

QString memoryText(std::uint64_t bytes) {
    const double mebibytes = double(bytes) / (1024.0 * 1024.0);
    if (mebibytes < 1024.0)
        return QStringLiteral("%1 MiB").arg(QString::number(mebibytes, 'f', 1));
    return QStringLiteral("%1 GiB").arg(QString::number(mebibytes / 1024.0, 'f', 1));
}

} // namespace

SiLattice::SiLattice(TotalVolume& volume)
    : volume(&volume), sizeX(volume.getSizeX()), sizeY(volume.getSizeY()), sizeZ(volume.getSizeZ()),
      cellSizeX(volume.getCellSizeX()), cellSizeY(volume.getCellSizeY()),
      cellSizeZ(volume.getCellSizeZ()), volumePosition(volume.getPosition()) {
    // A square of this many unit cells, turned 45 degrees, covers the whole footprint.
    cellsX = cellsY = unsigned(std::ceil((double(sizeX) + double(sizeY)) / std::sqrt(2.0)));
    cellsZ = sizeZ;
    sliceSize = std::max<CellIndex>(1, CellIndex(sizeY) * sizeZ);

    const double turn = 45.0 * (std::acos(0.0) / 90.0);
    cosTurn = std::cos(turn);
    sinTurn = std::sin(turn);

    const double c = std::sqrt(2.0) / 2.0;
    const double s2 = std::sqrt(2.0);
    unitCellCorners = {Util::Vector3D(0, 0, 0),  Util::Vector3D(0, 0, 1), Util::Vector3D(-c, c, 0),
                       Util::Vector3D(-c, c, 1), Util::Vector3D(c, c, 0), Util::Vector3D(c, c, 1),
                       Util::Vector3D(0, s2, 0), Util::Vector3D(0, s2, 1)};
    // Both offsets use sizeX: that centres the turned square on the footprint.
    origin = Util::Vector4D(volumePosition.x + sizeX * 0.5, volumePosition.y - sizeX * 0.5,
                            volumePosition.z, 0.0);
}

Util::Vector3D SiLattice::siteCoordinates(unsigned i, unsigned j, unsigned k, unsigned site) const {
    const double ux = double(i) + SiCell::siteOffset[site][0];
    const double uy = double(j) + SiCell::siteOffset[site][1];
    const double uz = double(k) + SiCell::siteOffset[site][2];
    return Util::Vector3D(ux * cosTurn - uy * sinTurn + origin.x,
                          ux * sinTurn + uy * cosTurn + origin.y, uz + origin.z);
}

bool SiLattice::locate(double x, double y, double z, CellIndex& index) const {
    unsigned cx = 0, cy = 0, cz = 0;
    if (!axisCell(x - volumePosition.x, cellSizeX, sizeX, cx) ||
        !axisCell(y - volumePosition.y, cellSizeY, sizeY, cy) ||
        !axisCell(z - volumePosition.z, cellSizeZ, sizeZ, cz))
        return false;
    index = (CellIndex(sizeY) * cx + cy) * sizeZ + cz;
    return true;
}

SiLattice::Placement SiLattice::place(double x, double y, double z, const Voxel* voxels) const {
    CellIndex index = 0;
    if (!locate(x, y, z, index))
        return {-1, SiAtom::Fixed};
    const std::uint32_t material = voxels[index].material;
    const SiAtom::AtomState state =
        material == 1 ? SiAtom::Silicon : (material == 0 ? SiAtom::Empty : SiAtom::Fixed);
    return {std::int32_t(index), state};
}

void SiLattice::keyToCell(std::uint32_t key, unsigned& i, unsigned& j, unsigned& k) const {
    k = key % cellsZ;
    const std::uint32_t ij = key / cellsZ;
    j = ij % cellsY;
    i = ij / cellsY;
}

bool SiLattice::build(QString* reason) {
    cells.clear();
    atoms.clear();
    extraAtoms.clear();
    extraPositions.clear();

    const std::uint64_t candidates = std::uint64_t(cellsX) * cellsY * cellsZ;
    const std::uint64_t available = VolumeBudget::availableBytes();
    auto refuse = [&](const QString& text) {
        qCWarning(lcSiLattice).noquote() << text;
        if (reason)
            *reason = text;
        return false;
    };
    if (candidates == 0)
        return true;
    if (candidates > std::numeric_limits<std::uint32_t>::max() ||
        CellIndex(sizeX) * sliceSize > CellIndex(std::numeric_limits<std::int32_t>::max()))
        return refuse(QStringLiteral("The cell volume is too large for a silicon lattice."));
    if (candidates > available)
        return refuse(QStringLiteral("Building the silicon lattice needs %1 of memory, but only "
                                     "%2 are available.")
                          .arg(memoryText(candidates), memoryText(available)));

    std::vector<std::uint8_t> flags(candidates, 0);
    const CellArraysLock locked(*volume);
    Voxel* voxels = locked.current();
    Voxel* nextVoxels = locked.next();

    markSiliconCells(flags, voxels);
    const std::size_t stored = markNeighbourCells(flags);
    const std::uint64_t needed = std::uint64_t(stored) * (sizeof(SiCell) + 8 * sizeof(SiAtom));
    if (std::uint64_t(stored) * 8 >= noAtom || needed + candidates > available) {
        return refuse(QStringLiteral("The silicon lattice of this cell volume needs %1 of "
                                     "memory, but only %2 are available.")
                          .arg(memoryText(needed + candidates), memoryText(available)));
    }

    // The etching engines rely on each silicon cell counting exactly its silicon atoms.
    const CellIndex cellTotal = volume->getCellCount();
    for (CellIndex c = 0; c < cellTotal; ++c) {
        voxels[c].atomCount = 0;
        nextVoxels[c].atomCount = 0;
    }

    cells.reserve(stored);
    atoms.reserve(stored * 8);
    fillCells(flags, voxels, nextVoxels);
    flags.clear();
    flags.shrink_to_fit();
    linkCells();
    return true;
}

void SiLattice::markSiliconCells(std::vector<std::uint8_t>& flags, const Voxel* voxels) const {
    struct SiteColumn {
        bool inside;
        CellIndex base;
        double z;
    };
    for (unsigned i = 0; i < cellsX; ++i) {
        for (unsigned j = 0; j < cellsY; ++j) {
            // x and y of a site do not change along k, so place them once per column.
            SiteColumn columns[8];
            bool anyInside = false;
            for (unsigned s = 0; s < 8; ++s) {
                const Util::Vector3D p = siteCoordinates(i, j, 0, s);
                unsigned cx = 0, cy = 0;
                columns[s].inside = axisCell(p.x - volumePosition.x, cellSizeX, sizeX, cx) &&
                                    axisCell(p.y - volumePosition.y, cellSizeY, sizeY, cy);
                columns[s].base = (CellIndex(sizeY) * cx + cy) * sizeZ;
                columns[s].z = SiCell::siteOffset[s][2];
                anyInside = anyInside || columns[s].inside;
            }
            if (!anyInside)
                continue;
            std::uint8_t* row = flags.data() + std::size_t(j + std::size_t(i) * cellsY) * cellsZ;
            for (unsigned k = 0; k < cellsZ; ++k) {
                for (unsigned s = 0; s < 8; ++s) {
                    if (!columns[s].inside)
                        continue;
                    unsigned cz = 0;
                    const double z = (double(k) + columns[s].z) + origin.z;
                    if (axisCell(z - volumePosition.z, cellSizeZ, sizeZ, cz) &&
                        voxels[columns[s].base + cz].material == 1) {
                        row[k] |= HoldsSilicon;
                        break;
                    }
                }
            }
        }
    }
}

std::size_t SiLattice::markNeighbourCells(std::vector<std::uint8_t>& flags) const {
    // A 3 x 3 x 3 dilation of the silicon cells, done one axis at a time.
    const std::size_t strideJ = cellsZ;
    const std::size_t strideI = std::size_t(cellsY) * cellsZ;
    for (unsigned i = 0; i < cellsX; ++i) {
        for (unsigned j = 0; j < cellsY; ++j) {
            std::uint8_t* row = flags.data() + i * strideI + j * strideJ;
            for (unsigned k = 0; k < cellsZ; ++k) {
                const bool near = (row[k] & HoldsSilicon) ||
                                  (k > 0 && (row[k - 1] & HoldsSilicon)) ||
                                  (k + 1 < cellsZ && (row[k + 1] & HoldsSilicon));
                if (near)
                    row[k] |= NearAlongZ;
            }
        }
    }
    for (unsigned i = 0; i < cellsX; ++i) {
        for (unsigned j = 0; j < cellsY; ++j) {
            std::uint8_t* row = flags.data() + i * strideI + j * strideJ;
            for (unsigned k = 0; k < cellsZ; ++k) {
                const bool near = (row[k] & NearAlongZ) ||
                                  (j > 0 && (row[k - strideJ] & NearAlongZ)) ||
                                  (j + 1 < cellsY && (row[k + strideJ] & NearAlongZ));
                if (near)
                    row[k] |= NearAlongYZ;
            }
        }
    }
    std::size_t stored = 0;
    for (unsigned i = 0; i < cellsX; ++i) {
        for (unsigned j = 0; j < cellsY; ++j) {
            std::uint8_t* row = flags.data() + i * strideI + j * strideJ;
            for (unsigned k = 0; k < cellsZ; ++k) {
                const bool near = (row[k] & NearAlongYZ) ||
                                  (i > 0 && (row[k - strideI] & NearAlongYZ)) ||
                                  (i + 1 < cellsX && (row[k + strideI] & NearAlongYZ));
                if (near) {
                    row[k] |= Stored;
                    ++stored;
                }
            }
        }
    }
    return stored;
}

void SiLattice::fillCells(const std::vector<std::uint8_t>& flags, Voxel* voxels,
                          Voxel* nextVoxels) {
    std::uint32_t key = 0;
    for (unsigned i = 0; i < cellsX; ++i) {
        for (unsigned j = 0; j < cellsY; ++j) {
            for (unsigned k = 0; k < cellsZ; ++k, ++key) {
                const std::uint8_t flag = flags[key];
                if (!(flag & Stored))
                    continue;
                const AtomId first = AtomId(atoms.size());
                cells.push_back(SiCell{key, bool(flag & HoldsSilicon)});
                for (unsigned s = 0; s < 8; ++s) {
                    const Util::Vector3D p = siteCoordinates(i, j, k, s);
                    const Placement placed = place(p.x, p.y, p.z, voxels);
                    SiAtom atom;
                    atom.site = std::uint8_t(s);
                    atom.cellIndex = placed.cellIndex;
                    atom.state = placed.state;
                    if (placed.state == SiAtom::Silicon) {
                        const std::int32_t count = voxels[placed.cellIndex].atomCount + 1;
                        voxels[placed.cellIndex].atomCount = count;
                        nextVoxels[placed.cellIndex].atomCount = count;
                    }
                    atoms.push_back(atom);
                }
                for (const SiCell::Bond& bond : SiCell::internalBonds)
                    link(first + bond.from, first + bond.to, bond.slot);
            }
        }
    }
}

void SiLattice::linkCells() {
    // Forward neighbours have larger keys, and as the cells are walked in key order so are
    // their keys: one cursor per direction finds them all in a single sweep.
    std::size_t cursor[SiCell::DirectionCount] = {};
    std::uint32_t keyStep[SiCell::DirectionCount];
    for (int d = 0; d < SiCell::DirectionCount; ++d) {
        const SiCell::ForwardBonds& f = SiCell::forwardBonds[d];
        keyStep[d] = std::uint32_t(f.dz + (f.dy + std::uint64_t(f.dx) * cellsY) * cellsZ);
    }
    const std::size_t count = cells.size();
    for (std::size_t ordinal = 0; ordinal < count; ++ordinal) {
        const std::uint32_t key = cells[ordinal].key;
        unsigned i = 0, j = 0, k = 0;
        keyToCell(key, i, j, k);
        for (int d = 0; d < SiCell::DirectionCount; ++d) {
            const SiCell::ForwardBonds& f = SiCell::forwardBonds[d];
            if ((f.dx && i + 1 >= cellsX) || (f.dy && j + 1 >= cellsY) || (f.dz && k + 1 >= cellsZ))
                continue;
            const std::uint32_t target = key + keyStep[d];
            std::size_t& c = cursor[d];
            while (c < count && cells[c].key < target)
                ++c;
            if (c == count || cells[c].key != target)
                continue;
            for (int b = 0; b < f.count; ++b) {
                const SiCell::Bond& bond = f.bonds[b];
                link(atomOfCell(ordinal, bond.from), atomOfCell(c, bond.to), bond.slot);
            }
        }
    }
}

std::size_t SiLattice::findCell(std::uint32_t key) const {
    const auto found = std::lower_bound(cells.begin(), cells.end(), key,
                                        [](const SiCell& c, std::uint32_t k) { return c.key < k; });
    if (found == cells.end() || found->key != key)
        return cells.size();
    return std::size_t(found - cells.begin());
}

Util::Vector3D SiLattice::cellPosition(std::size_t ordinal) const {
    unsigned i = 0, j = 0, k = 0;
    keyToCell(cells[ordinal].key, i, j, k);
    const double x = double(i), y = double(j), z = double(k);
    return Util::Vector3D(x * cosTurn - y * sinTurn + origin.x,
                          x * sinTurn + y * cosTurn + origin.y, z + origin.z);
}

std::vector<std::pair<std::size_t, std::size_t>>
SiLattice::cellRangesForColumns(unsigned firstColumn, unsigned endColumn) const {
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    if (cells.empty() || firstColumn >= endColumn)
        return ranges;
    if (firstColumn == 0 && endColumn >= sizeX) {
        ranges.emplace_back(0, cells.size());
        return ranges;
    }
    // The atoms of cell (i, j) lie within half a lattice constant of x = (i - j) * cos45 +
    // sizeX / 2 (relative to the volume); a margin of one length unit covers rounding.
    const double margin = 1.0;
    const double low = double(firstColumn) * cellSizeX - margin - sizeX * 0.5;
    const double high = double(endColumn) * cellSizeX + margin - sizeX * 0.5;
    const long long uMin = (long long)std::floor(low / cosTurn - 0.5);
    const long long uMax = (long long)std::ceil(high / cosTurn + 0.5);
    auto keyLowerBound = [this](std::uint64_t key) {
        return std::size_t(
            std::lower_bound(cells.begin(), cells.end(), key,
                             [](const SiCell& c, std::uint64_t k) { return c.key < k; }) -
            cells.begin());
    };
    for (long long i = 0; i < (long long)cellsX; ++i) {
        const long long jFirst = std::max<long long>(0, i - uMax);
        const long long jLast = std::min<long long>((long long)cellsY - 1, i - uMin);
        if (jFirst > jLast)
            continue;
        const std::uint64_t keyBegin = std::uint64_t(jFirst + i * cellsY) * cellsZ;
        const std::uint64_t keyEnd = std::uint64_t(jLast + 1 + i * cellsY) * cellsZ;
        const std::size_t begin = keyLowerBound(keyBegin);
        const std::size_t end = keyLowerBound(keyEnd);
        if (begin == end)
            continue;
        if (!ranges.empty() && ranges.back().second == begin)
            ranges.back().second = end;
        else
            ranges.emplace_back(begin, end);
    }
    return ranges;
}

int SiLattice::indexOfAtom(std::size_t ordinal, AtomId id) const {
    if (ordinal >= cells.size() || id < ordinal * 8 || id >= ordinal * 8 + 8)
        return -1;
    return int(id - ordinal * 8);
}

Util::Vector3D SiLattice::atomPosition(AtomId id) const {
    if (id >= atoms.size()) {
        const std::array<double, 3>& p = extraPositions[id - atoms.size()];
        return Util::Vector3D(p[0], p[1], p[2]);
    }
    unsigned i = 0, j = 0, k = 0;
    keyToCell(cells[id / 8].key, i, j, k);
    return siteCoordinates(i, j, k, id % 8);
}

void SiLattice::link(AtomId p, AtomId q, unsigned slot) {
    if (slot >= 4)
        return;
    atom(p).neighbors[slot] = q;
    atom(q).neighbors[3 - slot] = p;
}

int SiLattice::countBondedNeighbors(AtomId id) const {
    const SiAtom& a = atom(id);
    if (a.state == SiAtom::Fixed)
        return 4;
    int bonded = 0;
    for (const AtomId n : a.neighbors) {
        if (n != noAtom && atom(n).state != SiAtom::Empty)
            ++bonded;
    }
    return bonded;
}

int SiLattice::countSecondNeighbors(AtomId id) const {
    int sum = 0;
    for (const AtomId n : atom(id).neighbors) {
        if (n == noAtom)
            continue;
        const SiAtom& neighbour = atom(n);
        if (neighbour.state == SiAtom::Silicon)
            sum += countBondedNeighbors(n) - 1;
        else if (neighbour.state == SiAtom::Fixed)
            sum += 3;
    }
    return sum;
}

AtomId SiLattice::addBoundaryAtom(AtomId partner, unsigned slot, const Util::Vector3D& position) {
    SiAtom boundary;
    boundary.state = SiAtom::Fixed;
    boundary.cellIndex = -1;
    boundary.site = std::uint8_t(SiAtom::boundarySite + (1 - atom(partner).sublattice()));
    const AtomId id = AtomId(atoms.size() + extraAtoms.size());
    extraAtoms.push_back(boundary);
    extraPositions.push_back({position.x, position.y, position.z});
    link(partner, id, slot);
    return id;
}

void SiLattice::clearExtraAtoms() {
    const AtomId first = firstExtraAtom();
    for (std::size_t e = 0; e < extraAtoms.size(); ++e) {
        const AtomId id = first + AtomId(e);
        for (unsigned s = 0; s < 4; ++s) {
            const AtomId n = extraAtoms[e].neighbors[s];
            if (n != noAtom && n < first && atoms[n].neighbors[3 - s] == id)
                atoms[n].neighbors[3 - s] = noAtom;
        }
    }
    extraAtoms.clear();
    extraPositions.clear();
}

std::size_t SiLattice::memoryBytes() const {
    return cells.capacity() * sizeof(SiCell) + atoms.capacity() * sizeof(SiAtom) +
           extraAtoms.capacity() * sizeof(SiAtom) +
           extraPositions.capacity() * sizeof(std::array<double, 3>);
}

} // namespace Model::Automaton
