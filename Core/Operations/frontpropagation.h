#pragma once

#include "Core/Operations/strips.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"

#include <algorithm>
#include <cstdint>
#include <memory>
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

    void setSize(int x, int y, int z) {
        sizeX = x;
        sizeY = y;
        sizeZ = z;
        int k = 0;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    if ((dx | dy | dz) == 0)
                        continue;
                    offset26[k] = (std::ptrdiff_t(dx) * sizeY + dy) * sizeZ + dz;
                    dx26[k] = dx;
                    ++k;
                }
    }

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

    // The 26 cells of the 3x3x3 block around cell i = (x, y, z) that lie inside the volume, dx
    // outermost, then dy, then dz; stops early when `visit(index, x)` returns true and reports
    // whether it did. Cells away from the faces of the volume skip the bounds tests.
    template <class Visit>
    bool anyNeighbour26(CellIndex i, int x, int y, int z, Visit&& visit) const {
        if (x > 0 && y > 0 && z > 0 && x + 1 < sizeX && y + 1 < sizeY && z + 1 < sizeZ) {
            for (int k = 0; k < 26; ++k)
                if (visit(CellIndex(std::ptrdiff_t(i) + offset26[k]), x + dx26[k]))
                    return true;
            return false;
        }
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

private:
    std::ptrdiff_t offset26[26] = {};
    int dx26[26] = {};
};

