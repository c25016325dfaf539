#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/marchingcubesurface.h"
#include "Model/Automaton/totalvolume.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::CellGrid;
using Model::Automaton::CutWindow;
using Model::Automaton::MarchingCubeSurface;
using Model::Automaton::TotalVolume;
using Model::Automaton::Triangle;

namespace {

CutWindow wholeVolume(const TotalVolume& volume) {
    CutWindow window;
    window.max = {int(volume.getSizeX()), int(volume.getSizeY()), int(volume.getSizeZ())};
    return window;
}

std::vector<Triangle> build(TotalVolume& volume, const CutWindow& window, int threads = 1) {
    const Model::Automaton::CellArraysLock locked(
        volume, Model::Automaton::CellArraysLock::Arrays::Current);
    MarchingCubeSurface surface;
    surface.build(CellGrid::of(volume, locked.materials()), window, threads);
    return surface.getTriangles();
}

std::shared_ptr<TotalVolume> ball(int size, float radius, int material = 1) {
    const float c = (size - 1) / 2.f;
    return testing_support::makeVolume(size, size, size, [=](int x, int y, int z) {
        const float dx = x - c, dy = y - c, dz = z - c;
        return dx * dx + dy * dy + dz * dz <= radius * radius ? material : 0;
    });
}

using Point = std::array<float, 3>;
Point pointOf(const float* p) {
    return {p[0], p[1], p[2]};
}

} // namespace

TEST(MarchingCubeSurface, BallInsideTheVolumeIsClosedAndFacesOutwards) {
    auto volume = ball(16, 5.f);
    const std::vector<Triangle> triangles = build(*volume, wholeVolume(*volume));
    ASSERT_GT(triangles.size(), 100u);

    // Every edge must be shared by exactly two triangles, walked once each way.
    std::map<std::pair<Point, Point>, int> directed;
    for (const Triangle& t : triangles) {
        for (int i = 0; i < 3; ++i) {
            const Point a = pointOf(t.vertices[i].position);
            const Point b = pointOf(t.vertices[(i + 1) % 3].position);
            ASSERT_NE(a, b) << "degenerate triangle";
            ++directed[{a, b}];
        }
    }
    for (const auto& [edge, count] : directed) {
        EXPECT_EQ(count, 1) << "edge walked twice the same way";
        const auto reverse = directed.find({edge.second, edge.first});
        EXPECT_TRUE(reverse != directed.end()) << "open edge";
    }

    // Flat normals point away from the ball's centre.
    const float c = 7.5f;
    int inward = 0;
    for (const Triangle& t : triangles) {
        const float* p = t.vertices[0].position;
        float n[3];
        const float* a = t.vertices[0].position;
        const float* b = t.vertices[1].position;
        const float* d = t.vertices[2].position;
        const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const float v[3] = {d[0] - a[0], d[1] - a[1], d[2] - a[2]};
        n[0] = u[1] * v[2] - u[2] * v[1];
        n[1] = u[2] * v[0] - u[0] * v[2];
        n[2] = u[0] * v[1] - u[1] * v[0];
        if (n[0] * (p[0] - c) + n[1] * (p[1] - c) + n[2] * (p[2] - c) < 0)
            ++inward;
    }
    EXPECT_EQ(inward, 0);
}

TEST(MarchingCubeSurface, LowestLayerOfTheWindowDoesNotContributeButTheLayerAboveItDoes) {
    // Only the bottom layer filled: it is the window's lowest layer, so nothing is drawn.
    auto bottom = testing_support::makeVolume(4, 4, 4, [](int, int, int z) { return z == 0; });
    EXPECT_TRUE(build(*bottom, wholeVolume(*bottom)).empty());

    // A cell just above a window that ends at z = 2 is sampled; one two layers above is not.
    auto layer2 = testing_support::makeVolume(
        4, 4, 6, [](int x, int y, int z) { return x == 1 && y == 1 && z == 2 ? 1 : 0; });
    CutWindow window = wholeVolume(*layer2);
    window.max[2] = 2;
    EXPECT_FALSE(build(*layer2, window).empty());
    window.max[2] = 1;
    EXPECT_TRUE(build(*layer2, window).empty());
}

TEST(MarchingCubeSurface, VerticesLieOnEdgeMidpointsAndCarryTheFilledCornersMaterial) {
    auto volume = testing_support::makeVolume(
        3, 3, 3, [](int x, int y, int z) { return x == 1 && y == 1 && z == 1 ? 9 : 0; }, 2.f, 1.f,
        1.f);
    const std::vector<Triangle> triangles = build(*volume, wholeVolume(*volume));
    // One filled grid point: the eight cubes around it each cut off one corner.
    ASSERT_EQ(triangles.size(), 8u);
    for (const Triangle& t : triangles) {
        for (const auto& v : t.vertices) {
            EXPECT_EQ(v.material, 9);
            // Exactly one coordinate is half way between grid points (x in units of 2).
            const float gx = v.position[0] / 2.f, gy = v.position[1], gz = v.position[2];
            int halves = 0;
            for (float g : {gx, gy, gz})
                halves += std::fabs(g - std::round(g)) > 0.25f;
            EXPECT_EQ(halves, 1);
            EXPECT_NEAR(std::fabs(gx - 1) + std::fabs(gy - 1) + std::fabs(gz - 1), 0.5f, 1e-5f);
        }
    }
}

