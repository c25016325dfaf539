#pragma once

#include "Model/Layout/layoutlibrary.h"

#include <QPolygonF>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace Model::Layout {

// x' = a x + b y + dx, y' = c x + d y + dy.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, dx = 0, dy = 0;

    QPointF map(double x, double y) const { return {a * x + b * y + dx, c * x + d * y + dy}; }
    // This after `inner`.
    Affine after(const Affine& inner) const {
        return {a * inner.a + b * inner.c,        a * inner.b + b * inner.d,
                c * inner.a + d * inner.c,        c * inner.b + d * inner.d,
                a * inner.dx + b * inner.dy + dx, c * inner.dx + d * inner.dy + dy};
    }
};

// What one flattening may place before the layout counts as hostile.
struct FlattenLimits {
    std::uint64_t shapes = 20'000'000;
    std::uint64_t placements = 100'000'000;
    int depth = 64;
};

// Places the shapes of one layer and datatype under a cell, through every reference and
// array, and hands each one over as a closed outline: boundaries as they are, paths as the
// outline of their width with their end style (flush, round, or extended by half the width)
// and mitred bends. Subtrees whose shapes all fall outside the window are never visited, so a
// distant array costs nothing; limits on shapes, placements and depth make a hostile
// hierarchy a refusal rather than a hang.
class LayoutFlattener {
public:
    using Limits = FlattenLimits;
    using Sink = std::function<void(const QPolygonF& outline)>;

    LayoutFlattener(const LayoutLibrary& library, int layer, int datatype, Limits limits = {});

    // Sends every shape of the layer under `cell`, mapped by `placement` (from database units),
    // that reaches into `window` to `sink`. False, with the reason, when a limit is reached.
    bool flatten(int cell, const Affine& placement, const QRectF& window, const Sink& sink,
                 QString& problem);

    std::uint64_t shapeCount() const { return shapes; }

    // The outlines of one path element, in its cell's coordinates.
    static std::vector<QPolygonF> pathOutlines(const LayoutElement& path);

private:
    // The bounds of the layer's shapes in `cell` and below, in its coordinates; empty when it
    // has none. Computed once per cell.
    const QRectF& boundsOf(int cell, int depth);
    bool visit(int cell, const Affine& transform, int depth, const Sink& sink);
    bool reaches(int cell, const Affine& transform, int depth);
    bool fail(const QString& reason);

    const LayoutLibrary& library;
    int layer;
    int datatype;
    Limits limits;
    QRectF window;
    std::vector<QRectF> bounds;
    std::vector<std::uint8_t> boundsKnown;
    std::uint64_t shapes = 0;
    std::uint64_t placements = 0;
    QString problem;
};

} // namespace Model::Layout
