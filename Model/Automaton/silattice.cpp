#include "Model/Automaton/silattice.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/materialcells.h"
#include "Model/Automaton/strips.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/volumebudget.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace Model::Automaton {

namespace {

Q_LOGGING_CATEGORY(lcSiLattice, "Model/Automaton/silattice", QtInfoMsg)

// Atom ids above this are kept free for the boundary atoms of the engines.
constexpr std::uint64_t maximumSites = 0xE0000000ull;

// The cell of one axis that a coordinate falls in, in single precision as every engine
// computes it; false outside [0, size).
inline bool axisCell(double offset, float cellSize, unsigned size, unsigned& cell) {
    const float f = float(offset / double(cellSize));
    if (!(f >= 0.0f) || f >= float(size))
        return false;
    cell = unsigned(f);
    return true;
}

inline SiAtom::AtomState stateOfMaterial(std::uint32_t material) {
    return material == 1 ? SiAtom::Silicon : (material == 0 ? SiAtom::Empty : SiAtom::Fixed);
}

QString memoryText(std::uint64_t bytes) {
    const double mebibytes = double(bytes) / (1024.0 * 1024.0);
    if (mebibytes < 1024.0)
        return QStringLiteral("%1 MiB").arg(QString::number(mebibytes, 'f', 1));
    return QStringLiteral("%1 GiB").arg(QString::number(mebibytes / 1024.0, 'f', 1));
}

// Unit cells [low, high] of one lattice axis whose sites may lie in [from, to] along it (in
// lattice constants), widened by `margin` cells and kept inside [0, count).
bool axisRange(double from, double to, int margin, unsigned count, unsigned& low, unsigned& high) {
    const double lowest = std::floor(from) - 1.0 - margin;
    const double highest = std::floor(to) + margin;
    if (count == 0 || highest < 0.0 || lowest > double(count) - 1.0)
        return false;
    low = unsigned(std::max(0.0, lowest));
    high = unsigned(std::min(double(count) - 1.0, highest));
    return low <= high;
}

} // namespace

// The silicon cells' bounding box in cell coordinates.
struct SiLattice::SiliconExtent {
    bool any = false;
    unsigned low[3] = {0, 0, 0};
    unsigned high[3] = {0, 0, 0};

    void add(unsigned x, unsigned y, unsigned z) {
        const unsigned at[3] = {x, y, z};
        for (int a = 0; a < 3; ++a) {
            low[a] = any ? std::min(low[a], at[a]) : at[a];
            high[a] = any ? std::max(high[a], at[a]) : at[a];
        }
        any = true;
    }
    void add(const SiliconExtent& other) {
        if (!other.any)
            return;
        add(other.low[0], other.low[1], other.low[2]);
        add(other.high[0], other.high[1], other.high[2]);
    }
};

