#include "Model/Automaton/cubicfacebuilder.h"

#include <algorithm>
#include <cstring>

namespace Model::Automaton {

using Geometry::QuadFace;
using Geometry::Side;

namespace {

// Ids below this get their flags from a table; the rest ask the palette.
constexpr std::uint32_t flagTableSize = 1u << 12;

std::uint64_t eightFlags(const std::vector<std::uint8_t>& plane, std::size_t at) {
    std::uint64_t word;
    std::memcpy(&word, plane.data() + at, sizeof word);
    return word;
}

// The flags of a filled, opaque cell that hides its neighbours' sides: every other kind of
// filled cell is see-through or too faint to hide.
constexpr std::uint8_t hidingFlags = 1 | 4 | 8;

// 0x80 in every byte of `v` that is zero, 0 in the others.
constexpr std::uint64_t zeroBytes(std::uint64_t v) {
    constexpr std::uint64_t low7 = 0x7f7f7f7f7f7f7f7full;
    return ~(((v & low7) + low7) | v | low7);
}

// True when every one of the `length` flags is empty or hiding.
bool onlyEmptyOrHiding(const std::uint8_t* flags, int length) {
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    int z = 0;
    for (; z + 8 <= length; z += 8) {
        std::uint64_t word;
        std::memcpy(&word, flags + z, sizeof word);
        if ((zeroBytes(word) | zeroBytes(word ^ hidingFlags * ones)) != 0x80 * ones)
            return false;
    }
    for (; z < length; ++z) {
        if (flags[z] != 0 && flags[z] != hidingFlags)
            return false;
    }
    return true;
}

} // namespace

bool CubicFaceBuilder::showsOnlyRunEnds(const std::vector<std::uint8_t>& previous,
                                        const std::vector<std::uint8_t>& current,
                                        const std::vector<std::uint8_t>& next, std::size_t k,
                                        int rowLength, int length) {
    static_assert(hidingFlags == (Filled | HidesOpaque | Merges), "the flags of a hiding cell");
    const std::uint8_t* const row = current.data() + k;
    const std::size_t bytes = std::size_t(length);
    return std::memcmp(row, previous.data() + k, bytes) == 0 &&
           std::memcmp(row, next.data() + k, bytes) == 0 &&
           std::memcmp(row, row - rowLength, bytes) == 0 &&
           std::memcmp(row, row + rowLength, bytes) == 0 && onlyEmptyOrHiding(row, length);
}

bool CubicFaceBuilder::showsNothing(const std::vector<std::uint8_t>& previous,
                                    const std::vector<std::uint8_t>& current,
                                    const std::vector<std::uint8_t>& next, std::size_t k,
                                    int rowLength) {
    const std::uint64_t here = eightFlags(current, k);
    if (here == 0)
        return true;
    constexpr std::uint64_t hiding = 0x0101010101010101ull * HidesOpaque;
    const std::size_t row = std::size_t(rowLength);
    const std::uint64_t around = here & eightFlags(current, k - 1) & eightFlags(current, k + 1) &
                                 eightFlags(current, k - row) & eightFlags(current, k + row) &
                                 eightFlags(previous, k) & eightFlags(next, k);
    return (around & hiding) == hiding;
}

CubicFaceBuilder::CubicFaceBuilder(const CellGrid& grid, const CutWindow& window,
                                   const MaterialPalette& palette)
    : grid(grid), window(window), palette(palette), flags(flagTableSize) {
    const std::uint32_t known = std::clamp(palette.denseEnd(), 1u, flagTableSize);
    for (std::uint32_t id = 1; id < known; ++id)
        flags[id] = computeFlags(id);
    // The rest of the table are ids the registry does not know: they share the fallback's flags.
    std::fill(flags.begin() + known, flags.end(), computeFlags(known));
    // An empty neighbour hides nothing and merges with nothing.
    flags[0] = 0;
}

std::uint8_t CubicFaceBuilder::computeFlags(std::uint32_t material) const {
    const float alpha = palette.alpha(material);
    std::uint8_t result = 0;
    if (material != 0)
        result |= Filled;
    if (alpha < transparentBelow)
        result |= SeeThrough;
    if (alpha > hidingAlpha)
        result |= HidesOpaque;
    if (alpha > mergingAlpha)
        result |= Merges;
    return result;
}

const Geometry::Rgba& CubicFaceBuilder::emptyCellColor() {
    static const Geometry::Rgba grey{0.8f, 0.8f, 0.8f, 1.f};
    return grey;
}

void CubicFaceBuilder::fillPlane(int x, std::vector<std::uint8_t>& plane) const {
    const int rowLength = window.extent(2) + 2;
    std::fill(plane.begin(), plane.end(), std::uint8_t(0));
    if (x < window.min[0] || x >= window.max[0])
        return;
    for (int y = window.min[1]; y < window.max[1]; ++y) {
        const MaterialCells row = grid.cells + grid.index(x, y, window.min[2]);
        const MaterialId* ids = row.firstId();
        std::uint8_t* out = plane.data() + std::size_t(y - window.min[1] + 1) * rowLength + 1;
        const int extent = window.extent(2);
        int z = 0;
        // Most of a row is runs of one id: eight cells of one id get their flags at once.
        for (; z + 8 <= extent; z += 8) {
            std::uint64_t low, high;
            std::memcpy(&low, ids + z, sizeof low);
            std::memcpy(&high, ids + z + 4, sizeof high);
            const MaterialId first = ids[z];
            if (low == high && low == 0x0001000100010001ull * first) {
                std::memset(out + z, flagsOf(first), 8);
                continue;
            }
            for (int k = z; k < z + 8; ++k)
                out[k] = flagsOf(ids[k]);
        }
        for (; z < extent; ++z)
            out[z] = flagsOf(ids[z]);
    }
}

void CubicFaceBuilder::buildFaces(int xBegin, int xEnd, std::vector<Geometry::CellFace>& opaque,
                                  std::vector<Geometry::CellFace>& transparent) const {
    visitFaces(
        xBegin, xEnd,
        [&](int side, CellIndex index, MaterialId material) {
            addFace(opaque, side, index, material);
        },
        [&](int side, CellIndex index, MaterialId material) {
            addFace(transparent, side, index, material);
        });
}

template <class Opaque, class Transparent>
void CubicFaceBuilder::visitFaces(int xBegin, int xEnd, Opaque&& opaque,
                                  Transparent&& transparent) const {
    if (window.isEmpty() || xBegin >= xEnd)
        return;
    // Flags of three x planes of the window (x - 1, x, x + 1), framed by a ring of empty
    // flags where the window ends: most cells are decided from these few bytes.
    const int rowLength = window.extent(2) + 2;
    const std::size_t planeSize = std::size_t(window.extent(1) + 2) * std::size_t(rowLength);
    std::vector<std::uint8_t> previous(planeSize), current(planeSize), next(planeSize);
    fillPlane(xBegin - 1, previous);
    fillPlane(xBegin, current);

    const MaterialCells cells = grid.cells;
    const std::ptrdiff_t strideX = std::ptrdiff_t(grid.sizeY) * grid.sizeZ;
    const std::ptrdiff_t strideY = grid.sizeZ;
    const std::ptrdiff_t cellOffset[Geometry::sideCount] = {-1,      1,        -strideY,
                                                            strideY, -strideX, strideX};
    const std::ptrdiff_t flagOffset[Geometry::sideCount] = {-1, 1, -rowLength, rowLength, 0, 0};

    for (int x = xBegin; x < xEnd; ++x) {
        fillPlane(x + 1, next);
        for (int y = window.min[1]; y < window.max[1]; ++y) {
            const std::size_t rowFlags = std::size_t(y - window.min[1] + 1) * rowLength + 1;
            const CellIndex rowStart = grid.index(x, y, window.min[2]);
            if (showsOnlyRunEnds(previous, current, next, rowFlags, rowLength, window.extent(2))) {
                // No side along x or y shows: only a filled cell with an empty one below or
                // above it along z, where a run of cells ends, has faces, on those sides.
                const std::uint8_t* const row = current.data() + rowFlags;
                for (int z = 0; z < window.extent(2);) {
                    if (z + 8 <= window.extent(2) &&
                        eightFlags(current, rowFlags + z) ==
                            eightFlags(current, rowFlags + z - 1) &&
                        eightFlags(current, rowFlags + z) ==
                            eightFlags(current, rowFlags + z + 1)) {
                        z += 8;
                        continue;
                    }
                    for (const int end = std::min(window.extent(2), z + 8); z < end; ++z) {
                        if (row[z] == 0)
                            continue;
                        const CellIndex index = rowStart + CellIndex(z);
                        if (row[z - 1] == 0)
                            opaque(Geometry::MinusZ, index, cells[index]);
                        if (row[z + 1] == 0)
                            opaque(Geometry::PlusZ, index, cells[index]);
                    }
                }
                continue;
            }
            for (int z = 0; z < window.extent(2); ++z) {
                const std::size_t k = rowFlags + std::size_t(z);
                if (z + 8 <= window.extent(2) &&
                    showsNothing(previous, current, next, k, rowLength)) {
                    z += 7;
                    continue;
                }
                const std::uint8_t flags = current[k];
                if (!(flags & Filled))
                    continue;
                const CellIndex index = rowStart + CellIndex(z);
                const MaterialId material = cells[index];

                if (!(flags & SeeThrough)) {
                    std::uint8_t neighbour[Geometry::sideCount];
                    for (int side = 0; side < 4; ++side)
                        neighbour[side] = current[std::ptrdiff_t(k) + flagOffset[side]];
                    neighbour[Geometry::MinusX] = previous[k];
                    neighbour[Geometry::PlusX] = next[k];
                    for (int side = 0; side < Geometry::sideCount; ++side) {
                        if (!(neighbour[side] & HidesOpaque))
                            opaque(side, index, material);
                    }
                    continue;
                }

                // See-through: merges only with the same material, inside the window.
                const bool merges = flags & Merges;
                for (int side = 0; side < Geometry::sideCount; ++side) {
                    const std::uint8_t neighbourFlags =
                        side == Geometry::MinusX  ? previous[k]
                        : side == Geometry::PlusX ? next[k]
                                                  : current[std::ptrdiff_t(k) + flagOffset[side]];
                    const bool hidden =
                        merges && (neighbourFlags & Filled) &&
                        cells[CellIndex(std::ptrdiff_t(index) + cellOffset[side])] == material;
                    if (!hidden)
                        transparent(side, index, material);
                }
            }
        }
        previous.swap(current);
        current.swap(next);
    }
}

void CubicFaceBuilder::buildEmptyCellFaces(int xBegin, int xEnd,
                                           std::vector<QuadFace>& faces) const {
    for (int x = xBegin; x < xEnd; ++x) {
        for (int y = window.min[1]; y < window.max[1]; ++y) {
            for (int z = window.min[2]; z < window.max[2]; ++z) {
                const CellIndex i = grid.index(x, y, z);
                if (grid.cells[i] != 0)
                    continue;
                int cell[3] = {x, y, z};
                for (int side = 0; side < Geometry::sideCount; ++side) {
                    QuadFace& face = faces.emplace_back();
                    Geometry::setSideCorners(face, Side(side), cell, 1, grid.cellSize);
                    face.fillColor = emptyCellColor();
                    face.edgeColor = emptyCellColor();
                    face.cell = std::int64_t(i);
                }
            }
        }
    }
}

std::uint64_t CubicFaceBuilder::countEmptyCells() const {
    std::uint64_t count = 0;
    for (int x = window.min[0]; x < window.max[0]; ++x) {
        for (int y = window.min[1]; y < window.max[1]; ++y) {
            const CellIndex rowStart = grid.index(x, y, 0);
            for (int z = window.min[2]; z < window.max[2]; ++z)
                count += grid.cells[rowStart + CellIndex(z)] == 0;
        }
    }
    return count;
}

} // namespace Model::Automaton