// The front-driven cellular kernel shared by the isotropic and Moore-neighbourhood engines.
// A process supplies a Rule:
//   bool isSource(const Voxel&)   the cells the process grows from (or etches from);
//   bool mayJoin(const Voxel&)    the cells that start on the front when one of their 26
//                                 neighbours is a source;
//   void initialize(Voxel& current, Voxel& next)
//       sets the cell's starting state in both arrays;
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
template <class Rule> class FrontPropagation {
public:
    using CellIndex = Model::Automaton::CellIndex;
    using Voxel = Model::Automaton::Voxel;

    FrontPropagation(Model::Automaton::TotalVolume& volume, Rule& rule)
        : volume(volume), rule(rule), partition(volume.getSizeX()),
          strips(std::size_t(partition.count())) {
        grid.setSize(int(volume.getSizeX()), int(volume.getSizeY()), int(volume.getSizeZ()));
    }

    // Holds both cell arrays for the whole run.
    void run(int steps) {
        const Model::Automaton::CellArraysLock locked(volume);
        grid.current = locked.current();
        grid.next = locked.next();
        // Which step last queued each cell: keeps every front free of repeats without sorting
        // lists that hold each cell up to 26 times.
        // Both arrays are cleared strip by strip in the first pass rather than here, so that
        // touching every cell once more is shared between the threads.
        queuedInStep.reset(new unsigned[volume.getCellCount()]);
        nearSource.reset(new std::uint8_t[volume.getCellCount()]);
        partition.runPass([this](const Strip& s) { markNearSourceInLayers(s); });
        partition.runPass([this](const Strip& s) { initializeStrip(s); });
        nearSource.reset();
        for (step = 1; step <= steps && !frontIsEmpty(); ++step) {
            partition.runPass([this](const Strip& s) { frontPass(s); });
            partition.runPass([this](const Strip& s) { exchangePass(s); });
        }
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

    // Only the strip that owns a cell stamps it, so no two threads write the same stamp.
    void enqueue(StripState& state, CellIndex n) {
        if (queuedInStep[n] != unsigned(step)) {
            queuedInStep[n] = unsigned(step);
            state.local.push_back(n);
        }
    }

    bool frontIsEmpty() const {
        return std::all_of(strips.begin(), strips.end(),
                           [](const StripState& s) { return s.front.empty(); });
    }

    // First half of a separable 3x3x3 dilation of the sources: within each x-layer, marks the
    // cells that have a source in their 3x3 block of (y, z). Nine reads per cell instead of
    // 26 for every cell far from any surface.
    void markNearSourceInLayers(const Strip& strip) {
        const int sy = grid.sizeY, sz = grid.sizeZ;
        std::vector<std::uint8_t> column(std::size_t(sy) * std::size_t(sz));
        const CellIndex first = grid.index(int(strip.begin), 0, 0);
        const CellIndex last = grid.index(int(strip.end), 0, 0);
        std::fill(queuedInStep.get() + first, queuedInStep.get() + last, 0u);
        for (int x = int(strip.begin); x < int(strip.end); ++x) {
            const CellIndex layer = grid.index(x, 0, 0);
            for (int y = 0; y < sy; ++y) {
                const std::size_t row = std::size_t(y) * std::size_t(sz);
                for (int z = 0; z < sz; ++z)
                    column[row + std::size_t(z)] = rule.isSource(grid.current[layer + row + z]);
                std::uint8_t previous = 0;
                for (int z = 0; z < sz; ++z) {
                    const std::uint8_t here = column[row + std::size_t(z)];
                    const std::uint8_t after = z + 1 < sz ? column[row + std::size_t(z) + 1] : 0;
                    column[row + std::size_t(z)] = previous | here | after;
                    previous = here;
                }
            }
            for (int y = 0; y < sy; ++y) {
                const std::size_t row = std::size_t(y) * std::size_t(sz);
                for (int z = 0; z < sz; ++z) {
                    std::uint8_t near = column[row + std::size_t(z)];
                    if (y > 0)
                        near |= column[row - std::size_t(sz) + std::size_t(z)];
                    if (y + 1 < sy)
                        near |= column[row + std::size_t(sz) + std::size_t(z)];
                    nearSource[layer + row + std::size_t(z)] = near;
                }
            }
        }
    }

    // Second half of the dilation (across x, reading the neighbouring layers marked in the
    // previous pass), then every cell's starting state and the first front.
    void initializeStrip(const Strip& strip) {
        StripState& state = strips[std::size_t(strip.index)];
        state.front.clear();
        const CellIndex layerSize = CellIndex(grid.sizeY) * CellIndex(grid.sizeZ);
        for (int x = int(strip.begin); x < int(strip.end); ++x) {
            const CellIndex layer = grid.index(x, 0, 0);
            for (CellIndex j = 0; j < layerSize; ++j) {
                const CellIndex i = layer + j;
                Voxel& cell = grid.current[i];
                const bool near = nearSource[i] || (x > 0 && nearSource[i - layerSize]) ||
                                  (x + 1 < grid.sizeX && nearSource[i + layerSize]);
                if (near && rule.mayJoin(cell))
                    state.front.push_back(i);
                rule.initialize(cell, grid.next[i]);
            }
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
            grid.anyNeighbour26(c, x, y, z, [&](CellIndex n, int nx) {
                if (!rule.queues(grid.current[n]))
                    return false;
                if (nx < first)
                    state.toLeft.push_back(n);
                else if (nx >= end)
                    state.toRight.push_back(n);
                else
                    enqueue(state, n);
                return false;
            });
        }
    }

    void exchangePass(const Strip& strip) {
        const std::size_t k = std::size_t(strip.index);
        StripState& state = strips[k];
        if (k > 0) {
            for (const CellIndex n : strips[k - 1].toRight)
                enqueue(state, n);
        }
        if (k + 1 < strips.size()) {
            for (const CellIndex n : strips[k + 1].toLeft)
                enqueue(state, n);
        }
        // Ascending order keeps the next front pass walking memory forwards.
        std::sort(state.local.begin(), state.local.end());
        for (const CellIndex c : state.front)
            rule.copyBack(grid.current[c], grid.next[c]);
        state.front.swap(state.local);
    }

    Model::Automaton::TotalVolume& volume;
    Rule& rule;
    StripPartition partition;
    FrontGrid grid;
    std::vector<StripState> strips;
    std::unique_ptr<unsigned[]> queuedInStep;
    std::unique_ptr<std::uint8_t[]> nearSource;
    int step = 0;
};

} // namespace Core::Operations