SiLattice::SiLattice(TotalVolume& volume)
    : volume(&volume), orientation(volume.getCrystalOrientation()),
      frame(&CrystalFrame::of(orientation)), sizeX(volume.getSizeX()), sizeY(volume.getSizeY()),
      sizeZ(volume.getSizeZ()), cellSizeX(volume.getCellSizeX()), cellSizeY(volume.getCellSizeY()),
      cellSizeZ(volume.getCellSizeZ()), volumePosition(volume.getPosition()) {
    const double shortestEdge = std::min({double(cellSizeX), double(cellSizeY), double(cellSizeZ)});
    latticeConstant = shortestEdge > 0.0 && std::isfinite(shortestEdge) ? shortestEdge : 1.0;
    // The volume's extent in lattice constants; a whole number of cells along the shortest
    // edge, so the tolerance only absorbs the rounding of the division.
    const double lengthX = double(sizeX) * cellSizeX / latticeConstant;
    const double lengthY = double(sizeY) * cellSizeY / latticeConstant;
    const double lengthZ = double(sizeZ) * cellSizeZ / latticeConstant;
    for (unsigned site = 0; site < 8; ++site)
        siteLayer[site] = frame->layer[site];
    sliceSize = std::max<CellIndex>(1, CellIndex(sizeY) * sizeZ);
    const double turn = frame->turn * (std::acos(0.0) / 90.0);
    cosTurn = std::cos(turn);
    sinTurn = std::sin(turn);
    const double a = latticeConstant;

    if (orientation == CrystalOrientation::Surface110) {
        // The cells stand square to the volume from its corner: the box covers the volume.
        cellsX = unsigned(std::ceil(lengthX / frame->edge[0] - 1e-9));
        cellsY = unsigned(std::ceil(lengthY / frame->edge[1] - 1e-9));
        cellsZ = unsigned(std::ceil(lengthZ / frame->edge[2] - 1e-9));
        const double ex = frame->edge[0] * a, ey = frame->edge[1] * a, ez = frame->edge[2] * a;
        unitCellCorners = {Util::Vector3D(0, 0, 0),   Util::Vector3D(0, 0, ez),
                           Util::Vector3D(0, ey, 0),  Util::Vector3D(0, ey, ez),
                           Util::Vector3D(ex, 0, 0),  Util::Vector3D(ex, 0, ez),
                           Util::Vector3D(ex, ey, 0), Util::Vector3D(ex, ey, ez)};
        origin = Util::Vector4D(volumePosition.x, volumePosition.y, volumePosition.z, 0.0);
        return;
    }

    // A square of this many unit cells, turned 45 degrees, covers the whole footprint.
    cellsX = cellsY = unsigned(std::ceil((lengthX + lengthY) / std::sqrt(2.0)));
    cellsZ = unsigned(std::ceil(lengthZ - 1e-9));

    const double c = std::sqrt(2.0) / 2.0 * latticeConstant;
    const double s2 = std::sqrt(2.0) * latticeConstant;
    unitCellCorners = {Util::Vector3D(0, 0, 0),  Util::Vector3D(0, 0, a), Util::Vector3D(-c, c, 0),
                       Util::Vector3D(-c, c, a), Util::Vector3D(c, c, 0), Util::Vector3D(c, c, a),
                       Util::Vector3D(0, s2, 0), Util::Vector3D(0, s2, a)};
    // Both offsets use the x length: that centres the turned square on the footprint.
    const double half = lengthX * latticeConstant * 0.5;
    origin =
        Util::Vector4D(volumePosition.x + half, volumePosition.y - half, volumePosition.z, 0.0);
}

double SiLattice::sideRepeat(int axis) const {
    // Half a face diagonal along both turned axes of a (100) wafer; along [1-10] and [001] of a
    // (110) wafer, the cell's own edges.
    if (orientation == CrystalOrientation::Surface110)
        return frame->edge[axis == 0 ? 0 : 1] * latticeConstant;
    return std::sqrt(0.5) * latticeConstant;
}

