#include "Model/Transport/fluxengine.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/cellgrid.h"
#include "Model/Automaton/strips.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/pooltasks.h"

#include <QThreadPool>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>

namespace Model::Transport {

using Model::Automaton::CellIndex;
using Model::Automaton::MaterialCells;
using Model::Automaton::MaterialId;

namespace {

// Tallies count weight in units of 2^-24, so that sums do not depend on their order.
constexpr double weightScale = 16777216.0;
constexpr std::uint64_t raysPerBatch = 4096;
// Batches between two looks at the cancel button.
constexpr std::uint64_t batchesPerRound = 64;
constexpr double rouletteWeight = 0.1;
constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double twoPi = 6.283185307179586476925;

std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return x;
}

// The numbers of one ray: a counter-based stream keyed by (seed, pass, ray), so that no two
// rays, passes or seeds share numbers and no thread's history matters.
class RandomStream {
public:
    RandomStream(std::uint64_t seed, std::uint64_t pass, std::uint64_t ray)
        : key(mix(mix(mix(seed ^ 0x5851f42d4c957f2dULL) ^ pass) ^ ray)) {}
    // [0, 1)
    double uniform() { return double(next() >> 11) * 0x1.0p-53; }
    // (0, 1]: a cosine drawn from it is never 0, so no ray flies parallel to a face.
    double positive() { return double((next() >> 11) + 1) * 0x1.0p-53; }

private:
    std::uint64_t next() { return mix(key ^ mix(++counter * 0x9e3779b97f4a7c15ULL)); }
    std::uint64_t key;
    std::uint64_t counter = 0;
};

// A direction at angle θ from axis `axis` (sign `sign`), cos θ drawn from a cosine power.
void cosinePowerDirection(RandomStream& random, double exponent, int axis, int sign,
                          double out[3]) {
    const double cosTheta = exponent == 1.0 ? std::sqrt(random.positive())
                                            : std::pow(random.positive(), 1.0 / (exponent + 1.0));
    const double sinTheta = std::sqrt(std::max(0.0, 1.0 - cosTheta * cosTheta));
    const double phi = twoPi * random.uniform();
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    out[axis] = sign * cosTheta;
    out[u] = sinTheta * std::cos(phi);
    out[v] = sinTheta * std::sin(phi);
}

// One bit per block of 2^shift cells along each axis; set where the block holds a surface cell.
class OccupancyMask {
public:
    void setUp(int shift, const int size[3]) {
        this->shift = shift;
        for (int a = 0; a < 3; ++a)
            count[a] = (size[a] >> shift) + 1;
        bits.assign((std::size_t(count[0]) * count[1] * count[2] + 63) / 64, 0);
    }
    void set(int x, int y, int z) {
        const std::size_t i = index(x, y, z);
        bits[i >> 6] |= std::uint64_t(1) << (i & 63);
    }
    bool holds(const int c[3]) const {
        const std::size_t i = index(c[0], c[1], c[2]);
        return (bits[i >> 6] >> (i & 63)) & 1u;
    }
    int shift = 3;

private:
    std::size_t index(int x, int y, int z) const {
        return (std::size_t(x >> shift) * std::size_t(count[1]) + std::size_t(y >> shift)) *
                   std::size_t(count[2]) +
               std::size_t(z >> shift);
    }
    int count[3] = {};
    std::vector<std::uint64_t> bits;
};

// The surface cells of each 8³ brick that holds any, 512 bits a brick, found through a table of
// one slot per brick. Rays test cells here rather than in the volume: the bits of a whole
// surface stay in cache where the volume's cells would not, and a ray only ever enters
// material through a surface cell.
class SurfaceBricks {
public:
    static constexpr int shift = 3;

