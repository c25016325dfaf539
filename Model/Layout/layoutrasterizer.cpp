#include "Model/Layout/layoutrasterizer.h"

#include <algorithm>
#include <cmath>

namespace Model::Layout {

namespace {

// Columns whose centres lie this close to an edge (in columns) are tested exactly; Qt's error
// is below 1/32 of a column.
constexpr double doubtful = 0.1;

struct LatticePoint {
    std::int64_t x;
    std::int64_t y;
};

// Far beyond any volume, and small enough that products of two differences fit 128 bits.
constexpr double latticeReach = 1e15;

std::int64_t onLattice(double value) {
    return std::llround(
        std::clamp(value * LayoutRasterizer::latticePerUnit, -latticeReach, latticeReach));
}

std::vector<LatticePoint> onLattice(const QPolygonF& outline) {
    std::vector<LatticePoint> points;
    points.reserve(std::size_t(outline.size()));
    for (const QPointF& p : outline)
        points.push_back({onLattice(p.x()), onLattice(p.y())});
    return points;
}

// The crossing-number test with the edges closed, in exact integer arithmetic.
bool coversExactly(const std::vector<LatticePoint>& outline, LatticePoint p) {
    using Wide = __int128;
    bool inside = false;
    const std::size_t n = outline.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const LatticePoint& a = outline[j];
        const LatticePoint& b = outline[i];
        const Wide cross = Wide(b.x - a.x) * (p.y - a.y) - Wide(b.y - a.y) * (p.x - a.x);
        if (cross == 0 && p.x >= std::min(a.x, b.x) && p.x <= std::max(a.x, b.x) &&
            p.y >= std::min(a.y, b.y) && p.y <= std::max(a.y, b.y))
            return true;
        // Left of the crossing of the edge with the point's row: the cross product's sign, by
        // the direction the edge runs in.
        if ((a.y > p.y) != (b.y > p.y) && (b.y > a.y ? cross > 0 : cross < 0))
            inside = !inside;
    }
    return inside;
}

// Clips to an axis-parallel box (Sutherland-Hodgman): keeps the painter's fixed-point
// coordinates in range for outlines that reach far beyond the grid.
QPolygonF clipped(const QPolygonF& outline, double x0, double y0, double x1, double y1) {
    QPolygonF result = outline;
    const auto clip = [&result](auto inside, auto cut) {
        if (result.isEmpty())
            return;
        QPolygonF out;
        QPointF previous = result.back();
        for (const QPointF& p : result) {
            const bool in = inside(p);
            if (in != inside(previous))
                out << cut(previous, p);
            if (in)
                out << p;
            previous = p;
        }
        result = out;
    };
    const auto atX = [](double x) {
        return [x](const QPointF& a, const QPointF& b) {
            return QPointF(x, a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x()));
        };
    };
    const auto atY = [](double y) {
        return [y](const QPointF& a, const QPointF& b) {
            return QPointF(a.x() + (b.x() - a.x()) * (y - a.y()) / (b.y() - a.y()), y);
        };
    };
    clip([x0](const QPointF& p) { return p.x() >= x0; }, atX(x0));
    clip([x1](const QPointF& p) { return p.x() <= x1; }, atX(x1));
    clip([y0](const QPointF& p) { return p.y() >= y0; }, atY(y0));
    clip([y1](const QPointF& p) { return p.y() <= y1; }, atY(y1));
    return result;
}

} // namespace

