#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/totalvolumepainter.h"
#include "Model/Materials/materialfactory.h"
#include "support/registryfiles.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::CutPlaneSet;
using Model::Automaton::MaterialPalette;
using Model::Automaton::TotalVolume;
using Model::Automaton::TotalVolumePainter;
using Model::Geometry::CellFace;
using Model::Geometry::QuadFace;
using Model::Materials::Material;

namespace {

constexpr int Silicon = 1;
constexpr int Oxide = 3;
constexpr int Red = 100;
constexpr int Glass = 101;   // alpha 0.5
constexpr int Haze = 102;    // alpha 0.05
constexpr int Unknown = 555; // never registered

class PainterTest : public TestSupport::RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        materials->updateMaterial(
            Material(Red, QStringLiteral("Red"), 1, 1, 0.3f, Util::Vector4D(1, 0, 0, 1)));
        materials->updateMaterial(
            Material(Glass, QStringLiteral("Glass"), 1, 1, 0.3f, Util::Vector4D(0, 0, 1, 0.5)));
        materials->updateMaterial(
            Material(Haze, QStringLiteral("Haze"), 1, 1, 0.3f, Util::Vector4D(0, 1, 0, 0.05)));
    }

    // A volume of the given size holding `material` in the listed cells.
    static std::shared_ptr<TotalVolume> cells(int sx, int sy, int sz,
                                              std::vector<std::array<int, 4>> filled) {
        return testing_support::makeVolume(sx, sy, sz, [filled](int x, int y, int z) {
            for (const auto& f : filled)
                if (f[0] == x && f[1] == y && f[2] == z)
                    return f[3];
            return 0;
        });
    }
};

// What tells two faces of one build apart: the cell, the side it faces and its material.
std::tuple<std::int64_t, int, int> key(const CellFace& f) {
    return {f.cell, f.side, f.material};
}
std::tuple<std::int64_t, const float*, int> key(const QuadFace& f) {
    return {f.cell, f.normal, f.material};
}

// Normal of the face's winding, (v1 - v0) x (v3 - v0).
std::array<float, 3> windingNormal(const QuadFace& f) {
    float u[3], v[3];
    for (int a = 0; a < 3; ++a) {
        u[a] = f.vertices[1][a] - f.vertices[0][a];
        v[a] = f.vertices[3][a] - f.vertices[0][a];
    }
    return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

} // namespace

TEST_F(PainterTest, OneOpaqueCellHasSixOutwardFacesAndTwoAdjacentCellsTen) {
    auto one = testing_support::makeVolume(
        3, 3, 3, [](int x, int y, int z) { return x == 1 && y == 1 && z == 1 ? Silicon : 0; }, 2.f,
        1.f, 0.5f);
    one->getPainter().rebuild();
    const auto& faces = one->getPainter().getOpaqueFaces();
    ASSERT_EQ(faces.size(), 6u);
    EXPECT_TRUE(one->getPainter().getTransparentFaces().empty());
    for (const CellFace& built : faces) {
        const QuadFace face = one->getPainter().quadOf(built);
        EXPECT_EQ(face.cell, std::int64_t(one->index(1, 1, 1)));
        EXPECT_EQ(face.fillColor, (Model::Geometry::Rgba{0.5f, 0.5f, 0.5f, 1.f}));
        // Corners span exactly the cell (2..4, 1..2, 0.5..1) and wind counter-clockwise
        // seen from outside, which is what back-face culling keeps.
        const auto n = windingNormal(face);
        float centre[3] = {0, 0, 0};
        for (const auto& v : face.vertices) {
            EXPECT_TRUE(v[0] == 2.f || v[0] == 4.f);
            EXPECT_TRUE(v[1] == 1.f || v[1] == 2.f);
            EXPECT_TRUE(v[2] == 0.5f || v[2] == 1.f);
            for (int a = 0; a < 3; ++a)
                centre[a] += v[a] / 4;
        }
        const float outward = (centre[0] - 3.f) * face.normal[0] +
                              (centre[1] - 1.5f) * face.normal[1] +
                              (centre[2] - 0.75f) * face.normal[2];
        EXPECT_GT(outward, 0.f);
        EXPECT_GT(n[0] * face.normal[0] + n[1] * face.normal[1] + n[2] * face.normal[2], 0.f);
    }

    auto two = cells(3, 3, 3, {{1, 1, 1, Silicon}, {1, 1, 2, Oxide}});
    two->getPainter().rebuild();
    EXPECT_EQ(two->getPainter().getOpaqueFaces().size(), 10u)
        << "two opaque materials hide each other too";
}

