#include "Model/Automaton/marchingcubesurface.h"

#include "Model/Automaton/columnranges.h"
#include "Model/Automaton/marchingcubetables.h"

#include <qopengl.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <utility>

namespace Model::Automaton {

namespace Tables = MarchingCubeTables;

namespace {

using Sum = std::array<float, 3>;

void normalise(float v[3]) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0.f) {
        v[0] /= length;
        v[1] /= length;
        v[2] /= length;
    }
}

// A triangle as the surface keeps it: its corners and their materials. A billion cells make
// about ten million triangles, so the normals are not kept beside them: a corner takes its
// grid point's smooth normal or, where that has none, the triangle's flat one, both worked out
// again as the triangle is drawn.
struct StoredTriangle {
    float position[3][3];
    MaterialId material[3];
};

void flatNormal(const StoredTriangle& triangle, float n[3]) {
    const float* a = triangle.position[0];
    const float* b = triangle.position[1];
    const float* c = triangle.position[2];
    const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    n[0] = u[1] * v[2] - u[2] * v[1];
    n[1] = u[2] * v[0] - u[0] * v[2];
    n[2] = u[0] * v[1] - u[1] * v[0];
    normalise(n);
}

// Which grid points count: those with lo <= coordinate <= hi on every axis sample their cell.
struct SampleBox {
    int lo[3];
    int hi[3];

    SampleBox(const CellGrid& grid, const CutWindow& window) {
        const int size[3] = {grid.sizeX, grid.sizeY, grid.sizeZ};
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = window.min[std::size_t(axis)] + 1;
            hi[axis] = std::min(window.max[std::size_t(axis)], size[axis] - 1);
        }
    }
};

// Bit b set where ids[b] is not empty, for 64 ids in a row: most words of a slice are whole.
std::uint64_t filledBits64(const MaterialId* ids) {
#if defined(__SSE2__)
    const __m128i empty = _mm_setzero_si128();
    std::uint64_t emptyBits = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ids + 16 * k));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ids + 16 * k + 8));
        const __m128i isEmpty =
            _mm_packs_epi16(_mm_cmpeq_epi16(low, empty), _mm_cmpeq_epi16(high, empty));
        emptyBits |= std::uint64_t(std::uint32_t(_mm_movemask_epi8(isEmpty))) << (16 * k);
    }
    return ~emptyBits;
#else
    std::uint64_t word = 0;
    for (int b = 0; b < 64; ++b)
        word |= std::uint64_t(ids[b] != 0) << b;
    return word;
#endif
}

// The filled grid points of one x-slice: per y (0 to sizeY), a column of bits over z (0 to
// sizeZ). Built once per slice and shared by the two layers of cubes that touch it, so most
// cubes are classified as all empty or all filled 64 at a time without looking at a cell.
class SliceBits {
public:
    SliceBits(const CellGrid& grid, const SampleBox& box)
        : grid(grid), box(box), words(std::size_t(grid.sizeZ + 1) / 64 + 2),
          bits(std::size_t(grid.sizeY + 1) * words),
          cellCount(CellIndex(grid.sizeX) * CellIndex(grid.sizeY) * CellIndex(grid.sizeZ)) {}