    void setUp(const int size[3]) {
        for (int a = 0; a < 3; ++a)
            count[a] = (size[a] >> shift) + 1;
        slotOfBrick.assign(std::size_t(count[0]) * count[1] * count[2], 0);
        masks.clear();
    }
    void set(int x, int y, int z) {
        std::uint32_t& slot = slotOfBrick[index(x, y, z)];
        if (!slot) {
            masks.emplace_back();
            slot = std::uint32_t(masks.size());
        }
        masks[slot - 1][x & 7] |= std::uint64_t(1) << ((y & 7) << 3 | (z & 7));
    }
    bool holds(const int c[3]) const { return slotOfBrick[index(c[0], c[1], c[2])] != 0; }
    bool isSurface(const int c[3]) const {
        const std::uint32_t slot = slotOfBrick[index(c[0], c[1], c[2])];
        return slot && (masks[slot - 1][c[0] & 7] >> ((c[1] & 7) << 3 | (c[2] & 7)) & 1u);
    }

private:
    std::size_t index(int x, int y, int z) const {
        return (std::size_t(x >> shift) * std::size_t(count[1]) + std::size_t(y >> shift)) *
                   std::size_t(count[2]) +
               std::size_t(z >> shift);
    }
    int count[3] = {};
    std::vector<std::uint32_t> slotOfBrick;
    std::vector<std::array<std::uint64_t, 8>> masks;
};

// What the rays of one run read, shared read-only by every thread.
struct Scene {
    MaterialCells cells;
    int size[3] = {};
    std::ptrdiff_t strideX = 0;
    bool periodic = false;
    double cellSize[3] = {};
    double exponent = 1.0;
    int bounceLimit = 0;
    std::uint64_t seed = 0;
    std::uint64_t pass = 0;
    std::vector<float> sticking; // by material id
    // Whether every material sticks alike, so that a hit need not read its cell.
    bool uniformSticking = true;
    SurfaceBricks bricks; // 8³, with their surface cells
    OccupancyMask blocks; // 64³
    // The height field: per column, the z just above its highest cell of material (0 for a
    // column without any), and the largest of them. Every cell from there up is empty.
    std::vector<std::int32_t> top;
    int highest = 0;
    // The surface cells' z, column by column, and where each column's cells begin.
    const std::uint32_t* surfaceZ = nullptr;
    const std::uint64_t* columnStart = nullptr;
    // Weight collected, total and direct side by side (one cache line for both): per surface
    // cell, and per column for hits on its top, which are most hits and need no search for
    // their cell; a column's share goes to its top cell at the end.
    std::uint64_t* cellTally = nullptr;
    std::uint64_t* topTally = nullptr;
    // Whether other threads add to the tallies too.
    bool shared = false;
    // Steps after which a ray that grazes the surface for ever is given up.
    long maxSteps = 0;

    MaterialId material(const int c[3]) const {
        return cells[std::ptrdiff_t(c[0]) * strideX + std::ptrdiff_t(c[1]) * size[2] + c[2]];
    }
    std::size_t column(const int c[3]) const { return std::size_t(c[0]) * size[1] + c[1]; }
    // The surface cell at c, or -1 when c is not on the surface.
    std::ptrdiff_t surfaceCell(const int c[3]) const {
        const std::size_t col = column(c);
        const std::uint32_t cz = std::uint32_t(c[2]);
        const std::uint32_t* z = surfaceZ;
        const std::uint32_t* begin = z + columnStart[col];
        const std::uint32_t* end = z + columnStart[col + 1];
        if (begin == end)
            return -1;
        // A column's highest surface cell is its top, where most rays land.
        if (end[-1] == cz)
            return end - 1 - z;
        const std::uint32_t* found = std::lower_bound(begin, end, cz);
        return found != end && *found == cz ? found - z : -1;
    }
};

enum class WalkEnd { Hit, Escaped, Lost };

// A ray in cell units (cell (i, j, k) spans [i, i + 1) × [j, j + 1) × [k, k + 1)), walking from
// the empty cell c; periodic sides shift the origin by a period when the ray wraps, so that
// o + t d always lies in the volume.
struct Walk {
    double o[3];
    double d[3];
    int c[3];
    // Where the last walk ended on a face: its time, axis and the sign of the last step.
    double t = 0.0;
    int axis = 2;
    int step = -1;
};

// A digital differential analyser in two modes. Above the height field (a cell at or above its
// column's top) nothing but the column's top can be hit, so the ray goes a column at a time: it
// lands on the top when it reaches the top's height before it leaves the column, and z follows
// in one multiply when it does leave. Below it, where caves and overhangs can be, the walk goes
// cell by cell with empty blocks skipped through the occupancy levels, until the ray hits or
// rises above the height field again. Both modes keep one set of boundary times, so a ray's
// cells are those of a plain cell-by-cell walk; no step divides.
class Walker {
public:
    explicit Walker(const Scene& scene) : s(scene) {}

