#include "Model/Automaton/surfaceoctree.h"

#include "Model/Automaton/quaddrawing.h"

#include <algorithm>

namespace Model::Automaton {

using Geometry::QuadFace;
using Geometry::Side;

namespace {

constexpr int axisOf(int side) {
    return side / 2 == 0 ? 2 : side / 2 == 1 ? 1 : 0;
}
constexpr bool isUpper(int side) {
    return side % 2 == 1;
}
constexpr int opposite(int side) {
    return side ^ 1;
}
// Bit of a child index that says "upper half" along an axis.
constexpr int halfBit(int axis) {
    return axis == 0 ? 4 : axis == 1 ? 2 : 1;
}

// The order in which a leaf looks at its neighbours: +z, -z, -x, +x, -y, +y.
constexpr int visitOrder[Geometry::sideCount] = {Geometry::PlusZ,  Geometry::MinusZ,
                                                 Geometry::MinusX, Geometry::PlusX,
                                                 Geometry::MinusY, Geometry::PlusY};

int nextPowerOfTwo(int value) {
    int result = 1;
    while (result < value)
        result *= 2;
    return result;
}

} // namespace

void SurfaceOctree::clear() {
    std::vector<OctreeNode>().swap(nodes);
    root = -1;
    std::vector<QuadFace>().swap(opaqueFaces);
    std::vector<QuadFace>().swap(transparentFaces);
}

SurfaceOctree::Subtree SurfaceOctree::buildNode(const int origin[3], int size) {
    for (std::size_t axis = 0; axis < 3; ++axis) {
        if (origin[axis] >= window.max[axis] || origin[axis] + size <= window.min[axis])
            return {0, -1};
    }
    if (size == 1)
        return {int(grid->material(origin[0], origin[1], origin[2])), -1};

    const int half = size / 2;
    Subtree children[8];
    bool uniform = true;
    bool inside = size == 2;
    for (std::size_t axis = 0; axis < 3 && inside; ++axis)
        inside = origin[axis] >= window.min[axis] && origin[axis] + 2 <= window.max[axis];
    if (inside) {
        // Most of the tree's work is at its bottom: read the eight cells at once.
        const MaterialCells corner = grid->cells + grid->index(origin[0], origin[1], origin[2]);
        const std::ptrdiff_t strideX = std::ptrdiff_t(grid->sizeY) * grid->sizeZ;
        const std::ptrdiff_t strideY = grid->sizeZ;
        for (int i = 0; i < 8; ++i) {
            const std::ptrdiff_t offset =
                (i & 4 ? strideX : 0) + (i & 2 ? strideY : 0) + (i & 1 ? 1 : 0);
            children[i] = {int(corner[offset]), -1};
            uniform = uniform && children[i].key == children[0].key;
        }
    } else {
        for (int i = 0; i < 8; ++i) {
            const int childOrigin[3] = {origin[0] + (i & 4 ? half : 0),
                                        origin[1] + (i & 2 ? half : 0),
                                        origin[2] + (i & 1 ? half : 0)};
            children[i] = buildNode(childOrigin, half);
            uniform = uniform && children[i].block < 0 && children[i].key == children[0].key;
        }
    }
    if (uniform)
        return {children[0].key, -1};

    const int block = int(nodes.size());
    nodes.resize(nodes.size() + 8);
    for (int i = 0; i < 8; ++i) {
        OctreeNode& node = nodes[std::size_t(block + i)];
        node.leaf = children[i].block < 0;
        node.key = node.leaf ? children[i].key : 0;
        node.firstChild = children[i].block;
        node.origin[0] = origin[0] + (i & 4 ? half : 0);
        node.origin[1] = origin[1] + (i & 2 ? half : 0);
        node.origin[2] = origin[2] + (i & 1 ? half : 0);
        node.size = half;
        if (!node.leaf)
            attachChildren(block + i, children[i].block);
    }
    return {0, block};
}

void SurfaceOctree::attachChildren(int parentIndex, int block) {
    for (int i = 0; i < 8; ++i)
        nodes[std::size_t(block + i)].parent = parentIndex;
}

int SurfaceOctree::neighbourOf(const OctreeNode& node, int side) const {
    const int axis = axisOf(side);
    int point[3] = {node.origin[0], node.origin[1], node.origin[2]};
    point[axis] = isUpper(side) ? node.origin[axis] + node.size : node.origin[axis] - 1;
    const OctreeNode& top = nodes[std::size_t(root)];
    if (point[axis] < top.origin[axis] || point[axis] >= top.origin[axis] + top.size)
        return -1;

    int current = root;
    while (!nodes[std::size_t(current)].leaf && nodes[std::size_t(current)].size > node.size) {
        const OctreeNode& n = nodes[std::size_t(current)];
        const int half = n.size / 2;
        int index = 0;
        for (int a = 0; a < 3; ++a) {
            if (point[a] >= n.origin[a] + half)
                index |= halfBit(a);
        }
        current = n.child(index);
    }
    return current;
}

void SurfaceOctree::emitFacing(int nodeIndex, int side, bool fromEmpty) {
    OctreeNode& node = nodes[std::size_t(nodeIndex)];
    if (node.leaf) {
        if (node.key == 0)
            return;
        const float alpha = palette->alpha(std::uint32_t(node.key));
        if (alpha > opaqueAbove || (fromEmpty && alpha > invisibleBelow))
            emitFace(node, side);
        return;
    }
    const int bit = halfBit(axisOf(side));
    const bool upper = isUpper(side);
    for (int i = 0; i < 8; ++i) {
        if (bool(i & bit) == upper)
            emitFacing(node.child(i), side, fromEmpty);
    }
}

void SurfaceOctree::emitFace(OctreeNode& node, int side) {
    const std::uint8_t bit = std::uint8_t(1u << side);
    if (node.emittedSides & bit)
        return;
    node.emittedSides |= bit;
    const Geometry::Rgba& color = palette->color(std::uint32_t(node.key));
    std::vector<QuadFace>& out = color[3] > opaqueAbove ? opaqueFaces : transparentFaces;
    QuadFace& face = out.emplace_back();
    Geometry::setSideCorners(face, Side(side), node.origin, node.size, grid->cellSize);
    face.fillColor = color;
    face.edgeColor = color;
    face.material = node.key;
}

void SurfaceOctree::build(const CellGrid& cellGrid, const CutWindow& requested,
                          const MaterialPalette& colors) {
    clear();
    window = requested.clampedTo(unsigned(cellGrid.sizeX), unsigned(cellGrid.sizeY),
                                 unsigned(cellGrid.sizeZ));
    if (window.isEmpty())
        return;
    grid = &cellGrid;
    palette = &colors;

    const int rootSize =
        nextPowerOfTwo(std::max({window.extent(0), window.extent(1), window.extent(2)}));
    const int origin[3] = {window.min[0], window.min[1], window.min[2]};
    const Subtree top = buildNode(origin, rootSize);
    root = int(nodes.size());
    OctreeNode& rootNode = nodes.emplace_back();
    rootNode.leaf = top.block < 0;
    rootNode.key = rootNode.leaf ? top.key : 0;
    rootNode.firstChild = top.block;
    std::copy(origin, origin + 3, rootNode.origin);
    rootNode.size = rootSize;
    if (!rootNode.leaf)
        attachChildren(root, top.block);

    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const OctreeNode leaf = nodes[i];
        if (!leaf.leaf)
            continue;
        const bool empty = leaf.key == 0;
        if (!empty && palette->alpha(std::uint32_t(leaf.key)) >= opaqueAbove)
            continue;
        for (int side : visitOrder) {
            const int neighbour = neighbourOf(leaf, side);
            if (neighbour >= 0)
                emitFacing(neighbour, opposite(side), empty);
        }
    }
    // Beyond the root there is nothing: whatever shows on its boundary is drawn.
    for (int side : visitOrder)
        emitFacing(root, side, true);

    grid = nullptr;
    palette = nullptr;
}

void SurfaceOctree::draw(bool renderEdges, bool opaquePass) const {
    const std::vector<QuadFace>& faces = opaquePass ? opaqueFaces : transparentFaces;
    QuadDrawing::drawFilled(faces);
    if (renderEdges) {
        QuadDrawing::beginOutlines();
        QuadDrawing::drawEdges(faces);
        QuadDrawing::endOutlines();
    }
}

void SurfaceOctree::updateColors(const MaterialPalette& colors, bool selected) {
    for (std::vector<QuadFace>* list : {&opaqueFaces, &transparentFaces}) {
        for (QuadFace& face : *list) {
            const Geometry::Rgba& color = colors.color(std::uint32_t(face.material));
            face.fillColor = selected ? MaterialPalette::highlight(color) : color;
            face.edgeColor = face.fillColor;
        }
    }
}

} // namespace Model::Automaton
