#include "Model/Export/cellboundarysurface.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Export/exportspace.h"
#include "Model/Geometry/quadface.h"
#include "Model/Metrology/scale.h"

#include <QLoggingCategory>

#include <algorithm>
#include <array>
#include <cassert>
#include <new>
#include <numeric>
#include <unordered_map>

Q_LOGGING_CATEGORY(lcCellBoundarySurface, "Model/Export/cellboundarysurface", QtInfoMsg)

namespace Model::Export {

using Automaton::CellGrid;
using Automaton::CellIndex;

namespace {

// A grid point sees the eight cells around it as a 2 x 2 x 2 block; the cell at offset
// (a - 1, b - 1, c - 1) is bit 4a + 2b + c of the block's mask of one material.
//
// The twelve cell sides inside the block all end at the point. Side 4d + 2p + q separates the
// two cells that differ along axis d and lie in half p and q of the two other axes (in
// ascending axis order).
//
// Around the point, the surface of the material is one or more closed fans of these sides
// (sheets). Two sides that meet along one of the six half-edges leaving the point belong to
// one fan. Usually two sides meet there; four meet where the cells around the half-edge
// alternate between the material and the rest, and then the two sides of each cell of the
// material are paired, which keeps cells that touch only along the edge apart.
constexpr int blockSides = 12;
constexpr int halfEdges = 6;

int otherAxis(int axis, int which) {
    static const int others[3][2] = {{1, 2}, {0, 2}, {0, 1}};
    return others[axis][which];
}

int blockSide(int axis, const int halves[3]) {
    return 4 * axis + 2 * halves[otherAxis(axis, 0)] + halves[otherAxis(axis, 1)];
}

bool inBlock(unsigned mask, const int cell[3]) {
    return mask & (1u << (4 * cell[0] + 2 * cell[1] + cell[2]));
}

struct SheetTable {
    // Sheet of each block side on the surface, -1 for sides inside or outside the material.
    std::array<std::array<std::int8_t, blockSides>, 256> sheet{};
    // Half-edge 2 * axis + (1 upwards, 0 downwards) along which two sheets meet and which are
    // nonetheless one fan at this point.
    std::array<std::array<bool, halfEdges>, 256> joinedPinch{};
    int maximumSheets = 0;

    SheetTable() {
        for (unsigned mask = 0; mask < 256; ++mask)
            fill(mask);
    }