    WalkEnd walk(Walk& w) {
        for (int a = 0; a < 3; ++a) {
            step[a] = w.d[a] > 0.0 ? 1 : -1;
            inverse[a] = w.d[a] != 0.0 ? 1.0 / w.d[a] : 0.0;
            tDelta[a] = w.d[a] != 0.0 ? std::abs(inverse[a]) : infinity;
        }
        boundaries(w, 0.0);
        steps = 0;
        for (;;) {
            WalkEnd end = aboveTheSurface(w);
            if (end != walkOn)
                return end;
            end = amongTheSurface(w);
            if (end != walkOn)
                return end;
        }
    }

    // Where the last hit's weight goes: the tally pair of its column's top or of its cell, or
    // none when the cell is not listed.
    std::uint64_t* tallyOfHit(const Walk& w) const {
        if (topHit >= 0)
            return s.topTally + 2 * topHit;
        const std::ptrdiff_t k = s.surfaceCell(w.c);
        return k >= 0 ? s.cellTally + 2 * k : nullptr;
    }

private:
    static constexpr WalkEnd walkOn = WalkEnd(-1);

    // The times at which the ray leaves the current cell along each axis, no earlier than now.
    void boundaries(const Walk& w, double now) {
        for (int a = 0; a < 3; ++a)
            tMax[a] = w.d[a] != 0.0 ? std::max(now, (w.c[a] + (w.d[a] > 0.0) - w.o[a]) * inverse[a])
                                    : infinity;
    }

    // Column by column while the ray's cell lies at or above its column's top.
    WalkEnd aboveTheSurface(Walk& w) {
        topHit = -1;
        for (;;) {
            // Nothing lies above the highest top: a falling ray comes down to it at once.
            if (w.d[2] < 0.0 && w.c[2] >= s.highest)
                if (const WalkEnd end = descendToTheHighestTop(w); end != walkOn)
                    return end;
            const std::size_t column = s.column(w.c);
            const int top = s.top[column];
            if (w.c[2] < top)
                return walkOn;
            if (++steps > s.maxSteps)
                return WalkEnd::Lost;
            const double tSide = std::min(tMax[0], tMax[1]);
            if (w.d[2] < 0.0) {
                const double tDown = tMax[2] + double(w.c[2] - top) * tDelta[2];
                if (tDown < tSide) {
                    if (top == 0)
                        return WalkEnd::Lost;
                    w.c[2] = top - 1;
                    w.t = tDown;
                    w.axis = 2;
                    w.step = -1;
                    topHit = std::ptrdiff_t(column);
                    return WalkEnd::Hit;
                }
            } else if (w.c[2] >= s.highest) {
                return w.d[2] > 0.0 ? WalkEnd::Escaped : WalkEnd::Lost;
            } else if (w.d[2] > 0.0 &&
                       tMax[2] + double(s.size[2] - 1 - w.c[2]) * tDelta[2] < tSide) {
                return WalkEnd::Escaped;
            }
            const int a = tMax[0] < tMax[1] ? 0 : 1;
            const double t = tMax[a];
            zAt(w, t, top);
            w.c[a] += step[a];
            tMax[a] += tDelta[a];
            if (!intoTheVolume(w, a))
                return WalkEnd::Lost;
            if (w.c[2] >= s.top[s.column(w.c)])
                continue;
            // Into the side of a column below its top: a wall, or a cave's mouth.
            if (s.bricks.isSurface(w.c)) {
                w.t = t;
                w.axis = a;
                w.step = step[a];
                return WalkEnd::Hit;
            }
            return walkOn;
        }
    }

