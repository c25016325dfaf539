#include "Model/Layout/layoutflattener.h"

#include <cmath>

namespace Model::Layout {

namespace {

constexpr double pi = 3.14159265358979323846;
// Beyond this ratio of mitre length to half width a bend is bevelled, as layout tools do for
// sharp bends.
constexpr double mitreLimit = 4.0;
constexpr int roundEndSegments = 64;

bool isShape(const LayoutElement& e, int layer, int datatype) {
    return (e.kind == LayoutElement::Kind::Boundary || e.kind == LayoutElement::Kind::Path) &&
           e.layer == layer && e.datatype == datatype;
}

// The transformation of a reference or of one array member at `origin`: mirror about x, scale,
// turn, move. Right angles are exact.
Affine placementOf(const LayoutElement& e, double x, double y) {
    double cosine = std::cos(e.angle * pi / 180.0);
    double sine = std::sin(e.angle * pi / 180.0);
    const double quarter = e.angle / 90.0;
    if (quarter == std::floor(quarter)) {
        static const double cosines[] = {1, 0, -1, 0};
        const int k = int(std::fmod(std::fmod(quarter, 4.0) + 4.0, 4.0));
        cosine = cosines[k];
        sine = cosines[(k + 3) % 4];
    }
    const double m = e.magnification;
    const double flip = e.reflected ? -1.0 : 1.0;
    return {m * cosine, -m * sine * flip, m * sine, m * cosine * flip, x, y};
}

QRectF mapped(const Affine& t, const QRectF& r) {
    const QPointF corners[] = {t.map(r.left(), r.top()), t.map(r.right(), r.top()),
                               t.map(r.left(), r.bottom()), t.map(r.right(), r.bottom())};
    double x0 = corners[0].x(), x1 = x0, y0 = corners[0].y(), y1 = y0;
    for (const QPointF& p : corners) {
        x0 = std::min(x0, p.x());
        x1 = std::max(x1, p.x());
        y0 = std::min(y0, p.y());
        y1 = std::max(y1, p.y());
    }
    return QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

// Unlike QRectF::united, a rectangle of no width (a shape on a line) still counts.
void include(QRectF& into, bool& any, const QRectF& r) {
    if (!any) {
        into = r;
        any = true;
        return;
    }
    into = QRectF(QPointF(std::min(into.left(), r.left()), std::min(into.top(), r.top())),
                  QPointF(std::max(into.right(), r.right()), std::max(into.bottom(), r.bottom())));
}

bool touches(const QRectF& a, const QRectF& b) {
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() &&
           b.top() <= a.bottom();
}

QRectF boundsOfPoints(const std::vector<std::int32_t>& xy, double pad) {
    double x0 = xy[0], x1 = x0, y0 = xy[1], y1 = y0;
    for (std::size_t i = 0; i + 1 < xy.size(); i += 2) {
        x0 = std::min(x0, double(xy[i]));
        x1 = std::max(x1, double(xy[i]));
        y0 = std::min(y0, double(xy[i + 1]));
        y1 = std::max(y1, double(xy[i + 1]));
    }
    return QRectF(QPointF(x0 - pad, y0 - pad), QPointF(x1 + pad, y1 + pad));
}

QPointF arrayOrigin(const LayoutElement& e, int column, int row) {
    const double x = e.xy[0], y = e.xy[1];
    return {x + column * (e.xy[2] - x) / e.columns + row * (e.xy[4] - x) / e.rows,
            y + column * (e.xy[3] - y) / e.columns + row * (e.xy[5] - y) / e.rows};
}

} // namespace

LayoutFlattener::LayoutFlattener(const LayoutLibrary& library, int layer, int datatype,
                                 Limits limits)
    : library(library), layer(layer), datatype(datatype), limits(limits),
      bounds(library.cells().size(), QRectF(0, 0, -1, -1)), boundsKnown(library.cells().size(), 0) {
}

std::vector<QPolygonF> LayoutFlattener::pathOutlines(const LayoutElement& path) {
    std::vector<QPolygonF> outlines;
    const double half = std::fabs(double(path.width)) / 2.0;
    std::vector<QPointF> points;
    for (std::size_t i = 0; i + 1 < path.xy.size(); i += 2) {
        const QPointF p(path.xy[i], path.xy[i + 1]);
        if (points.empty() || p != points.back())
            points.push_back(p);
    }
    if (half == 0.0 || points.size() < 2)
        return outlines;
    const std::size_t segments = points.size() - 1;
    const double extension = path.pathType == 2 ? half : 0.0;
    const auto direction = [&points](std::size_t i) {
        const QPointF d = points[i + 1] - points[i];
        const double length = std::hypot(d.x(), d.y());
        return QPointF(d.x() / length, d.y() / length);
    };
    for (std::size_t i = 0; i < segments; ++i) {
        const QPointF u = direction(i);
        const QPointF n(-u.y() * half, u.x() * half);
        const QPointF a = points[i] - (i == 0 ? u * extension : QPointF());
        const QPointF b = points[i + 1] + (i + 1 == segments ? u * extension : QPointF());
        outlines.push_back(QPolygonF({a + n, b + n, b - n, a - n}));
        if (i + 1 == segments)
            break;
        // The bend at points[i + 1]: the wedge between the two outer edges.
        const QPointF v = direction(i + 1);
        const double cross = u.x() * v.y() - u.y() * v.x();
        if (std::fabs(cross) < 1e-12)
            continue;
        const double side = cross > 0 ? -1.0 : 1.0;
        const QPointF n1(-u.y(), u.x());
        const QPointF n2(-v.y(), v.x());
        const QPointF p = points[i + 1];
        const QPointF sum = n1 + n2;
        const double sumLength = std::hypot(sum.x(), sum.y());
        if (sumLength > 2.0 / mitreLimit) {
            const QPointF mitre = sum * (2.0 / (sumLength * sumLength)) * half * side;
            outlines.push_back(
                QPolygonF({p, p + n1 * half * side, p + mitre, p + n2 * half * side}));
        } else {
            outlines.push_back(QPolygonF({p, p + n1 * half * side, p + n2 * half * side}));
        }
    }
    if (path.pathType == 1) {
        for (const QPointF& centre : {points.front(), points.back()}) {
            QPolygonF disc;
            for (int k = 0; k < roundEndSegments; ++k) {
                const double t = 2.0 * pi * k / roundEndSegments;
                disc << centre + QPointF(std::cos(t), std::sin(t)) * half;
            }
            outlines.push_back(disc);
        }
    }
    return outlines;
}

bool LayoutFlattener::fail(const QString& reason) {
    if (problem.isEmpty())
        problem = reason;
    return false;
}

const QRectF& LayoutFlattener::boundsOf(int cell, int depth) {
    const std::size_t index = std::size_t(cell);
    if (depth > limits.depth) {
        fail(QStringLiteral("its cells are nested deeper than %1 levels").arg(limits.depth));
        return bounds[index];
    }
    if (boundsKnown[index])
        return bounds[index];
    boundsKnown[index] = 1;
    QRectF box;
    bool any = false;
    for (const LayoutElement& e : library.cells()[index].elements) {
        if (isShape(e, layer, datatype)) {
            if (e.kind == LayoutElement::Kind::Path) {
                const double pad = std::fabs(double(e.width)) / 2.0 *
                                   (e.pathType == 0 ? mitreLimit : mitreLimit + 1);
                if (e.width != 0)
                    include(box, any, boundsOfPoints(e.xy, pad));
            } else {
                include(box, any, boundsOfPoints(e.xy, 0.0));
            }
            continue;
        }
        if (e.kind != LayoutElement::Kind::Reference && e.kind != LayoutElement::Kind::Array)
            continue;
        const QRectF inner = boundsOf(e.cell, depth + 1);
        if (inner.width() < 0)
            continue;
        if (e.kind == LayoutElement::Kind::Reference) {
            include(box, any, mapped(placementOf(e, e.xy[0], e.xy[1]), inner));
        } else {
            // Members lie on a lattice, so the corner members bound them all.
            for (int column : {0, e.columns - 1})
                for (int row : {0, e.rows - 1}) {
                    const QPointF origin = arrayOrigin(e, column, row);
                    include(box, any, mapped(placementOf(e, origin.x(), origin.y()), inner));
                }
        }
    }
    bounds[index] = any ? box : QRectF(0, 0, -1, -1);
    return bounds[index];
}

bool LayoutFlattener::reaches(int cell, const Affine& transform, int depth) {
    const QRectF& box = boundsOf(cell, depth);
    return box.width() >= 0 && touches(mapped(transform, box), window);
}

bool LayoutFlattener::visit(int cell, const Affine& transform, int depth, const Sink& sink) {
    if (depth > limits.depth)
        return fail(QStringLiteral("its cells are nested deeper than %1 levels").arg(limits.depth));
    for (const LayoutElement& e : library.cells()[std::size_t(cell)].elements) {
        if (isShape(e, layer, datatype)) {
            std::vector<QPolygonF> outlines;
            if (e.kind == LayoutElement::Kind::Path) {
                outlines = pathOutlines(e);
            } else {
                QPolygonF outline;
                for (std::size_t i = 0; i + 1 < e.xy.size(); i += 2)
                    outline << QPointF(e.xy[i], e.xy[i + 1]);
                outlines.push_back(outline);
            }
            for (QPolygonF& outline : outlines) {
                for (QPointF& p : outline)
                    p = transform.map(p.x(), p.y());
                if (!touches(outline.boundingRect(), window))
                    continue;
                if (++shapes > limits.shapes)
                    return fail(QStringLiteral("it places more than %1 shapes on the layer")
                                    .arg(limits.shapes));
                sink(outline);
            }
            continue;
        }
        if (e.kind != LayoutElement::Kind::Reference && e.kind != LayoutElement::Kind::Array)
            continue;
        const int columns = e.kind == LayoutElement::Kind::Array ? e.columns : 1;
        const int rows = e.kind == LayoutElement::Kind::Array ? e.rows : 1;
        for (int column = 0; column < columns; ++column) {
            for (int row = 0; row < rows; ++row) {
                if (++placements > limits.placements)
                    return fail(
                        QStringLiteral("it places more than %1 cells").arg(limits.placements));
                const QPointF origin = e.kind == LayoutElement::Kind::Array
                                           ? arrayOrigin(e, column, row)
                                           : QPointF(e.xy[0], e.xy[1]);
                const Affine inner = transform.after(placementOf(e, origin.x(), origin.y()));
                if (reaches(e.cell, inner, depth + 1) && !visit(e.cell, inner, depth + 1, sink))
                    return false;
                if (!problem.isEmpty())
                    return false;
            }
        }
    }
    return true;
}

bool LayoutFlattener::flatten(int cell, const Affine& placement, const QRectF& area,
                              const Sink& sink, QString& why) {
    window = area;
    shapes = 0;
    placements = 0;
    problem.clear();
    if (cell < 0 || std::size_t(cell) >= library.cells().size()) {
        why = QStringLiteral("it has no such cell");
        return false;
    }
    if (!reaches(cell, placement, 0) && problem.isEmpty())
        return true;
    if (!problem.isEmpty() || !visit(cell, placement, 0, sink)) {
        why = problem;
        return false;
    }
    return true;
}

} // namespace Model::Layout
