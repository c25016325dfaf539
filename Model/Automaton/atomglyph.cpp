#include "Model/Automaton/atomglyph.h"

#include <array>
#include <cmath>

namespace Model::Automaton::AtomGlyph {

namespace {

using Point = std::array<double, 3>;

Point unit(const Point& p) {
    const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    return {p[0] / length, p[1] / length, p[2] / length};
}

Point midpoint(const Point& a, const Point& b) {
    return unit({(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2});
}

void subdivide(const Point& a, const Point& b, const Point& c, int depth, std::vector<Point>& out) {
    if (depth == 0) {
        out.insert(out.end(), {a, b, c});
        return;
    }
    const Point ab = midpoint(a, b), bc = midpoint(b, c), ca = midpoint(c, a);
    subdivide(a, ab, ca, depth - 1, out);
    subdivide(ab, b, bc, depth - 1, out);
    subdivide(ca, bc, c, depth - 1, out);
    subdivide(ab, bc, ca, depth - 1, out);
}

// Faces of each box side as corner numbers of the lattice's corner list, counter-clockwise
// seen from outside: bottom, top, then the four sides.
constexpr int sides[6][4] = {{0, 2, 6, 4}, {1, 5, 7, 3}, {0, 4, 5, 1},
                             {4, 6, 7, 5}, {6, 2, 3, 7}, {2, 0, 1, 3}};

void push(std::vector<float>& out, const Util::Vector3D& p) {
    out.insert(out.end(), {float(p.x), float(p.y), float(p.z)});
}

} // namespace

std::vector<float> sphere(double latticeConstant) {
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    const Point corners[12] = {unit({-1, t, 0}),  unit({1, t, 0}),   unit({-1, -t, 0}),
                               unit({1, -t, 0}),  unit({0, -1, t}),  unit({0, 1, t}),
                               unit({0, -1, -t}), unit({0, 1, -t}),  unit({t, 0, -1}),
                               unit({t, 0, 1}),   unit({-t, 0, -1}), unit({-t, 0, 1})};
    static const int faces[20][3] = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                     {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                     {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                     {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    std::vector<Point> points;
    points.reserve(sphereVertices);
    for (const auto& f : faces)
        subdivide(corners[f[0]], corners[f[1]], corners[f[2]], 2, points);
    std::vector<float> out;
    out.reserve(2 * 3 * points.size());
    for (const Point& p : points)
        for (double c : p)
            out.push_back(float(c * atomRadius * latticeConstant));
    for (const Point& p : points)
        for (double c : p)
            out.push_back(float(c));
    return out;
}

std::vector<float> unitCellSolid(const std::vector<Util::Vector3D>& corners) {
    std::vector<float> out;
    if (corners.size() < 8)
        return out;
    for (const auto& side : sides) {
        for (int corner : {side[0], side[1], side[2], side[0], side[2], side[3]})
            push(out, corners[std::size_t(corner)]);
    }
    return out;
}

std::vector<float> unitCellOutline(const std::vector<Util::Vector3D>& corners) {
    std::vector<float> out;
    if (corners.size() < 8)
        return out;
    for (const auto& side : sides)
        for (int corner : side)
            push(out, corners[std::size_t(corner)]);
    return out;
}

} // namespace Model::Automaton::AtomGlyph