TEST_F(PainterTest, SeeThroughCellsMergeOnlyWhenVisibleEnoughAndNeverHideOpaqueOnes) {
    auto glass = cells(2, 1, 1, {{0, 0, 0, Glass}, {1, 0, 0, Glass}});
    glass->getPainter().rebuild();
    EXPECT_EQ(glass->getPainter().getTransparentFaces().size(), 10u);
    EXPECT_TRUE(glass->getPainter().getOpaqueFaces().empty());

    auto haze = cells(2, 1, 1, {{0, 0, 0, Haze}, {1, 0, 0, Haze}});
    haze->getPainter().rebuild();
    EXPECT_EQ(haze->getPainter().getTransparentFaces().size(), 12u);

    auto mixed = cells(2, 1, 1, {{0, 0, 0, Silicon}, {1, 0, 0, Glass}});
    mixed->getPainter().rebuild();
    EXPECT_EQ(mixed->getPainter().getOpaqueFaces().size(), 6u);
    EXPECT_EQ(mixed->getPainter().getTransparentFaces().size(), 6u);

    auto twoGlasses = cells(2, 1, 1, {{0, 0, 0, Glass}, {1, 0, 0, Haze}});
    twoGlasses->getPainter().rebuild();
    EXPECT_EQ(twoGlasses->getPainter().getTransparentFaces().size(), 12u);
}

TEST_F(PainterTest, CellsOnTheCutWindowShowTheirBoundaryFacesAndNothingOutsideIsBuilt) {
    auto bar = testing_support::makeVolume(5, 1, 1, [](int, int, int) { return Silicon; });
    TotalVolumePainter& painter = bar->getPainter();
    painter.setCutLimits({1, 0, 0}, {3, 1, 1});
    painter.rebuild();
    const auto& faces = painter.getOpaqueFaces();
    ASSERT_EQ(faces.size(), 10u);
    float minX = 10, maxX = -10;
    for (const CellFace& face : faces) {
        for (const auto& v : painter.quadOf(face).vertices) {
            minX = std::min(minX, v[0]);
            maxX = std::max(maxX, v[0]);
        }
    }
    EXPECT_EQ(minX, 1.f);
    EXPECT_EQ(maxX, 3.f);
}

TEST_F(PainterTest, CutLimitsSetSixNormalisedPlanes) {
    auto volume = testing_support::makeVolume(10, 10, 10, [](int, int, int) { return 0; });
    TotalVolumePainter& painter = volume->getPainter();
    painter.setCutLimits({2, 0, 1}, {8, 10, 4});
    TotalVolumePainter::Corner lower, upper;
    painter.getCutLimits(lower, upper);
    EXPECT_EQ(lower, (TotalVolumePainter::Corner{2, 0, 1}));
    EXPECT_EQ(upper, (TotalVolumePainter::Corner{8, 10, 4}));

    CutPlaneSet& planes = painter.getCutPlanes();
    EXPECT_EQ(planes.getPlanes().size(), 6u);
    EXPECT_TRUE(planes.shows(5, 5, 2));
    EXPECT_TRUE(planes.shows(2, 0, 4)) << "the limits themselves are inside";
    EXPECT_FALSE(planes.shows(1.5f, 5, 2));
    EXPECT_FALSE(planes.shows(5, 5, 4.5f));
    for (const auto& p : planes.getPlanes())
        EXPECT_NEAR(p[0] * p[0] + p[1] * p[1] + p[2] * p[2] + p[3] * p[3], 1.f, 1e-5f);

    EXPECT_FALSE(planes.add(-2.f, 0.f, 0.f, 4.f)) << "the same plane scaled is already there";
    EXPECT_FALSE(planes.add(0, 0, 0, 3)) << "a plane without a direction is refused";
    painter.setCutLimits({0, 0, 0}, {10, 10, 10});
    EXPECT_EQ(planes.getPlanes().size(), 6u) << "new limits replace the planes";
    EXPECT_TRUE(planes.shows(0, 0, 0));
}

