#pragma once

#include "Model/Geometry/quadface.h"

#include <vector>

// Immediate-mode drawing of face lists, shared by the painter and the octree surface. These
// need a current GL context.
namespace Model::Automaton::QuadDrawing {

// Filled quads: per face its normal, its fill colour and four vertices. Faces of
// `skippedMaterial` are left out (none by default).
void drawFilled(const std::vector<Geometry::QuadFace>& faces, int skippedMaterial = -1);
// Quads in their edge colour; meant to be called between beginOutlines() and endOutlines().
void drawEdges(const std::vector<Geometry::QuadFace>& faces, int skippedMaterial = -1);

// Outlines drawn over the filled faces: lighting off, lines of width 2 on both sides, pulled
// towards the viewer so they are not hidden by the faces they outline.
void beginOutlines();
void endOutlines();

} // namespace Model::Automaton::QuadDrawing
