#include "Model/Metrology/cellmeasures.h"

#include "Model/Materials/materialfactory.h"
#include "Model/Transport/fluxengine.h"

#include <algorithm>
#include <cmath>

namespace Model::Metrology {

namespace {

const QString micrometres = QStringLiteral("µm");
const QString degrees = QStringLiteral("°");
const char axisNames[] = {'x', 'y', 'z'};

QString number(double value) {
    return QString::number(value, 'g', 10);
}

Util::Vector3D point(double x, double y, double z) {
    return Util::Vector3D(x, y, z);
}

CellBox box(int x0, int y0, int z0, int x1, int y1, int z1) {
    CellBox cells;
    cells.lo[0] = x0;
    cells.lo[1] = y0;
    cells.lo[2] = z0;
    cells.hi[0] = x1;
    cells.hi[1] = y1;
    cells.hi[2] = z1;
    return cells;
}

Dimension dimension(const Util::Vector3D& from, const Util::Vector3D& to, const QString& label,
                    double value, const QString& unit) {
    return {from, to, label + QStringLiteral(" = ") + formatValue(value, unit), value, unit};
}

} // namespace

// --- selections and results -------------------------------------------------------------

MaterialSelection MaterialSelection::solid() {
    MaterialSelection selection;
    selection.allSolid = true;
    selection.written = QStringLiteral("solid");
    return selection;
}

MaterialSelection MaterialSelection::emptySpace() {
    MaterialSelection selection;
    selection.withEmpty = true;
    selection.written = QStringLiteral("empty");
    return selection;
}

MaterialSelection MaterialSelection::of(std::vector<std::uint32_t> ids, const QString& text) {
    MaterialSelection selection;
    for (std::uint32_t id : ids) {
        if (id == 0)
            selection.withEmpty = true;
        else
            selection.ids.push_back(id);
    }
    selection.written = text;
    return selection;
}

std::vector<NamedValue> namedValues(const Measurement& measurement, const QString& resultName) {
    std::vector<NamedValue> named;
    for (const Quantity& quantity : measurement.quantities)
        named.push_back(
            {quantity.key.isEmpty() ? resultName : resultName + QLatin1Char('.') + quantity.key,
             quantity.value, quantity.unit});
    return named;
}

QString formatValue(double value, const QString& unit) {
    // Six significant digits hide float noise of cell edges (0.1 stored as 0.100000001).
    return QString::number(value, 'g', 6) + QLatin1Char(' ') + unit;
}

// --- probes -----------------------------------------------------------------------------

CellMeasures::CellMeasures(const Automaton::CellGrid& grid, CellEdges edges)
    : grid(grid), edges(edges) {}

int CellMeasures::size(int axis) const {
    return axis == 0 ? grid.sizeX : axis == 1 ? grid.sizeY : grid.sizeZ;
}

double CellMeasures::centre(int axis, int index) const {
    return (index + 0.5) * edges.along(axis);
}

CellMeasures::CellPosition CellMeasures::cellOf(int axis, double value) const {
    const double edge = edges.along(axis);
    const double extent = size(axis) * edge;
    CellPosition position;
    if (!std::isfinite(value) || value < 0.0 || value >= extent || size(axis) == 0) {
        // The far face belongs to the next cell, which the volume does not have.
        position.problem = QStringLiteral("%1 = %2 µm lies outside the volume, which spans "
                                          "0 ≤ %1 < %3 µm")
                               .arg(QLatin1Char(axisNames[axis]))
                               .arg(number(value), number(extent));
        return position;
    }
    position.index = std::min(int(std::floor(value / edge)), size(axis) - 1);
    return position;
}

CellMeasures::CellPosition CellMeasures::cellOfWindowEnd(int axis, double value) const {
    // The far face of the volume closes a window over the whole volume.
    if (size(axis) > 0 && value == size(axis) * edges.along(axis))
        return {size(axis) - 1, QString()};
    return cellOf(axis, value);
}

QString CellMeasures::reachesTop(const QString& what) const {
    return QStringLiteral("%1 reaches the top of the volume at z = %2 µm, so it may go on above "
                          "it; give the volume room above the structure")
        .arg(what, number(grid.sizeZ * edges.z));
}

int CellMeasures::highestOf(const MaterialSelection& set, int i, int j) const {
    for (int k = grid.sizeZ - 1; k >= 0; --k)
        if (set.contains(grid.material(i, j, k)))
            return k;
    return -1;
}

QString CellMeasures::materialName(std::uint32_t id) const {
    if (id == 0)
        return QStringLiteral("Empty");
    const Materials::Material material = Materials::MaterialFactory::getInstance()->getMaterial(id);
    return material.getId() == id ? material.getName() : QStringLiteral("#%1").arg(id);
}

// --- columns ----------------------------------------------------------------------------

Measurement CellMeasures::surfaceFlux(double exponent, double sticking, double x, double y) const {
    const CellPosition i = cellOf(0, x), j = cellOf(1, y);
    if (!i.problem.isEmpty() || !j.problem.isEmpty())
        return Measurement::noAnswer(i.problem.isEmpty() ? j.problem : i.problem);
    if (highestOf(MaterialSelection::solid(), i.index, j.index) < 0)
        return Measurement::noAnswer(QStringLiteral("the column at (%1, %2) µm holds no material")
                                         .arg(number(x), number(y)));
    Transport::FluxSettings settings;
    settings.sourceExponent = exponent;
    settings.sticking = sticking;
    const Transport::SurfaceFlux flux = Transport::FluxEngine::compute(grid, settings);
    const std::ptrdiff_t k = flux.topOfColumn(unsigned(i.index), unsigned(j.index));
    if (k < 0)
        return Measurement::noAnswer(
            QStringLiteral("the column at (%1, %2) µm has no surface").arg(number(x), number(y)));
    Measurement result;
    result.quantities.push_back({QString(), double(flux.totalFlux(std::size_t(k))), QString()});
    result.quantities.push_back(
        {QStringLiteral("direct"), double(flux.directFlux(std::size_t(k))), QString()});
    const Automaton::CellIndex cell = flux.cell(std::size_t(k));
    const int top = int(cell % Automaton::CellIndex(grid.sizeZ));
    CellBox box;
    box.lo[0] = i.index;
    box.lo[1] = j.index;
    box.lo[2] = top;
    box.hi[0] = i.index + 1;
    box.hi[1] = j.index + 1;
    box.hi[2] = top + 1;
    result.cells.push_back(box);
    return result;
}

Measurement CellMeasures::stack(double x, double y) const {
    const CellPosition i = cellOf(0, x), j = cellOf(1, y);
    if (!i.problem.isEmpty() || !j.problem.isEmpty())
        return Measurement::noAnswer(i.problem.isEmpty() ? j.problem : i.problem);
    const int top = highestOf(MaterialSelection::solid(), i.index, j.index);
    if (top < 0)
        return Measurement::noAnswer(QStringLiteral("the column at (%1, %2) µm holds no material")
                                         .arg(number(x), number(y)));
    Measurement result;
    result.quantities.push_back({QStringLiteral("top"), (top + 1) * edges.z, micrometres});
    const double cx = centre(0, i.index), cy = centre(1, j.index);
    for (int k = top; k >= 0;) {
        const std::uint32_t material = grid.material(i.index, j.index, k);
        int bottom = k;
        while (bottom > 0 && grid.material(i.index, j.index, bottom - 1) == material)
            --bottom;
        StackLayer layer;
        layer.material = material;
        layer.name = materialName(material);
        layer.topCell = k;
        layer.bottomCell = bottom;
        layer.top = (k + 1) * edges.z;
        layer.bottom = bottom * edges.z;
        layer.thickness = (k + 1 - bottom) * edges.z;
        layer.reachesTop = k == grid.sizeZ - 1;
        result.layers.push_back(layer);
        const QString key = QStringLiteral("%1.%2").arg(result.layers.size()).arg(layer.name);
        result.quantities.push_back({key, layer.thickness, micrometres});
        result.cells.push_back(box(i.index, j.index, bottom, i.index + 1, j.index + 1, k + 1));
        result.dimensions.push_back(dimension(point(cx, cy, layer.bottom), point(cx, cy, layer.top),
                                              layer.name, layer.thickness, micrometres));
        k = bottom - 1;
    }
    return result;
}

Measurement CellMeasures::thickness(const MaterialSelection& set, double x, double y,
                                    std::optional<double> z) const {
    const CellPosition i = cellOf(0, x), j = cellOf(1, y);
    if (!i.problem.isEmpty() || !j.problem.isEmpty())
        return Measurement::noAnswer(i.problem.isEmpty() ? j.problem : i.problem);
    int top = -1;
    if (z) {
        const CellPosition k = cellOf(2, *z);
        if (!k.problem.isEmpty())
            return Measurement::noAnswer(k.problem);
        if (!set.contains(grid.material(i.index, j.index, k.index)))
            return Measurement::noAnswer(
                QStringLiteral("the cell at (%1, %2, %3) µm holds %4, not %5")
                    .arg(number(x), number(y), number(*z),
                         materialName(grid.material(i.index, j.index, k.index)), set.text()));
        top = k.index;
        while (top + 1 < grid.sizeZ && set.contains(grid.material(i.index, j.index, top + 1)))
            ++top;
    } else {
        top = highestOf(set, i.index, j.index);
        if (top < 0)
            return Measurement::noAnswer(QStringLiteral("the column at (%1, %2) µm holds no %3")
                                             .arg(number(x), number(y), set.text()));
    }
    if (top == grid.sizeZ - 1)
        return Measurement::noAnswer(reachesTop(QStringLiteral("the run of %1").arg(set.text())));
    int bottom = top;
    while (bottom > 0 && set.contains(grid.material(i.index, j.index, bottom - 1)))
        --bottom;
    Measurement result;
    const double value = (top + 1 - bottom) * edges.z;
    result.quantities.push_back({QString(), value, micrometres});
    result.quantities.push_back({QStringLiteral("top"), (top + 1) * edges.z, micrometres});
    result.quantities.push_back({QStringLiteral("bottom"), bottom * edges.z, micrometres});
    result.cells.push_back(box(i.index, j.index, bottom, i.index + 1, j.index + 1, top + 1));
    const double cx = centre(0, i.index), cy = centre(1, j.index);
    result.dimensions.push_back(
        dimension(point(cx, cy, bottom * edges.z), point(cx, cy, (top + 1) * edges.z),
                  QStringLiteral("thickness ") + set.text(), value, micrometres));
    return result;
}

Measurement CellMeasures::topHeight(const MaterialSelection& set, double x, double y) const {
    const CellPosition i = cellOf(0, x), j = cellOf(1, y);
    if (!i.problem.isEmpty() || !j.problem.isEmpty())
        return Measurement::noAnswer(i.problem.isEmpty() ? j.problem : i.problem);
    const int top = highestOf(set, i.index, j.index);
    if (top < 0)
        return Measurement::noAnswer(QStringLiteral("the column at (%1, %2) µm holds no %3")
                                         .arg(number(x), number(y), set.text()));
    if (top == grid.sizeZ - 1)
        return Measurement::noAnswer(
            reachesTop(QStringLiteral("the %1 of the column at (%2, %3) µm")
                           .arg(set.text(), number(x), number(y))));
    Measurement result;
    const double height = (top + 1) * edges.z;
    result.quantities.push_back({QString(), height, micrometres});
    result.cells.push_back(box(i.index, j.index, top, i.index + 1, j.index + 1, top + 1));
    const double cx = centre(0, i.index), cy = centre(1, j.index);
    result.dimensions.push_back(dimension(point(cx, cy, 0.0), point(cx, cy, height),
                                          QStringLiteral("top"), height, micrometres));
    return result;
}

Measurement CellMeasures::stepHeight(const MaterialSelection& set, double x1, double y1, double x2,
                                     double y2) const {
    const Measurement first = topHeight(set, x1, y1);
    if (!first.hasAnswer())
        return first;
    const Measurement second = topHeight(set, x2, y2);
    if (!second.hasAnswer())
        return second;
    const double low = first.quantities.front().value;
    const double high = second.quantities.front().value;
    Measurement result;
    result.quantities.push_back({QString(), high - low, micrometres});
    result.cells = {first.cells.front(), second.cells.front()};
    const Util::Vector3D at = second.dimensions.front().to;
    result.dimensions.push_back(
        dimension(point(at.x, at.y, low), at, QStringLiteral("step"), high - low, micrometres));
    return result;
}

// --- lines ------------------------------------------------------------------------------

namespace {

// The cells of one line along x or y at a fixed cross position and layer.
struct Line {
    const Automaton::CellGrid& grid;
    int axis;
    int across;
    int layer;