    void fill(int x) {
        std::fill(bits.begin(), bits.end(), 0);
        if (x < box.lo[0] || x > box.hi[0])
            return;
        for (int y = box.lo[1]; y <= box.hi[1]; ++y) {
            const MaterialCells column = grid.cells + grid.index(x, y, 0);
            std::uint64_t* out = column_(y);
            // Each word is gathered in a register: every cell is read once, in memory order,
            // 64 at a time where those ids lie in the volume (the last few may belong to the
            // next column; the mask drops them).
            const CellIndex columnStart = grid.index(x, y, 0);
            for (int w = box.lo[2] >> 6; w <= box.hi[2] >> 6; ++w) {
                const int base = w * 64;
                const int first = std::max(box.lo[2], base) - base;
                const int last = std::min(box.hi[2], base + 63) - base;
                const std::uint64_t mask =
                    (~std::uint64_t(0) >> (63 - last)) & (~std::uint64_t(0) << first);
                if (columnStart + CellIndex(base) + 64 <= cellCount) {
                    out[w] = filledBits64(column.firstId() + base) & mask;
                    continue;
                }
                std::uint64_t word = 0;
                for (int b = first; b <= last; ++b)
                    word |= std::uint64_t(column[base + b] != 0) << b;
                out[w] = word;
            }
        }
    }
    const std::uint64_t* column(int y) const { return bits.data() + std::size_t(y) * words; }
    std::size_t wordCount() const { return words; }

private:
    std::uint64_t* column_(int y) { return bits.data() + std::size_t(y) * words; }

    const CellGrid& grid;
    const SampleBox& box;
    std::size_t words;
    std::vector<std::uint64_t> bits;
    CellIndex cellCount;
};

// Marks in `mixed` the cubes of a row whose corners lie in the four columns of slice bits (in
// corner order) and are neither all filled nor all empty: only those need triangles. False
// when there are none.
bool findMixedCubes(const std::uint64_t* const column[4], std::size_t words, std::uint64_t* mixed) {
    bool any = false;
    for (std::size_t w = 0; w + 1 < words; ++w) {
        const auto at = [&](std::size_t k, auto op) {
            return op(op(column[0][k], column[1][k]), op(column[2][k], column[3][k]));
        };
        const auto orOp = [](std::uint64_t a, std::uint64_t b) { return a | b; };
        const auto andOp = [](std::uint64_t a, std::uint64_t b) { return a & b; };
        const std::uint64_t filled = at(w, orOp), filledAbove = at(w + 1, orOp);
        const std::uint64_t full = at(w, andOp), fullAbove = at(w + 1, andOp);
        const std::uint64_t anyFilled = filled | (filled >> 1) | (filledAbove << 63);
        const std::uint64_t allFull = full & ((full >> 1) | (fullAbove << 63));
        mixed[w] = anyFilled & ~allFull;
        any = any || mixed[w] != 0;
    }
    return any;
}

int bitAt(const std::uint64_t* column, int z) {
    return int((column[z >> 6] >> (z & 63)) & 1u);
}

// What a cube's edge needs from its corners: twice its midpoint relative to twice the cube's
// lower corner, which grid point it rounds to (halves upwards), and its corners in edge order.
struct EdgeGeometry {
    int doubled[3];
    int up[3];
    int first;
    int second;
};

constexpr std::array<EdgeGeometry, 12> makeEdgeGeometry() {
    std::array<EdgeGeometry, 12> edges{};
    for (int e = 0; e < 12; ++e) {
        const int a = Tables::edgeCorners[e][0];
        const int b = Tables::edgeCorners[e][1];
        for (int axis = 0; axis < 3; ++axis) {
            const int d = Tables::cornerOffsets[a][axis] + Tables::cornerOffsets[b][axis];
            edges[std::size_t(e)].doubled[axis] = d;
            edges[std::size_t(e)].up[axis] = (d + 1) / 2;
        }
        edges[std::size_t(e)].first = a;
        edges[std::size_t(e)].second = b;
    }
    return edges;
}

constexpr std::array<EdgeGeometry, 12> edgeGeometry = makeEdgeGeometry();

} // namespace

