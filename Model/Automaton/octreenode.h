#pragma once

#include <cstdint>

namespace Model::Automaton {

// One cube of a region octree over a cut window. Nodes live in one flat pool owned by their
// SurfaceOctree and refer to each other by index; the eight children of a node are stored
// together, child i at firstChild + i, where i = 4 * (upper x half) + 2 * (upper y half) +
// (upper z half).
struct OctreeNode {
    // Material id of a leaf; 0 is empty.
    int key = 0;
    int parent = -1;
    // -1 for a leaf.
    int firstChild = -1;
    // Lower corner, in cells.
    int origin[3] = {0, 0, 0};
    // Edge length in cells, a power of two.
    int size = 1;
    bool leaf = true;
    // Sides whose face has been produced, one bit per Geometry::Side, so that a large leaf
    // next to several small ones is drawn once.
    std::uint8_t emittedSides = 0;

    int child(int index) const { return firstChild + index; }
};

} // namespace Model::Automaton