    void fill(unsigned mask) {
        std::array<int, blockSides> parent{};
        std::iota(parent.begin(), parent.end(), 0);
        const auto find = [&parent](int side) {
            while (parent[side] != side)
                side = parent[side] = parent[parent[side]];
            return side;
        };
        const auto join = [&](int a, int b) { parent[find(a)] = find(b); };

        std::array<bool, blockSides> onSurface{};
        for (int side = 0; side < blockSides; ++side) {
            const int axis = side / 4;
            int cell[3];
            cell[otherAxis(axis, 0)] = (side >> 1) & 1;
            cell[otherAxis(axis, 1)] = side & 1;
            cell[axis] = 0;
            const bool lower = inBlock(mask, cell);
            cell[axis] = 1;
            onSurface[side] = lower != inBlock(mask, cell);
        }

        std::array<std::array<int, 2>, halfEdges> pinchedPairs{};
        std::array<bool, halfEdges> pinched{};
        for (int axis = 0; axis < 3; ++axis) {
            const int u = otherAxis(axis, 0), v = otherAxis(axis, 1);
            for (int half = 0; half < 2; ++half) {
                // The four cells around the half-edge are (i, j) along (u, v); uSide[j] lies
                // between (0, j) and (1, j), vSide[i] between (i, 0) and (i, 1).
                int uSide[2], vSide[2];
                bool member[2][2];
                for (int k = 0; k < 2; ++k) {
                    int halves[3];
                    halves[axis] = half;
                    halves[v] = k;
                    halves[u] = 0;
                    uSide[k] = blockSide(u, halves);
                    halves[u] = k;
                    halves[v] = 0;
                    vSide[k] = blockSide(v, halves);
                    for (int l = 0; l < 2; ++l) {
                        int cell[3];
                        cell[axis] = half;
                        cell[u] = k;
                        cell[v] = l;
                        member[k][l] = inBlock(mask, cell);
                    }
                }
                std::vector<int> around;
                for (int k = 0; k < 2; ++k) {
                    if (onSurface[uSide[k]])
                        around.push_back(uSide[k]);
                    if (onSurface[vSide[k]])
                        around.push_back(vSide[k]);
                }
                if (around.size() == 2) {
                    join(around[0], around[1]);
                } else if (around.size() == 4) {
                    const int edge = 2 * axis + half;
                    pinched[edge] = true;
                    int pair = 0;
                    for (int i = 0; i < 2; ++i)
                        for (int j = 0; j < 2; ++j)
                            if (member[i][j]) {
                                join(uSide[j], vSide[i]);
                                pinchedPairs[edge][pair++] = uSide[j];
                            }
                }
            }
        }

        std::array<int, blockSides> sheetOfRoot;
        sheetOfRoot.fill(-1);
        int sheets = 0;
        for (int side = 0; side < blockSides; ++side) {
            if (!onSurface[side]) {
                sheet[mask][side] = -1;
                continue;
            }
            int& number = sheetOfRoot[find(side)];
            if (number < 0)
                number = sheets++;
            sheet[mask][side] = std::int8_t(number);
        }
        maximumSheets = std::max(maximumSheets, sheets);
        for (int edge = 0; edge < halfEdges; ++edge)
            joinedPinch[mask][edge] =
                pinched[edge] && find(pinchedPairs[edge][0]) == find(pinchedPairs[edge][1]);
    }
};

const SheetTable& sheetTable() {
    static const SheetTable table;
    return table;
}

// The axis a cell side is normal to.
int sideAxis(int side) {
    return 2 - side / 2;
}

struct SurfaceSide {
    std::int32_t cell[3];
    std::uint8_t side;
};

// Visits every cell of the grid and every side of a filled cell that faces another material,
// an empty cell or the outside, in cell order.
template <class Visitor> void visitSurface(const CellGrid& grid, Visitor& visitor) {
    const std::ptrdiff_t strideX = std::ptrdiff_t(grid.sizeY) * grid.sizeZ;
    const std::ptrdiff_t strideY = grid.sizeZ;
    for (int x = 0; x < grid.sizeX; ++x) {
        const bool firstX = x == 0, lastX = x + 1 == grid.sizeX;
        for (int y = 0; y < grid.sizeY; ++y) {
            const bool firstY = y == 0, lastY = y + 1 == grid.sizeY;
            const Automaton::MaterialCells row = grid.cells + grid.index(x, y, 0);
            for (int z = 0; z < grid.sizeZ; ++z) {
                const Automaton::MaterialCells cell = row + z;
                const std::uint32_t material = cell[0];
                if (material == 0)
                    continue;
                visitor.cell(material);
                const auto differs = [cell, material](std::ptrdiff_t step) {
                    return cell[step] != material;
                };
                const int at[3] = {x, y, z};
                if (z == 0 || differs(-1))
                    visitor.side(material, at, Geometry::MinusZ);
                if (z + 1 == grid.sizeZ || differs(1))
                    visitor.side(material, at, Geometry::PlusZ);
                if (firstY || differs(-strideY))
                    visitor.side(material, at, Geometry::MinusY);
                if (lastY || differs(strideY))
                    visitor.side(material, at, Geometry::PlusY);
                if (firstX || differs(-strideX))
                    visitor.side(material, at, Geometry::MinusX);
                if (lastX || differs(strideX))
                    visitor.side(material, at, Geometry::PlusX);
            }
        }
    }
}

// Small ids are looked up in a flat table; the rest in the census's map order.
class MaterialSlots {
public:
    explicit MaterialSlots(const std::map<std::uint32_t, std::uint64_t>& materials) {
        int slot = 0;
        for (const auto& entry : materials) {
            if (entry.first < denseLimit) {
                if (dense.size() <= entry.first)
                    dense.resize(entry.first + 1, -1);
                dense[entry.first] = slot;
            } else {
                sparse[entry.first] = slot;
            }
            ++slot;
        }
    }
    int operator()(std::uint32_t material) const {
        if (material < dense.size())
            return dense[material];
        const auto found = sparse.find(material);
        return found == sparse.end() ? -1 : found->second;
    }

private:
    static constexpr std::uint32_t denseLimit = 1u << 16;
    std::vector<int> dense;
    std::map<std::uint32_t, int> sparse;
};

// Vertex numbers of the grid points of two neighbouring x planes, one per sheet.
class VertexPlanes {
public:
    VertexPlanes(int sizeY, int sizeZ, int sheets)
        : pointsY(sizeY + 1), pointsZ(sizeZ + 1), sheets(sheets),
          planeSize(std::size_t(pointsY) * std::size_t(pointsZ) * std::size_t(sheets)),
          ids(2 * planeSize, unassigned) {}

