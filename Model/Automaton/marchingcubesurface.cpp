#include "Model/Automaton/marchingcubesurface.h"

#include "Model/Automaton/columnranges.h"
#include "Model/Automaton/marchingcubetables.h"

#include <qopengl.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

namespace Model::Automaton {

namespace Tables = MarchingCubeTables;

namespace {

void normalise(float v[3]) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0.f) {
        v[0] /= length;
        v[1] /= length;
        v[2] /= length;
    }
}

void flatNormal(Triangle& triangle) {
    const float* a = triangle.vertices[0].position;
    const float* b = triangle.vertices[1].position;
    const float* c = triangle.vertices[2].position;
    const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    normalise(n);
    for (TriangleVertex& vertex : triangle.vertices)
        std::copy(n, n + 3, vertex.normal);
}

} // namespace

void MarchingCubeSurface::buildRange(const CellGrid& grid, const CutWindow& window, int xBegin,
                                     int xEnd, std::vector<Triangle>& out,
                                     std::vector<std::uint64_t>& keys) {
    const int size[3] = {grid.sizeX, grid.sizeY, grid.sizeZ};
    // A grid point samples its cell when lo <= coordinate <= hi on every axis.
    int lo[3];
    int hi[3];
    for (int axis = 0; axis < 3; ++axis) {
        lo[axis] = window.min[std::size_t(axis)] + 1;
        hi[axis] = std::min(window.max[std::size_t(axis)], size[axis] - 1);
    }
    const std::uint64_t keyStrideZ = std::uint64_t(grid.sizeZ) + 1;
    const std::uint64_t keyStrideY = std::uint64_t(grid.sizeY) + 1;

    for (int x = xBegin; x < xEnd; ++x) {
        for (int y = window.min[1]; y <= window.max[1] && y < grid.sizeY; ++y) {
            // The four z columns that corners 0-3 (and, one step up, 4-7) lie on.
            const Voxel* column[4];
            bool anyColumn = false;
            for (int c = 0; c < 4; ++c) {
                const int cx = x + Tables::cornerOffsets[c][0];
                const int cy = y + Tables::cornerOffsets[c][1];
                const bool valid = cx >= lo[0] && cx <= hi[0] && cy >= lo[1] && cy <= hi[1];
                column[c] = valid ? grid.cells + grid.index(cx, cy, 0) : nullptr;
                anyColumn = anyColumn || valid;
            }
            if (!anyColumn)
                continue;
            const auto sample = [&](int c, int z) -> std::uint32_t {
                return column[c] && z >= lo[2] && z <= hi[2] ? column[c][z].material : 0u;
            };

            std::uint32_t samples[8];
            for (int c = 0; c < 4; ++c)
                samples[c] = sample(c, window.min[2]);
            for (int z = window.min[2]; z <= window.max[2] && z < grid.sizeZ; ++z) {
                for (int c = 0; c < 4; ++c)
                    samples[c + 4] = sample(c, z + 1);
                int cube = 0;
                for (int c = 0; c < 8; ++c)
                    cube |= samples[c] != 0 ? 1 << c : 0;

                if (cube != 0 && cube != 255) {
                    TriangleVertex edgeVertex[12];
                    std::uint64_t edgeKey[12] = {};
                    const int edges = Tables::edgeTable[cube];
                    for (int e = 0; e < 12; ++e) {
                        if (!(edges & (1 << e)))
                            continue;
                        const int a = Tables::edgeCorners[e][0];
                        const int b = Tables::edgeCorners[e][1];
                        // Twice the midpoint, in whole grid units.
                        const int doubled[3] = {
                            2 * x + Tables::cornerOffsets[a][0] + Tables::cornerOffsets[b][0],
                            2 * y + Tables::cornerOffsets[a][1] + Tables::cornerOffsets[b][1],
                            2 * z + Tables::cornerOffsets[a][2] + Tables::cornerOffsets[b][2]};
                        TriangleVertex& vertex = edgeVertex[e];
                        for (int axis = 0; axis < 3; ++axis)
                            vertex.position[axis] =
                                float(doubled[axis]) * 0.5f * grid.cellSize[axis];
                        vertex.material = int(samples[a] != 0 ? samples[a] : samples[b]);
                        // The nearest grid point, halves rounded upwards.
                        const std::uint64_t kx = std::uint64_t((doubled[0] + 1) / 2);
                        const std::uint64_t ky = std::uint64_t((doubled[1] + 1) / 2);
                        const std::uint64_t kz = std::uint64_t((doubled[2] + 1) / 2);
                        edgeKey[e] = kz + (ky + kx * keyStrideY) * keyStrideZ;
                    }
                    const std::int8_t* list = Tables::triangleTable[cube];
                    for (int t = 0; list[t] >= 0; t += 3) {
                        Triangle& triangle = out.emplace_back();
                        for (int corner = 0; corner < 3; ++corner) {
                            triangle.vertices[corner] = edgeVertex[list[t + corner]];
                            keys.push_back(edgeKey[list[t + corner]]);
                        }
                        flatNormal(triangle);
                    }
                }
                for (int c = 0; c < 4; ++c)
                    samples[c] = samples[c + 4];
            }
        }
    }
}

