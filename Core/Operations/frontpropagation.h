#pragma once

#include "Core/Operations/strips.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/volumebudget.h"
#include "Util/progressreporter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace Core::Operations {

// The six face neighbours, in the order every vector rule scans them.
inline constexpr int faceDirection[6][3] = {{0, 0, -1}, {0, 0, 1},  {0, -1, 0},
                                            {0, 1, 0},  {-1, 0, 0}, {1, 0, 0}};

// Which cells count as touching: the 26 cells of the 3x3x3 block, or the six face neighbours.
enum class FrontNeighbourhood { Moore, Faces };

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
        for (int f = 0; f < 6; ++f)
            offset6[f] =
                (std::ptrdiff_t(faceDirection[f][0]) * sizeY + faceDirection[f][1]) * sizeZ +
                faceDirection[f][2];
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

    // The face neighbours of cell i = (x, y, z) inside the volume, in face order; the same
    // contract as anyNeighbour26.
    template <class Visit>
    bool anyFaceNeighbour(CellIndex i, int x, int y, int z, Visit&& visit) const {
        for (int f = 0; f < 6; ++f) {
            const int nx = x + faceDirection[f][0];
            if (!inside(nx, y + faceDirection[f][1], z + faceDirection[f][2]))
                continue;
            if (visit(CellIndex(std::ptrdiff_t(i) + offset6[f]), nx))
                return true;
        }
        return false;
    }

    template <class Visit>
    bool anyNeighbour(FrontNeighbourhood n, CellIndex i, int x, int y, int z, Visit&& visit) const {
        return n == FrontNeighbourhood::Moore ? anyNeighbour26(i, x, y, z, visit)
                                              : anyFaceNeighbour(i, x, y, z, visit);
    }

private:
    std::ptrdiff_t offset26[26] = {};
    int dx26[26] = {};
    std::ptrdiff_t offset6[6] = {};
};

// The vector-distance arithmetic of the distance-like processes. Each cell carries the vector
// to the nearest seed it knows of; a step across a face adds that face's step vector to the
// neighbour's vector. Processes differ in the sign convention of the steps and in the
// precision they compare squared lengths in, so both are chosen here rather than fixed.
class FaceSteps {
public:
    using Voxel = Model::Automaton::Voxel;

    // Towards: a step across face (0, 0, -1) adds (0, 0, -sz). Away: it adds (0, 0, +sz).
    // Unsigned: every component is a non-negative count of steps times the edge.
    enum class Sign { Towards, Away, Unsigned };

    FaceSteps(float sx, float sy, float sz, Sign sign) {
        const float size[3] = {sx, sy, sz};
        for (int f = 0; f < 6; ++f)
            for (int axis = 0; axis < 3; ++axis) {
                const int d = faceDirection[f][axis];
                const int factor = sign == Sign::Towards ? d : sign == Sign::Away ? -d : d * d;
                step[f][axis] = float(factor) * size[axis];
            }
    }

    // trunc(ceil(distance / smallest edge) * (1 + 1/sqrt 2)), the ceiling in single and the
    // product in double precision: enough face steps for a vector to reach any cell within the
    // distance along a diagonal. Zero for a distance that is not positive.
    static int stepCount(float distance, float sx, float sy, float sz) {
        const float smallest = std::min({sx, sy, sz});
        if (!(distance > 0.0f) || !(smallest > 0.0f))
            return 0;
        return cappedStepCount(double(std::ceil(distance / smallest)) *
                               (1.0 + 1.0 / std::sqrt(2.0)));
    }
    // A distance beyond any volume would otherwise overflow the count; the front empties long
    // before this many steps anyway.
    static int cappedStepCount(double steps) { return steps >= 2.0e9 ? 2000000000 : int(steps); }

    template <class Length> static Length squaredLength(const Voxel& v) {
        return Length(v.vectorX) * v.vectorX + Length(v.vectorY) * v.vectorY +
               Length(v.vectorZ) * v.vectorZ;
    }

