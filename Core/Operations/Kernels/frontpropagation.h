#pragma once

#include "Core/Operations/Kernels/frontstates.h"
#include "Core/Operations/Kernels/strips.h"
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

// The neighbourhood arithmetic every front rule needs.
struct FrontGeometry {
    using CellIndex = Model::Automaton::CellIndex;

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
        const CellIndex plane = CellIndex(sizeY) * CellIndex(sizeZ);
        planeDivider = Divider(plane);
        rowDivider = Divider(CellIndex(sizeZ));
        // The 32-bit reciprocals are exact only while every index fits 32 bits.
        fastDivision = CellIndex(sizeX) * plane <= 0xffffffffu;
    }

    CellIndex index(int x, int y, int z) const {
        return Model::Automaton::cellIndex(CellIndex(x), CellIndex(y), CellIndex(z),
                                           CellIndex(sizeY), CellIndex(sizeZ));
    }
    // Every front cell needs its coordinates, so the two divisions are multiplications.
    void coordinates(CellIndex i, int& x, int& y, int& z) const {
        const CellIndex plane = CellIndex(sizeY) * CellIndex(sizeZ);
        const CellIndex qx = fastDivision ? planeDivider.divide(i) : i / plane;
        const CellIndex rest = i - qx * plane;
        const CellIndex qy = fastDivision ? rowDivider.divide(rest) : rest / CellIndex(sizeZ);
        x = int(qx);
        y = int(qy);
        z = int(rest - qy * CellIndex(sizeZ));
    }
    // The (x, y) row of cell i, numbered x * sizeY + y, and its z.
    void rowOf(CellIndex i, CellIndex& row, int& z) const {
        row = fastDivision ? rowDivider.divide(i) : i / CellIndex(sizeZ);
        z = int(i - row * CellIndex(sizeZ));
    }
    bool inside(int x, int y, int z) const {
        return x >= 0 && y >= 0 && z >= 0 && x < sizeX && y < sizeY && z < sizeZ;
    }
    // All 26 neighbours of (x, y, z) lie inside the volume.
    bool awayFromFaces(int x, int y, int z) const {
        return x > 0 && y > 0 && z > 0 && x + 1 < sizeX && y + 1 < sizeY && z + 1 < sizeZ;
    }
    std::ptrdiff_t faceOffset(int f) const { return offset6[f]; }

    // The 26 cells of the 3x3x3 block around cell i = (x, y, z) that lie inside the volume, dx
    // outermost, then dy, then dz; stops early when `visit(index, x)` returns true and reports
    // whether it did. Cells away from the faces of the volume skip the bounds tests.
    template <class Visit>
    bool anyNeighbour26(CellIndex i, int x, int y, int z, Visit&& visit) const {
        if (awayFromFaces(x, y, z)) {
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
        const bool away = awayFromFaces(x, y, z);
        for (int f = 0; f < 6; ++f) {
            const int nx = x + faceDirection[f][0];
            if (!away && !inside(nx, y + faceDirection[f][1], z + faceDirection[f][2]))
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
    // Division of 32-bit values by a fixed divisor as one multiplication (exact for every
    // 32-bit dividend and divisor).
    struct Divider {
        Divider() = default;
        explicit Divider(CellIndex d) : magic(d > 1 ? ~std::uint64_t(0) / d + 1 : 0), one(d <= 1) {}
        CellIndex divide(CellIndex n) const {
            return one ? n : CellIndex((unsigned __int128)magic * n >> 64);
        }
        std::uint64_t magic = 0;
        bool one = true;
    };

    std::ptrdiff_t offset26[26] = {};
    int dx26[26] = {};
    std::ptrdiff_t offset6[6] = {};
    Divider planeDivider;
    Divider rowDivider;
    bool fastDivision = false;
};

// The cells of one run as the rules see them: materials in the volume's store, states in the
// run's pages (FrontStates), both read and written by cell index.
template <class State> struct FrontGrid : FrontGeometry {
    using MaterialId = Model::Automaton::MaterialId;
    using Cell = FrontCell<State>;

    Model::Automaton::MaterialCells materials;
    FrontStates<State>* states = nullptr;
    // The idle state of a material beyond the table of FrontStates.
    State (*rareIdle)(const void* rule, MaterialId) = nullptr;
    const void* rule = nullptr;

    MaterialId material(CellIndex i) const { return materials[std::ptrdiff_t(i)]; }
    // The state of cell i, whose row and z the caller knows.
    const State& stateAt(CellIndex i, CellIndex row, int z) const {
        if (const State* page = states->page(row, z))
            return page[z & (FrontStates<State>::pageCells - 1)];
        return states->idleOf(material(i), rare());
    }
    const State& state(CellIndex i) const {
        CellIndex row;
        int z;
        rowOf(i, row, z);
        return stateAt(i, row, z);
    }
    Cell cell(CellIndex i) const {
        Cell c;
        static_cast<State&>(c) = state(i);
        c.material = material(i);
        return c;
    }

    void setMaterial(CellIndex i, MaterialId m) const { materials.set(std::ptrdiff_t(i), m); }
    // Only the strip that owns cell i writes it. A state equal to the idle one of the cell's
    // material makes no page.
    void setState(CellIndex i, const State& s) const {
        CellIndex row;
        int z;
        rowOf(i, row, z);
        State* page = states->page(row, z);
        if (!page) {
            if (s.sameAs(states->idleOf(material(i), rare())))
                return;
            page = states->makePage(row, z, materials, rare());
        }
        page[z & (FrontStates<State>::pageCells - 1)] = s;
    }
    void setCell(CellIndex i, const Cell& c) const {
        setMaterial(i, c.material);
        setState(i, c);
    }

private:
    auto rare() const {
        return [this](MaterialId m) { return rareIdle(rule, m); };
    }
};

// The vector-distance arithmetic of the distance-like processes. Each cell carries the vector
// to the nearest seed it knows of; a step across a face adds that face's step vector to the
// neighbour's vector. Processes differ in the sign convention of the steps and in the
// precision they compare squared lengths in, so both are chosen here rather than fixed.
class FaceSteps {
public:
    using CellIndex = Model::Automaton::CellIndex;

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

    template <class Length> static Length squaredLength(const VectorState& v) {
        return Length(v.vectorX) * v.vectorX + Length(v.vectorY) * v.vectorY +
               Length(v.vectorZ) * v.vectorZ;
    }

    // The shortest of the face neighbours' vectors plus their steps that is strictly shorter
    // than `best` and no longer than `reach` (both squared); on equal lengths the earlier face
    // wins. Updates `best` and `kept` and reports whether a vector was found.
    template <class Length, class Reach>
    bool shortest(const FrontGrid<VectorState>& grid, CellIndex i, int x, int y, int z,
                  Length& best, Reach reach, float kept[3]) const {
        const CellIndex row = CellIndex(x) * CellIndex(grid.sizeY) + CellIndex(y);
        const auto neighbour = [&](int f) -> const VectorState& {
            return grid.stateAt(CellIndex(std::ptrdiff_t(i) + grid.faceOffset(f)),
                                CellIndex(std::ptrdiff_t(row) +
                                          std::ptrdiff_t(faceDirection[f][0]) * grid.sizeY +
                                          faceDirection[f][1]),
                                z + faceDirection[f][2]);
        };
        if (grid.awayFromFaces(x, y, z)) {
            // All six faces exist: their candidates side by side, then the same scan in face
            // order without a branch per face.
            float v[3][6];
            for (int f = 0; f < 6; ++f) {
                const VectorState& n = neighbour(f);
                v[0][f] = n.vectorX + step[f][0];
                v[1][f] = n.vectorY + step[f][1];
                v[2][f] = n.vectorZ + step[f][2];
            }
            Length lengthSquared[6];
            for (int f = 0; f < 6; ++f)
                lengthSquared[f] = Length(v[0][f]) * v[0][f] + Length(v[1][f]) * v[1][f] +
                                   Length(v[2][f]) * v[2][f];
            int taken = -1;
            for (int f = 0; f < 6; ++f) {
                const bool shorter = lengthSquared[f] < best && lengthSquared[f] <= reach;
                best = shorter ? lengthSquared[f] : best;
                taken = shorter ? f : taken;
            }
            if (taken < 0)
                return false;
            for (int axis = 0; axis < 3; ++axis)
                kept[axis] = v[axis][taken];
            return true;
        }
        bool taken = false;
        for (int f = 0; f < 6; ++f) {
            if (!grid.inside(x + faceDirection[f][0], y + faceDirection[f][1],
                             z + faceDirection[f][2]))
                continue;
            const VectorState& n = neighbour(f);
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

    static void setVector(VectorState& v, const float vector[3]) {
        v.vectorX = vector[0];
        v.vectorY = vector[1];
        v.vectorZ = vector[2];
    }
    static void setVector(VectorState& v, float all) { v.vectorX = v.vectorY = v.vectorZ = all; }

private:
    float step[6][3];
};

// What a rule does not say about itself: it grows from sources among its 26 neighbours, starts
// cell by cell with every cell in its idle state, and has no pass after the last step. A rule
// derives from this and redeclares what differs.
struct FrontRuleDefaults {
    static constexpr FrontNeighbourhood neighbourhood = FrontNeighbourhood::Moore;
    static constexpr bool seedsByColumn = false;
    static constexpr bool hasFinalPass = false;

    template <class Grid>
    void initialize(const Grid&, Model::Automaton::CellIndex, int, int, int) const {}
};

// The front-driven cellular kernel shared by every distance-like process. A process supplies a
// Rule (see FrontRuleDefaults for its variants):
//
//   using State                     what the rule keeps per cell besides the material
//                                   (VectorState, NoState);
//   State idle(MaterialId) const    the state every cell of a material starts in, unless the
//                                   rule's start gives it another; cells the front never changes
//                                   keep it without costing memory (FrontStates).
//   Starting state, cell by cell (seedsByColumn false):
//     void initialize(const Grid&, CellIndex, int x, int y, int z)
//         gives the cell another starting state than its idle one where it needs one (a seed
//         that depends on its neighbours); may read the materials of its neighbours, which
//         nothing changes while cells start;
//     bool isSource(const Cell&)  the cells the process grows from, judged after initialize;
//     bool mayJoin(const Cell&)   the cells that start on the front when one of their
//                                 neighbours (in the rule's neighbourhood) is a source.
//   Starting state, column by column (seedsByColumn true):
//     void initializeColumn(const Grid&, int x, int y, std::vector<CellIndex>& seeds)
//         sets the starting state of the cells of column (x, y) that need one and lists its
//         seeds; the first front is what the seeds queue.
//   Each step:
//     bool visit(const Grid&, CellIndex, int x, int y, int z, Cell& pending)
//         reads the cells as the step began and changes `pending`, a copy of the cell; true
//         queues the cell's neighbours for the next front and writes `pending` back once every
//         strip has read the step's cells;
//     bool queues(MaterialId neighbourNow)  whether a neighbour of that material is worth
//                                           queuing.
//   After the last step (hasFinalPass true):
//     void finish(const Grid&, CellIndex, const Cell&)  once for every cell that has a state
//         of its own; cells in their idle state must be left alone by it.
//
// Each step runs as two passes over the strips: the front pass (visit and queue), then, after
// every strip has finished it, the exchange pass (hand-over lists, pending writes, new front).
// Cells are only read during the front pass and only their own strip writes them during the
// exchange, so any thread count gives the result of a single strip.
template <class Rule> class FrontPropagation {
public:
    using CellIndex = Model::Automaton::CellIndex;
    using MaterialId = Model::Automaton::MaterialId;
    using State = typename Rule::State;
    using Grid = FrontGrid<State>;
    using Cell = FrontCell<State>;

    FrontPropagation(Model::Automaton::TotalVolume& volume, Rule& rule)
        : volume(volume), rule(rule), partition(volume.getSizeX()),
          strips(std::size_t(partition.count())) {
        grid.setSize(int(volume.getSizeX()), int(volume.getSizeY()), int(volume.getSizeZ()));
        const std::ptrdiff_t plane = std::ptrdiff_t(grid.sizeY) * grid.sizeZ;
        const std::ptrdiff_t row = grid.sizeZ;
        // The cell's own row first, then the rows beside it: the faces' four, then the corners'.
        const std::ptrdiff_t offsets[9] = {
            0, -row, row, -plane, plane, -plane - row, -plane + row, plane - row, plane + row};
        std::copy(offsets, offsets + 9, rowOffset);
    }

    // Holds the volume's cells for the whole run.
    //
    // Reports one step of `progress` per front step and stops with Util::RunCancelled at the
    // next pass once it is cancelled; the cells are then half-way and the caller restores them.
    void run(int steps, Util::ProgressReporter& progress = Util::ProgressReporter::none()) {
        partition.watch(progress);
        progress.start(std::uint64_t(std::max(steps, 0)));
        const std::uint64_t cellCount = volume.getCellCount();
        // The page table of the states, and the bits of the start.
        Model::Automaton::VolumeBudget::reserveForRun(
            cellCount / FrontStates<State>::pageCells * sizeof(std::uint32_t) +
            (Rule::seedsByColumn ? 0 : cellCount * 2 / 8));
        const Model::Automaton::CellArraysLock locked(volume);
        grid.materials = locked.materials();
        std::vector<int> stripOfX(std::size_t(grid.sizeX));
        for (const Strip& strip : partition.getStrips())
            std::fill(stripOfX.begin() + strip.begin, stripOfX.begin() + strip.end, strip.index);
        states.setUp(grid.sizeX, grid.sizeY, grid.sizeZ, std::move(stripOfX), partition.count(),
                     [this](MaterialId m) { return rule.idle(m); });
        grid.states = &states;
        grid.rule = &rule;
        grid.rareIdle = [](const void* r, MaterialId m) {
            return static_cast<const Rule*>(r)->idle(m);
        };
        for (const Strip& strip : partition.getStrips())
            strips[std::size_t(strip.index)].queued.cover(grid.index(int(strip.begin), 0, 0),
                                                          grid.index(int(strip.end), 0, 0));
        if constexpr (Rule::seedsByColumn)
            startFromColumns();
        else
            startFromCells();
        for (int step = 1; step <= steps && !frontIsEmpty(); ++step) {
            partition.runPass([this](const Strip& s) { frontPass(s); });
            partition.runPass([this](const Strip& s) { exchangePass(s); });
            progress.advance();
        }
        if constexpr (Rule::hasFinalPass)
            partition.runPass([this](const Strip& s) { finishStrip(s); });
        statePages = states.pageCount();
        states.clear();
    }

    // Pages of states the last run made (FrontStates), for tests of its memory.
    std::size_t pagesMade() const { return statePages; }

    int threadCount() const { return StripPartition::poolThreadCount(); }
    int stripWidth() const { return grid.sizeX / threadCount(); }

private:
    struct PendingCell {
        CellIndex index;
        Cell cell;
    };

    // The cells of one strip that may join the next front, one bit each: neighbours are set a
    // row of up to three cells at a time without reading them, setting a bit twice is harmless,
    // and reading the bits in order yields the front sorted and free of repeats. Only the words
    // between the lowest and highest cell set are read and cleared, so a small front costs
    // little in a large volume.
    class QueuedCells {
    public:
        void cover(CellIndex first, CellIndex end) {
            base = first;
            // One spare word for runs that end past the strip's last cell.
            words.assign((end - first + 63) / 64 + 1, 0);
        }
        // Sets the cells first, first + 1, ... for the set bits of `run` (at most three), all
        // of which lie in the strip.
        void addRun(CellIndex first, std::uint64_t run) {
            if (!run)
                return;
            // A run clipped at z = 0 would otherwise start before the strip's first cell.
            const unsigned skip = unsigned(__builtin_ctzll(run));
            run >>= skip;
            const CellIndex k = first + skip - base;
            const unsigned b = unsigned(k & 63);
            words[k >> 6] |= run << b;
            if (b > 61)
                words[(k >> 6) + 1] |= run >> (64 - b);
        }
        // Cells from `from` to `to` (inclusive, clipped to the strip) may have been set.
        void mayHoldBetween(std::ptrdiff_t from, std::ptrdiff_t to) {
            const std::ptrdiff_t b = std::ptrdiff_t(base);
            low = std::min(low, CellIndex(std::max<std::ptrdiff_t>(from - b, 0)) >> 6);
            high = std::max(high, (CellIndex(std::max<std::ptrdiff_t>(to - b, 0)) >> 6) + 1);
        }
        // Appends the set cells that `keep` accepts, in ascending order, and clears them all.
        template <class Keep> void drainInto(std::vector<CellIndex>& out, Keep&& keep) {
            const CellIndex end = std::min(high, CellIndex(words.size()));
            for (CellIndex w = low; w < end; ++w) {
                std::uint64_t bits = words[w];
                if (!bits)
                    continue;
                words[w] = 0;
                const CellIndex first = base + w * 64;
                for (; bits; bits &= bits - 1) {
                    const CellIndex cell = first + CellIndex(__builtin_ctzll(bits));
                    if (keep(cell))
                        out.push_back(cell);
                }
            }
            low = ~CellIndex(0);
            high = 0;
        }

    private:
        CellIndex base = 0;
        std::vector<std::uint64_t> words;
        CellIndex low = ~CellIndex(0);
        CellIndex high = 0;
    };

    struct StripState {
        std::vector<CellIndex> front;
        std::vector<CellIndex> local;
        QueuedCells queued;
        std::vector<CellIndex> toLeft;
        std::vector<CellIndex> toRight;
        std::vector<CellIndex> seeds;
        std::vector<PendingCell> pending;
    };

    // Bit rows of the starting state, one row of z per (x, y), 64 cells a word: which cells are
    // sources, and which have a source in their neighbourhood within their own x-layer (the 3x3
    // block of (y, z) for Moore, the plus of faces otherwise). Whether a cell may join is asked
    // only of the few cells near a source, when the front is gathered.
    struct StartBits {
        std::size_t rowWords = 0;
        std::unique_ptr<std::uint64_t[]> source;
        std::unique_ptr<std::uint64_t[]> nearInLayer;

        void allocate(std::size_t rows, std::size_t words) {
            rowWords = words;
            // Every word is written by the pass that fills its layer before anything reads it.
            source.reset(new std::uint64_t[rows * words]);
            nearInLayer.reset(new std::uint64_t[rows * words]);
        }
    };

    void startFromCells() {
        start.allocate(std::size_t(grid.sizeX) * std::size_t(grid.sizeY),
                       (std::size_t(grid.sizeZ) + 63) / 64);
        partition.runPass([this](const Strip& s) { initializeLayers(s); });
        partition.runPass([this](const Strip& s) { joinFront(s); });
        start = StartBits();
    }

    // Seeding a column changes materials, so the seeds queue their neighbours only once every
    // column has been seeded; then the hand-over lists are exchanged as after a step.
    void startFromColumns() {
        partition.runPass([this](const Strip& s) { initializeColumns(s); });
        partition.runPass([this](const Strip& s) { queueSeedNeighbours(s); });
        partition.runPass([this](const Strip& s) { exchangePass(s); });
    }

    // Only the strip that owns a cell queues it, so no two threads write the same bits.
    static void enqueueHandedOver(StripState& state, CellIndex n) {
        state.queued.addRun(n, 1);
        state.queued.mayHoldBetween(std::ptrdiff_t(n), std::ptrdiff_t(n));
    }

    bool frontIsEmpty() const {
        return std::all_of(strips.begin(), strips.end(),
                           [](const StripState& s) { return s.front.empty(); });
    }

    // Every cell's starting state, touched once in cell order with both arrays, and the first
    // half of a separable dilation of the sources: within each x-layer, the cells that have a
    // source in their neighbourhood of (y, z), 64 cells at a time.
    void initializeLayers(const Strip& strip) {
        const int sy = grid.sizeY, sz = grid.sizeZ;
        const std::size_t words = start.rowWords;
        const bool moore = Rule::neighbourhood == FrontNeighbourhood::Moore;
        std::vector<std::uint64_t> alongZ(std::size_t(sy) * words);
        for (int x = int(strip.begin); x < int(strip.end); ++x) {
            const std::size_t layerRow = std::size_t(x) * std::size_t(sy);
            std::uint64_t* source = start.source.get() + layerRow * words;
            for (int y = 0; y < sy; ++y) {
                const CellIndex row = grid.index(x, y, 0);
                const CellIndex rowIndex = CellIndex(x) * CellIndex(sy) + CellIndex(y);
                for (std::size_t w = 0; w < words; ++w) {
                    const int z0 = int(w * 64);
                    const int z1 = std::min(sz, z0 + 64);
                    std::uint64_t isSource = 0;
                    for (int z = z0; z < z1; ++z) {
                        const CellIndex i = row + CellIndex(z);
                        rule.initialize(grid, i, x, y, z);
                        const std::uint64_t bit = std::uint64_t(1) << (z - z0);
                        Cell cell;
                        static_cast<State&>(cell) = grid.stateAt(i, rowIndex, z);
                        cell.material = grid.material(i);
                        isSource |= rule.isSource(cell) ? bit : 0;
                    }
                    source[std::size_t(y) * words + w] = isSource;
                }
                const std::uint64_t* s = source + std::size_t(y) * words;
                std::uint64_t* along = alongZ.data() + std::size_t(y) * words;
                for (std::size_t w = 0; w < words; ++w) {
                    const std::uint64_t below = w > 0 ? s[w - 1] >> 63 : 0;
                    const std::uint64_t above = w + 1 < words ? s[w + 1] << 63 : 0;
                    along[w] = s[w] | (s[w] << 1) | below | (s[w] >> 1) | above;
                }
            }
            // Moore widens the z-dilated rows across y; faces add only the cells beside.
            const std::uint64_t* acrossY = moore ? alongZ.data() : source;
            std::uint64_t* near = start.nearInLayer.get() + layerRow * words;
            for (int y = 0; y < sy; ++y)
                for (std::size_t w = 0; w < words; ++w) {
                    const std::size_t j = std::size_t(y) * words + w;
                    std::uint64_t n = alongZ[j];
                    if (y > 0)
                        n |= acrossY[j - words];
                    if (y + 1 < sy)
                        n |= acrossY[j + words];
                    near[j] = n;
                }
        }
    }

    // Second half of the dilation (across x, reading the neighbouring layers marked in the
    // previous pass) and the first front, in cell order.
    void joinFront(const Strip& strip) {
        StripState& state = strips[std::size_t(strip.index)];
        state.front.clear();
        const std::size_t words = start.rowWords;
        const std::size_t layerWords = std::size_t(grid.sizeY) * words;
        const std::uint64_t* beside = Rule::neighbourhood == FrontNeighbourhood::Moore
                                          ? start.nearInLayer.get()
                                          : start.source.get();
        for (int x = int(strip.begin); x < int(strip.end); ++x) {
            const std::size_t layer = std::size_t(x) * layerWords;
            for (std::size_t j = 0; j < layerWords; ++j) {
                std::uint64_t near = start.nearInLayer[layer + j];
                if (x > 0)
                    near |= beside[layer - layerWords + j];
                if (x + 1 < grid.sizeX)
                    near |= beside[layer + layerWords + j];
                const int z0 = int(j % words) * 64;
                // The dilation along z reaches one bit past the row's last cell.
                if (grid.sizeZ - z0 < 64)
                    near &= (std::uint64_t(1) << (grid.sizeZ - z0)) - 1;
                if (!near)
                    continue;
                const int y = int(j / words);
                const CellIndex rowIndex = CellIndex(x) * CellIndex(grid.sizeY) + CellIndex(y);
                const CellIndex first = grid.index(x, y, z0);
                // Every cell has started by now, and nothing changes while the front gathers.
                for (; near; near &= near - 1) {
                    const int bit = __builtin_ctzll(near);
                    const CellIndex i = first + CellIndex(bit);
                    Cell cell;
                    static_cast<State&>(cell) = grid.stateAt(i, rowIndex, z0 + bit);
                    cell.material = grid.material(i);
                    if (rule.mayJoin(cell))
                        state.front.push_back(i);
                }
            }
        }
    }

    void initializeColumns(const Strip& strip) {
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
        state.pending.clear();
    }

    // Queues the neighbours of c: those in this strip by setting their bits (whether they are
    // worth queuing is judged when the bits are read, before anything changes them), those in
    // the neighbouring strips through the hand-over lists.
    void queueNeighbours(StripState& state, const Strip& strip, CellIndex c, int x, int y, int z) {
        const bool moore = Rule::neighbourhood == FrontNeighbourhood::Moore;
        const std::ptrdiff_t plane = std::ptrdiff_t(grid.sizeY) * grid.sizeZ;
        const std::ptrdiff_t row = grid.sizeZ;
        // The z-run around c within one row: z - 1 to z + 1, clipped to the volume.
        const std::uint64_t fullRun = (z > 0 ? 1u : 0u) | 2u | (z + 1 < grid.sizeZ ? 4u : 0u);
        const std::ptrdiff_t runStart = std::ptrdiff_t(c) - 1;
        state.queued.mayHoldBetween(runStart - plane - row, runStart + plane + row + 2);
        if (x > int(strip.begin) && x + 1 < int(strip.end) && y > 0 && y + 1 < grid.sizeY) {
            // The common case: all rows lie in this strip and inside the volume.
            for (int r = 0; r < (moore ? 9 : 5); ++r)
                state.queued.addRun(CellIndex(runStart + rowOffset[r]), r == 0  ? fullRun & 5u
                                                                        : moore ? fullRun
                                                                                : 2u);
            return;
        }
        for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx;
            if (nx < 0 || nx >= grid.sizeX)
                continue;
            const bool local = nx >= int(strip.begin) && nx < int(strip.end);
            std::vector<CellIndex>& handOver = dx < 0 ? state.toLeft : state.toRight;
            for (int dy = -1; dy <= 1; ++dy) {
                const int ny = y + dy;
                if (ny < 0 || ny >= grid.sizeY || (!moore && dx != 0 && dy != 0))
                    continue;
                std::uint64_t run = dx == 0 && dy == 0 ? fullRun & 5u : fullRun;
                if (!moore && (dx != 0 || dy != 0))
                    run &= 2u;
                const std::ptrdiff_t first = runStart + dx * plane + dy * row;
                if (local) {
                    state.queued.addRun(CellIndex(first), run);
                    continue;
                }
                for (int k = 0; k < 3; ++k) {
                    const CellIndex n = CellIndex(first + k);
                    if ((run >> k & 1u) && rule.queues(grid.material(n)))
                        handOver.push_back(n);
                }
            }
        }
    }

    void frontPass(const Strip& strip) {
        StripState& state = strips[std::size_t(strip.index)];
        clearHandOver(state);
        for (const CellIndex c : state.front) {
            int x, y, z;
            grid.coordinates(c, x, y, z);
            Cell pending;
            static_cast<State&>(pending) =
                grid.stateAt(c, CellIndex(x) * CellIndex(grid.sizeY) + CellIndex(y), z);
            pending.material = grid.material(c);
            if (!rule.visit(grid, c, x, y, z, pending))
                continue;
            state.pending.push_back(PendingCell{c, pending});
            queueNeighbours(state, strip, c, x, y, z);
        }
    }

    void exchangePass(const Strip& strip) {
        const std::size_t k = std::size_t(strip.index);
        StripState& state = strips[k];
        if (k > 0) {
            for (const CellIndex n : strips[k - 1].toRight)
                enqueueHandedOver(state, n);
        }
        if (k + 1 < strips.size()) {
            for (const CellIndex n : strips[k + 1].toLeft)
                enqueueHandedOver(state, n);
        }
        // The queued cells are judged before this strip's cells change; ascending order keeps
        // the next front pass walking memory forwards.
        state.local.clear();
        state.queued.drainInto(state.local,
                               [this](CellIndex n) { return rule.queues(grid.material(n)); });
        for (const PendingCell& p : state.pending)
            grid.setCell(p.index, p.cell);
        state.front.swap(state.local);
    }

    // Only rows with pages hold cells that are not in their idle state.
    void finishStrip(const Strip& strip) {
        for (int x = int(strip.begin); x < int(strip.end); ++x)
            for (int y = 0; y < grid.sizeY; ++y) {
                const CellIndex row = CellIndex(x) * CellIndex(grid.sizeY) + CellIndex(y);
                for (int z0 = 0; z0 < grid.sizeZ; z0 += FrontStates<State>::pageCells) {
                    if (!states.page(row, z0))
                        continue;
                    const int z1 = std::min(grid.sizeZ, z0 + FrontStates<State>::pageCells);
                    for (int z = z0; z < z1; ++z) {
                        const CellIndex i = grid.index(x, y, z);
                        rule.finish(grid, i, grid.cell(i));
                    }
                }
            }
    }

    Model::Automaton::TotalVolume& volume;
    Rule& rule;
    StripPartition partition;
    Grid grid;
    FrontStates<State> states;
    std::size_t statePages = 0;
    std::vector<StripState> strips;
    StartBits start;
    // Offsets of the rows of neighbours around a cell (see queueNeighbours).
    std::ptrdiff_t rowOffset[9] = {};
};

} // namespace Core::Operations