TEST_F(PainterTest, ThreadCountDoesNotChangeTheFacesOrTheirOrder) {
    auto volume = testing_support::makeVolume(17, 6, 7, [](int x, int y, int z) {
        const int v = (x * 5 + y * 3 + z) % 9;
        return v < 3 ? Silicon : v < 5 ? Glass : v == 5 ? Oxide : 0;
    });
    TotalVolumePainter& painter = volume->getPainter();
    painter.setCutLimits({1, 0, 1}, {16, 6, 7});
    painter.setRenderEmptyVoxelOutlines(true);
    painter.setBuildThreads(1);
    painter.rebuild();
    const auto opaque = painter.getOpaqueFaces();
    const auto transparent = painter.getTransparentFaces();
    const auto empty = painter.getEmptyVoxelFaces();
    ASSERT_FALSE(opaque.empty());
    ASSERT_FALSE(transparent.empty());
    // 40 threads: the window is narrower than the thread count and builds in one piece.
    for (int threads : {2, 3, 8, 40}) {
        painter.setBuildThreads(threads);
        painter.rebuild();
        const auto same = [](const auto& a, const auto& b) {
            if (a.size() != b.size())
                return false;
            for (std::size_t i = 0; i < a.size(); ++i) {
                if (key(a[i]) != key(b[i]))
                    return false;
            }
            return true;
        };
        EXPECT_TRUE(same(painter.getOpaqueFaces(), opaque)) << threads << " threads";
        EXPECT_TRUE(same(painter.getTransparentFaces(), transparent)) << threads << " threads";
        EXPECT_TRUE(same(painter.getEmptyVoxelFaces(), empty)) << threads << " threads";
    }
}

TEST_F(PainterTest, EmptyCellsGetSixGreyFacesWhenOutlinesAreOn) {
    auto volume = cells(2, 1, 1, {{0, 0, 0, Silicon}});
    TotalVolumePainter& painter = volume->getPainter();
    painter.rebuild();
    EXPECT_TRUE(painter.getEmptyVoxelFaces().empty());
    painter.setRenderEmptyVoxelOutlines(true);
    painter.rebuild();
    ASSERT_EQ(painter.getEmptyVoxelFaces().size(), 6u);
    for (const QuadFace& face : painter.getEmptyVoxelFaces()) {
        EXPECT_EQ(face.fillColor, (Model::Geometry::Rgba{0.8f, 0.8f, 0.8f, 1.f}));
        EXPECT_GE(face.vertices[0][0], 1.f);
    }
    painter.setRenderEmptyVoxelOutlines(false);
    painter.rebuild();
    EXPECT_TRUE(painter.getEmptyVoxelFaces().empty());
}