    // The shortest of the face neighbours' vectors plus their steps that is strictly shorter
    // than `best` and no longer than `reach` (both squared); on equal lengths the earlier face
    // wins. Updates `best` and `kept` and reports whether a vector was found.
    template <class Length, class Reach>
    bool shortest(const FrontGrid& grid, int x, int y, int z, Length& best, Reach reach,
                  float kept[3]) const {
        bool taken = false;
        for (int f = 0; f < 6; ++f) {
            const int nx = x + faceDirection[f][0], ny = y + faceDirection[f][1],
                      nz = z + faceDirection[f][2];
            if (!grid.inside(nx, ny, nz))
                continue;
            const Voxel& n = grid.current[grid.index(nx, ny, nz)];
            const float v[3] = {n.vectorX + step[f][0], n.vectorY + step[f][1],
                                n.vectorZ + step[f][2]};
            const Length lengthSquared =
                Length(v[0]) * v[0] + Length(v[1]) * v[1] + Length(v[2]) * v[2];
            if (lengthSquared < best && lengthSquared <= reach) {
                best = lengthSquared;
                std::copy(v, v + 3, kept);
                taken = true;
            }
        }
        return taken;
    }

    static void setVector(Voxel& v, const float vector[3]) {
        v.vectorX = vector[0];
        v.vectorY = vector[1];
        v.vectorZ = vector[2];
    }
    static void setVector(Voxel& v, float all) { v.vectorX = v.vectorY = v.vectorZ = all; }

private:
    float step[6][3];
};

// What a rule does not say about itself: it grows from sources among its 26 neighbours, starts
// cell by cell, writes the next array and has no pass after the last step. A rule derives from
// this and redeclares what differs.
struct FrontRuleDefaults {
    static constexpr FrontNeighbourhood neighbourhood = FrontNeighbourhood::Moore;
    static constexpr bool seedsByColumn = false;
    static constexpr bool writesInPlace = false;
    static constexpr bool hasFinalPass = false;
};

// The front-driven cellular kernel shared by every distance-like process. A process supplies a
// Rule (see FrontRuleDefaults for its variants):
//
//   Starting state, cell by cell (seedsByColumn false):
//     void initialize(const FrontGrid&, CellIndex, int x, int y, int z)
//         sets the cell's starting state; may read the materials of its neighbours, which
//         nothing changes while cells start;
//     bool isSource(const Voxel&)  the cells the process grows from, judged after initialize;
//     bool mayJoin(const Voxel&)   the cells that start on the front when one of their
//                                  neighbours (in the rule's neighbourhood) is a source.
//   Starting state, column by column (seedsByColumn true):
//     void initializeColumn(const FrontGrid&, int x, int y, std::vector<CellIndex>& seeds)
//         sets the starting state of every cell of column (x, y) and lists its seeds; the
//         first front is what the seeds queue.
//   Each step:
//     bool visit(const FrontGrid&, CellIndex, int x, int y, int z)
//         reads the current array, writes the cell's own next-array record; true queues the
//         cell's neighbours for the next front. A rule that writesInPlace takes a fifth
//         argument instead, `Voxel& pending`, a copy of the cell to change;
//     bool queues(const Voxel& neighbourNow)  whether a neighbour is worth queuing;
//     void copyBack(Voxel& current, const Voxel& changed)
//         what of the changed state (next-array record or pending copy) the current array
//         takes over at the end of the step.
//   After the last step (hasFinalPass true):
//     void finish(Voxel& current, Voxel& next)  once for every cell.
//
// Each step runs as two passes over the strips: the front pass (visit and queue), then, after
// every strip has finished it, the exchange pass (hand-over lists, copy-back or pending writes,
// new front). Cells only read the current array during the front pass and only their own strip
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

    // Holds both cell arrays for the whole run. A rule that writes in place still keeps the
    // next array equal to the current one for the cells it changes, because later processes
    // copy whole records back from it.
    //
    // Reports one step of `progress` per front step and stops with Util::RunCancelled at the
    // next pass once it is cancelled; the cells are then half-way and the caller restores them.
    void run(int steps, Util::ProgressReporter& progress = Util::ProgressReporter::none()) {
        partition.watch(progress);
        progress.start(std::uint64_t(std::max(steps, 0)));
        const std::uint64_t cellCount = volume.getCellCount();
        Model::Automaton::VolumeBudget::reserveForRun(
            cellCount * (sizeof(unsigned) + (Rule::seedsByColumn ? 0 : sizeof(std::uint8_t))));
        const Model::Automaton::CellArraysLock locked(volume);
        grid.current = locked.current();
        grid.next = locked.next();
        // Which queueing round last queued each cell: keeps every front free of repeats without
        // sorting lists that hold each cell up to 26 times. The stamps are cleared strip by
        // strip in the first pass rather than here, so that touching every cell once more is
        // shared between the threads.
        queuedInRound.reset(new unsigned[volume.getCellCount()]);
        round = 0;
        if constexpr (Rule::seedsByColumn)
            startFromColumns();
        else
            startFromCells();
        for (int step = 1; step <= steps && !frontIsEmpty(); ++step) {
            ++round;
            partition.runPass([this](const Strip& s) { frontPass(s); });
            partition.runPass([this](const Strip& s) { exchangePass(s); });
            progress.advance();
        }
        if constexpr (Rule::hasFinalPass)
            partition.runPass([this](const Strip& s) { finishStrip(s); });
    }

    int threadCount() const { return StripPartition::poolThreadCount(); }
    int stripWidth() const { return grid.sizeX / threadCount(); }

