#pragma once

#include "Model/Automaton/cellgrid.h"
#include "Model/Automaton/cutwindow.h"
#include "Model/Automaton/materialpalette.h"
#include "Model/Automaton/triangle.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace Model::Automaton {

// A smooth-looking surface through the midpoints of the cell edges that separate filled from
// empty grid points.
//
// The grid points are the cells themselves. A point samples its cell's material when
// window.min < coordinate <= window.max (and inside the volume), so the lowest layer of the
// window counts as empty and the layer just above the window's top is included: the surface
// is closed on every side.
class MarchingCubeSurface {
public:
    MarchingCubeSurface();
    ~MarchingCubeSurface();
    MarchingCubeSurface(const MarchingCubeSurface&) = delete;
    MarchingCubeSurface& operator=(const MarchingCubeSurface&) = delete;

    // Replaces the triangles. The caller holds the grid's voxel lock for the whole call; x is
    // split over `threads` tasks of a pool of its own.
    void build(const CellGrid& grid, const CutWindow& window, int threads);
    void clear();

    // Immediate-mode GL triangles, coloured from `palette` (highlighted when `selected`).
    void draw(const MaterialPalette& palette, bool selected);

    std::vector<Triangle> getTriangles() const;
    std::size_t getTriangleCount() const;

private:
    // The cubes with lower corner x in one run of columns, their triangles and the normal sums
    // of their vertices (defined with the builder).
    struct Range;
    std::size_t countTriangles() const;

    // The surface in runs of x, as the tasks built them; together, in order, the triangles.
    // A rebuild reuses their buffers.
    std::vector<Range> ranges;
    MaterialPalette colors;
    mutable std::mutex mutex;
};

} // namespace Model::Automaton