Util::Vector3D SiLattice::siteCoordinates(long long i, long long j, long long k,
                                          unsigned site) const {
    // The edges are 1 on (100), where the products are exactly those without them.
    const double ux = (double(i) + frame->siteOffset[site][0]) * frame->edge[0] * latticeConstant;
    const double uy = (double(j) + frame->siteOffset[site][1]) * frame->edge[1] * latticeConstant;
    const double uz = (double(k) + frame->siteOffset[site][2]) * frame->edge[2] * latticeConstant;
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

void SiLattice::boxCellOf(std::size_t ordinal, unsigned& i, unsigned& j, unsigned& k) const {
    const std::size_t column = ordinal / boxZ;
    k = unsigned(ordinal - column * boxZ);
    j = unsigned(column % boxY);
    i = unsigned(column / boxY);
}

// --- building

void SiLattice::clear() {
    boxI = boxJ = boxK = boxX = boxY = boxZ = 0;
    boxCells = siteCount = 0;
    sites.reset();
    atomCounts.reset();
    columnCells.clear();
    layerCells.clear();
    extraAtoms.clear();
    extraPositions.clear();
    explicitBonds.clear();
    occupancies.clear();
}

bool SiLattice::build(QString* reason) {
    clear();
    auto refuse = [&](const QString& text) {
        clear();
        qCWarning(lcSiLattice).noquote() << text;
        if (reason)
            *reason = text;
        return false;
    };
    const std::uint64_t candidates = std::uint64_t(cellsX) * cellsY * cellsZ;
    if (candidates == 0)
        return true;
    if (candidates > std::numeric_limits<std::uint32_t>::max() ||
        CellIndex(sizeX) * sliceSize > CellIndex(std::numeric_limits<std::int32_t>::max()))
        return refuse(QStringLiteral("The cell volume is too large for a silicon lattice."));

    const CellArraysLock locked(*volume);
    const MaterialCells materials = locked.materials();

    // Where the silicon is decides the box; nothing is written before the memory is known
    // to suffice.
    const StripPartition strips(sizeX);
    std::vector<SiliconExtent> extents(std::size_t(strips.count()));
    strips.runPass([&](const Strip& strip) {
        SiliconExtent& extent = extents[std::size_t(strip.index)];
        for (unsigned x = strip.begin; x < strip.end; ++x)
            for (unsigned y = 0; y < sizeY; ++y) {
                const MaterialCells column =
                    materials + std::ptrdiff_t((CellIndex(x) * sizeY + y) * sizeZ);
                unsigned lowest = sizeZ, highest = 0;
                for (unsigned z = 0; z < sizeZ; ++z) {
                    if (column[z] == 1) {
                        lowest = std::min(lowest, z);
                        highest = z;
                    }
                }
                if (lowest < sizeZ) {
                    extent.add(x, y, lowest);
                    extent.add(x, y, highest);
                }
            }
    });
    SiliconExtent silicon;
    for (const SiliconExtent& extent : extents)
        silicon.add(extent);

    if (silicon.any && findBox(silicon)) {
        if (std::uint64_t(boxCells) * 8 > maximumSites)
            return refuse(QStringLiteral("The cell volume is too large for a silicon lattice."));
        const std::uint64_t needed = std::uint64_t(boxCells) * 9 +
                                     std::uint64_t(boxX) * boxY * 8 * 8 +
                                     std::uint64_t(sizeX) * sizeY * 4;
        const std::uint64_t available = VolumeBudget::availableBytes();
        if (needed > available) {
            return refuse(QStringLiteral("The silicon lattice of this cell volume needs %1 of "
                                         "memory, but only %2 are available.")
                              .arg(memoryText(needed), memoryText(available)));
        }
        siteCount = boxCells * 8;
        sites = allocateLargeArray<std::uint8_t>(siteCount);
        placeColumns();
        LargeArray<std::uint8_t> flags = allocateLargeArray<std::uint8_t>(boxCells);
        const StripPartition boxStrips(boxX);
        boxStrips.runPass([&](const Strip& strip) {
            placeSites(materials, flags.get(), strip.begin, strip.end);
        });
        markCrystal(flags.get());
    } else {
        clear();
    }
    // The etching engines rely on each silicon cell counting exactly its silicon atoms.
    countAtoms();

    for (unsigned s = 0; s < 8; ++s)
        for (unsigned slot = 0; slot < 4; ++slot) {
            const SiCell::Partner& p = frame->partners[s][slot];
            step[s][slot] =
                (std::int64_t(p.di) * boxY * boxZ + std::int64_t(p.dj) * boxZ + p.dk) * 8 +
                (std::int64_t(p.site) - std::int64_t(s));
        }
    return true;
}

bool SiLattice::findBox(const SiliconExtent& extent) {
    // The silicon's footprint, turned into unit-cell coordinates: a site of cell (i, j) lies at
    // u in [i, i + 0.75] and v in [j, j + 0.75].
    const double x0 = volumePosition.x + double(extent.low[0]) * cellSizeX - origin.x;
    const double x1 = volumePosition.x + double(extent.high[0] + 1) * cellSizeX - origin.x;
    const double y0 = volumePosition.y + double(extent.low[1]) * cellSizeY - origin.y;
    const double y1 = volumePosition.y + double(extent.high[1] + 1) * cellSizeY - origin.y;
    double uLow = std::numeric_limits<double>::max(), uHigh = -uLow;
    double vLow = uLow, vHigh = -uLow;
    for (const double x : {x0, x1})
        for (const double y : {y0, y1}) {
            const double u = (x * cosTurn + y * sinTurn) / latticeConstant / frame->edge[0];
            const double v = (-x * sinTurn + y * cosTurn) / latticeConstant / frame->edge[1];
            uLow = std::min(uLow, u);
            uHigh = std::max(uHigh, u);
            vLow = std::min(vLow, v);
            vHigh = std::max(vHigh, v);
        }
    const double zLow = (volumePosition.z + double(extent.low[2]) * cellSizeZ - origin.z) /
                        latticeConstant / frame->edge[2];
    const double zHigh = (volumePosition.z + double(extent.high[2] + 1) * cellSizeZ - origin.z) /
                         latticeConstant / frame->edge[2];

    // One cell for the neighbours around the silicon cells and one for rounding.
    constexpr int margin = 2;
    unsigned iLow = 0, iHigh = 0, jLow = 0, jHigh = 0, kLow = 0, kHigh = 0;
    if (!axisRange(uLow, uHigh, margin, cellsX, iLow, iHigh) ||
        !axisRange(vLow, vHigh, margin, cellsY, jLow, jHigh) ||
        !axisRange(zLow, zHigh, margin, cellsZ, kLow, kHigh))
        return false;
    boxI = iLow;
    boxJ = jLow;
    boxK = kLow;
    boxX = iHigh - iLow + 1;
    boxY = jHigh - jLow + 1;
    boxZ = kHigh - kLow + 1;
    boxCells = std::size_t(boxX) * boxY * boxZ;
    return true;
}

void SiLattice::placeColumns() {
    // x and y of a site do not change along k, nor z across (i, j): place them once.
    columnCells.assign(std::size_t(boxX) * boxY * 8, -1);
    for (unsigned ci = 0; ci < boxX; ++ci)
        for (unsigned cj = 0; cj < boxY; ++cj)
            for (unsigned s = 0; s < 8; ++s) {
                const Util::Vector3D p = siteCoordinates(boxI + ci, boxJ + cj, 0, s);
                unsigned cx = 0, cy = 0;
                if (axisCell(p.x - volumePosition.x, cellSizeX, sizeX, cx) &&
                    axisCell(p.y - volumePosition.y, cellSizeY, sizeY, cy))
                    columnCells[(std::size_t(ci) * boxY + cj) * 8 + s] =
                        std::int32_t((CellIndex(sizeY) * cx + cy) * sizeZ);
            }
    layerCells.assign(std::size_t(4) * boxZ, -1);
    for (unsigned height = 0; height < 4; ++height)
        for (unsigned ck = 0; ck < boxZ; ++ck) {
            // Layer h lies at h / 4 of the cell's height in every frame.
            const double z =
                (double(boxK + ck) + 0.25 * height) * frame->edge[2] * latticeConstant + origin.z;
            unsigned cz = 0;
            if (axisCell(z - volumePosition.z, cellSizeZ, sizeZ, cz))
                layerCells[std::size_t(height) * boxZ + ck] = std::int32_t(cz);
        }
}

void SiLattice::placeSites(MaterialCells materials, std::uint8_t* holds, unsigned firstI,
                           unsigned endI) {
    const std::size_t firstCell = std::size_t(firstI) * boxY * boxZ;
    const std::size_t cells = std::size_t(endI - firstI) * boxY * boxZ;
    prefaultLarge(sites.get() + firstCell * 8, cells * 8);
    prefaultLarge(holds + firstCell, cells);
    for (unsigned ci = firstI; ci < endI; ++ci)
        for (unsigned cj = 0; cj < boxY; ++cj) {
            const std::size_t column = std::size_t(ci) * boxY + cj;
            const std::int32_t* xy = columnCells.data() + column * 8;
            const bool sideFace = ci == 0 || ci + 1 == boxX || cj == 0 || cj + 1 == boxY;
            for (unsigned ck = 0; ck < boxZ; ++ck) {
                std::uint8_t bytes[8];
                bool silicon = false;
                for (unsigned s = 0; s < 8; ++s) {
                    const std::int32_t z = layerCells[std::size_t(siteLayer[s]) * boxZ + ck];
                    const SiAtom::AtomState state =
                        xy[s] < 0 || z < 0 ? SiAtom::Fixed
                                           : stateOfMaterial(materials[std::ptrdiff_t(xy[s]) + z]);
                    silicon = silicon || state == SiAtom::Silicon;
                    bytes[s] = std::uint8_t(state);
                }
                std::uint8_t extra = silicon ? HoldsSilicon : 0;
                if (sideFace || ck == 0 || ck + 1 == boxZ)
                    extra |= BoxFace;
                for (std::uint8_t& b : bytes)
                    b |= extra;
                const std::size_t ordinal = column * boxZ + ck;
                std::memcpy(sites.get() + ordinal * 8, bytes, 8);
                holds[ordinal] = silicon ? 1 : 0;
            }
        }
}

void SiLattice::markCrystal(std::uint8_t* flags) {
    // The crystal proper is a 3 x 3 x 3 dilation of the silicon cells, done one axis at a
    // time, each pass reading the bit the one before wrote.
    enum : std::uint8_t { Holds = 1, NearAlongZ = 2, NearAlongYZ = 4 };
    const std::size_t strideJ = boxZ;
    const std::size_t strideI = std::size_t(boxY) * boxZ;
    const StripPartition strips(boxX);
    strips.runPass([&](const Strip& strip) {
        for (unsigned ci = strip.begin; ci < strip.end; ++ci)
            for (unsigned cj = 0; cj < boxY; ++cj) {
                std::uint8_t* row = flags + ci * strideI + cj * strideJ;
                for (unsigned ck = 0; ck < boxZ; ++ck) {
                    if ((row[ck] & Holds) || (ck > 0 && (row[ck - 1] & Holds)) ||
                        (ck + 1 < boxZ && (row[ck + 1] & Holds)))
                        row[ck] |= NearAlongZ;
                }
            }
    });
    strips.runPass([&](const Strip& strip) {
        for (unsigned ci = strip.begin; ci < strip.end; ++ci)
            for (unsigned cj = 0; cj < boxY; ++cj) {
                std::uint8_t* row = flags + ci * strideI + cj * strideJ;
                for (unsigned ck = 0; ck < boxZ; ++ck) {
                    if ((row[ck] & NearAlongZ) || (cj > 0 && (row[ck - strideJ] & NearAlongZ)) ||
                        (cj + 1 < boxY && (row[ck + strideJ] & NearAlongZ)))
                        row[ck] |= NearAlongYZ;
                }
            }
    });
    strips.runPass([&](const Strip& strip) {
        constexpr std::uint64_t outside = 0x0101010101010101ull * OutsideCrystal;
        for (unsigned ci = strip.begin; ci < strip.end; ++ci)
            for (unsigned cj = 0; cj < boxY; ++cj) {
                const std::size_t first = ci * strideI + cj * strideJ;
                const std::uint8_t* row = flags + first;
                for (unsigned ck = 0; ck < boxZ; ++ck) {
                    if ((row[ck] & NearAlongYZ) || (ci > 0 && (row[ck - strideI] & NearAlongYZ)) ||
                        (ci + 1 < boxX && (row[ck + strideI] & NearAlongYZ)))
                        continue;
                    std::uint8_t* cellSites = sites.get() + (first + ck) * 8;
                    std::uint64_t bytes = 0;
                    std::memcpy(&bytes, cellSites, 8);
                    bytes |= outside;
                    std::memcpy(cellSites, &bytes, 8);
                }
            }
    });
}

void SiLattice::countAtoms() {
    atomCounts = allocateLargeArray<std::int32_t>(std::size_t(sizeX) * sizeY * sizeZ);
    // Every site column (box column and site) lies over one column of volume cells. Listing
    // the site columns of each volume column lets each x strip count its own cells alone,
    // column by column, writing every count once.
    const std::size_t volumeColumns = std::size_t(sizeX) * sizeY;
    std::vector<std::uint32_t> firstEntry(volumeColumns + 1, 0);
    for (const std::int32_t xy : columnCells) {
        if (xy >= 0)
            ++firstEntry[std::size_t(xy) / sizeZ + 1];
    }
    for (std::size_t c = 0; c < volumeColumns; ++c)
        firstEntry[c + 1] += firstEntry[c];
    std::vector<std::uint32_t> entries(firstEntry[volumeColumns]);
    {
        std::vector<std::uint32_t> fill(firstEntry.begin(), firstEntry.end() - 1);
        for (std::size_t e = 0; e < columnCells.size(); ++e) {
            const std::int32_t xy = columnCells[e];
            if (xy >= 0)
                entries[fill[std::size_t(xy) / sizeZ]++] = std::uint32_t(e);
        }
    }

    StripPartition(sizeX).runPass([&](const Strip& strip) {
        for (std::size_t c = std::size_t(strip.begin) * sizeY; c < std::size_t(strip.end) * sizeY;
             ++c) {
            std::int32_t* counts = atomCounts.get() + c * sizeZ;
            for (unsigned z = 0; z < sizeZ; ++z)
                counts[z] = 0;
            for (std::uint32_t e = firstEntry[c]; e < firstEntry[c + 1]; ++e) {
                const std::size_t boxColumn = entries[e] / 8;
                const unsigned s = entries[e] % 8;
                const std::int32_t* layers = layerCells.data() + std::size_t(siteLayer[s]) * boxZ;
                const std::uint8_t* column = sites.get() + boxColumn * boxZ * 8 + s;
                for (unsigned ck = 0; ck < boxZ; ++ck) {
                    if (layers[ck] >= 0 && (column[ck * 8] & StateBits) == SiAtom::Silicon)
                        ++counts[layers[ck]];
                }
            }
        }
    });
}

// --- cells

SiCell SiLattice::cell(std::size_t ordinal) const {
    unsigned ci = 0, cj = 0, ck = 0;
    boxCellOf(ordinal, ci, cj, ck);
    SiCell result;
    result.key = std::uint32_t(
        (boxK + ck) + (std::uint64_t(boxJ + cj) + std::uint64_t(boxI + ci) * cellsY) * cellsZ);
    result.holdsSilicon = (sites[ordinal * 8] & HoldsSilicon) != 0;
    return result;
}

std::size_t SiLattice::findCell(std::uint32_t key) const {
    if (boxCells == 0)
        return boxCells;
    const unsigned k = key % cellsZ;
    const std::uint32_t ij = key / cellsZ;
    const unsigned j = ij % cellsY;
    const unsigned i = ij / cellsY;
    if (i < boxI || i >= boxI + boxX || j < boxJ || j >= boxJ + boxY || k < boxK ||
        k >= boxK + boxZ)
        return boxCells;
    return (std::size_t(i - boxI) * boxY + (j - boxJ)) * boxZ + (k - boxK);
}

Util::Vector3D SiLattice::cellPosition(std::size_t ordinal) const {
    unsigned ci = 0, cj = 0, ck = 0;
    boxCellOf(ordinal, ci, cj, ck);
    const double x = double(boxI + ci) * frame->edge[0] * latticeConstant,
                 y = double(boxJ + cj) * frame->edge[1] * latticeConstant,
                 z = double(boxK + ck) * frame->edge[2] * latticeConstant;
    return Util::Vector3D(x * cosTurn - y * sinTurn + origin.x,
                          x * sinTurn + y * cosTurn + origin.y, z + origin.z);
}

std::vector<std::pair<std::size_t, std::size_t>>
SiLattice::cellRangesForColumns(unsigned firstColumn, unsigned endColumn) const {
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    if (boxCells == 0 || firstColumn >= endColumn)
        return ranges;
    if (firstColumn == 0 && endColumn >= sizeX) {
        ranges.emplace_back(0, boxCells);
        return ranges;
    }
    // The atoms of cell (i, j) lie within half a lattice constant of x = (i - j) * cos45 plus
    // the origin's offset (relative to the volume); a margin of a lattice constant covers
    // rounding.
    const double margin = latticeConstant;
    const double offset = origin.x - volumePosition.x;
    const double low = (double(firstColumn) * cellSizeX - margin - offset) / latticeConstant;
    const double high = (double(endColumn) * cellSizeX + margin - offset) / latticeConstant;
    if (orientation == CrystalOrientation::Surface110) {
        // Unturned: cell i covers x in [i, i + 1) edges, whatever j and k.
        const long long first =
            std::max<long long>(boxI, (long long)std::floor(low / frame->edge[0]) - 1);
        const long long last = std::min<long long>((long long)(boxI + boxX) - 1,
                                                   (long long)std::ceil(high / frame->edge[0]));
        if (first <= last)
            ranges.emplace_back(std::size_t(first - boxI) * boxY * boxZ,
                                std::size_t(last - boxI + 1) * boxY * boxZ);
        return ranges;
    }
    const long long uMin = (long long)std::floor(low / cosTurn - 0.5);
    const long long uMax = (long long)std::ceil(high / cosTurn + 0.5);
    for (long long i = boxI; i < (long long)(boxI + boxX); ++i) {
        const long long jFirst = std::max<long long>(boxJ, i - uMax);
        const long long jLast = std::min<long long>((long long)(boxJ + boxY) - 1, i - uMin);
        if (jFirst > jLast)
            continue;
        const std::size_t row = std::size_t(i - boxI) * boxY;
        const std::size_t begin = (row + std::size_t(jFirst - boxJ)) * boxZ;
        const std::size_t end = (row + std::size_t(jLast - boxJ) + 1) * boxZ;
        if (!ranges.empty() && ranges.back().second == begin)
            ranges.back().second = end;
        else
            ranges.emplace_back(begin, end);
    }
    return ranges;
}

// --- atoms

int SiLattice::indexOfAtom(std::size_t ordinal, AtomId id) const {
    if (ordinal >= boxCells || id < ordinal * 8 || id >= ordinal * 8 + 8)
        return -1;
    return int(id - ordinal * 8);
}

SiAtom SiLattice::atom(AtomId id) const {
    if (id >= siteCount)
        return extraAtoms[id - siteCount];
    SiAtom result;
    for (unsigned s = 0; s < 4; ++s)
        result.neighbors[s] = neighbor(id, s);
    result.cellIndex = cellIndexOf(id);
    result.occupancy = occupancy(id);
    result.state = state(id);
    result.site = std::uint8_t(id & 7);
    return result;
}

AtomId SiLattice::partnerInBox(AtomId id, unsigned slot) const {
    unsigned ci = 0, cj = 0, ck = 0;
    boxCellOf(id / 8, ci, cj, ck);
    const SiCell::Partner& p = frame->partners[id & 7][slot];
    const long long i = (long long)ci + p.di;
    const long long j = (long long)cj + p.dj;
    const long long k = (long long)ck + p.dk;
    if (i < 0 || j < 0 || k < 0 || i >= boxX || j >= boxY || k >= boxZ)
        return noAtom;
    return AtomId(((std::size_t(i) * boxY + std::size_t(j)) * boxZ + std::size_t(k)) * 8 + p.site);
}

Util::Vector3D SiLattice::atomPosition(AtomId id) const {
    if (id >= siteCount) {
        const std::array<double, 3>& p = extraPositions[id - siteCount];
        return Util::Vector3D(p[0], p[1], p[2]);
    }
    unsigned ci = 0, cj = 0, ck = 0;
    boxCellOf(id / 8, ci, cj, ck);
    return siteCoordinates(boxI + ci, boxJ + cj, boxK + ck, id % 8);
}

bool SiLattice::isSurfaceAtom(AtomId id) const {
    for (unsigned s = 0; s < 4; ++s) {
        const AtomId n = neighbor(id, s);
        if (n == noAtom || state(n) == SiAtom::Empty)
            return true;
    }
    return false;
}

AtomId SiLattice::explicitNeighbor(AtomId id, unsigned slot) const {
    const std::uint64_t key = std::uint64_t(id) * 4 + slot;
    const auto found = std::lower_bound(
        explicitBonds.begin(), explicitBonds.end(), key,
        [](const std::pair<std::uint64_t, AtomId>& e, std::uint64_t k) { return e.first < k; });
    return found != explicitBonds.end() && found->first == key ? found->second : noAtom;
}

void SiLattice::setExplicitNeighbor(AtomId id, unsigned slot, AtomId partner) {
    if (id >= siteCount) {
        extraAtoms[id - siteCount].neighbors[slot] = partner;
        return;
    }
    const std::uint64_t key = std::uint64_t(id) * 4 + slot;
    // The engines add their boundary atoms in atom order, so this is nearly always an append.
    auto at = explicitBonds.end();
    if (!explicitBonds.empty() && explicitBonds.back().first >= key)
        at = std::lower_bound(
            explicitBonds.begin(), explicitBonds.end(), key,
            [](const std::pair<std::uint64_t, AtomId>& e, std::uint64_t k) { return e.first < k; });
    if (at != explicitBonds.end() && at->first == key)
        at->second = partner;
    else
        explicitBonds.insert(at, {key, partner});
    sites[id] |= ExplicitBond;
}

void SiLattice::link(AtomId p, AtomId q, unsigned slot) {
    if (slot >= 4)
        return;
    setExplicitNeighbor(p, slot, q);
    setExplicitNeighbor(q, 3 - slot, p);
}

AtomId SiLattice::addBoundaryAtom(AtomId partner, unsigned slot, const Util::Vector3D& position) {
    SiAtom boundary;
    boundary.state = SiAtom::Fixed;
    boundary.cellIndex = -1;
    boundary.site = std::uint8_t(SiAtom::boundarySite + (1 - sublatticeOf(partner)));
    const AtomId id = AtomId(siteCount + extraAtoms.size());
    extraAtoms.push_back(boundary);
    extraPositions.push_back({position.x, position.y, position.z});
    link(partner, id, slot);
    return id;
}

void SiLattice::clearExtraAtoms() {
    if (extraAtoms.empty())
        return;
    const AtomId first = firstExtraAtom();
    std::vector<AtomId> partners;
    for (const auto& bond : explicitBonds) {
        if (bond.second >= first)
            partners.push_back(AtomId(bond.first / 4));
    }
    explicitBonds.erase(std::remove_if(explicitBonds.begin(), explicitBonds.end(),
                                       [first](const std::pair<std::uint64_t, AtomId>& bond) {
                                           return bond.second >= first;
                                       }),
                        explicitBonds.end());
    for (const AtomId id : partners) {
        bool stillLinked = false;
        for (unsigned s = 0; s < 4 && !stillLinked; ++s)
            stillLinked = explicitNeighbor(id, s) != noAtom;
        if (!stillLinked)
            sites[id] &= std::uint8_t(~ExplicitBond);
    }
    extraAtoms.clear();
    extraPositions.clear();
}

AtomId SiLattice::atomAt(const Util::Vector3D& position) const {
    // Back through the turn and the origin into unit-cell coordinates.
    const double dx = position.x - origin.x;
    const double dy = position.y - origin.y;
    const double u[3] = {(dx * cosTurn + dy * sinTurn) / latticeConstant / frame->edge[0],
                         (-dx * sinTurn + dy * cosTurn) / latticeConstant / frame->edge[1],
                         (position.z - origin.z) / latticeConstant / frame->edge[2]};
    constexpr double tolerance = 0.01;
    for (unsigned site = 0; site < 8; ++site) {
        long long cell[3] = {0, 0, 0};
        bool onSite = true;
        for (int a = 0; a < 3 && onSite; ++a) {
            const double c = u[a] - frame->siteOffset[site][a];
            cell[a] = std::llround(c);
            onSite = std::abs(c - double(cell[a])) < tolerance;
        }
        if (!onSite)
            continue;
        if (cell[0] < boxI || cell[1] < boxJ || cell[2] < boxK || cell[0] >= boxI + boxX ||
            cell[1] >= boxJ + boxY || cell[2] >= boxK + boxZ)
            return noAtom;
        const std::size_t ordinal =
            (std::size_t(cell[0] - boxI) * boxY + std::size_t(cell[1] - boxJ)) * boxZ +
            std::size_t(cell[2] - boxK);
        const AtomId id = AtomId(ordinal * 8 + site);
        return (sites[id] & OutsideCrystal) ? noAtom : id;
    }
    return noAtom;
}

void SiLattice::unlinkOneWay(AtomId id, unsigned slot) {
    if (id >= siteCount || slot >= 4)
        return;
    const std::uint64_t key = std::uint64_t(id) * 4 + slot;
    const auto found = std::lower_bound(
        explicitBonds.begin(), explicitBonds.end(), key,
        [](const std::pair<std::uint64_t, AtomId>& e, std::uint64_t k) { return e.first < k; });
    if (found == explicitBonds.end() || found->first != key)
        return;
    explicitBonds.erase(found);
    bool stillLinked = false;
    for (unsigned s = 0; s < 4 && !stillLinked; ++s)
        stillLinked = explicitNeighbor(id, s) != noAtom;
    if (!stillLinked)
        sites[id] &= std::uint8_t(~ExplicitBond);
}

// --- occupancy

float SiLattice::occupancy(AtomId id) const {
    if (id >= siteCount)
        return extraAtoms[id - siteCount].occupancy;
    const auto found = occupancies.find(id);
    if (found != occupancies.end())
        return found->second;
    return (sites[id] & Taken) ? 1.0f : 0.0f;
}

void SiLattice::restartOccupancyOfSilicon() {
    for (auto it = occupancies.begin(); it != occupancies.end();) {
        if (state(it->first) == SiAtom::Silicon)
            it = occupancies.erase(it);
        else
            ++it;
    }
}

void SiLattice::setOccupancy(AtomId id, float value) {
    if (id >= siteCount)
        extraAtoms[id - siteCount].occupancy = value;
    else
        occupancies[id] = value;
}

std::size_t SiLattice::memoryBytes() const {
    return siteCount + (columnCells.capacity() + layerCells.capacity()) * sizeof(std::int32_t) +
           extraAtoms.capacity() * sizeof(SiAtom) +
           extraPositions.capacity() * sizeof(std::array<double, 3>) +
           explicitBonds.capacity() * sizeof(std::pair<std::uint64_t, AtomId>) +
           occupancies.size() * (sizeof(std::pair<AtomId, float>) + 2 * sizeof(void*));
}

} // namespace Model::Automaton