TEST(MarchingCubeSurface, SmoothedNormalsAreUnitAndAgreeWhereVerticesMeet) {
    auto volume = ball(14, 4.5f);
    const std::vector<Triangle> triangles = build(*volume, wholeVolume(*volume));
    std::map<Point, Point> normalAt;
    for (const Triangle& t : triangles) {
        for (const auto& v : t.vertices) {
            const float length = std::sqrt(v.normal[0] * v.normal[0] + v.normal[1] * v.normal[1] +
                                           v.normal[2] * v.normal[2]);
            EXPECT_NEAR(length, 1.f, 1e-4f);
            const auto [it, inserted] = normalAt.emplace(pointOf(v.position), pointOf(v.normal));
            if (!inserted) {
                for (int a = 0; a < 3; ++a)
                    EXPECT_FLOAT_EQ(it->second[a], v.normal[a]);
            }
        }
    }
}

// A corner's normal is the normalised sum of the flat normals of every corner whose edge rounds
// up to the same grid point, or its own triangle's flat normal where that sum is zero: worked
// out here from the triangles alone, on a ball with thin sheets beside it.
TEST(MarchingCubeSurface, EachCornerTakesItsGridPointsSumOrItsOwnFlatNormal) {
    auto volume = testing_support::makeVolume(15, 12, 12, [](int x, int y, int z) {
        const float dx = float(x) - 4.f, dy = float(y) - 5.5f, dz = float(z) - 5.5f;
        return dx * dx + dy * dy + dz * dz <= 9.f || (x == 10 && y > 1 && y < 10) ||
                       (z == 8 && x > 9 && x < 13 && y > 2)
                   ? 1
                   : 0;
    });
    const std::vector<Triangle> triangles = build(*volume, wholeVolume(*volume));
    ASSERT_FALSE(triangles.empty());
    const auto flat = [](const Triangle& t) {
        const float* a = t.vertices[0].position;
        const float* b = t.vertices[1].position;
        const float* c = t.vertices[2].position;
        const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        Point n = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (float& component : n)
            component /= length;
        return n;
    };
    // Cells are unit cubes, so a corner's grid point is its position rounded up.
    const auto gridPoint = [](const float* p) {
        return Point{std::ceil(p[0]), std::ceil(p[1]), std::ceil(p[2])};
    };
    std::map<Point, Point> sums;
    for (const Triangle& t : triangles) {
        const Point n = flat(t);
        for (const auto& v : t.vertices) {
            Point& sum = sums.try_emplace(gridPoint(v.position), Point{0, 0, 0}).first->second;
            for (int a = 0; a < 3; ++a)
                sum[std::size_t(a)] += n[std::size_t(a)];
        }
    }
    for (const Triangle& t : triangles) {
        for (const auto& v : t.vertices) {
            Point expected = sums.at(gridPoint(v.position));
            const float length = std::sqrt(expected[0] * expected[0] + expected[1] * expected[1] +
                                           expected[2] * expected[2]);
            if (length < 1e-6f) {
                expected = flat(t);
            } else {
                for (float& component : expected)
                    component /= length;
            }
            for (int a = 0; a < 3; ++a)
                EXPECT_NEAR(v.normal[a], expected[std::size_t(a)], 1e-5f);
        }
    }
}

TEST(MarchingCubeSurface, ThreadCountDoesNotChangeTheSurface) {
    auto volume = testing_support::makeVolume(23, 9, 11, [](int x, int y, int z) {
        return (x * 7 + y * 3 + z * 5) % 11 < 4 ? 1 + (x + z) % 3 : 0;
    });
    CutWindow window = wholeVolume(*volume);
    window.min = {2, 1, 0};
    window.max = {20, 9, 8};
    const std::vector<Triangle> reference = build(*volume, window, 1);
    ASSERT_FALSE(reference.empty());
    for (int threads : {2, 3, 8, 40}) {
        const std::vector<Triangle> other = build(*volume, window, threads);
        ASSERT_EQ(other.size(), reference.size()) << threads << " threads";
        for (std::size_t i = 0; i < other.size(); ++i) {
            for (int v = 0; v < 3; ++v) {
                for (int a = 0; a < 3; ++a) {
                    EXPECT_EQ(other[i].vertices[v].position[a],
                              reference[i].vertices[v].position[a]);
                    EXPECT_EQ(other[i].vertices[v].normal[a], reference[i].vertices[v].normal[a]);
                }
                EXPECT_EQ(other[i].vertices[v].material, reference[i].vertices[v].material);
            }
        }
    }
}