private:
    struct PendingCell {
        CellIndex index;
        Voxel cell;
    };

    struct StripState {
        std::vector<CellIndex> front;
        std::vector<CellIndex> local;
        std::vector<CellIndex> toLeft;
        std::vector<CellIndex> toRight;
        std::vector<CellIndex> seeds;
        std::vector<PendingCell> pending;
    };

    // Bits of nearSource: the cell itself is a source; a source lies in its neighbourhood
    // within its own x-layer (the 3x3 block of (y, z) for Moore, the plus of faces otherwise).
    static constexpr std::uint8_t selfSource = 1;
    static constexpr std::uint8_t sourceInLayer = 2;

    void startFromCells() {
        nearSource.reset(new std::uint8_t[volume.getCellCount()]);
        partition.runPass([this](const Strip& s) { initializeLayers(s); });
        partition.runPass([this](const Strip& s) { joinFront(s); });
        nearSource.reset();
    }

    // Seeding a column changes materials, so the seeds queue their neighbours only once every
    // column has been seeded; then the hand-over lists are exchanged as after a step.
    void startFromColumns() {
        ++round;
        partition.runPass([this](const Strip& s) { initializeColumns(s); });
        partition.runPass([this](const Strip& s) { queueSeedNeighbours(s); });
        partition.runPass([this](const Strip& s) { exchangePass(s); });
    }

    // Only the strip that owns a cell stamps it, so no two threads write the same stamp.
    void enqueue(StripState& state, CellIndex n) {
        if (queuedInRound[n] != round) {
            queuedInRound[n] = round;
            state.local.push_back(n);
        }
    }

    bool frontIsEmpty() const {
        return std::all_of(strips.begin(), strips.end(),
                           [](const StripState& s) { return s.front.empty(); });
    }

    void clearStamps(const Strip& strip) {
        std::fill(queuedInRound.get() + grid.index(int(strip.begin), 0, 0),
                  queuedInRound.get() + grid.index(int(strip.end), 0, 0), 0u);
    }

    // Every cell's starting state, then the first half of a separable dilation of the sources:
    // within each x-layer, marks the cells that have a source in their neighbourhood of (y, z).
    // Nine reads per cell instead of 26 for every cell far from any surface.
    void initializeLayers(const Strip& strip) {
        clearStamps(strip);
        const int sy = grid.sizeY, sz = grid.sizeZ;
        const bool moore = Rule::neighbourhood == FrontNeighbourhood::Moore;
        std::vector<std::uint8_t> self(std::size_t(sy) * std::size_t(sz));
        std::vector<std::uint8_t> alongZ(self.size());
        for (int x = int(strip.begin); x < int(strip.end); ++x) {
            const CellIndex layer = grid.index(x, 0, 0);
            for (int y = 0; y < sy; ++y) {
                const std::size_t row = std::size_t(y) * std::size_t(sz);
                for (int z = 0; z < sz; ++z) {
                    const CellIndex i = layer + row + std::size_t(z);
                    rule.initialize(grid, i, x, y, z);
                    self[row + std::size_t(z)] = rule.isSource(grid.current[i]);
                }
                for (int z = 0; z < sz; ++z) {
                    std::uint8_t near = self[row + std::size_t(z)];
                    if (z > 0)
                        near |= self[row + std::size_t(z) - 1];
                    if (z + 1 < sz)
                        near |= self[row + std::size_t(z) + 1];
                    alongZ[row + std::size_t(z)] = near;
                }
            }
            // Moore widens the z-dilated rows across y; faces add only the cells beside.
            const std::vector<std::uint8_t>& acrossY = moore ? alongZ : self;
            for (int y = 0; y < sy; ++y) {
                const std::size_t row = std::size_t(y) * std::size_t(sz);
                for (int z = 0; z < sz; ++z) {
                    const std::size_t j = row + std::size_t(z);
                    std::uint8_t near = alongZ[j];
                    if (y > 0)
                        near |= acrossY[j - std::size_t(sz)];
                    if (y + 1 < sy)
                        near |= acrossY[j + std::size_t(sz)];
                    nearSource[layer + j] = std::uint8_t(self[j] | (near ? sourceInLayer : 0));
                }
            }
        }
    }

    // Second half of the dilation (across x, reading the neighbouring layers marked in the
    // previous pass) and the first front. A cell that is a source itself never joins, since
    // rules keep sources and joiners apart.
    void joinFront(const Strip& strip) {
        StripState& state = strips[std::size_t(strip.index)];
        state.front.clear();
        const CellIndex layerSize = CellIndex(grid.sizeY) * CellIndex(grid.sizeZ);
        const std::uint8_t besideBit =
            Rule::neighbourhood == FrontNeighbourhood::Moore ? sourceInLayer : selfSource;
        for (int x = int(strip.begin); x < int(strip.end); ++x) {
            const CellIndex layer = grid.index(x, 0, 0);
            for (CellIndex j = 0; j < layerSize; ++j) {
                const CellIndex i = layer + j;
                const bool near = (nearSource[i] & sourceInLayer) ||
                                  (x > 0 && (nearSource[i - layerSize] & besideBit)) ||
                                  (x + 1 < grid.sizeX && (nearSource[i + layerSize] & besideBit));
                if (near && rule.mayJoin(grid.current[i]))
                    state.front.push_back(i);
            }
        }
    }

    void initializeColumns(const Strip& strip) {
        clearStamps(strip);
        StripState& state = strips[std::size_t(strip.index)];
        state.front.clear();
        state.seeds.clear();
        for (int x = int(strip.begin); x < int(strip.end); ++x)
            for (int y = 0; y < grid.sizeY; ++y)
                rule.initializeColumn(grid, x, y, state.seeds);
    }

    void queueSeedNeighbours(const Strip& strip) {
        StripState& state = strips[std::size_t(strip.index)];
        clearHandOver(state);
        for (const CellIndex c : state.seeds) {
            int x, y, z;
            grid.coordinates(c, x, y, z);
            queueNeighbours(state, strip, c, x, y, z);
        }
        state.seeds = std::vector<CellIndex>();
    }

    void clearHandOver(StripState& state) {
        state.toLeft.clear();
        state.toRight.clear();
        state.local.clear();
        state.pending.clear();
    }

    void queueNeighbours(StripState& state, const Strip& strip, CellIndex c, int x, int y, int z) {
        const int first = int(strip.begin);
        const int end = int(strip.end);
        grid.anyNeighbour(Rule::neighbourhood, c, x, y, z, [&](CellIndex n, int nx) {
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

    void frontPass(const Strip& strip) {
        StripState& state = strips[std::size_t(strip.index)];
        clearHandOver(state);
        for (const CellIndex c : state.front) {
            int x, y, z;
            grid.coordinates(c, x, y, z);
            if constexpr (Rule::writesInPlace) {
                Voxel pending = grid.current[c];
                if (!rule.visit(grid, c, x, y, z, pending))
                    continue;
                state.pending.push_back(PendingCell{c, pending});
            } else if (!rule.visit(grid, c, x, y, z)) {
                continue;
            }
            queueNeighbours(state, strip, c, x, y, z);
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
        if constexpr (Rule::writesInPlace) {
            for (const PendingCell& p : state.pending) {
                rule.copyBack(grid.current[p.index], p.cell);
                grid.next[p.index] = grid.current[p.index];
            }
        } else {
            for (const CellIndex c : state.front)
                rule.copyBack(grid.current[c], grid.next[c]);
        }
        state.front.swap(state.local);
    }

    void finishStrip(const Strip& strip) {
        const CellIndex end = grid.index(int(strip.end), 0, 0);
        for (CellIndex i = grid.index(int(strip.begin), 0, 0); i < end; ++i)
            rule.finish(grid.current[i], grid.next[i]);
    }

    Model::Automaton::TotalVolume& volume;
    Rule& rule;
    StripPartition partition;
    FrontGrid grid;
    std::vector<StripState> strips;
    std::unique_ptr<unsigned[]> queuedInRound;
    std::unique_ptr<std::uint8_t[]> nearSource;
    unsigned round = 0;
};

} // namespace Core::Operations
