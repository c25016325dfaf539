#pragma once

#include "Util/vector3d.h"

#include <vector>

namespace Model::Automaton {

// The shapes the atomic renderer repeats at every atom and unit cell, as flat float arrays of
// x, y, z triples.
namespace AtomGlyph {

constexpr int sphereTriangles = 320;
constexpr int sphereVertices = 3 * sphereTriangles;
constexpr float atomRadius = 0.1f;

// An icosahedron subdivided twice and pushed onto the sphere: sphereVertices positions of
// radius atomRadius lattice constants of `latticeConstant` scene units, followed by as many unit
// normals.
std::vector<float> sphere(double latticeConstant = 1.0);

// One unit cell turned as the lattice is, from its eight corners in the lattice's order
// (bottom and top of each of the four vertical edges): its six faces as twelve triangles,
// outward, for drawing it solid.
std::vector<float> unitCellSolid(const std::vector<Util::Vector3D>& corners);
// The same six faces as loops of four corners, for drawing its outline.
std::vector<float> unitCellOutline(const std::vector<Util::Vector3D>& corners);

} // namespace AtomGlyph

} // namespace Model::Automaton
