#pragma once

#include <cstdint>

// Lookup tables of the marching-cubes surface.
//
// Corners of a cube, in cells relative to its lower corner (x, y, z):
//   0 (0,1,0)  1 (1,1,0)  2 (1,0,0)  3 (0,0,0)  4 (0,1,1)  5 (1,1,1)  6 (1,0,1)  7 (0,0,1)
// Edge k joins the corners edgeCorners[k]. Case index bit i is set when corner i holds material.
namespace Model::Automaton::MarchingCubeTables {

// Twelve bits per case: the edges the surface crosses.
extern const std::uint16_t edgeTable[256];
// Per case, the edge triples of its triangles in drawing order, ended by -1.
extern const std::int8_t triangleTable[256][16];
// A cube's list holds at most this many triangles (and a -1 after them).
inline constexpr int mostTrianglesPerCube = 5;

inline constexpr std::int8_t edgeCorners[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                                   {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
inline constexpr std::int8_t cornerOffsets[8][3] = {{0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 0, 0},
                                                    {0, 1, 1}, {1, 1, 1}, {1, 0, 1}, {0, 0, 1}};

} // namespace Model::Automaton::MarchingCubeTables