    // Makes the planes those of x and x + 1.
    void moveTo(int x) {
        if (x == baseX)
            return;
        if (x == baseX + 1) {
            std::copy(ids.begin() + std::ptrdiff_t(planeSize), ids.end(), ids.begin());
            std::fill(ids.begin() + std::ptrdiff_t(planeSize), ids.end(), unassigned);
        } else {
            std::fill(ids.begin(), ids.end(), unassigned);
        }
        baseX = x;
    }
    std::uint32_t& at(const int point[3], int sheet) {
        return ids[std::size_t(point[0] - baseX) * planeSize +
                   (std::size_t(point[1]) * std::size_t(pointsZ) + std::size_t(point[2])) *
                       std::size_t(sheets) +
                   std::size_t(sheet)];
    }

    static constexpr std::uint32_t unassigned = 0xffffffffu;

private:
    int pointsY, pointsZ, sheets;
    std::size_t planeSize;
    std::vector<std::uint32_t> ids;
    int baseX = -2;
};

class SurfaceAssembler {
public:
    SurfaceAssembler(const CellGrid& grid, const double origin[3], MaterialSurface& surface)
        : grid(grid), table(sheetTable()), surface(surface),
          planes(grid.sizeY, grid.sizeZ, table.maximumSheets) {
        for (int axis = 0; axis < 3; ++axis) {
            this->origin[axis] = origin[axis];
            cellSize[axis] = double(grid.cellSize[axis]);
        }
    }