// Smoothing gives every vertex the normalised sum of the flat normals of all vertices that
// round to the same grid point, summed in vertex order. Every vertex lies on a cell edge and
// rounds to that edge's upper end, so the keys of the cubes at x lie in the grid slices x and
// x + 1: a range keeps two slices of slot numbers instead of a map of every key, and the first
// slice, which it shares with the range before it, is summed again in order once both ranges
// are built.
struct MarchingCubeSurface::Range {
    int xBegin = 0;
    int xEnd = 0;
    bool sharesFirstSlice = false;
    std::vector<StoredTriangle> triangles;
    std::vector<std::uint32_t> vertexSlot;
    std::vector<Sum> sums;
    // Whether a slot's sum is complete yet, and then whether its vertices take it or, for
    // opposite normals that cancel out (a sheet one cell thin), keep their own.
    enum SlotState : std::uint8_t { Open, Smooth, OwnNormal };
    std::vector<SlotState> slotState;
    // Slot of each grid point (y * (sizeZ + 1) + z) of the key slices x and x + 1, by parity
    // of x; -1 for none. After the sweep, the slice xEnd is still there.
    std::vector<std::int32_t> slotAt[2];
    std::vector<std::uint32_t> touched[2];

    struct SharedVertex {
        std::uint32_t slot;
        std::uint32_t point;
        std::uint32_t vertex;
    };
    std::vector<SharedVertex> firstSlice;

    void build(const CellGrid& grid, const CutWindow& window);
    std::int32_t slotOf(int kx, std::uint32_t point) const { return slotAt[kx & 1][point]; }
    void sumAgainAfter(Range& previous);
    void settleLastSlots();
    // The triangle t with the normals of its corners.
    Triangle triangle(std::size_t t) const {
        const StoredTriangle& stored = triangles[t];
        float flat[3];
        flatNormal(stored, flat);
        Triangle out;
        for (int k = 0; k < 3; ++k) {
            TriangleVertex& vertex = out.vertices[k];
            std::copy(stored.position[k], stored.position[k] + 3, vertex.position);
            const std::uint32_t slot = vertexSlot[3 * t + std::size_t(k)];
            const float* normal = slotState[slot] == Smooth ? sums[slot].data() : flat;
            std::copy(normal, normal + 3, vertex.normal);
            vertex.material = int(stored.material[k]);
        }
        return out;
    }

private:
    std::uint32_t slotFor(int kx, std::uint32_t point) {
        std::int32_t& slot = slotAt[kx & 1][point];
        if (slot < 0) {
            slot = std::int32_t(sums.size());
            sums.push_back({0.f, 0.f, 0.f});
            slotState.push_back(Open);
            touched[kx & 1].push_back(point);
        }
        return std::uint32_t(slot);
    }
    void settle(std::uint32_t slot) {
        Sum& sum = sums[slot];
        if (sum[0] == 0.f && sum[1] == 0.f && sum[2] == 0.f) {
            slotState[slot] = OwnNormal;
        } else {
            normalise(sum.data());
            slotState[slot] = Smooth;
        }
    }
    void settleSlice(int kx) {
        for (const std::uint32_t point : touched[kx & 1])
            settle(std::uint32_t(slotAt[kx & 1][point]));
    }
    void forgetSlice(int kx) {
        for (const std::uint32_t point : touched[kx & 1])
            slotAt[kx & 1][point] = -1;
        touched[kx & 1].clear();
    }
};

