#include "Model/Metrology/freestructures.h"

#include "Model/Metrology/cellmeasures.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <vector>

namespace Model::Metrology {

namespace {

using Label = std::uint32_t;
constexpr Label none = 0;
constexpr Label substrateLabel = 1;

struct Labelling {
    const Automaton::CellGrid& grid;
    std::vector<Label> labels;

    std::size_t at(int x, int y, int z) const {
        return (std::size_t(x) * std::size_t(grid.sizeY) + std::size_t(y)) *
                   std::size_t(grid.sizeZ) +
               std::size_t(z);
    }

    // Labels every unlabelled cell reached from `seeds` through cells `admit` accepts. An
    // explicit stack: a body may hold millions of cells.
    template <typename Admit>
    void flood(std::vector<std::array<int, 3>> stack, Label label, Admit admit) {
        static constexpr int steps[6][3] = {{-1, 0, 0}, {1, 0, 0},  {0, -1, 0},
                                            {0, 1, 0},  {0, 0, -1}, {0, 0, 1}};
        for (const auto& seed : stack)
            labels[at(seed[0], seed[1], seed[2])] = label;
        while (!stack.empty()) {
            const auto cell = stack.back();
            stack.pop_back();
            for (const auto& step : steps) {
                const int x = cell[0] + step[0], y = cell[1] + step[1], z = cell[2] + step[2];
                if (x < 0 || y < 0 || z < 0 || x >= grid.sizeX || y >= grid.sizeY ||
                    z >= grid.sizeZ)
                    continue;
                Label& own = labels[at(x, y, z)];
                if (own != none || !admit(grid.material(x, y, z)))
                    continue;
                own = label;
                stack.push_back({x, y, z});
            }
        }
    }
};

// The undercut below the anchor of the body `label`: see the header.
void measureUndercut(const Automaton::CellGrid& grid, CellEdges edges, const Labelling& labelling,
                     Label label, const std::vector<std::uint32_t>& sacrificial, FreeBody& body) {
    const std::vector<Label>& labels = labelling.labels;
    const auto isSacrificial = [&](std::uint32_t id) {
        return std::find(sacrificial.begin(), sacrificial.end(), id) != sacrificial.end();
    };
    int lo[2] = {grid.sizeX, grid.sizeY}, hi[2] = {-1, -1};
    for (int x = body.box.lo[0]; x < body.box.hi[0]; ++x)
        for (int y = body.box.lo[1]; y < body.box.hi[1]; ++y)
            for (int z = body.box.lo[2]; z < body.box.hi[2]; ++z)
                if (labels[labelling.at(x, y, z)] == label &&
                    isSacrificial(grid.material(x, y, z))) {
                    lo[0] = std::min(lo[0], x);
                    hi[0] = std::max(hi[0], x);
                    lo[1] = std::min(lo[1], y);
                    hi[1] = std::max(hi[1], y);
                }
    if (hi[0] < 0)
        return;
    QStringList ids;
    for (std::uint32_t id : sacrificial)
        ids << QString::number(id);
    const MaterialSelection under = MaterialSelection::of(sacrificial, ids.join(QLatin1Char('+')));
    const CellMeasures measures(grid, edges);
    std::optional<double> least;
    for (int axis = 0; axis < 2; ++axis)
        for (int direction : {1, -1}) {
            const int across = 1 - axis;
            // Every column across the sacrificial cells, halfway along the walking axis.
            const int along = (lo[axis] + hi[axis]) / 2;
            for (int c = lo[across]; c <= hi[across]; ++c) {
                const int cell[2] = {axis == 0 ? along : c, axis == 0 ? c : along};
                // The mask is what lies on the topmost sacrificial cell of the column.
                std::uint32_t mask = 0;
                for (int z = grid.sizeZ - 2; z >= 0 && !mask; --z)
                    if (isSacrificial(grid.material(cell[0], cell[1], z)) &&
                        labels[labelling.at(cell[0], cell[1], z)] == label)
                        mask = grid.material(cell[0], cell[1], z + 1);
                if (!mask || isSacrificial(mask))
                    continue;
                const double x = (cell[0] + 0.5) * edges.x, y = (cell[1] + 0.5) * edges.y;
                const Measurement m =
                    measures.undercut(MaterialSelection::of({mask}, QString::number(mask)), under,
                                      axis, direction, x, y);
                if (!m.hasAnswer() || m.quantities.empty() || !(m.quantities.front().value > 0))
                    continue;
                const double value = m.quantities.front().value;
                if (least && value >= *least)
                    continue;
                least = value;
                body.undercut = value;
                body.undercutMeasurement =
                    QStringLiteral("undercut:%1/%2@%3%4,%5,%6")
                        .arg(mask)
                        .arg(under.text(), direction < 0 ? QStringLiteral("-") : QString(),
                             axis == 0 ? QStringLiteral("x") : QStringLiteral("y"),
                             QString::number(x, 'g', 10), QString::number(y, 'g', 10));
            }
        }
}

} // namespace

Measurement freeStructures(const Automaton::CellGrid& grid, CellEdges edges,
                           const std::vector<std::uint32_t>& sacrificial) {
    if (grid.sizeX <= 0 || grid.sizeY <= 0 || grid.sizeZ <= 0)
        return Measurement::noAnswer(QStringLiteral("the volume holds no cells"));
    Labelling labelling{
        grid, std::vector<Label>(std::size_t(grid.sizeX) * grid.sizeY * grid.sizeZ, none)};

    std::set<std::uint32_t> bottomMaterials;
    std::vector<std::array<int, 3>> seeds;
    for (int x = 0; x < grid.sizeX; ++x)
        for (int y = 0; y < grid.sizeY; ++y)
            if (const std::uint32_t id = grid.material(x, y, 0)) {
                bottomMaterials.insert(id);
                seeds.push_back({x, y, 0});
            }
    const bool hasSubstrate = !seeds.empty();
    if (hasSubstrate)
        labelling.flood(std::move(seeds), substrateLabel,
                        [&](std::uint32_t id) { return bottomMaterials.count(id) > 0; });

    Label next = substrateLabel + 1;
    for (int x = 0; x < grid.sizeX; ++x)
        for (int y = 0; y < grid.sizeY; ++y)
            for (int z = 0; z < grid.sizeZ; ++z)
                if (grid.material(x, y, z) != 0 && labelling.labels[labelling.at(x, y, z)] == none)
                    labelling.flood({{x, y, z}}, next++, [](std::uint32_t id) { return id != 0; });

    // Label 1 is the substrate even when the bottom layer is empty; it then stays unused.
    std::vector<FreeBody> bodies(next - 1);
    std::vector<std::uint64_t> contactSides[3];
    std::vector<std::uint64_t> overhangs(bodies.size(), 0);
    for (auto& sides : contactSides)
        sides.assign(bodies.size(), 0);
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        bodies[i].substrate = i == 0;
        for (int axis = 0; axis < 3; ++axis) {
            bodies[i].box.lo[axis] = axis == 0 ? grid.sizeX : axis == 1 ? grid.sizeY : grid.sizeZ;
            bodies[i].box.hi[axis] = 0;
        }
    }
    for (int x = 0; x < grid.sizeX; ++x)
        for (int y = 0; y < grid.sizeY; ++y)
            for (int z = 0; z < grid.sizeZ; ++z) {
                const Label label = labelling.labels[labelling.at(x, y, z)];
                if (label == none)
                    continue;
                FreeBody& body = bodies[label - 1];
                ++body.cells;
                const int cell[3] = {x, y, z};
                for (int axis = 0; axis < 3; ++axis) {
                    body.box.lo[axis] = std::min(body.box.lo[axis], cell[axis]);
                    body.box.hi[axis] = std::max(body.box.hi[axis], cell[axis] + 1);
                }
                if (label == substrateLabel)
                    continue;
                if (z > 0 && grid.material(x, y, z - 1) == 0)
                    ++overhangs[label - 1];
                // Sides shared with the substrate, counted from the body's side.
                const int neighbours[6][4] = {{x - 1, y, z, 0}, {x + 1, y, z, 0}, {x, y - 1, z, 1},
                                              {x, y + 1, z, 1}, {x, y, z - 1, 2}, {x, y, z + 1, 2}};
                for (const auto& n : neighbours) {
                    if (n[0] < 0 || n[1] < 0 || n[2] < 0 || n[0] >= grid.sizeX ||
                        n[1] >= grid.sizeY || n[2] >= grid.sizeZ)
                        continue;
                    if (labelling.labels[labelling.at(n[0], n[1], n[2])] == substrateLabel)
                        ++contactSides[n[3]][label - 1];
                }
            }

