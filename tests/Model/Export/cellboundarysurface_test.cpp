#include "Model/Automaton/volumebudget.h"
#include "Model/Export/cellboundarysurface.h"
#include "support/exportscenes.h"

#include <gtest/gtest.h>

#include <random>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::TotalVolume;
using Model::Export::CellBoundarySurface;
using Model::Export::MaterialSurface;
using namespace testing_support;

namespace {

std::vector<MaterialSurface> surfacesOf(TotalVolume& volume) {
    std::vector<MaterialSurface> surfaces;
    QString reason;
    EXPECT_TRUE(CellBoundarySurface::build(volume, surfaces, &reason)) << reason.toStdString();
    return surfaces;
}

void expectClosedManifolds(TotalVolume& volume, const std::string& scene) {
    const double cellVolume =
        double(volume.getCellSizeX()) * volume.getCellSizeY() * volume.getCellSizeZ();
    const auto counts = cellCounts(volume);
    const auto surfaces = surfacesOf(volume);
    ASSERT_EQ(surfaces.size(), counts.size()) << scene;
    for (const MaterialSurface& surface : surfaces) {
        SCOPED_TRACE(scene + ", material " + std::to_string(surface.material));
        const MeshFacts facts = examine(surface);
        EXPECT_EQ(facts.unmatchedEdges, 0);
        EXPECT_EQ(facts.reusedEdges, 0);
        EXPECT_EQ(facts.degenerate, 0);
        EXPECT_EQ(facts.wrongNormals, 0);
        EXPECT_EQ(facts.pinchedVertices, 0);
        EXPECT_EQ(surface.cellCount, counts.at(int(surface.material)));
        EXPECT_NEAR(facts.volume, double(surface.cellCount) * cellVolume, 1e-9 * facts.volume);
    }
}

} // namespace

TEST(CellBoundarySurface, ContactsAlongEdgesAndCornersStayClosedTwoManifolds) {
    // Two cells of a 2 x 2 x 2 block: every way two cells can touch, and the checkerboard.
    const std::vector<std::pair<std::string, std::set<std::array<int, 3>>>> blocks = {
        {"one cell", {{0, 0, 0}}},
        {"two cells sharing a side", {{0, 0, 0}, {0, 0, 1}}},
        {"two cells sharing an edge", {{0, 0, 0}, {1, 1, 0}}},
        {"two cells sharing a corner", {{0, 0, 0}, {1, 1, 1}}},
        {"checkerboard", {{0, 0, 0}, {1, 1, 0}, {1, 0, 1}, {0, 1, 1}}},
        {"six cells around two corner-touching holes",
         {{1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 1}, {1, 0, 1}, {0, 1, 1}}},
    };
    for (const auto& [name, filled] : blocks) {
        auto volume = makeVolume(2, 2, 2, [&filled = filled](int x, int y, int z) {
            return filled.count({x, y, z}) ? exportSilicon : 0;
        });
        expectClosedManifolds(*volume, name);
    }
    expectClosedManifolds(*exportScene(), "trench, overhang, void and pinches");
}

TEST(CellBoundarySurface, RandomVolumesOfSeveralMaterialsGiveClosedTwoManifolds) {
    std::mt19937 random(16);
    for (int round = 0; round < 40; ++round) {
        std::uniform_int_distribution<int> pick(0, round % 2 ? 3 : 1);
        auto volume = makeVolume(5, 4, 6, [&](int, int, int) {
            static const int materials[] = {0, exportSilicon, exportOxide, exportAluminium};
            return materials[pick(random)];
        });
        expectClosedManifolds(*volume, "random volume " + std::to_string(round));
    }
}

TEST(CellBoundarySurface, ScaledAndPlacedBoxWithInterfacesInBothMaterials) {
    // Silicon below, oxide above: the interface appears in both surfaces, facing opposite ways.
    auto volume = makeVolume(
        3, 2, 4, [](int, int, int z) { return z < 2 ? exportSilicon : exportOxide; }, 0.5f, 2.f,
        0.25f);
    volume->translate(Util::Vector3D(10, -5, 3));
    const auto surfaces = surfacesOf(*volume);
    ASSERT_EQ(surfaces.size(), 2u);

    std::multiset<std::array<float, 4>> facing[2];
    for (int s = 0; s < 2; ++s) {
        const MaterialSurface& surface = surfaces[std::size_t(s)];
        float low[3] = {1e9f, 1e9f, 1e9f}, high[3] = {-1e9f, -1e9f, -1e9f};
        for (std::size_t v = 0; v < surface.vertexCount(); ++v)
            for (int a = 0; a < 3; ++a) {
                low[a] = std::min(low[a], surface.vertices[3 * v + std::size_t(a)]);
                high[a] = std::max(high[a], surface.vertices[3 * v + std::size_t(a)]);
            }
        EXPECT_FLOAT_EQ(low[0], 10.f);
        EXPECT_FLOAT_EQ(high[0], 11.5f);
        EXPECT_FLOAT_EQ(low[1], -5.f);
        EXPECT_FLOAT_EQ(high[1], -1.f);
        EXPECT_FLOAT_EQ(low[2], s == 0 ? 3.f : 3.5f);
        EXPECT_FLOAT_EQ(high[2], s == 0 ? 3.5f : 4.f);
        EXPECT_NEAR(examine(surface).volume, 12 * 0.25, 1e-12);
        // Triangles on the interface plane, by their corner sums and winding.
        for (std::size_t t = 0; t < surface.triangleCount(); ++t) {
            const int side = surface.sides[t];
            if (side != Model::Geometry::PlusZ && side != Model::Geometry::MinusZ)
                continue;
            std::array<float, 4> key{0, 0, 0, side == Model::Geometry::PlusZ ? 1.f : -1.f};
            for (int k = 0; k < 3; ++k)
                for (int a = 0; a < 3; ++a)
                    key[std::size_t(a)] +=
                        surface.vertices[3 * surface.triangles[3 * t + std::size_t(k)] +
                                         std::size_t(a)];
            if (key[2] == 3 * 3.5f)
                facing[s].insert(key);
        }
    }
    EXPECT_EQ(facing[0].size(), 12u);
    std::multiset<std::array<float, 4>> flipped;
    for (auto key : facing[1]) {
        key[3] = -key[3];
        flipped.insert(key);
    }
    EXPECT_EQ(facing[0], flipped);
}

TEST(CellBoundarySurface, RefusesSurfacesThatWouldNotFitInMemory) {
    auto volume = exportScene();
    Model::Automaton::VolumeBudget::setAvailableBytesForTesting(1000);
    std::vector<MaterialSurface> surfaces;
    QString reason;
    EXPECT_FALSE(CellBoundarySurface::build(*volume, surfaces, &reason));
    Model::Automaton::VolumeBudget::setAvailableBytesForTesting(0);
    EXPECT_TRUE(surfaces.empty());
    EXPECT_TRUE(reason.contains(QStringLiteral("memory"))) << reason.toStdString();
    // The cells were let go: building again works.
    EXPECT_EQ(surfacesOf(*volume).size(), 3u);
}

} // namespace CELLVANE_TEST_FILE