    int length() const { return axis == 0 ? grid.sizeX : grid.sizeY; }
    std::uint32_t at(int t) const {
        return axis == 0 ? grid.material(t, across, layer) : grid.material(across, t, layer);
    }
    // [begin, end) of the run of cells whose membership in `set` equals that of cell t.
    std::pair<int, int> runAround(const MaterialSelection& set, int t) const {
        const bool inside = set.contains(at(t));
        int begin = t, end = t + 1;
        while (begin > 0 && set.contains(at(begin - 1)) == inside)
            --begin;
        while (end < length() && set.contains(at(end)) == inside)
            ++end;
        return {begin, end};
    }
};

} // namespace

Measurement CellMeasures::width(const MaterialSelection& set, int axis, std::optional<double> along,
                                double across, double z) const {
    const int acrossAxis = 1 - axis;
    const CellPosition c = cellOf(acrossAxis, across), k = cellOf(2, z);
    if (!c.problem.isEmpty() || !k.problem.isEmpty())
        return Measurement::noAnswer(c.problem.isEmpty() ? k.problem : c.problem);
    const Line line{grid, axis, c.index, k.index};
    const char name = axisNames[axis];
    std::pair<int, int> run;
    if (along) {
        const CellPosition t = cellOf(axis, *along);
        if (!t.problem.isEmpty())
            return Measurement::noAnswer(t.problem);
        if (!set.contains(line.at(t.index)))
            return Measurement::noAnswer(
                QStringLiteral("the cell at %1 = %2 µm holds %3, not %4")
                    .arg(QLatin1Char(name))
                    .arg(number(*along), materialName(line.at(t.index)), set.text()));
        run = line.runAround(set, t.index);
    } else {
        std::vector<std::pair<int, int>> runs;
        for (int t = 0; t < line.length();) {
            const auto found = line.runAround(set, t);
            if (set.contains(line.at(t)))
                runs.push_back(found);
            t = found.second;
        }
        if (runs.size() != 1)
            return Measurement::noAnswer(
                runs.empty() ? QStringLiteral("the line holds no %1").arg(set.text())
                             : QStringLiteral("the line crosses %1 runs of %2: give the point "
                                              "along %3 too")
                                   .arg(runs.size())
                                   .arg(set.text())
                                   .arg(QLatin1Char(name)));
        run = runs.front();
    }
    const double edge = edges.along(axis);
    if (run.first == 0 || run.second == line.length())
        return Measurement::noAnswer(
            QStringLiteral("the run of %1 reaches the side of the volume at %2 = %3 µm, so its "
                           "width is not bounded inside the volume")
                .arg(set.text())
                .arg(QLatin1Char(name))
                .arg(number(run.first == 0 ? 0.0 : line.length() * edge)));
    Measurement result;
    const double value = (run.second - run.first) * edge;
    result.quantities.push_back({QString(), value, micrometres});
    result.quantities.push_back({QStringLiteral("from"), run.first * edge, micrometres});
    result.quantities.push_back({QStringLiteral("to"), run.second * edge, micrometres});
    const double h = centre(2, k.index), a = centre(acrossAxis, c.index);
    Util::Vector3D from = axis == 0 ? point(run.first * edge, a, h) : point(a, run.first * edge, h);
    Util::Vector3D to = axis == 0 ? point(run.second * edge, a, h) : point(a, run.second * edge, h);
    result.cells.push_back(
        axis == 0 ? box(run.first, c.index, k.index, run.second, c.index + 1, k.index + 1)
                  : box(c.index, run.first, k.index, c.index + 1, run.second, k.index + 1));
    result.dimensions.push_back(
        dimension(from, to, QStringLiteral("width ") + set.text(), value, micrometres));
    return result;
}

Measurement CellMeasures::cavityDepth(const MaterialSelection& set, double x1, double y1, double x2,
                                      double y2, std::optional<double> reference) const {
    CellPosition lo[2] = {cellOf(0, std::min(x1, x2)), cellOf(1, std::min(y1, y2))};
    CellPosition hi[2] = {cellOfWindowEnd(0, std::max(x1, x2)),
                          cellOfWindowEnd(1, std::max(y1, y2))};
    for (const CellPosition* p : {&lo[0], &lo[1], &hi[0], &hi[1]})
        if (!p->problem.isEmpty())
            return Measurement::noAnswer(p->problem);
    int lowest = grid.sizeZ, highest = -1, lowestI = 0, lowestJ = 0;
    std::vector<int> surface;
    for (int i = lo[0].index; i <= hi[0].index; ++i)
        for (int j = lo[1].index; j <= hi[1].index; ++j) {
            const int top = highestOf(set, i, j);
            if (top < 0)
                return Measurement::noAnswer(
                    QStringLiteral("the column at (%1, %2) µm holds no %3: the cavity goes "
                                   "through the volume")
                        .arg(number(centre(0, i)), number(centre(1, j)), set.text()));
            surface.push_back(top + 1);
            if (top + 1 < lowest) {
                lowest = top + 1;
                lowestI = i;
                lowestJ = j;
            }
            highest = std::max(highest, top + 1);
        }
    const double ref = reference ? *reference : highest * edges.z;
    if (!std::isfinite(ref))
        return Measurement::noAnswer(QStringLiteral("the reference height is no number"));
    // A surface at the top face may lie anywhere above it: the rim when it sets the reference,
    // any column when the reference lies above the volume.
    if (highest == grid.sizeZ && (!reference || ref > grid.sizeZ * edges.z))
        return Measurement::noAnswer(
            reachesTop(QStringLiteral("the %1 in the window").arg(set.text())));
    const double lowestHeight = lowest * edges.z;
    if (lowestHeight >= ref)
        return Measurement::noAnswer(
            QStringLiteral("no surface of %1 in the window lies below the reference height %2 µm")
                .arg(set.text(), number(ref)));
    double sum = 0.0;
    int below = 0;
    for (int top : surface)
        if (top * edges.z < ref) {
            sum += ref - top * edges.z;
            ++below;
        }
    if (!std::isfinite(sum))
        return Measurement::noAnswer(
            QStringLiteral("the reference height %1 µm is too far from the surface to measure")
                .arg(number(ref)));
    Measurement result;
    result.quantities.push_back({QString(), ref - lowestHeight, micrometres});
    result.quantities.push_back({QStringLiteral("mean"), sum / below, micrometres});
    result.quantities.push_back({QStringLiteral("reference"), ref, micrometres});
    result.quantities.push_back({QStringLiteral("columns"), double(below), QString()});
    result.cells.push_back(
        box(lo[0].index, lo[1].index, 0, hi[0].index + 1, hi[1].index + 1, grid.sizeZ));
    const double cx = centre(0, lowestI), cy = centre(1, lowestJ);
    result.dimensions.push_back(dimension(point(cx, cy, lowestHeight), point(cx, cy, ref),
                                          QStringLiteral("depth"), ref - lowestHeight,
                                          micrometres));
    return result;
}

Measurement CellMeasures::sidewallAngle(const MaterialSelection& set, int axis,
                                        std::optional<double> along, int direction, double across,
                                        double z1, double z2) const {
    const int acrossAxis = 1 - axis;
    const CellPosition c = cellOf(acrossAxis, across);
    const CellPosition k1 = cellOf(2, std::min(z1, z2)), k2 = cellOfWindowEnd(2, std::max(z1, z2));
    for (const CellPosition* p : {&c, &k1, &k2})
        if (!p->problem.isEmpty())
            return Measurement::noAnswer(p->problem);
    if (k2.index == k1.index)
        return Measurement::noAnswer(
            QStringLiteral("the heights span one cell layer; a sidewall needs two or more"));
    CellPosition t;
    if (along) {
        t = cellOf(axis, *along);
        if (!t.problem.isEmpty())
            return Measurement::noAnswer(t.problem);
    }
    const double edge = edges.along(axis);
    const char name = axisNames[axis];
    std::vector<double> heights, positions;
    // +1 when `set` lies on the +axis side of the edge, −1 on the −axis side; 0 until known.
    int materialSide = 0;
    std::optional<bool> startInside;
    Measurement result;
    for (int k = k1.index; k <= k2.index; ++k) {
        const Line line{grid, axis, c.index, k};
        const QString at = QStringLiteral("at z = %1 µm").arg(number(centre(2, k)));
        int face = -1;
        int side = 0;
        if (along) {
            const bool inside = set.contains(line.at(t.index));
            if (startInside && *startInside != inside)
                return Measurement::noAnswer(
                    QStringLiteral("%1 the point lies %2 %3, at the first layer %4 it")
                        .arg(at)
                        .arg(inside ? QStringLiteral("inside") : QStringLiteral("outside"),
                             set.text(),
                             inside ? QStringLiteral("outside") : QStringLiteral("inside")));
            startInside = inside;
            const auto run = line.runAround(set, t.index);
            face = direction > 0 ? run.second : run.first;
            if (face == 0 || face == line.length())
                return Measurement::noAnswer(
                    QStringLiteral("%1 the run holding the point reaches the side of the volume")
                        .arg(at));
            // The material is beyond the face when the point lies outside it.
            side = (inside ? -1 : 1) * (direction > 0 ? 1 : -1);
        } else {
            int faces = 0;
            for (int s = 1; s < line.length(); ++s) {
                const bool low = set.contains(line.at(s - 1)), high = set.contains(line.at(s));
                if (low != high) {
                    ++faces;
                    face = s;
                    side = high ? 1 : -1;
                }
            }
            if (faces != 1)
                return Measurement::noAnswer(
                    faces == 0
                        ? QStringLiteral("%1 the line has no edge of %2").arg(at, set.text())
                        : QStringLiteral("%1 the line crosses %2 edges of %3: give the point "
                                         "along %4 too")
                              .arg(at)
                              .arg(faces)
                              .arg(set.text())
                              .arg(QLatin1Char(name)));
            if (materialSide != 0 && side != materialSide)
                return Measurement::noAnswer(
                    QStringLiteral("%1 %2 lies on the other side of the edge than below")
                        .arg(at, set.text()));
        }
        materialSide = side;
        heights.push_back(centre(2, k));
        positions.push_back(face * edge);
        const int cell = side > 0 ? face : face - 1;
        result.cells.push_back(axis == 0 ? box(cell, c.index, k, cell + 1, c.index + 1, k + 1)
                                         : box(c.index, cell, k, c.index + 1, cell + 1, k + 1));
    }

    const double n = double(heights.size());
    double meanH = 0.0, meanE = 0.0;
    for (std::size_t s = 0; s < heights.size(); ++s) {
        meanH += heights[s] / n;
        meanE += positions[s] / n;
    }
    double shh = 0.0, she = 0.0;
    for (std::size_t s = 0; s < heights.size(); ++s) {
        shh += (heights[s] - meanH) * (heights[s] - meanH);
        she += (heights[s] - meanH) * (positions[s] - meanE);
    }
    const double slope = she / shh;
    const double offset = meanE - slope * meanH;
    double squares = 0.0;
    for (std::size_t s = 0; s < heights.size(); ++s) {
        const double r = positions[s] - (offset + slope * heights[s]);
        squares += r * r;
    }
    const double residual = std::sqrt(squares / n);
    constexpr double pi = 3.14159265358979323846;
    const double angle = std::atan2(1.0, materialSide * slope) * 180.0 / pi;
    result.quantities.push_back({QString(), angle, degrees});
    result.quantities.push_back({QStringLiteral("residual"), residual, micrometres});
    result.quantities.push_back({QStringLiteral("layers"), n, QString()});
    const double a = centre(acrossAxis, c.index);
    const double hb = heights.front(), ht = heights.back();
    const double eb = offset + slope * hb, et = offset + slope * ht;
    result.dimensions.push_back(dimension(axis == 0 ? point(eb, a, hb) : point(a, eb, hb),
                                          axis == 0 ? point(et, a, ht) : point(a, et, ht),
                                          QStringLiteral("sidewall ") + set.text(), angle,
                                          degrees));
    return result;
}

Measurement CellMeasures::scallop(const MaterialSelection& set, int axis, double along,
                                  int direction, double across, double z1, double z2) const {
    Measurement wall = sidewallAngle(set, axis, along, direction, across, z1, z2);
    if (!wall.hasAnswer())
        return wall;
    // The wall's cell of each layer, bottom up; their offset from the face is the same at every
    // layer, which the line takes up.
    const std::size_t n = wall.cells.size();
    std::vector<double> positions(n);
    for (std::size_t s = 0; s < n; ++s)
        positions[s] = wall.cells[s].lo[axis] * edges.along(axis);
    // The least-squares line through layers [from, to): its slope (µm per layer) and the
    // peak-to-valley of the wall about it; `residual` gets every layer's distance from it.
    std::vector<double> residual(n);
    const auto fit = [&](std::size_t from, std::size_t to, double& slope) {
        const double count = double(to - from);
        const double meanH = double(from) + (count - 1.0) / 2.0;
        double meanE = 0.0;
        for (std::size_t s = from; s < to; ++s)
            meanE += positions[s] / count;
        double shh = 0.0, she = 0.0;
        for (std::size_t s = from; s < to; ++s) {
            shh += (double(s) - meanH) * (double(s) - meanH);
            she += (double(s) - meanH) * (positions[s] - meanE);
        }
        slope = she / shh;
        for (std::size_t s = 0; s < n; ++s)
            residual[s] = positions[s] - meanE - slope * (double(s) - meanH);
        const auto [low, high] = std::minmax_element(residual.begin() + std::ptrdiff_t(from),
                                                     residual.begin() + std::ptrdiff_t(to));
        return *high - *low;
    };
    double slope = 0.0;
    double depth = fit(0, n, slope);
    // Swings through a band of half the depth, so that a cell's jitter about the line counts
    // no tooth.
    const auto swingsOf = [&](double band) {
        std::vector<std::size_t> swings;
        bool below = false;
        for (std::size_t s = 0; s < n && depth > 0.0; ++s) {
            if (residual[s] < -band)
                below = true;
            else if (residual[s] > band && below) {
                swings.push_back(s);
                below = false;
            }
        }
        return swings;
    };
    const std::vector<std::size_t> swings = swingsOf(depth / 4.0);
    Measurement result;
    double angle = wall.quantities.front().value;
    // A line through the layers of whole teeth still leans towards the teeth's own slope, by
    // that slope over the square of their count, and a part of a tooth at an end of the window
    // tilts it further. With two whole teeth or more, the line runs through each tooth's mean
    // position at its mean height instead, and the depth is taken about it over those teeth.
    if (swings.size() >= 3) {
        const std::size_t teeth = swings.size() - 1;
        double sh = 0.0, se = 0.0, shh = 0.0, she = 0.0;
        for (std::size_t t = 0; t < teeth; ++t) {
            const std::size_t from = swings[t], to = swings[t + 1];
            double e = 0.0;
            for (std::size_t s = from; s < to; ++s)
                e += positions[s] / double(to - from);
            const double h = 0.5 * double(from + to - 1);
            sh += h, se += e, shh += h * h, she += h * e;
        }
        const double m = double(teeth);
        slope = (m * she - sh * se) / (m * shh - sh * sh);
        const double offset = (se - slope * sh) / m;
        double low = 0.0, high = 0.0;
        for (std::size_t s = swings.front(); s < swings.back(); ++s) {
            const double r = positions[s] - offset - slope * double(s);
            low = s == swings.front() ? r : std::min(low, r);
            high = s == swings.front() ? r : std::max(high, r);
        }
        depth = high - low;
        const int across = int(wall.cells.front().lo[1 - axis]);
        const int layer = int(wall.cells.front().lo[2]);
        const Line line{grid, axis, across, layer};
        const int cell = int(wall.cells.front().lo[axis]);
        // +1 when `set` lies on the +axis side of the wall.
        const int side = cell + 1 < line.length() && set.contains(line.at(cell + 1)) ? 1 : -1;
        constexpr double pi = 3.14159265358979323846;
        angle = std::atan2(1.0, side * slope / edges.z) * 180.0 / pi;
    }
    result.quantities.push_back({QString(), depth, micrometres});
    if (swings.size() >= 2)
        result.quantities.push_back(
            {QStringLiteral("period"),
             double(swings.back() - swings.front()) / double(swings.size() - 1) * edges.z,
             micrometres});
    result.quantities.push_back({QStringLiteral("angle"), angle, degrees});
    result.cells = std::move(wall.cells);
    result.dimensions = std::move(wall.dimensions);
    return result;
}

Measurement CellMeasures::undercut(const MaterialSelection& mask, const MaterialSelection& under,
                                   int axis, int direction, double x, double y) const {
    const CellPosition i = cellOf(0, x), j = cellOf(1, y);
    if (!i.problem.isEmpty() || !j.problem.isEmpty())
        return Measurement::noAnswer(i.problem.isEmpty() ? j.problem : i.problem);
    int interface = -1;
    for (int k = grid.sizeZ - 1; k >= 1 && interface < 0; --k)
        if (mask.contains(grid.material(i.index, j.index, k)) &&
            under.contains(grid.material(i.index, j.index, k - 1)))
            interface = k;
    if (interface < 0)
        return Measurement::noAnswer(QStringLiteral("in the column at (%1, %2) µm no %3 lies "
                                                    "directly on %4")
                                         .arg(number(x), number(y), mask.text(), under.text()));
    const int start = axis == 0 ? i.index : j.index;
    const int across = axis == 0 ? j.index : i.index;
    const Line maskLine{grid, axis, across, interface};
    const Line underLine{grid, axis, across, interface - 1};
    const auto maskRun = maskLine.runAround(mask, start);
    const auto underRun = underLine.runAround(under, start);
    const int maskEnd = direction > 0 ? maskRun.second : maskRun.first;
    const int underEnd = direction > 0 ? underRun.second : underRun.first;
    const int length = maskLine.length();
    if (maskEnd == 0 || maskEnd == length || underEnd == 0 || underEnd == length)
        return Measurement::noAnswer(
            QStringLiteral("the %1 reaches the side of the volume before its edge")
                .arg(maskEnd == 0 || maskEnd == length ? mask.text() : under.text()));
    const double edge = edges.along(axis);
    const double value = (maskEnd - underEnd) * direction * edge;
    Measurement result;
    result.quantities.push_back({QString(), value, micrometres});
    const double h = interface * edges.z;
    const double a = centre(1 - axis, across);
    const auto at = [&](int face) {
        return axis == 0 ? point(face * edge, a, h) : point(a, face * edge, h);
    };
    const auto runBox = [&](std::pair<int, int> run, int layer) {
        return axis == 0 ? box(run.first, across, layer, run.second, across + 1, layer + 1)
                         : box(across, run.first, layer, across + 1, run.second, layer + 1);
    };
    result.cells = {runBox(maskRun, interface), runBox(underRun, interface - 1)};
    result.dimensions.push_back(
        dimension(at(underEnd), at(maskEnd), QStringLiteral("undercut"), value, micrometres));
    return result;
}

} // namespace Model::Metrology