    // Moves a falling ray to where it crosses the plane of the highest top, in whichever
    // column that is: a hit when that column's top is the highest, lost when the ray left
    // through a closed side before.
    WalkEnd descendToTheHighestTop(Walk& w) {
        const double t = tMax[2] + double(w.c[2] - s.highest) * tDelta[2];
        tMax[2] = t + tDelta[2];
        w.c[2] = s.highest - 1;
        for (int a = 0; a < 2; ++a) {
            double p = std::floor(w.o[a] + t * w.d[a]);
            if (p < 0.0 || p >= s.size[a]) {
                if (!s.periodic)
                    return WalkEnd::Lost;
                const double period = std::floor(p / s.size[a]) * s.size[a];
                p -= period;
                w.o[a] -= period;
            }
            w.c[a] = std::clamp(int(p), 0, s.size[a] - 1);
            tMax[a] = w.d[a] != 0.0 ? std::max(t, (w.c[a] + (w.d[a] > 0.0) - w.o[a]) * inverse[a])
                                    : infinity;
        }
        const std::size_t column = s.column(w.c);
        if (s.top[column] != s.highest)
            return walkOn;
        w.t = t;
        w.axis = 2;
        w.step = -1;
        topHit = std::ptrdiff_t(column);
        return WalkEnd::Hit;
    }

    // The ray's cell along z at time t, when it leaves a column across a side then: the z
    // boundaries it crossed before t, never below the column's top (it did not land on it) nor
    // into the space above the volume (it did not escape).
    void zAt(Walk& w, double t, int top) {
        if (!(tMax[2] < t))
            return;
        const double crossed =
            std::min(std::ceil((t - tMax[2]) * std::abs(w.d[2])), double(s.size[2]) + 1.0);
        int z = w.c[2] + step[2] * int(crossed);
        double next = tMax[2] + crossed * tDelta[2];
        if (next < t) {
            z += step[2];
            next += tDelta[2];
        } else if (crossed > 0.0 && next - tDelta[2] >= t) {
            z -= step[2];
            next -= tDelta[2];
        }
        w.c[2] = std::clamp(z, top, s.size[2] - 1);
        tMax[2] = next;
    }

    // Wraps a cell past a side across a periodic side, shifting the origin with it; false when
    // the ray left through a closed side.
    bool intoTheVolume(Walk& w, int a) const {
        int& c = w.c[a];
        if (c >= 0 && c < s.size[a])
            return true;
        if (!s.periodic)
            return false;
        const int period = int(std::floor(double(c) / s.size[a])) * s.size[a];
        c -= period;
        w.o[a] -= period;
        return true;
    }

    // Cell by cell below the height field, empty blocks at a time.
    WalkEnd amongTheSurface(Walk& w) {
        topHit = -1;
        for (;;) {
            if (++steps > s.maxSteps)
                return WalkEnd::Lost;
            int a = tMax[0] < tMax[1] ? 0 : 1;
            a = tMax[2] < tMax[a] ? 2 : a;
            const double t = tMax[a];
            w.c[a] += step[a];
            tMax[a] += tDelta[a];
            WalkEnd end = enter(w, a, step[a], t);
            if (end != walkOn)
                return end;
            if (w.c[2] >= s.top[s.column(w.c)])
                return walkOn;
            // Empty space is crossed a block at a time.
            const int emptyShift = !s.blocks.holds(w.c)   ? s.blocks.shift
                                   : !s.bricks.holds(w.c) ? SurfaceBricks::shift
                                                          : 0;
            if (!emptyShift)
                continue;
            double tExit;
            end = jump(w, emptyShift, tExit);
            if (end != walkOn)
                return end;
            boundaries(w, tExit);
            if (w.c[2] >= s.top[s.column(w.c)])
                return walkOn;
        }
    }

    // The ray has stepped along axis a into w.c at time t.
    WalkEnd enter(Walk& w, int a, int step, double t) const {
        if (a == 2) {
            if (w.c[2] >= s.size[2])
                return WalkEnd::Escaped;
            if (w.c[2] < 0)
                return WalkEnd::Lost;
        } else if (!intoTheVolume(w, a)) {
            return WalkEnd::Lost;
        }
        if (!s.bricks.isSurface(w.c))
            return walkOn;
        w.t = t;
        w.axis = a;
        w.step = step;
        return WalkEnd::Hit;
    }

