#include "Model/Automaton/cubicfacebuilder.h"
#include "Model/Automaton/surfaceoctree.h"
#include "Model/Automaton/totalvolume.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::CellGrid;
using Model::Automaton::CubicFaceBuilder;
using Model::Automaton::CutWindow;
using Model::Automaton::MaterialPalette;
using Model::Automaton::SurfaceOctree;
using Model::Automaton::TotalVolume;
using Model::Geometry::QuadFace;

namespace {

const MaterialPalette& palette() {
    static const MaterialPalette colors({{1, {0.5f, 0.5f, 0.5f, 1.f}},
                                         {3, {0.5f, 0.5f, 1.f, 1.f}},
                                         {20, {0.2f, 0.9f, 0.2f, 0.5f}},
                                         {21, {0.2f, 0.9f, 0.2f, 0.0005f}}});
    return colors;
}

CellGrid gridOf(TotalVolume& volume) {
    CellGrid grid;
    grid.cells = Model::Automaton::MaterialCells(volume.lockMaterials());
    volume.releaseMaterials(); // tests build on one thread with nobody else touching the cells
    grid.sizeX = int(volume.getSizeX());
    grid.sizeY = int(volume.getSizeY());
    grid.sizeZ = int(volume.getSizeZ());
    return grid;
}

CutWindow wholeVolume(const TotalVolume& volume) {
    CutWindow window;
    window.max = {int(volume.getSizeX()), int(volume.getSizeY()), int(volume.getSizeZ())};
    return window;
}

float area(const QuadFace& f) {
    const float u[3] = {f.vertices[1][0] - f.vertices[0][0], f.vertices[1][1] - f.vertices[0][1],
                        f.vertices[1][2] - f.vertices[0][2]};
    const float v[3] = {f.vertices[3][0] - f.vertices[0][0], f.vertices[3][1] - f.vertices[0][1],
                        f.vertices[3][2] - f.vertices[0][2]};
    const float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                        u[0] * v[1] - u[1] * v[0]};
    return std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
}

// Area per outward direction and material.
std::map<std::pair<int, int>, float> areaBySide(const std::vector<QuadFace>& faces) {
    std::map<std::pair<int, int>, float> result;
    for (const QuadFace& f : faces) {
        const int side = int(f.normal - &Model::Geometry::sideNormals[0][0]) / 3;
        result[{side, f.material}] += area(f);
    }
    return result;
}

using CellSide = std::pair<std::array<int, 3>, int>;

// How many times each side of each cell is covered by the faces.
std::map<CellSide, int> cellSides(const std::vector<QuadFace>& faces) {
    std::map<CellSide, int> result;
    for (const QuadFace& f : faces) {
        const int side = int(f.normal - &Model::Geometry::sideNormals[0][0]) / 3;
        int lo[3], hi[3];
        for (int a = 0; a < 3; ++a) {
            float mn = f.vertices[0][a], mx = f.vertices[0][a];
            for (const auto& v : f.vertices) {
                mn = std::min(mn, v[a]);
                mx = std::max(mx, v[a]);
            }
            lo[a] = int(std::lround(mn));
            hi[a] = int(std::lround(mx));
        }
        // The face lies in the plane of its axis; the cells behind it are one layer deep.
        const int axis = side / 2 == 0 ? 2 : side / 2 == 1 ? 1 : 0;
        if (side % 2 == 1)
            lo[axis] -= 1;
        hi[axis] = lo[axis] + 1;
        for (int x = lo[0]; x < hi[0]; ++x)
            for (int y = lo[1]; y < hi[1]; ++y)
                for (int z = lo[2]; z < hi[2]; ++z)
                    ++result[{{x, y, z}, side}];
    }
    return result;
}

} // namespace

TEST(SurfaceOctree, UniformBlockFillingTheWindowGivesSixLargeFaces) {
    auto volume = testing_support::makeVolume(32, 32, 32, [](int, int, int) { return 1; });
    SurfaceOctree octree;
    octree.build(gridOf(*volume), wholeVolume(*volume), palette());
    ASSERT_EQ(octree.getNodes().size(), 1u) << "a uniform block is one leaf";
    ASSERT_EQ(octree.getOpaqueFaces().size(), 6u);
    EXPECT_TRUE(octree.getTransparentFaces().empty());
    for (const QuadFace& face : octree.getOpaqueFaces()) {
        EXPECT_FLOAT_EQ(area(face), 32.f * 32.f);
        EXPECT_EQ(face.material, 1);
    }
}

TEST(SurfaceOctree, BlockInsideALargerVolumeMeetsNeighboursOfEveryLevel) {
    // 96 cells pad to a 128 root; the block is one node of size 32 whose neighbours are
    // empty nodes of size 32 and 64.
    auto volume = testing_support::makeVolume(96, 96, 96, [](int x, int y, int z) {
        return x >= 32 && x < 64 && y >= 32 && y < 64 && z >= 32 && z < 64 ? 3 : 0;
    });
    SurfaceOctree octree;
    octree.build(gridOf(*volume), wholeVolume(*volume), palette());
    ASSERT_EQ(octree.getOpaqueFaces().size(), 6u);
    for (const QuadFace& face : octree.getOpaqueFaces())
        EXPECT_FLOAT_EQ(area(face), 32.f * 32.f);
}

