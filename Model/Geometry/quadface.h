#pragma once

#include <array>
#include <cstdint>

namespace Model::Geometry {

// Red, green, blue, alpha, each 0 to 1.
using Rgba = std::array<float, 4>;

// The six sides of a cell (or of an octree node), in the order the direct cubic surface
// visits them.
enum Side { MinusZ = 0, PlusZ, MinusY, PlusY, MinusX, PlusX };
inline constexpr int sideCount = 6;

// Unit outward normal of each side.
extern const float sideNormals[sideCount][3];
// The four corners of each side as offsets in cells, in drawing order (counter-clockwise
// seen from outside, so back-face culling keeps the outer side).
extern const int sideCorners[sideCount][4][3];

// One drawable square. Vertices are held by value: a face is one flat record, and a list of
// faces is one allocation however many faces it holds.
struct QuadFace {
    float vertices[4][3] = {};
    // Points into sideNormals.
    const float* normal = nullptr;
    Rgba fillColor{};
    Rgba edgeColor{};
    // The index of the cell this face was made from (direct cubic and empty-cell faces), -1
    // for none.
    std::int64_t cell = -1;
    // Material of the cell or octree node the face shows; 0 for empty-cell outlines.
    int material = 0;
};

// One visible side of one cell of the direct cubic surface: the cell, the side and the cell's
// material. A large volume shows millions of them, and the corners, the normal and the colour
// follow from these three and the volume, so they are worked out as a face is drawn rather
// than kept: 16 bytes a face instead of the 104 of a QuadFace.
struct CellFace {
    std::int64_t cell = -1;
    std::uint16_t material = 0;
    std::uint8_t side = 0;
};
static_assert(sizeof(CellFace) == 16, "a cell face is two words");

// Places `face` on the given side of the box of `extent` cells starting at cell `origin`.
// Corners are computed from whole cell coordinates, so faces of neighbouring boxes meet
// exactly whatever the cell sizes.
void setSideCorners(QuadFace& face, Side side, const int origin[3], int extent,
                    const float cellSize[3]);

} // namespace Model::Geometry