    Measurement result;
    int counts[3] = {0, 0, 0};
    int n = 0;
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        FreeBody& body = bodies[i];
        if (body.cells == 0)
            continue;
        body.volume = double(body.cells) * edges.cellVolume();
        body.contact = double(contactSides[0][i]) * edges.sideArea(0) +
                       double(contactSides[1][i]) * edges.sideArea(1) +
                       double(contactSides[2][i]) * edges.sideArea(2);
        body.released = double(overhangs[i]) * edges.sideArea(2);
        if (body.substrate || (body.contact > 0 && overhangs[i] == 0))
            body.hold = FreeBody::Hold::Attached;
        else if (body.contact > 0)
            body.hold = FreeBody::Hold::Anchored;
        else
            body.hold = FreeBody::Hold::Loose;
        if (body.hold == FreeBody::Hold::Anchored && !sacrificial.empty())
            measureUndercut(grid, edges, labelling, Label(i + 1), sacrificial, body);
        ++counts[int(body.hold)];
        result.bodies.push_back(body);
        result.cells.push_back(body.box);
        ++n;
    }
    result.quantities.push_back({QString(), double(n), QString()});
    result.quantities.push_back({QStringLiteral("attached"), double(counts[0]), QString()});
    result.quantities.push_back({QStringLiteral("anchored"), double(counts[1]), QString()});
    result.quantities.push_back({QStringLiteral("loose"), double(counts[2]), QString()});
    n = 0;
    for (const FreeBody& body : result.bodies) {
        const QString prefix = QString::number(++n) + QLatin1Char('.');
        result.quantities.push_back(
            {prefix + QStringLiteral("volume"), body.volume, QStringLiteral("µm³")});
        result.quantities.push_back(
            {prefix + QStringLiteral("contact"), body.contact, QStringLiteral("µm²")});
        result.quantities.push_back(
            {prefix + QStringLiteral("released"), body.released, QStringLiteral("µm²")});
        if (!body.undercutMeasurement.isEmpty())
            result.quantities.push_back(
                {prefix + QStringLiteral("undercut"), body.undercut, QStringLiteral("µm")});
    }
    return result;
}

} // namespace Model::Metrology