void MarchingCubeSurface::Range::build(const CellGrid& grid, const CutWindow& window) {
    const SampleBox box(grid, window);
    const std::uint32_t pointsPerRow = std::uint32_t(grid.sizeZ) + 1;
    for (auto& slots : slotAt)
        slots.assign(std::size_t(grid.sizeY + 1) * pointsPerRow, -1);
    // The buffers of the previous build keep their capacity: a rebuild of a similar surface
    // neither grows them again nor maps fresh pages.
    triangles.clear();
    vertexSlot.clear();
    sums.clear();
    slotState.clear();
    firstSlice.clear();
    for (auto& points : touched)
        points.clear();

    SliceBits slices[2] = {SliceBits(grid, box), SliceBits(grid, box)};
    SliceBits* lowerSlice = &slices[0];
    SliceBits* upperSlice = &slices[1];
    const std::size_t words = lowerSlice->wordCount();
    std::vector<std::uint64_t> mixed(words);
    const int yEnd = std::min(window.max[1], grid.sizeY - 1);
    const int zBegin = window.min[2];
    const int zEnd = std::min(window.max[2], grid.sizeZ - 1);

    // The corner columns of the cubes of row y between slices `lower` and `upper`, in corner
    // order (columns 0-3; one step up in z, 4-7).
    const auto cornerColumns = [](const SliceBits& lower, const SliceBits& upper, int y) {
        return std::array<const std::uint64_t*, 4>{lower.column(y + 1), upper.column(y + 1),
                                                   upper.column(y), lower.column(y)};
    };
    // Room for every triangle the cubes that need any could make, taken once before a first
    // build: growing the lists while they fill would copy them and fault in their pages about
    // twice, and address space reserved but never written costs nothing.
    if (triangles.capacity() == 0) {
        std::size_t cubes = 0;
        upperSlice->fill(xBegin);
        for (int x = xBegin; x < xEnd; ++x) {
            std::swap(lowerSlice, upperSlice);
            upperSlice->fill(x + 1);
            for (int y = window.min[1]; y <= yEnd; ++y) {
                const auto column = cornerColumns(*lowerSlice, *upperSlice, y);
                if (!findMixedCubes(column.data(), words, mixed.data()))
                    continue;
                for (std::size_t w = 0; w + 1 < words; ++w)
                    cubes += std::size_t(__builtin_popcountll(mixed[w]));
            }
        }
        triangles.reserve(cubes * Tables::mostTrianglesPerCube);
        vertexSlot.reserve(cubes * Tables::mostTrianglesPerCube * 3);
    }
    upperSlice->fill(xBegin);

    // Vertex coordinates by twice the grid coordinate, as float(2c) * 0.5 * edge.
    const auto halves = [&](int from, int to, int axis) {
        std::vector<float> half(std::size_t(to - from) + 1);
        for (int d = from; d <= to; ++d)
            half[std::size_t(d - from)] = float(d) * 0.5f * grid.cellSize[axis];
        return half;
    };
    const std::vector<float> halfX = halves(2 * xBegin, 2 * xEnd + 2, 0);
    const std::vector<float> halfY = halves(0, 2 * grid.sizeY + 2, 1);
    const std::vector<float> halfZ = halves(0, 2 * grid.sizeZ + 2, 2);
    std::uint32_t samples[8] = {};
    float edgePosition[12][3] = {};
    MaterialId edgeMaterial[12] = {};
    int edgeKx[12] = {};
    std::uint32_t edgePoint[12] = {};
    std::uint32_t edgeSlot[12] = {};

    for (int x = xBegin; x < xEnd; ++x) {
        std::swap(lowerSlice, upperSlice);
        upperSlice->fill(x + 1);
        const SliceBits& lower = *lowerSlice;
        const SliceBits& upper = *upperSlice;
        if (x > xBegin)
            forgetSlice(x - 1);
        for (int y = window.min[1]; y <= yEnd; ++y) {
            const auto column = cornerColumns(lower, upper, y);
            if (!findMixedCubes(column.data(), words, mixed.data()))
                continue;
            // Cells of the corner columns 0-3, and their materials where the bits say filled.
            const CellIndex columnStart[4] = {grid.index(x, y + 1, 0), grid.index(x + 1, y + 1, 0),
                                              grid.index(x + 1, y, 0), grid.index(x, y, 0)};
            const auto sampleAt = [&](int c, int cz) {
                const int filled = bitAt(column[c & 3], cz);
                samples[c] = filled ? grid.cells[columnStart[c & 3] + CellIndex(cz)] : 0;
                return filled;
            };
            int previousZ = -2;
            int previousCube = 0;

            for (std::size_t w = 0; w + 1 < words; ++w) {
                for (std::uint64_t m = mixed[w]; m; m &= m - 1) {
                    const int z = int(w * 64) + __builtin_ctzll(m);
                    if (z < zBegin || z > zEnd)
                        continue;
                    // The top corners of the cube below are this cube's bottom corners.
                    int cube = 0;
                    if (z == previousZ + 1) {
                        cube = previousCube >> 4;
                        std::copy(samples + 4, samples + 8, samples);
                    } else {
                        for (int c = 0; c < 4; ++c)
                            cube |= sampleAt(c, z) << c;
                    }
                    for (int c = 4; c < 8; ++c)
                        cube |= sampleAt(c, z + 1) << c;
                    previousZ = z;
                    previousCube = cube;

                    const int edges = Tables::edgeTable[cube];
                    for (int crossed = edges; crossed; crossed &= crossed - 1) {
                        const int e = __builtin_ctz(unsigned(crossed));
                        const EdgeGeometry& g = edgeGeometry[e];
                        float* position = edgePosition[e];
                        position[0] = halfX[std::size_t(2 * (x - xBegin) + g.doubled[0])];
                        position[1] = halfY[std::size_t(2 * y + g.doubled[1])];
                        position[2] = halfZ[std::size_t(2 * z + g.doubled[2])];
                        const std::uint32_t first = samples[g.first];
                        edgeMaterial[e] = MaterialId(first != 0 ? first : samples[g.second]);
                        // The nearest grid point, halves rounded upwards.
                        const int kx = x + g.up[0];
                        edgeKx[e] = kx;
                        edgePoint[e] =
                            std::uint32_t(y + g.up[1]) * pointsPerRow + std::uint32_t(z + g.up[2]);
                        edgeSlot[e] = slotFor(kx, edgePoint[e]);
                    }
                    const std::int8_t* list = Tables::triangleTable[cube];
                    for (int t = 0; list[t] >= 0; t += 3) {
                        // Made whole here and stored once: the list is far larger than the
                        // cache, and reading a triangle back from it would wait on memory.
                        StoredTriangle& made = triangles.emplace_back();
                        for (int corner = 0; corner < 3; ++corner) {
                            const int e = list[t + corner];
                            std::copy(edgePosition[e], edgePosition[e] + 3, made.position[corner]);
                            made.material[corner] = edgeMaterial[e];
                        }
                        float n[3];
                        flatNormal(made, n);
                        for (int corner = 0; corner < 3; ++corner) {
                            const int e = list[t + corner];
                            const std::uint32_t slot = edgeSlot[e];
                            const std::uint32_t vertex = std::uint32_t(vertexSlot.size());
                            vertexSlot.push_back(slot);
                            Sum& sum = sums[slot];
                            sum[0] += n[0];
                            sum[1] += n[1];
                            sum[2] += n[2];
                            if (sharesFirstSlice && edgeKx[e] == xBegin)
                                firstSlice.push_back({slot, edgePoint[e], vertex});
                        }
                    }
                }
            }
        }
        // No later cube adds to slice x, so its sums are complete while they are still in
        // the cache. A first slice shared with the range before waits for that range's sums.
        if (!(sharesFirstSlice && x == xBegin))
            settleSlice(x);
    }
}

