#include "Model/Metrology/materialtotals.h"

#include "Model/Automaton/strips.h"
#include "Model/Materials/materialfactory.h"

#include <map>

namespace Model::Metrology {

namespace {

using Automaton::CellGrid;

struct Tally {
    std::uint64_t cells = 0;
    std::uint64_t sides[3] = {0, 0, 0};
};

// One strip's counts. Material ids are small in practice and counted in a flat table; a larger
// one (a registry can hand out ids from 2000 up at random) goes to a map.
class StripTally {
public:
    void cell(std::uint32_t id) { at(id).cells += 1; }
    void side(std::uint32_t id, int axis) { at(id).sides[axis] += 1; }

    void addTo(std::map<std::uint32_t, Tally>& totals) const {
        for (std::size_t id = 1; id < table.size(); ++id)
            if (table[id].cells != 0 || table[id].sides[0] != 0 || table[id].sides[1] != 0 ||
                table[id].sides[2] != 0)
                merge(totals[std::uint32_t(id)], table[id]);
        for (const auto& entry : large)
            merge(totals[entry.first], entry.second);
    }

private:
    static constexpr std::uint32_t tableLimit = 1u << 12;

    Tally& at(std::uint32_t id) {
        if (id < tableLimit) {
            if (id >= table.size())
                table.resize(id + 1);
            return table[id];
        }
        return large[id];
    }
    static void merge(Tally& into, const Tally& from) {
        into.cells += from.cells;
        for (int axis = 0; axis < 3; ++axis)
            into.sides[axis] += from.sides[axis];
    }

    std::vector<Tally> table;
    std::map<std::uint32_t, Tally> large;
};

// Counts the cells of columns [begin, end) and every side they share with a +x, +y or +z
// neighbour inside the volume, so each side of the volume's interior is seen exactly once.
void countStrip(const CellGrid& grid, unsigned begin, unsigned end, StripTally& tally) {
    const std::size_t sizeY = std::size_t(grid.sizeY), sizeZ = std::size_t(grid.sizeZ);
    const std::size_t plane = sizeY * sizeZ;
    const Automaton::MaterialCells cells = grid.cells;
    for (std::size_t x = begin; x < end; ++x) {
        const bool lastX = x + 1 == std::size_t(grid.sizeX);
        for (std::size_t y = 0; y < sizeY; ++y) {
            const bool lastY = y + 1 == sizeY;
            const std::size_t first = x * plane + y * sizeZ;
            for (std::size_t z = 0; z < sizeZ; ++z) {
                const std::size_t index = first + z;
                const std::uint32_t here = cells[index];
                if (here != 0)
                    tally.cell(here);
                const auto pair = [&](std::uint32_t there, int axis) {
                    // Only a side between a material and empty space is exposed.
                    if ((here == 0) == (there == 0))
                        return;
                    tally.side(here != 0 ? here : there, axis);
                };
                if (z + 1 < sizeZ)
                    pair(cells[index + 1], 2);
                if (!lastY)
                    pair(cells[index + sizeZ], 1);
                if (!lastX)
                    pair(cells[index + plane], 0);
            }
        }
    }
}

} // namespace

Measurement materialTotals(const CellGrid& grid, CellEdges edges) {
    return materialTotals(grid, edges, Automaton::StripPartition::poolThreadCount());
}

Measurement materialTotals(const CellGrid& grid, CellEdges edges, int threads) {
    std::map<std::uint32_t, Tally> totals;
    if (grid.sizeX > 0 && grid.sizeY > 0 && grid.sizeZ > 0) {
        const Automaton::StripPartition strips(unsigned(grid.sizeX), threads);
        std::vector<StripTally> tallies(std::size_t(strips.count()));
        strips.runPass([&](const Automaton::Strip& strip) {
            countStrip(grid, strip.begin, strip.end, tallies[std::size_t(strip.index)]);
        });
        for (const StripTally& tally : tallies)
            tally.addTo(totals);
    }
    Measurement result;
    const auto registry = Materials::MaterialFactory::getInstance();
    for (const auto& [id, tally] : totals) {
        MaterialTotal total;
        total.material = id;
        const Materials::Material material = registry->getMaterial(id);
        total.name = material.getId() == id ? material.getName() : QStringLiteral("#%1").arg(id);
        total.cells = tally.cells;
        total.volume = double(tally.cells) * edges.cellVolume();
        for (int axis = 0; axis < 3; ++axis) {
            total.exposedSides[axis] = tally.sides[axis];
            total.exposedArea += double(tally.sides[axis]) * edges.sideArea(axis);
        }
        result.quantities.push_back(
            {total.name + QStringLiteral(".volume"), total.volume, QStringLiteral("µm³")});
        result.quantities.push_back(
            {total.name + QStringLiteral(".area"), total.exposedArea, QStringLiteral("µm²")});
        result.totals.push_back(total);
    }
    result.cells.push_back(CellBox{{0, 0, 0}, {grid.sizeX, grid.sizeY, grid.sizeZ}});
    return result;
}

} // namespace Model::Metrology