TEST(MarchingCubeSurface, RebuildingOneSurfaceGivesWhatAFreshSurfaceGives) {
    // A rebuild reuses the previous build's buffers: nothing of a larger surface, of another
    // split into tasks or of another cell size may be left over.
    const auto stripes = testing_support::makeVolume(
        19, 7, 9, [](int x, int y, int z) { return (x + 2 * y + 3 * z) % 5 < 2 ? 1 : 0; });
    const auto stretched = testing_support::makeVolume(
        12, 8, 6, [](int x, int y, int z) { return x * x + y + z < 40 ? 2 : 0; }, 0.7f, 1.f, 1.6f);
    const auto small = ball(8, 2.5f, 3);
    const std::pair<TotalVolume*, int> builds[] = {{stripes.get(), 3},
                                                   {stretched.get(), 1},
                                                   {small.get(), 2},
                                                   {stripes.get(), 8},
                                                   {stretched.get(), 2}};
    MarchingCubeSurface surface;
    for (const auto& [volume, threads] : builds) {
        {
            const Model::Automaton::CellArraysLock locked(
                *volume, Model::Automaton::CellArraysLock::Arrays::Current);
            surface.build(CellGrid::of(*volume, locked.materials()), wholeVolume(*volume), threads);
        }
        const std::vector<Triangle> rebuilt = surface.getTriangles();
        const std::vector<Triangle> fresh = build(*volume, wholeVolume(*volume), threads);
        ASSERT_EQ(rebuilt.size(), fresh.size()) << threads << " threads";
        ASSERT_EQ(surface.getTriangleCount(), fresh.size());
        for (std::size_t i = 0; i < fresh.size(); ++i) {
            for (int v = 0; v < 3; ++v) {
                const auto& a = rebuilt[i].vertices[v];
                const auto& b = fresh[i].vertices[v];
                EXPECT_EQ(pointOf(a.position), pointOf(b.position));
                EXPECT_EQ(pointOf(a.normal), pointOf(b.normal));
                EXPECT_EQ(a.material, b.material);
            }
        }
    }
    surface.clear();
    EXPECT_EQ(surface.getTriangleCount(), 0u);
}

// Columns taller than a word of the slice bits, cut at and between word borders: the surface
// crosses exactly the grid edges from a filled point inside the window to an empty one,
// counted here point by point.
TEST(MarchingCubeSurface, CrossesExactlyTheEdgesBetweenFilledAndEmptyPointsInTallColumns) {
    const int size[3] = {5, 4, 140};
    auto volume = testing_support::makeVolume(size[0], size[1], size[2], [](int x, int y, int z) {
        return (x * 13 + y * 7 + z * 5 + z / 9) % 6 < 3 ? 1 + z % 2 : 0;
    });
    const std::array<int, 6> windows[] = {
        {0, 0, 0, 5, 4, 140}, {1, 0, 3, 4, 4, 130}, {0, 1, 63, 5, 3, 128}, {0, 0, 64, 5, 4, 139}};
    for (const auto& w : windows) {
        CutWindow window;
        window.min = {w[0], w[1], w[2]};
        window.max = {w[3], w[4], w[5]};
        SCOPED_TRACE(testing::Message() << "z from " << w[2] << " to " << w[5]);
        const auto filled = [&](const std::array<int, 3>& p) {
            for (int a = 0; a < 3; ++a) {
                if (p[a] <= w[a] || p[a] > std::min(w[a + 3], size[a] - 1))
                    return false;
            }
            return testing_support::materialAt(*volume, p[0], p[1], p[2]) != 0;
        };
        std::set<std::array<int, 3>> crossed; // doubled midpoints
        for (int x = 0; x < size[0]; ++x)
            for (int y = 0; y < size[1]; ++y)
                for (int z = 0; z < size[2]; ++z) {
                    const std::array<int, 3> p{x, y, z};
                    if (!filled(p))
                        continue;
                    for (int a = 0; a < 3; ++a)
                        for (int step : {-1, 1}) {
                            std::array<int, 3> q = p;
                            q[a] += step;
                            if (!filled(q))
                                crossed.insert({p[0] + q[0], p[1] + q[1], p[2] + q[2]});
                        }
                }
        std::set<std::array<int, 3>> vertices;
        for (const Triangle& triangle : build(*volume, window, 2))
            for (const auto& vertex : triangle.vertices)
                vertices.insert({int(std::lround(2 * vertex.position[0])),
                                 int(std::lround(2 * vertex.position[1])),
                                 int(std::lround(2 * vertex.position[2]))});
        EXPECT_FALSE(crossed.empty());
        EXPECT_EQ(vertices, crossed);
    }
}

} // namespace CELLVANE_TEST_FILE