// The grid slice xBegin is shared with the range before: its sums start from that range's
// and go on over this range's vertices in order, as one sweep would have added them.
void MarchingCubeSurface::Range::sumAgainAfter(Range& previous) {
    std::vector<char> restarted(sums.size(), 0);
    for (const SharedVertex& shared : firstSlice) {
        if (!restarted[shared.slot]) {
            restarted[shared.slot] = 1;
            const std::int32_t before = previous.slotOf(xBegin, shared.point);
            sums[shared.slot] =
                before >= 0 ? previous.sums[std::size_t(before)] : Sum{0.f, 0.f, 0.f};
        }
        float n[3];
        flatNormal(triangles[shared.vertex / 3], n);
        Sum& sum = sums[shared.slot];
        sum[0] += n[0];
        sum[1] += n[1];
        sum[2] += n[2];
    }
    for (const SharedVertex& shared : firstSlice) {
        const std::int32_t before = previous.slotOf(xBegin, shared.point);
        if (before >= 0)
            previous.sums[std::size_t(before)] = sums[shared.slot];
    }
}

// The slices left open by the sweep (its last one and a shared first one) are complete once
// the ranges have been summed again in order.
void MarchingCubeSurface::Range::settleLastSlots() {
    for (std::size_t slot = 0; slot < sums.size(); ++slot) {
        if (slotState[slot] == Open)
            settle(std::uint32_t(slot));
    }
    std::vector<SharedVertex>().swap(firstSlice);
}

