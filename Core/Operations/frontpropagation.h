#pragma once

#include "Core/Operations/strips.h"
#include "Model/Automaton/totalvolume.h"

#include <algorithm>
#include <vector>

namespace Core::Operations {

// The cell arrays of one run and the neighbourhood arithmetic every front rule needs.
struct FrontGrid {
    using CellIndex = Model::Automaton::CellIndex;
    using Voxel = Model::Automaton::Voxel;

    Voxel* current = nullptr;
    Voxel* next = nullptr;
    int sizeX = 0;
    int sizeY = 0;
    int sizeZ = 0;

    CellIndex index(int x, int y, int z) const {
        return Model::Automaton::cellIndex(CellIndex(x), CellIndex(y), CellIndex(z),
                                           CellIndex(sizeY), CellIndex(sizeZ));
    }
    void coordinates(CellIndex i, int& x, int& y, int& z) const {
        const CellIndex plane = CellIndex(sizeY) * CellIndex(sizeZ);
        x = int(i / plane);
        const CellIndex rest = i % plane;
        y = int(rest / CellIndex(sizeZ));
        z = int(rest % CellIndex(sizeZ));
    }
    bool inside(int x, int y, int z) const {
        return x >= 0 && y >= 0 && z >= 0 && x < sizeX && y < sizeY && z < sizeZ;
    }

    // The 26 cells of the 3x3x3 block around (x, y, z) that lie inside the volume, dx
    // outermost; stops early when `visit` returns true and reports whether it did.
    template <class Visit>
    bool anyNeighbour26(int x, int y, int z, Visit&& visit) const {
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    if ((dx | dy | dz) == 0 || !inside(x + dx, y + dy, z + dz))
                        continue;
                    if (visit(index(x + dx, y + dy, z + dz), x + dx))
                        return true;
                }
        return false;
    }
};

// The front-driven cellular kernel shared by the isotropic and Moore-neighbourhood engines.
// A process supplies a Rule:
//   bool initialize(const FrontGrid&, CellIndex, int x, int y, int z)
//       sets the cell's starting state in both arrays; true puts it on the first front;
//   bool visit(const FrontGrid&, CellIndex, int x, int y, int z)
//       reads the current array, writes the cell's own next-array record; true queues the
//       cell's neighbours for the next front;
//   bool queues(const Voxel& neighbourNow)
//       whether a neighbour is worth queuing;
//   void copyBack(Voxel& current, const Voxel& next)
//       what of the next state the current array takes over at the end of a step.
//
// Each step runs as two passes over the strips: the front pass (visit and queue), then,
// after every strip has finished it, the exchange pass (hand-over lists, copy-back, new
// front). Cells only read the current array during the front pass and only their own strip
// writes the current array during the exchange, so any thread count gives the result of a
// single strip.
template <class Rule>
class FrontPropagation {
public:
    using CellIndex = Model::Automaton::CellIndex;

    FrontPropagation(Model::Automaton::TotalVolume& volume, Rule& rule)
        : volume(volume), rule(rule), partition(volume.getSizeX()),
          strips(std::size_t(partition.count())) {
        grid.sizeX = int(volume.getSizeX());
        grid.sizeY = int(volume.getSizeY());
        grid.sizeZ = int(volume.getSizeZ());
    }

    // Holds both cell arrays for the whole run.
    void run(int steps) {
        grid.current = volume.getVoxels();
        grid.next = volume.getNextVoxels();
        partition.runPass([this](const Strip& s) { initializeStrip(s); });
        for (int step = 0; step < steps && !frontIsEmpty(); ++step) {
            partition.runPass([this](const Strip& s) { frontPass(s); });
            partition.runPass([this](const Strip& s) { exchangePass(s); });
        }
        volume.releaseNextVoxels();
        volume.releaseVoxels();
    }

    int threadCount() const { return StripPartition::poolThreadCount(); }
    int stripWidth() const { return grid.sizeX / threadCount(); }

private:
    struct StripState {
        std::vector<CellIndex> front;
        std::vector<CellIndex> local;
        std::vector<CellIndex> toLeft;
        std::vector<CellIndex> toRight;
    };

    bool frontIsEmpty() const {
        return std::all_of(strips.begin(), strips.end(),
                           [](const StripState& s) { return s.front.empty(); });
    }

    void initializeStrip(const Strip& strip) {
        StripState& state = strips[std::size_t(strip.index)];
        state.front.clear();
        for (int x = int(strip.begin); x < int(strip.end); ++x)
            for (int y = 0; y < grid.sizeY; ++y)
                for (int z = 0; z < grid.sizeZ; ++z) {
                    const CellIndex i = grid.index(x, y, z);
                    if (rule.initialize(grid, i, x, y, z))
                        state.front.push_back(i);
                }
    }

    void frontPass(const Strip& strip) {
        StripState& state = strips[std::size_t(strip.index)];
        state.toLeft.clear();
        state.toRight.clear();
        state.local.clear();
        const int first = int(strip.begin);
        const int end = int(strip.end);
        for (const CellIndex c : state.front) {
            int x, y, z;
            grid.coordinates(c, x, y, z);
            if (!rule.visit(grid, c, x, y, z))
                continue;
            grid.anyNeighbour26(x, y, z, [&](CellIndex n, int nx) {
                if (rule.queues(grid.current[n])) {
                    if (nx < first)
                        state.toLeft.push_back(n);
                    else if (nx >= end)
                        state.toRight.push_back(n);
                    else
                        state.local.push_back(n);
                }
                return false;
            });
        }
    }

    void exchangePass(const Strip& strip) {
        const std::size_t k = std::size_t(strip.index);
        StripState& state = strips[k];
        if (k > 0) {
            const auto& in = strips[k - 1].toRight;
            state.local.insert(state.local.end(), in.begin(), in.end());
        }
        if (k + 1 < strips.size()) {
            const auto& in = strips[k + 1].toLeft;
            state.local.insert(state.local.end(), in.begin(), in.end());
        }
        std::sort(state.local.begin(), state.local.end());
        state.local.erase(std::unique(state.local.begin(), state.local.end()), state.local.end());
        for (const CellIndex c : state.front)
            rule.copyBack(grid.current[c], grid.next[c]);
        state.front.swap(state.local);
    }

    Model::Automaton::TotalVolume& volume;
    Rule& rule;
    StripPartition partition;
    FrontGrid grid;
    std::vector<StripState> strips;
};

} // namespace Core::Operations
