#pragma once

#include "Model/Automaton/cellgrid.h"

#include <QString>

#include <cstdint>
#include <map>
#include <vector>

namespace Model::Automaton {
class TotalVolume;
}

namespace Model::Export {

// The closed surface around the cells of one material, in scene coordinates.
//
// Every triangle lies on a side of a cell of the material that faces a cell of another
// material, an empty cell or the outside of the volume, and winds counter-clockwise seen from
// outside the material. Corners are shared between the triangles of one sheet of surface, so
// each edge belongs to exactly two triangles: the surface is watertight, and its enclosed
// volume is the material's cell count times the cell volume.
struct MaterialSurface {
    std::uint32_t material = 0;
    std::uint64_t cellCount = 0;
    // x, y, z of each vertex.
    std::vector<float> vertices;
    // Three vertex indices per triangle.
    std::vector<std::uint32_t> triangles;
    // The cell side (Geometry::Side) each triangle lies on, which gives its outward normal.
    std::vector<std::uint8_t> sides;

    std::size_t vertexCount() const { return vertices.size() / 3; }
    std::size_t triangleCount() const { return sides.size(); }
};

// Builds the exact cell-boundary surfaces of a cell volume, one per material.
//
// Where two cells of a material touch only along an edge or at a corner, their surfaces touch
// there but are not joined: the shared corners are separate vertices for each sheet, and an
// edge that two sheets would otherwise share between the same two vertices gets a separate
// midpoint on each sheet. So every surface is a 2-manifold, which meshing and CAD tools need.
class CellBoundarySurface {
public:
    // What a volume's surfaces amount to, found without building them.
    struct Census {
        // Material id -> cells of it (empty cells not counted).
        std::map<std::uint32_t, std::uint64_t> cells;
        // Material id -> cell sides of it on the surface.
        std::map<std::uint32_t, std::uint64_t> faces;
        std::uint64_t totalFaces() const;
    };

    static Census count(const Automaton::CellGrid& grid);
    // Memory that building surfaces with this census takes, at most.
    static std::uint64_t bytesNeeded(const Census& census);

    // `origin` is the scene position of the grid's corner. Surfaces come in ascending
    // material order.
    static std::vector<MaterialSurface> build(const Automaton::CellGrid& grid,
                                              const double origin[3]);
    // The same for the current cells of a volume, placed at its position, after checking that
    // they fit in memory. False, with `reason` in words for the user, when they do not.
    static bool build(Automaton::TotalVolume& volume, std::vector<MaterialSurface>& surfaces,
                      QString* reason);

private:
    static std::vector<MaterialSurface> assemble(const Automaton::CellGrid& grid,
                                                 const double origin[3], const Census& census);
};

} // namespace Model::Export