    // Moves the ray to the first cell past the empty block around it.
    WalkEnd jump(Walk& w, int shift, double& tExit) const {
        int lo[3], hi[3];
        tExit = infinity;
        int exitAxis = 2;
        for (int a = 0; a < 3; ++a) {
            lo[a] = (w.c[a] >> shift) << shift;
            hi[a] = std::min(lo[a] + (1 << shift), s.size[a]);
            if (w.d[a] == 0.0)
                continue;
            const double te = ((w.d[a] > 0.0 ? hi[a] : lo[a]) - w.o[a]) * inverse[a];
            if (te < tExit) {
                tExit = te;
                exitAxis = a;
            }
        }
        for (int a = 0; a < 3; ++a) {
            if (a == exitAxis)
                continue;
            const double p = std::floor(w.o[a] + tExit * w.d[a]);
            w.c[a] = int(std::clamp(p, double(lo[a]), double(hi[a] - 1)));
        }
        const int step = w.d[exitAxis] > 0.0 ? 1 : -1;
        w.c[exitAxis] = step > 0 ? hi[exitAxis] : lo[exitAxis] - 1;
        return enter(w, exitAxis, step, tExit);
    }

    const Scene& s;
    double inverse[3] = {}, tDelta[3] = {}, tMax[3] = {};
    int step[3] = {};
    long steps = 0;
    // The column whose top the last hit landed on, or -1.
    std::ptrdiff_t topHit = -1;
};
// A source ray's start on the top face, in cells, and its direction.
void drawSourceRay(RandomStream& random, const int size[3], double exponent, double origin[3],
                   double direction[3]) {
    origin[0] = random.uniform() * size[0];
    origin[1] = random.uniform() * size[1];
    origin[2] = size[2];
    cosinePowerDirection(random, exponent, 2, -1, direction);
}

// A lock prefix costs more than the add and stalls the loads behind it, so it is only paid when
// other threads add too.
void add(const Scene& s, std::uint64_t& tally, std::uint64_t weight) {
    if (s.shared)
        __atomic_fetch_add(&tally, weight, __ATOMIC_RELAXED);
    else
        tally += weight;
}

// Traces batch `batch` of the run's rays; returns the ray segments traced.
std::uint64_t traceBatch(const Scene& s, std::uint64_t batch, std::uint64_t rayCount) {
    Walker walker(s);
    const std::uint64_t first = batch * raysPerBatch;
    const std::uint64_t end = std::min(rayCount, first + raysPerBatch);
    std::uint64_t segments = 0;
    for (std::uint64_t ray = first; ray < end; ++ray) {
        RandomStream random(s.seed, s.pass, ray);
        Walk w;
        double direction[3];
        drawSourceRay(random, s.size, s.exponent, w.o, direction);
        w.c[0] = std::min(int(w.o[0]), s.size[0] - 1);
        w.c[1] = std::min(int(w.o[1]), s.size[1] - 1);
        w.c[2] = s.size[2];
        for (int a = 0; a < 3; ++a)
            w.d[a] = direction[a] / s.cellSize[a];
        double weight = 1.0;
        for (int bounces = 0;; ++bounces) {
            ++segments;
            if (walker.walk(w) != WalkEnd::Hit)
                break;
            std::uint64_t* const tallies = walker.tallyOfHit(w);
            if (!tallies)
                break;
            const std::uint64_t tally = std::uint64_t(std::llround(weight * weightScale));
            add(s, tallies[0], tally);
            if (bounces == 0)
                add(s, tallies[1], tally);
            weight *= 1.0 - double(s.sticking[s.uniformSticking ? 0 : s.material(w.c)]);
            if (!(weight > 0.0) || bounces >= s.bounceLimit)
                break;
            if (weight < rouletteWeight) {
                if (random.uniform() * rouletteWeight >= weight)
                    break;
                weight = rouletteWeight;
            }
            // Re-emitted from the point hit, out of the empty cell it came from.
            const int a = w.axis;
            double p[3];
            for (int b = 0; b < 3; ++b)
                p[b] = w.o[b] + w.t * w.d[b];
            p[a] = w.step > 0 ? w.c[a] : w.c[a] + 1;
            w.c[a] -= w.step;
            if (w.c[2] >= s.size[2])
                break;
            if (a != 2 && (w.c[a] < 0 || w.c[a] >= s.size[a])) {
                const int period = w.c[a] < 0 ? s.size[a] : -s.size[a];
                w.c[a] += period;
                p[a] += period;
            }
            for (int b = 0; b < 3; ++b) {
                if (b != a)
                    p[b] = std::clamp(p[b], double(w.c[b]), double(w.c[b] + 1));
                w.o[b] = p[b];
            }
            cosinePowerDirection(random, 1.0, a, -w.step, direction);
            for (int b = 0; b < 3; ++b)
                w.d[b] = direction[b] / s.cellSize[b];
        }
    }
    return segments;
}

// Faces of the cell at (x, y, z) of material that lie on empty cells.
unsigned exposedFaces(const Scene& s, int x, int y, int z) {
    const auto emptyAt = [&](int nx, int ny, int nz) {
        if (nz >= s.size[2])
            return true;
        if (nz < 0)
            return false;
        if (nx < 0 || nx >= s.size[0] || ny < 0 || ny >= s.size[1]) {
            if (!s.periodic)
                return false;
            nx = (nx + s.size[0]) % s.size[0];
            ny = (ny + s.size[1]) % s.size[1];
        }
        return s.cells[std::ptrdiff_t(nx) * s.strideX + std::ptrdiff_t(ny) * s.size[2] + nz] == 0;
    };
    unsigned faces = 0;
    faces |= emptyAt(x, y, z - 1) ? 1u : 0u;
    faces |= emptyAt(x, y, z + 1) ? 2u : 0u;
    faces |= emptyAt(x, y - 1, z) ? 4u : 0u;
    faces |= emptyAt(x, y + 1, z) ? 8u : 0u;
    faces |= emptyAt(x - 1, y, z) ? 16u : 0u;
    faces |= emptyAt(x + 1, y, z) ? 32u : 0u;
    return faces;
}

} // namespace