TEST_F(PainterTest, SelectedRedMaterialIsHighlightedToGreyAndBack) {
    EXPECT_EQ(MaterialPalette::highlight({1.f, 0.f, 0.f, 1.f}),
              (Model::Geometry::Rgba{0.3f, 0.3f, 0.3f, 1.f}));
    EXPECT_EQ(MaterialPalette::highlight({0.7f, 0.69f, 0.2f, 0.4f}),
              (Model::Geometry::Rgba{0.7f - 0.7f, 0.69f + 0.3f, 0.2f + 0.3f, 0.4f}));

    auto volume = cells(1, 1, 1, {{0, 0, 0, Red}});
    TotalVolumePainter& painter = volume->getPainter();
    painter.rebuild();
    volume->setSelected(true);
    painter.updateMaterialColors();
    for (const CellFace& built : painter.getOpaqueFaces()) {
        const QuadFace face = painter.quadOf(built);
        EXPECT_FLOAT_EQ(face.fillColor[0], 0.3f);
        EXPECT_FLOAT_EQ(face.fillColor[1], 0.3f);
        EXPECT_FLOAT_EQ(face.fillColor[2], 0.3f);
        EXPECT_EQ(face.edgeColor, face.fillColor);
    }
    volume->setSelected(false);
    painter.updateMaterialColors();
    EXPECT_EQ(painter.quadOf(painter.getOpaqueFaces()[0]).fillColor,
              (Model::Geometry::Rgba{1.f, 0.f, 0.f, 1.f}));
}

TEST_F(PainterTest, RegistryColoursAreReadAtEveryRebuildAndUnknownIdsShowGrey) {
    auto volume = cells(2, 1, 1, {{0, 0, 0, Oxide}, {1, 0, 0, Unknown}});
    TotalVolumePainter& painter = volume->getPainter();
    painter.rebuild();
    EXPECT_EQ(painter.getOpaqueFaces().size(), 10u) << "an unknown id is drawn opaque";
    EXPECT_EQ(painter.quadOf(painter.getOpaqueFaces().back()).fillColor,
              (Model::Geometry::Rgba{0.5f, 0.5f, 0.5f, 1.f}));

    materials->updateMaterial(
        Material(Oxide, QStringLiteral("Thermal Si02"), 1, 1, 0.3f, Util::Vector4D(0, 1, 0, 1)));
    painter.rebuild();
    EXPECT_EQ(painter.quadOf(painter.getOpaqueFaces().front()).fillColor,
              (Model::Geometry::Rgba{0.f, 1.f, 0.f, 1.f}));
    EXPECT_EQ(painter.getMaterialColors().at(Oxide), (Model::Geometry::Rgba{0.f, 1.f, 0.f, 1.f}));
}

TEST_F(PainterTest, RebuildKeepsOnlyTheChosenSurfaceAndFollowsChangedCells) {
    auto volume = testing_support::makeVolume(6, 6, 6, [](int x, int y, int z) {
        return x > 1 && x < 4 && y > 1 && y < 4 && z > 1 && z < 4 ? Silicon : 0;
    });
    TotalVolumePainter& painter = volume->getPainter();
    painter.setAlgorithm(TotalVolumePainter::MarchingCubes);
    painter.rebuild();
    EXPECT_GT(painter.getMarchingCubes().getTriangleCount(), 0u);
    EXPECT_EQ(painter.getOpaqueFaces().size(), 24u) << "direct cubic faces are always built";

    painter.setAlgorithm(TotalVolumePainter::Octree);
    EXPECT_GT(painter.getMarchingCubes().getTriangleCount(), 0u) << "kept until the next rebuild";
    painter.rebuild();
    EXPECT_EQ(painter.getMarchingCubes().getTriangleCount(), 0u);
    EXPECT_FALSE(painter.getOctree().getOpaqueFaces().empty());

    painter.setAlgorithm(7);
    EXPECT_EQ(painter.getAlgorithm(), TotalVolumePainter::Octree) << "unknown values are ignored";

    // Cells change; setAlgorithm rebuilds the direct cubic faces at once.
    testing_support::setMaterial(*volume, volume->index(0, 0, 0), Silicon);
    painter.setAlgorithm(TotalVolumePainter::DirectCubic);
    EXPECT_EQ(painter.getOpaqueFaces().size(), 30u);
    painter.rebuild();
    EXPECT_TRUE(painter.getOctree().getOpaqueFaces().empty());
}

} // namespace CELLVANE_TEST_FILE