TEST(SurfaceOctree, CoversWhatTheDirectCubicSurfaceCoversOnceAndHidesTheRest) {
    // Opaque materials only, an irregular shape, a window that is no power of two and does
    // not start at the origin. Cut into cell sides, the octree must cover every side the
    // direct cubic surface shows, each at most once; what it covers beyond that lies against
    // an opaque cell of the window, where no one can see it.
    auto volume = testing_support::makeVolume(37, 29, 23, [](int x, int y, int z) {
        if (z < 7)
            return 1;
        if (z < 12 && (x / 5 + y / 4) % 2 == 0)
            return 3;
        return (x * x + 2 * y + z) % 13 == 0 ? 1 : 0;
    });
    CutWindow window;
    window.min = {3, 0, 2};
    window.max = {34, 27, 23};
    const CellGrid grid = gridOf(*volume);
    SurfaceOctree octree;
    octree.build(grid, window, palette());

    CubicFaceBuilder cubic(grid, window, palette());
    std::vector<Model::Geometry::CellFace> opaque, transparent;
    cubic.buildFaces(window.min[0], window.max[0], opaque, transparent);
    ASSERT_TRUE(transparent.empty());

    std::map<CellSide, int> shown;
    for (const Model::Geometry::CellFace& face : opaque) {
        const int cell = int(face.cell);
        ++shown[{
            {cell / (grid.sizeY * grid.sizeZ), cell / grid.sizeZ % grid.sizeY, cell % grid.sizeZ},
            face.side}];
    }
    const std::map<CellSide, int> covered = cellSides(octree.getOpaqueFaces());
    for (const auto& [side, count] : covered)
        EXPECT_EQ(count, 1) << "cell side covered twice";
    for (const auto& [side, count] : shown)
        EXPECT_EQ(covered.count(side), 1u) << "cell side left open";
    for (const auto& [side, count] : covered) {
        if (shown.count(side))
            continue;
        const auto& [cell, direction] = side;
        int n[3] = {cell[0], cell[1], cell[2]};
        const float* normal = Model::Geometry::sideNormals[direction];
        for (int a = 0; a < 3; ++a)
            n[a] += int(normal[a]);
        bool inside = true;
        for (int a = 0; a < 3; ++a)
            inside = inside && n[a] >= window.min[a] && n[a] < window.max[a];
        ASSERT_TRUE(inside) << "extra face on the window boundary";
        EXPECT_NE(grid.material(n[0], n[1], n[2]), 0u) << "extra face towards empty space";
    }
    EXPECT_LT(octree.getOpaqueFaces().size(), opaque.size());
}

TEST(SurfaceOctree, SeeThroughMaterialsShowTowardsEmptySpaceOnlyAndOpaqueBehindThem) {
    // Glass (alpha 0.5) on silicon: glass faces towards empty space go to the transparent
    // list, the silicon face under the glass is drawn opaque, and a nearly invisible material
    // draws nothing.
    auto volume = testing_support::makeVolume(4, 4, 4, [](int, int, int z) {
        return z < 2 ? 1 : z == 2 ? 20 : 21;
    });
    SurfaceOctree octree;
    octree.build(gridOf(*volume), wholeVolume(*volume), palette());

    const auto opaque = areaBySide(octree.getOpaqueFaces());
    const auto transparent = areaBySide(octree.getTransparentFaces());
    EXPECT_FLOAT_EQ(opaque.at({Model::Geometry::PlusZ, 1}), 16.f) << "silicon seen through glass";
    EXPECT_FLOAT_EQ(transparent.at({Model::Geometry::PlusX, 20}), 4.f);
    EXPECT_EQ(transparent.count({Model::Geometry::PlusZ, 20}), 0u)
        << "glass under another see-through material is not closed";
    for (const QuadFace& face : octree.getTransparentFaces())
        EXPECT_NE(face.material, 21);
}

TEST(SurfaceOctree, UpdateColorsHighlightsAndRestores) {
    auto volume = testing_support::makeVolume(2, 2, 2, [](int, int, int) { return 3; });
    SurfaceOctree octree;
    octree.build(gridOf(*volume), wholeVolume(*volume), palette());
    octree.updateColors(palette(), true);
    EXPECT_FLOAT_EQ(octree.getOpaqueFaces()[0].fillColor[2], 0.3f);
    EXPECT_FLOAT_EQ(octree.getOpaqueFaces()[0].fillColor[0], 0.8f);
    octree.updateColors(palette(), false);
    EXPECT_FLOAT_EQ(octree.getOpaqueFaces()[0].fillColor[2], 1.f);
}

TEST(SurfaceOctree, EmptyWindowBuildsNothing) {
    auto volume = testing_support::makeVolume(4, 4, 4, [](int, int, int) { return 1; });
    CutWindow window = wholeVolume(*volume);
    window.min[1] = 3;
    window.max[1] = 3;
    SurfaceOctree octree;
    octree.build(gridOf(*volume), window, palette());
    EXPECT_EQ(octree.getRoot(), -1);
    EXPECT_TRUE(octree.getOpaqueFaces().empty());
}

} // namespace CELLVANE_TEST_FILE