QString FluxSettings::refusal() const {
    const auto probability = [](double p) { return std::isfinite(p) && p >= 0.0 && p <= 1.0; };
    if (!std::isfinite(sourceExponent) || sourceExponent < 0.0 || sourceExponent > 1.0e6)
        return QStringLiteral("The source exponent must be a number from 0 to 1000000, not %1.")
            .arg(sourceExponent);
    if (!probability(sticking))
        return QStringLiteral("The sticking probability must be a number from 0 to 1, not %1.")
            .arg(sticking);
    for (const auto& [material, p] : materialSticking)
        if (!probability(p))
            return QStringLiteral("The sticking probability of material %1 must be a number "
                                  "from 0 to 1, not %2.")
                .arg(material)
                .arg(p);
    if (raysPerCell < 1 || raysPerCell > 1000000)
        return QStringLiteral("The rays per surface cell must be a whole number from 1 to "
                              "1000000, not %1.")
            .arg(raysPerCell);
    if (bounceLimit < 0 || bounceLimit > 1000000)
        return QStringLiteral("The bounce limit must be a whole number from 0 to 1000000, not %1.")
            .arg(bounceLimit);
    return QString();
}

SourceRay sourceRay(const FluxSettings& settings, const int size[3], std::uint64_t ray) {
    RandomStream random(settings.seed, settings.pass, ray);
    SourceRay out;
    drawSourceRay(random, size, settings.sourceExponent, out.origin, out.direction);
    return out;
}

SurfaceFlux::CellIndex SurfaceFlux::cell(std::size_t k) const {
    // The column holding entry k: the last whose start is not past it.
    const auto after = std::upper_bound(columnStart.begin(), columnStart.end(), std::uint64_t(k));
    const CellIndex column = CellIndex(after - columnStart.begin() - 1);
    return column * sizeZ + z[k];
}

std::ptrdiff_t SurfaceFlux::find(CellIndex index) const {
    if (columnStart.empty() || sizeZ == 0)
        return -1;
    const CellIndex column = index / sizeZ;
    if (column + 1 >= columnStart.size())
        return -1;
    const std::uint32_t cellZ = std::uint32_t(index - column * sizeZ);
    const auto begin = z.begin() + std::ptrdiff_t(columnStart[column]);
    const auto end = z.begin() + std::ptrdiff_t(columnStart[column + 1]);
    const auto found = std::lower_bound(begin, end, cellZ);
    return found != end && *found == cellZ ? found - z.begin() : -1;
}

