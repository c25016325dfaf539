#pragma once

#include "Model/Automaton/photomask.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include <cstdint>
#include <vector>

namespace Model::Layout {

// Turns outlines into a mask of columns: column (x, y), whose centre is at
// ((x + 0.5) · cellSizeX, (y + 0.5) · cellSizeY) in the outlines' coordinates (µm), is covered
// when that centre lies inside the union of the outlines or on one of their edges (each outline
// by the even-odd rule).
//
// Qt's painter fills the inside of each outline, with antialiasing off, sampling at pixel
// centres. It rounds vertices to 1/64 of a pixel and leaves centres on right and bottom edges
// open, so every column whose centre lies within a tenth of a column of an outline's edge is
// decided again by an exact test against that outline. That test works in integers on a
// lattice of half a picometre, on which a layout's vertices (whole database units placed at a
// decimal offset) and the centres of decimal cell sizes such as 0.1 µm all lie exactly: a
// centre on an edge is on it, whatever binary fractions would have made of it. The result
// depends neither on drawing order nor on where edges fall.
class LayoutRasterizer {
public:
    LayoutRasterizer(unsigned sizeX, unsigned sizeY, double cellSizeX = 1.0,
                     double cellSizeY = 1.0);
    ~LayoutRasterizer();
    LayoutRasterizer(const LayoutRasterizer&) = delete;
    LayoutRasterizer& operator=(const LayoutRasterizer&) = delete;

    void add(const QPolygonF& outline);
    // The mask so far: bit x * sizeY + y set where covered.
    Model::Automaton::PhotoMask mask() const;

    // Whether `point` is inside `outline` or on its edge, both taken to the lattice.
    static bool covers(const QPolygonF& outline, const QPointF& point);

    // Lattice points per unit of the outlines' coordinates.
    static constexpr double latticePerUnit = 2e6;

private:
    double cellSizeX;
    double cellSizeY;
    // The lattice step from one column centre to the next, halved: centre x lies at
    // (2x + 1) · halfStepX.
    std::int64_t halfStepX;
    std::int64_t halfStepY;
    QImage image;
    QPainter painter;
    std::vector<std::uint32_t> near;
    std::vector<std::uint8_t> before;
};

} // namespace Model::Layout
