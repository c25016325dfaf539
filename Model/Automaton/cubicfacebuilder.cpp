#include "Model/Automaton/cubicfacebuilder.h"

namespace Model::Automaton {

using Geometry::QuadFace;
using Geometry::Side;

namespace {

// Ids below this get their flags from a table; the rest ask the palette.
constexpr std::uint32_t flagTableSize = 1u << 12;

} // namespace

CubicFaceBuilder::CubicFaceBuilder(const CellGrid& grid, const CutWindow& window,
                                   const MaterialPalette& palette)
    : grid(grid), window(window), palette(palette), flags(flagTableSize) {
    for (std::uint32_t id = 1; id < flagTableSize; ++id)
        flags[id] = computeFlags(id);
    // An empty neighbour hides nothing and merges with nothing.
    flags[0] = 0;
}

std::uint8_t CubicFaceBuilder::computeFlags(std::uint32_t material) const {
    const float alpha = palette.alpha(material);
    std::uint8_t result = 0;
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

void CubicFaceBuilder::buildFaces(int xBegin, int xEnd, std::vector<QuadFace>& opaque,
                                  std::vector<QuadFace>& transparent) const {
    const Voxel* cells = grid.cells;
    const std::ptrdiff_t strideX = std::ptrdiff_t(grid.sizeY) * grid.sizeZ;
    const std::ptrdiff_t strideY = grid.sizeZ;
    const std::ptrdiff_t neighbourOffset[Geometry::sideCount] = {-1,      1,        -strideY,
                                                                 strideY, -strideX, strideX};
    const int zMin = window.min[2];
    const int zMax = window.max[2];

    for (int x = xBegin; x < xEnd; ++x) {
        for (int y = window.min[1]; y < window.max[1]; ++y) {
            // Which neighbours exist does not depend on z except for the two z sides.
            bool exists[Geometry::sideCount];
            exists[Geometry::MinusY] = y > window.min[1];
            exists[Geometry::PlusY] = y < window.max[1] - 1;
            exists[Geometry::MinusX] = x > window.min[0];
            exists[Geometry::PlusX] = x < window.max[0] - 1;
            const CellIndex rowStart = grid.index(x, y, 0);
            for (int z = zMin; z < zMax; ++z) {
                const CellIndex i = rowStart + CellIndex(z);
                const std::uint32_t material = cells[i].material;
                if (material == 0)
                    continue;
                exists[Geometry::MinusZ] = z > zMin;
                exists[Geometry::PlusZ] = z < zMax - 1;
                const bool seeThrough = flagsOf(material) & SeeThrough;
                const bool merges = flagsOf(material) & Merges;

                int cell[3] = {x, y, z};
                for (int side = 0; side < Geometry::sideCount; ++side) {
                    if (exists[side]) {
                        const std::uint32_t neighbour =
                            cells[std::ptrdiff_t(i) + neighbourOffset[side]].material;
                        const bool hidden = seeThrough ? neighbour == material && merges
                                                       : (flagsOf(neighbour) & HidesOpaque) != 0;
                        if (hidden)
                            continue;
                    }
                    std::vector<QuadFace>& out = seeThrough ? transparent : opaque;
                    QuadFace& face = out.emplace_back();
                    Geometry::setSideCorners(face, Side(side), cell, 1, grid.cellSize);
                    face.fillColor = palette.color(material);
                    face.edgeColor = face.fillColor;
                    face.voxel = &cells[i];
                    face.material = int(material);
                }
            }
        }
    }
}

void CubicFaceBuilder::buildEmptyCellFaces(int xBegin, int xEnd,
                                           std::vector<QuadFace>& faces) const {
    for (int x = xBegin; x < xEnd; ++x) {
        for (int y = window.min[1]; y < window.max[1]; ++y) {
            for (int z = window.min[2]; z < window.max[2]; ++z) {
                const CellIndex i = grid.index(x, y, z);
                if (grid.cells[i].material != 0)
                    continue;
                int cell[3] = {x, y, z};
                for (int side = 0; side < Geometry::sideCount; ++side) {
                    QuadFace& face = faces.emplace_back();
                    Geometry::setSideCorners(face, Side(side), cell, 1, grid.cellSize);
                    face.fillColor = emptyCellColor();
                    face.edgeColor = emptyCellColor();
                    face.voxel = &grid.cells[i];
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
                count += grid.cells[rowStart + CellIndex(z)].material == 0;
        }
    }
    return count;
}

} // namespace Model::Automaton