    void add(const SurfaceSide& face) {
        planes.moveTo(face.cell[0]);
        const int side = face.side;
        const int axis = sideAxis(side);
        int point[4][3];
        unsigned masks[4];
        std::uint32_t corner[4];
        for (int k = 0; k < 4; ++k) {
            int halves[3];
            for (int a = 0; a < 3; ++a) {
                point[k][a] = face.cell[a] + Geometry::sideCorners[side][k][a];
                halves[a] = 1 - Geometry::sideCorners[side][k][a];
            }
            masks[k] = blockMask(point[k]);
            const int sheet = table.sheet[masks[k]][std::size_t(blockSide(axis, halves))];
            assert(sheet >= 0);
            std::uint32_t& id = planes.at(point[k], sheet);
            if (id == VertexPlanes::unassigned)
                id = addVertex(point[k][0], point[k][1], point[k][2]);
            corner[k] = id;
        }

        // A side of the face along which two sheets meet with joined ends on both sides gets
        // a midpoint of this face's sheet, and the face is fanned around its centre.
        std::uint32_t midpoint[4];
        bool split = false;
        for (int k = 0; k < 4; ++k) {
            const int next = (k + 1) % 4;
            int edgeAxis = 0;
            while (point[k][edgeAxis] == point[next][edgeAxis])
                ++edgeAxis;
            const int up = point[next][edgeAxis] > point[k][edgeAxis] ? 1 : 0;
            midpoint[k] = VertexPlanes::unassigned;
            if (table.joinedPinch[masks[k]][std::size_t(2 * edgeAxis + up)] &&
                table.joinedPinch[masks[next]][std::size_t(2 * edgeAxis + 1 - up)]) {
                midpoint[k] = sheetMidpoint(face, point[k], point[next], edgeAxis);
                split = true;
            }
        }

        if (!split) {
            addTriangle(corner[0], corner[1], corner[2], side);
            addTriangle(corner[0], corner[2], corner[3], side);
            return;
        }
        const std::uint32_t centre =
            addVertex((point[0][0] + point[2][0]) * 0.5, (point[0][1] + point[2][1]) * 0.5,
                      (point[0][2] + point[2][2]) * 0.5);
        for (int k = 0; k < 4; ++k) {
            const std::uint32_t next = corner[(k + 1) % 4];
            if (midpoint[k] == VertexPlanes::unassigned) {
                addTriangle(centre, corner[k], next, side);
            } else {
                addTriangle(centre, corner[k], midpoint[k], side);
                addTriangle(centre, midpoint[k], next, side);
            }
        }
    }

private:
    unsigned blockMask(const int point[3]) const {
        unsigned mask = 0;
        for (int a = 0; a < 2; ++a) {
            const int x = point[0] - 1 + a;
            if (x < 0 || x >= grid.sizeX)
                continue;
            for (int b = 0; b < 2; ++b) {
                const int y = point[1] - 1 + b;
                if (y < 0 || y >= grid.sizeY)
                    continue;
                const Automaton::MaterialCells row = grid.cells + grid.index(x, y, 0);
                for (int c = 0; c < 2; ++c) {
                    const int z = point[2] - 1 + c;
                    if (z >= 0 && z < grid.sizeZ && row[z] == surface.material)
                        mask |= 1u << (4 * a + 2 * b + c);
                }
            }
        }
        return mask;
    }

    std::uint32_t addVertex(double x, double y, double z) {
        const double at[3] = {x, y, z};
        for (int axis = 0; axis < 3; ++axis)
            surface.vertices.push_back(float(origin[axis] + at[axis] * cellSize[axis]));
        return std::uint32_t(surface.vertices.size() / 3 - 1);
    }

    // One midpoint per sheet: the sheet is the cell this face bounds, and both of its faces
    // along the edge ask for the same point.
    std::uint32_t sheetMidpoint(const SurfaceSide& face, const int from[3], const int to[3],
                                int edgeAxis) {
        int low[3];
        for (int a = 0; a < 3; ++a)
            low[a] = std::min(from[a], to[a]) - face.cell[a];
        const std::uint64_t edgeOfCell = std::uint64_t(
            4 * edgeAxis + 2 * low[otherAxis(edgeAxis, 0)] + low[otherAxis(edgeAxis, 1)]);
        const std::uint64_t key =
            std::uint64_t(grid.index(face.cell[0], face.cell[1], face.cell[2])) * 12 + edgeOfCell;
        const auto found = midpoints.find(key);
        if (found != midpoints.end())
            return found->second;
        const std::uint32_t id =
            addVertex((from[0] + to[0]) * 0.5, (from[1] + to[1]) * 0.5, (from[2] + to[2]) * 0.5);
        midpoints.emplace(key, id);
        return id;
    }

    void addTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c, int side) {
        surface.triangles.insert(surface.triangles.end(), {a, b, c});
        surface.sides.push_back(std::uint8_t(side));
    }

    const CellGrid& grid;
    const SheetTable& table;
    MaterialSurface& surface;
    VertexPlanes planes;
    double origin[3];
    double cellSize[3];
    std::unordered_map<std::uint64_t, std::uint32_t> midpoints;
};

struct CensusCounter {
    CellBoundarySurface::Census& census;
    std::uint32_t lastMaterial = 0;
    std::uint64_t* lastCells = nullptr;
    std::uint64_t* lastFaces = nullptr;

    void select(std::uint32_t material) {
        if (material == lastMaterial && lastCells)
            return;
        lastMaterial = material;
        lastCells = &census.cells[material];
        lastFaces = &census.faces[material];
    }
    void cell(std::uint32_t material) {
        select(material);
        ++*lastCells;
    }
    void side(std::uint32_t material, const int*, int) {
        select(material);
        ++*lastFaces;
    }
};

struct SideCollector {
    const MaterialSlots& slotOf;
    std::vector<std::vector<SurfaceSide>>& sides;