MarchingCubeSurface::MarchingCubeSurface() = default;
MarchingCubeSurface::~MarchingCubeSurface() = default;

void MarchingCubeSurface::build(const CellGrid& grid, const CutWindow& requested, int threads) {
    std::lock_guard<std::mutex> guard(mutex);
    const CutWindow window =
        requested.clampedTo(unsigned(grid.sizeX), unsigned(grid.sizeY), unsigned(grid.sizeZ));

    std::vector<ColumnRange> columns =
        splitColumns(window.min[0], window.max[0], grid.sizeX, threads);
    if (columns.empty())
        columns.push_back({0, grid.sizeX});
    ranges.resize(columns.size());
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        ranges[i].xBegin = columns[i].begin;
        ranges[i].xEnd = columns[i].end;
        ranges[i].sharesFirstSlice = i > 0;
    }
    std::vector<std::exception_ptr> failures(ranges.size());
    const auto eachRange = [&](auto&& work) {
        runOnOwnPool(int(ranges.size()), threads, [&](int i) {
            try {
                work(ranges[std::size_t(i)]);
            } catch (...) {
                failures[std::size_t(i)] = std::current_exception();
            }
        });
        for (const std::exception_ptr& failure : failures) {
            if (failure) {
                // No half-built surface is ever drawn.
                ranges.clear();
                std::rethrow_exception(failure);
            }
        }
    };

    // Sweep, then the shared slices in range order, then the smooth normals still open.
    eachRange([&](Range& range) { range.build(grid, window); });
    for (std::size_t i = 1; i < ranges.size(); ++i)
        ranges[i].sumAgainAfter(ranges[i - 1]);
    eachRange([](Range& range) { range.settleLastSlots(); });
}

void MarchingCubeSurface::clear() {
    std::lock_guard<std::mutex> guard(mutex);
    std::vector<Range>().swap(ranges);
}

void MarchingCubeSurface::draw(const MaterialPalette& palette, bool selected) {
    std::lock_guard<std::mutex> guard(mutex);
    colors = selected ? palette.highlighted() : palette;
    glBegin(GL_TRIANGLES);
    for (const Range& range : ranges) {
        for (std::size_t t = 0; t < range.triangles.size(); ++t) {
            for (const TriangleVertex& vertex : range.triangle(t).vertices) {
                glNormal3fv(vertex.normal);
                glColor3fv(colors.color(std::uint32_t(vertex.material)).data());
                glVertex3fv(vertex.position);
            }
        }
    }
    glEnd();
}

std::vector<Triangle> MarchingCubeSurface::getTriangles() const {
    std::lock_guard<std::mutex> guard(mutex);
    std::vector<Triangle> all;
    all.reserve(countTriangles());
    for (const Range& range : ranges)
        for (std::size_t t = 0; t < range.triangles.size(); ++t)
            all.push_back(range.triangle(t));
    return all;
}

std::size_t MarchingCubeSurface::getTriangleCount() const {
    std::lock_guard<std::mutex> guard(mutex);
    return countTriangles();
}

std::size_t MarchingCubeSurface::countTriangles() const {
    std::size_t total = 0;
    for (const Range& range : ranges)
        total += range.triangles.size();
    return total;
}

} // namespace Model::Automaton