std::ptrdiff_t SurfaceFlux::topOfColumn(unsigned x, unsigned y) const {
    if (x >= sizeX || y >= sizeY || columnStart.empty())
        return -1;
    const CellIndex column = CellIndex(x) * sizeY + y;
    const std::uint64_t begin = columnStart[column], end = columnStart[column + 1];
    return begin == end ? -1 : std::ptrdiff_t(end - 1);
}

SurfaceFlux FluxEngine::compute(Model::Automaton::TotalVolume& volume, const FluxSettings& settings,
                                Util::ProgressReporter& progress) {
    const Model::Automaton::CellArraysLock locked(
        volume, Model::Automaton::CellArraysLock::Arrays::Current);
    return compute(Model::Automaton::CellGrid::of(volume, locked.materials()), settings, progress);
}

SurfaceFlux FluxEngine::compute(const Model::Automaton::CellGrid& grid,
                                const FluxSettings& settings, Util::ProgressReporter& progress) {
    SurfaceFlux flux;
    flux.sizeX = unsigned(std::max(grid.sizeX, 0));
    flux.sizeY = unsigned(std::max(grid.sizeY, 0));
    flux.sizeZ = unsigned(std::max(grid.sizeZ, 0));
    if (std::uint64_t(flux.sizeX) * flux.sizeY * flux.sizeZ == 0)
        return flux;
    const MaterialCells cells = grid.cells;

    Scene s;
    s.cells = cells;
    s.size[0] = int(flux.sizeX);
    s.size[1] = int(flux.sizeY);
    s.size[2] = int(flux.sizeZ);
    s.strideX = std::ptrdiff_t(flux.sizeY) * flux.sizeZ;
    s.periodic = settings.periodicSides;
    for (int a = 0; a < 3; ++a)
        s.cellSize[a] = grid.cellSize[a];
    s.exponent = settings.sourceExponent;
    s.bounceLimit = settings.bounceLimit;
    s.seed = settings.seed;
    s.pass = settings.pass;
    s.sticking.assign(std::size_t(Model::Automaton::largestMaterialId) + 1,
                      float(settings.sticking));
    for (const auto& [material, p] : settings.materialSticking)
        if (material < s.sticking.size()) {
            s.sticking[material] = float(p);
            s.uniformSticking = s.uniformSticking && float(p) == float(settings.sticking);
        }
    // A ray that has crossed the volume this often along every axis is grazing a face.
    s.maxSteps = 64L * (long(s.size[0]) + s.size[1] + s.size[2]) + 4096;

    // The surface, strip by strip, then joined in strip order: cell order.
    Model::Automaton::StripPartition partition(flux.sizeX);
    struct StripSurface {
        std::vector<std::uint32_t> z;
        std::vector<std::uint8_t> faces;
    };
    std::vector<StripSurface> found(std::size_t(partition.count()));
    const std::size_t columns = std::size_t(flux.sizeX) * flux.sizeY;
    flux.columnStart.assign(columns + 1, 0);
    partition.watch(progress);
    partition.runPass([&](const Model::Automaton::Strip& strip) {
        StripSurface& mine = found[std::size_t(strip.index)];
        for (int x = int(strip.begin); x < int(strip.end); ++x)
            for (int y = 0; y < s.size[1]; ++y) {
                const MaterialCells column =
                    cells + (std::ptrdiff_t(x) * s.strideX + std::ptrdiff_t(y) * s.size[2]);
                std::uint64_t count = 0;
                for (int z = 0; z < s.size[2]; ++z) {
                    if (column[z] == 0)
                        continue;
                    const unsigned faces = exposedFaces(s, x, y, z);
                    if (!faces)
                        continue;
                    mine.z.push_back(std::uint32_t(z));
                    mine.faces.push_back(std::uint8_t(faces));
                    ++count;
                }
                flux.columnStart[std::size_t(x) * flux.sizeY + std::size_t(y) + 1] = count;
            }
    });
    for (std::size_t c = 0; c < columns; ++c)
        flux.columnStart[c + 1] += flux.columnStart[c];
    const std::size_t n = std::size_t(flux.columnStart[columns]);
    flux.z.reserve(n);
    flux.faces.reserve(n);
    for (StripSurface& strip : found) {
        flux.z.insert(flux.z.end(), strip.z.begin(), strip.z.end());
        flux.faces.insert(flux.faces.end(), strip.faces.begin(), strip.faces.end());
        strip = StripSurface();
    }
    flux.direct.assign(n, 0.f);
    flux.total.assign(n, 0.f);
    if (n == 0)
        return flux;

    s.bricks.setUp(s.size);
    s.blocks.setUp(6, s.size);
    // A column's highest cell of material is its last surface cell.
    s.top.assign(columns, 0);
    for (std::size_t column = 0; column < columns; ++column)
        if (flux.columnStart[column + 1] > flux.columnStart[column]) {
            s.top[column] = std::int32_t(flux.z[flux.columnStart[column + 1] - 1]) + 1;
            s.highest = std::max(s.highest, int(s.top[column]));
        }
    for (std::size_t column = 0; column < columns; ++column) {
        const int x = int(column / flux.sizeY), y = int(column % flux.sizeY);
        for (std::uint64_t k = flux.columnStart[column]; k < flux.columnStart[column + 1]; ++k) {
            s.bricks.set(x, y, int(flux.z[k]));
            s.blocks.set(x, y, int(flux.z[k]));
        }
    }

    std::vector<std::uint64_t> cellTally(2 * n, 0), topTally(2 * columns, 0);
    s.surfaceZ = flux.z.data();
    s.columnStart = flux.columnStart.data();
    s.cellTally = cellTally.data();
    s.topTally = topTally.data();

    const std::uint64_t rayCount = std::uint64_t(settings.raysPerCell) * n;
    const std::uint64_t batches = (rayCount + raysPerBatch - 1) / raysPerBatch;
    const int threads = std::max(1, QThreadPool::globalInstance()->maxThreadCount());
    std::atomic<std::uint64_t> segments{0};
    for (std::uint64_t round = 0; round < batches; round += batchesPerRound) {
        progress.stopIfCancelled();
        const std::uint64_t roundEnd = std::min(batches, round + batchesPerRound);
        std::atomic<std::uint64_t> next{round};
        const auto work = [&](int) {
            std::uint64_t traced = 0;
            for (std::uint64_t b = next++; b < roundEnd; b = next++)
                traced += traceBatch(s, b, rayCount);
            segments += traced;
        };
        // Which thread traces which batch changes nothing: tallies are integer sums.
        const int tasks = int(std::min<std::uint64_t>(std::uint64_t(threads), roundEnd - round));
        s.shared = tasks > 1;
        if (tasks <= 1)
            work(0);
        else
            Util::runTasksAndWait(*QThreadPool::globalInstance(), tasks, work);
    }
    flux.sourceRays = rayCount;
    flux.tracedRays = segments;
    for (std::size_t column = 0; column < columns; ++column)
        if (flux.columnStart[column + 1] > flux.columnStart[column]) {
            const std::size_t k = std::size_t(flux.columnStart[column + 1]) - 1;
            cellTally[2 * k] += topTally[2 * column];
            cellTally[2 * k + 1] += topTally[2 * column + 1];
        }

    const double sourceArea = double(s.size[0]) * s.cellSize[0] * double(s.size[1]) * s.cellSize[1];
    const double faceArea[6] = {s.cellSize[0] * s.cellSize[1], s.cellSize[0] * s.cellSize[1],
                                s.cellSize[0] * s.cellSize[2], s.cellSize[0] * s.cellSize[2],
                                s.cellSize[1] * s.cellSize[2], s.cellSize[1] * s.cellSize[2]};
    const double perWeight = sourceArea / (double(rayCount) * weightScale);
    for (std::size_t k = 0; k < n; ++k) {
        double area = 0.0;
        for (int f = 0; f < 6; ++f)
            if (flux.faces[k] >> f & 1u)
                area += faceArea[f];
        flux.direct[k] = float(double(cellTally[2 * k + 1]) * perWeight / area);
        flux.total[k] = float(double(cellTally[2 * k]) * perWeight / area);
    }
    return flux;
}

} // namespace Model::Transport