    void cell(std::uint32_t) {}
    void side(std::uint32_t material, const int* at, int side) {
        sides[std::size_t(slotOf(material))].push_back(
            SurfaceSide{{at[0], at[1], at[2]}, std::uint8_t(side)});
    }
};

// Bytes per surface side while building: its record, two triangles with their sides, and up
// to four new vertices, with room for the vertex list to grow.
constexpr std::uint64_t bytesPerSide = sizeof(SurfaceSide) + 2 * (3 * 4 + 1) + 2 * 4 * 3 * 4;

} // namespace

std::uint64_t CellBoundarySurface::Census::totalFaces() const {
    std::uint64_t total = 0;
    for (const auto& entry : faces)
        total += entry.second;
    return total;
}

CellBoundarySurface::Census CellBoundarySurface::count(const CellGrid& grid) {
    Census census;
    CensusCounter counter{census};
    visitSurface(grid, counter);
    return census;
}

std::uint64_t CellBoundarySurface::bytesNeeded(const Census& census) {
    return census.totalFaces() * bytesPerSide;
}

std::vector<MaterialSurface> CellBoundarySurface::build(const CellGrid& grid,
                                                        const double origin[3]) {
    return assemble(grid, origin, count(grid));
}

std::vector<MaterialSurface>
CellBoundarySurface::assemble(const CellGrid& grid, const double origin[3], const Census& census) {
    const MaterialSlots slotOf(census.cells);
    std::vector<std::vector<SurfaceSide>> sides(census.cells.size());
    {
        std::size_t slot = 0;
        for (const auto& entry : census.faces)
            sides[slot++].reserve(entry.second);
    }
    SideCollector collector{slotOf, sides};
    visitSurface(grid, collector);

    std::vector<MaterialSurface> surfaces(census.cells.size());
    std::size_t slot = 0;
    for (const auto& entry : census.cells) {
        MaterialSurface& surface = surfaces[slot];
        surface.material = entry.first;
        surface.cellCount = entry.second;
        surface.triangles.reserve(sides[slot].size() * 6);
        surface.sides.reserve(sides[slot].size() * 2);
        surface.vertices.reserve(sides[slot].size() * 3);
        SurfaceAssembler assembler(grid, origin, surface);
        for (const SurfaceSide& side : sides[slot])
            assembler.add(side);
        // The records are no longer needed; give their memory back before the next material.
        std::vector<SurfaceSide>().swap(sides[slot]);
        ++slot;
    }
    return surfaces;
}

bool CellBoundarySurface::build(Automaton::TotalVolume& volume,
                                std::vector<MaterialSurface>& surfaces, QString* reason) {
    const Automaton::CellArraysLock locked(volume, Automaton::CellArraysLock::Arrays::Current);
    // Exported surfaces are in micrometres, the lengths every other tool of the user's reads.
    CellGrid grid = CellGrid::of(volume, locked.materials());
    const Metrology::CellEdges edges = Metrology::CellEdges::of(volume);
    for (int axis = 0; axis < 3; ++axis)
        grid.cellSize[axis] = float(edges.along(axis));
    const double scale = Metrology::micrometresPerSceneUnit(volume);
    const Util::Vector3D position = volume.getPosition();
    const double origin[3] = {position.x * scale, position.y * scale, position.z * scale};

    const Census census = count(grid);
    if (!ExportSpace::fitsInMemory(bytesNeeded(census), reason))
        return false;
    try {
        surfaces = assemble(grid, origin, census);
    } catch (const std::bad_alloc&) {
        surfaces.clear();
        if (reason)
            *reason = QStringLiteral("There is not enough memory to build the surfaces.");
        return false;
    }
    qCDebug(lcCellBoundarySurface)
        << "Surfaces of" << surfaces.size() << "materials," << census.totalFaces() << "cell sides";
    return true;
}

} // namespace Model::Export