LayoutRasterizer::LayoutRasterizer(unsigned sizeX, unsigned sizeY, double cellSizeX,
                                   double cellSizeY)
    : cellSizeX(cellSizeX), cellSizeY(cellSizeY),
      halfStepX(std::llround(cellSizeX * latticePerUnit / 2)),
      halfStepY(std::llround(cellSizeY * latticePerUnit / 2)),
      image(int(sizeX), int(sizeY), QImage::Format_Grayscale8) {
    image.fill(0);
    painter.begin(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
}

LayoutRasterizer::~LayoutRasterizer() = default;

bool LayoutRasterizer::covers(const QPolygonF& outline, const QPointF& point) {
    return !outline.isEmpty() &&
           coversExactly(onLattice(outline), {onLattice(point.x()), onLattice(point.y())});
}

void LayoutRasterizer::add(const QPolygonF& outline) {
    const int width = image.width();
    const int height = image.height();
    if (outline.size() < 3 || width == 0 || height == 0)
        return;
    const QPolygonF clippedOutline = clipped(outline, -2.0 * cellSizeX, -2.0 * cellSizeY,
                                             (width + 2.0) * cellSizeX, (height + 2.0) * cellSizeY);
    if (clippedOutline.size() < 3)
        return;
    // In columns for the painter and the search of doubtful centres; on the lattice for the
    // exact test.
    QPolygonF shape;
    for (const QPointF& p : clippedOutline)
        shape << QPointF(p.x() / cellSizeX, p.y() / cellSizeY);
    const std::vector<LatticePoint> exact = onLattice(clippedOutline);

    // The columns whose centres lie near an edge: per edge, walk along its longer axis and
    // take the one or two columns across it within reach.
    near.clear();
    const auto take = [&](long x, long y) {
        if (x >= 0 && y >= 0 && x < width && y < height)
            near.push_back(std::uint32_t(y) * std::uint32_t(width) + std::uint32_t(x));
    };
    for (int i = 0, j = shape.size() - 1; i < shape.size(); j = i++) {
        const QPointF a = shape[j];
        const QPointF b = shape[i];
        const bool alongX = std::fabs(b.x() - a.x()) >= std::fabs(b.y() - a.y());
        const double u0 = alongX ? a.x() : a.y(), u1 = alongX ? b.x() : b.y();
        const double v0 = alongX ? a.y() : a.x(), v1 = alongX ? b.y() : b.x();
        const double lo = std::min(u0, u1), hi = std::max(u0, u1);
        const long first = long(std::floor(lo - doubtful - 0.5));
        const long last = long(std::ceil(hi + doubtful - 0.5));
        for (long u = std::max(first, -1L); u <= std::min(last, long(alongX ? width : height));
             ++u) {
            const double centre = u + 0.5;
            const double along = std::clamp(centre, lo, hi);
            const double v = hi > lo ? v0 + (v1 - v0) * (along - u0) / (u1 - u0) : v0;
            const long from = long(std::floor(v - 2 * doubtful - 0.5));
            const long to = long(std::ceil(v + 2 * doubtful - 0.5));
            for (long w = from; w <= to; ++w)
                alongX ? take(u, w) : take(w, u);
        }
    }
    uchar* pixels = image.bits();
    const int stride = image.bytesPerLine();
    const auto pixel = [&](std::uint32_t index) -> uchar& {
        return pixels[(index / std::uint32_t(width)) * std::uint32_t(stride) +
                      index % std::uint32_t(width)];
    };
    before.resize(near.size());
    for (std::size_t k = 0; k < near.size(); ++k)
        before[k] = pixel(near[k]);
    painter.drawPolygon(shape, Qt::OddEvenFill);
    for (std::size_t k = 0; k < near.size(); ++k) {
        const std::uint32_t index = near[k];
        const std::int64_t x = index % std::uint32_t(width);
        const std::int64_t y = index / std::uint32_t(width);
        const LatticePoint centre{(2 * x + 1) * halfStepX, (2 * y + 1) * halfStepY};
        pixel(index) = before[k] || coversExactly(exact, centre) ? 255 : 0;
    }
}

Model::Automaton::PhotoMask LayoutRasterizer::mask() const {
    Model::Automaton::PhotoMask result;
    result.width = unsigned(image.width());
    result.height = unsigned(image.height());
    result.bits.assign(std::size_t(result.width) * result.height, false);
    for (unsigned y = 0; y < result.height; ++y) {
        const uchar* line = image.constScanLine(int(y));
        for (unsigned x = 0; x < result.width; ++x)
            if (line[x])
                result.bits[std::size_t(x) * result.height + y] = true;
    }
    return result;
}

} // namespace Model::Layout