void MarchingCubeSurface::smooth(std::vector<Triangle>& triangles,
                                 const std::vector<std::uint64_t>& keys) {
    std::vector<std::pair<std::uint64_t, std::uint32_t>> order(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        order[i] = {keys[i], std::uint32_t(i)};
    std::sort(order.begin(), order.end());

    const auto vertexAt = [&](std::uint32_t i) -> TriangleVertex& {
        return triangles[i / 3].vertices[i % 3];
    };
    for (std::size_t first = 0; first < order.size();) {
        std::size_t last = first + 1;
        while (last < order.size() && order[last].first == order[first].first)
            ++last;
        float sum[3] = {0.f, 0.f, 0.f};
        for (std::size_t k = first; k < last; ++k) {
            const float* n = vertexAt(order[k].second).normal;
            sum[0] += n[0];
            sum[1] += n[1];
            sum[2] += n[2];
        }
        // Opposite normals that cancel out (a sheet one cell thin) keep their own.
        if (sum[0] != 0.f || sum[1] != 0.f || sum[2] != 0.f) {
            normalise(sum);
            for (std::size_t k = first; k < last; ++k)
                std::copy(sum, sum + 3, vertexAt(order[k].second).normal);
        }
        first = last;
    }
}

void MarchingCubeSurface::build(const CellGrid& grid, const CutWindow& requested, int threads) {
    std::lock_guard<std::mutex> guard(mutex);
    triangles.clear();
    const CutWindow window =
        requested.clampedTo(unsigned(grid.sizeX), unsigned(grid.sizeY), unsigned(grid.sizeZ));

    std::vector<ColumnRange> ranges =
        splitColumns(window.min[0], window.max[0], grid.sizeX, threads);
    if (ranges.empty())
        ranges.push_back({0, grid.sizeX});
    std::vector<std::vector<Triangle>> parts(ranges.size());
    std::vector<std::vector<std::uint64_t>> partKeys(ranges.size());
    std::vector<std::exception_ptr> failures(ranges.size());
    runOnOwnPool(int(ranges.size()), threads, [&](int i) {
        try {
            buildRange(grid, window, ranges[std::size_t(i)].begin, ranges[std::size_t(i)].end,
                       parts[std::size_t(i)], partKeys[std::size_t(i)]);
        } catch (...) {
            failures[std::size_t(i)] = std::current_exception();
        }
    });
    for (const std::exception_ptr& failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }

    std::size_t total = 0;
    for (const auto& part : parts)
        total += part.size();
    triangles.reserve(total);
    std::vector<std::uint64_t> keys;
    keys.reserve(total * 3);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        triangles.insert(triangles.end(), parts[i].begin(), parts[i].end());
        keys.insert(keys.end(), partKeys[i].begin(), partKeys[i].end());
        std::vector<Triangle>().swap(parts[i]);
    }
    smooth(triangles, keys);
}

void MarchingCubeSurface::clear() {
    std::lock_guard<std::mutex> guard(mutex);
    std::vector<Triangle>().swap(triangles);
}

void MarchingCubeSurface::draw(const MaterialPalette& palette, bool selected) {
    std::lock_guard<std::mutex> guard(mutex);
    colors = selected ? palette.highlighted() : palette;
    glBegin(GL_TRIANGLES);
    for (const Triangle& triangle : triangles) {
        for (const TriangleVertex& vertex : triangle.vertices) {
            glNormal3fv(vertex.normal);
            glColor3fv(colors.color(std::uint32_t(vertex.material)).data());
            glVertex3fv(vertex.position);
        }
    }
    glEnd();
}

std::vector<Triangle> MarchingCubeSurface::getTriangles() const {
    std::lock_guard<std::mutex> guard(mutex);
    return triangles;
}

std::size_t MarchingCubeSurface::getTriangleCount() const {
    std::lock_guard<std::mutex> guard(mutex);
    return triangles.size();
}

} // namespace Model::Automaton
