#pragma once

#include "Model/Automaton/cellgrid.h"
#include "Model/Automaton/cutwindow.h"
#include "Model/Automaton/materialpalette.h"
#include "Model/Automaton/octreenode.h"
#include "Model/Geometry/quadface.h"

#include <vector>

namespace Model::Automaton {

// Surface made of the faces of a region octree's leaves, so a uniform block of material
// costs a few large squares instead of one square per cell side.
//
// The root covers the cut window from its lower corner with the next power of two of its
// largest extent; cells outside the window count as empty. A face is drawn between an empty
// or see-through leaf and a neighbouring opaque leaf, and between an empty leaf and any
// visible material. The root's outer boundary counts as empty space, so a solid touching the
// window's edge is closed there as well.
class SurfaceOctree {
public:
    // Materials at least this opaque are drawn in the opaque pass and hide what lies behind.
    static constexpr float opaqueAbove = 0.999f;
    // Materials at most this opaque are not drawn at all.
    static constexpr float invisibleBelow = 0.001f;

    SurfaceOctree() = default;
    SurfaceOctree(const SurfaceOctree&) = delete;
    SurfaceOctree& operator=(const SurfaceOctree&) = delete;

    // Replaces tree and faces. The caller holds the grid's voxel lock for the whole call.
    void build(const CellGrid& grid, const CutWindow& window, const MaterialPalette& palette);
    void clear();

    // Immediate-mode GL quads: the opaque faces in the opaque pass, the others otherwise,
    // with their outlines when `renderEdges`.
    void draw(bool renderEdges, bool opaquePass) const;

    // Faces take their material's colour again, highlighted when `selected`.
    void updateColors(const MaterialPalette& palette, bool selected);

    const std::vector<Geometry::QuadFace>& getOpaqueFaces() const { return opaqueFaces; }
    const std::vector<Geometry::QuadFace>& getTransparentFaces() const { return transparentFaces; }
    const std::vector<OctreeNode>& getNodes() const { return nodes; }
    // Index of the root in getNodes(), or -1 when the window is empty.
    int getRoot() const { return root; }

private:
    struct Subtree {
        int key;   // the material of a uniform subtree
        int block; // first of eight child nodes, or -1 when uniform
    };
    Subtree buildNode(const int origin[3], int size);
    void attachChildren(int parentIndex, int block);
    int neighbourOf(const OctreeNode& node, int side) const;
    void emitFacing(int nodeIndex, int side, bool fromEmpty);
    void emitFace(OctreeNode& node, int side);

    // Valid during build() only.
    const CellGrid* grid = nullptr;
    const MaterialPalette* palette = nullptr;
    CutWindow window;

    std::vector<OctreeNode> nodes;
    int root = -1;
    std::vector<Geometry::QuadFace> opaqueFaces;
    std::vector<Geometry::QuadFace> transparentFaces;
};

} // namespace Model::Automaton
