#include "Model/Automaton/atomglyph.h"
#include "Model/Automaton/atomicscene.h"
#include "Model/Automaton/cutplaneset.h"
#include "Model/Automaton/silattice.h"
#include "Model/Automaton/totalvolume.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

namespace CELLVANE_TEST_FILE {

using namespace Model::Automaton;
using testing_support::makeVolume;
using Color = std::array<std::uint8_t, 4>;

namespace {

// How the tests read and change atoms, in one place.
SiAtom::AtomState stateOf(const SiLattice& lattice, AtomId id) {
    return lattice.state(id);
}
void setState(SiLattice& lattice, AtomId id, SiAtom::AtomState state) {
    lattice.setState(id, state);
}
AtomId neighbourOf(const SiLattice& lattice, AtomId id, unsigned slot) {
    return lattice.neighbor(id, slot);
}

using Point = std::tuple<long, long, long>;
// Positions compared to a thousandth of a lattice constant.
Point key(double x, double y, double z) {
    return {std::lround(x * 1000), std::lround(y * 1000), std::lround(z * 1000)};
}

const Color blue{0, 0, 255, 255}, orange{255, 127, 0, 255}, lightGreen{127, 255, 127, 255},
    yellow{255, 255, 0, 255};

// A silicon slab (z < 7) under empty space, with one atom taken out deep inside it.
struct SlabScene {
    std::shared_ptr<TotalVolume> volume =
        makeVolume(8, 8, 9, [](int, int, int z) { return z < 7 ? 1 : 0; });
    std::shared_ptr<SiLattice> lattice;
    AtomId vacancy = noAtom;
    CutPlaneSet planes;

    SlabScene() {
        EXPECT_TRUE(volume->rebuildSiLattice());
        lattice = volume->getSiLattice();
        // The silicon atom nearest the slab's centre becomes a vacancy.
        double best = 1e9;
        for (AtomId id = 0; id < lattice->latticeAtomCount(); ++id) {
            const Util::Vector3D p = lattice->atomPosition(id);
            const double d = std::abs(p.x - 4) + std::abs(p.y - 4) + std::abs(p.z - 3.5);
            if (stateOf(*lattice, id) == SiAtom::Silicon && d < best) {
                best = d;
                vacancy = id;
            }
        }
        setState(*lattice, vacancy, SiAtom::Empty);
    }

    AtomicScene build(bool surfaceOnly, int threads = 2) {
        AtomicScene scene;
        AtomicScene::Switches switches;
        switches.atoms = switches.links = true;
        switches.surfaceAtomsOnly = surfaceOnly;
        scene.buildAtoms(*volume, lattice.get(), switches, planes, threads);
        scene.buildUnitCells(*volume, lattice.get(), planes, threads);
        return scene;
    }

    // The atoms of the cells that hold silicon, by position.
    std::map<Point, AtomId> atomsByPosition() const {
        std::map<Point, AtomId> out;
        for (std::size_t c = 0; c < lattice->cellCount(); ++c) {
            if (!lattice->cell(c).holdsSilicon)
                continue;
            for (unsigned i = 0; i < 8; ++i) {
                const AtomId id = lattice->atomOfCell(c, i);
                const Util::Vector3D p = lattice->atomPosition(id);
                out[key(p.x, p.y, p.z)] = id;
            }
        }
        return out;
    }

    bool isSurface(AtomId id) const {
        for (unsigned s = 0; s < 4; ++s) {
            const AtomId n = neighbourOf(*lattice, id, s);
            if (n == noAtom || stateOf(*lattice, n) == SiAtom::Empty)
                return true;
        }
        return false;
    }
};

} // namespace

TEST(AtomicScene, BondingColoursFollowBondsAndSecondNeighbours) {
    const struct {
        int bonded, second;
        Color color;
    } cases[] = {{3, 9, blue},    {3, 11, blue},      {3, 8, orange},
                 {3, 0, orange},  {2, 4, lightGreen}, {2, 9, lightGreen},
                 {4, 12, yellow}, {1, 0, yellow},     {0, 0, yellow}};
    for (const auto& c : cases)
        EXPECT_EQ(AtomicScene::bondingColor(c.bonded, c.second), c.color)
            << c.bonded << " bonds, " << c.second;
}

TEST(AtomicScene, SurfaceAtomsAreColouredByTheirBondsAndBulkAtomsLeftOut) {
    SlabScene slab;
    const auto atoms = slab.atomsByPosition();
    const AtomicScene scene = slab.build(true);
    int aroundVacancy = 0, top = 0;
    for (const AtomicScene::Instance& a : scene.getAtoms()) {
        const auto found = atoms.find(key(a.x, a.y, a.z));
        ASSERT_NE(found, atoms.end());
        const AtomId id = found->second;
        EXPECT_NE(stateOf(*slab.lattice, id), SiAtom::Empty);
        EXPECT_TRUE(slab.isSurface(id));
        EXPECT_EQ(a.rgba, AtomicScene::bondingColor(slab.lattice->countBondedNeighbors(id),
                                                    slab.lattice->countSecondNeighbors(id)));
        for (unsigned s = 0; s < 4; ++s)
            aroundVacancy += neighbourOf(*slab.lattice, id, s) == slab.vacancy;
        // Atoms of the flat top keep two bonds (at the volume's sides their partners outside
        // it are Fixed and count).
        const bool inside = a.x > 1 && a.x < 7 && a.y > 1 && a.y < 7;
        if (inside && std::abs(a.z - 6.75) < 1e-3) {
            ++top;
            EXPECT_EQ(a.rgba, lightGreen);
        }
    }
    EXPECT_GT(top, 0);
    // The four atoms next to the vacancy lost one bond and kept nine second neighbours.
    EXPECT_EQ(aroundVacancy, 4);
    int blueAtoms = 0;
    for (const AtomicScene::Instance& a : scene.getAtoms())
        blueAtoms += a.rgba == blue;
    EXPECT_GE(blueAtoms, 4);

    // Without the filter every present atom is shown, bulk included.
    std::size_t present = 0, surface = 0;
    for (const auto& entry : atoms) {
        if (stateOf(*slab.lattice, entry.second) == SiAtom::Empty)
            continue;
        ++present;
        surface += slab.isSurface(entry.second);
    }
    EXPECT_EQ(scene.getAtoms().size(), surface);
    EXPECT_EQ(slab.build(false).getAtoms().size(), present);
    EXPECT_LT(surface, present);
}

TEST(AtomicScene, BondsToMissingPartnersEndHalfwayAndWholeBondsAreDrawnOnce) {
    SlabScene slab;
    const auto atoms = slab.atomsByPosition();
    for (bool surfaceOnly : {true, false}) {
        const AtomicScene scene = slab.build(surfaceOnly);
        const std::vector<float>& links = scene.getLinks();
        ASSERT_EQ(links.size() % 6, 0u);
        std::map<std::pair<Point, Point>, int> seen;
        const double bond = std::sqrt(3.0) / 4;
        for (std::size_t i = 0; i < links.size(); i += 6) {
            const Point from = key(links[i], links[i + 1], links[i + 2]);
            const Point to = key(links[i + 3], links[i + 4], links[i + 5]);
            const double length = std::hypot(links[i] - links[i + 3], links[i + 1] - links[i + 4],
                                             links[i + 2] - links[i + 5]);
            ASSERT_TRUE(atoms.count(from));
            const AtomId start = atoms.at(from);
            EXPECT_EQ(stateOf(*slab.lattice, start), SiAtom::Silicon);
            if (surfaceOnly) {
                EXPECT_TRUE(slab.isSurface(start)) << "bulk atoms draw no bonds";
            }
            const auto end = atoms.find(to);
            if (end != atoms.end() && stateOf(*slab.lattice, end->second) == SiAtom::Silicon) {
                EXPECT_NEAR(length, bond, 1e-5);
                ++seen[std::minmax(from, to)];
            } else {
                EXPECT_NEAR(length, bond / 2, 1e-5) << "half a bond to an Empty or Fixed atom";
            }
        }
        for (const auto& entry : seen)
            EXPECT_EQ(entry.second, 1) << "a whole bond drawn twice";
        EXPECT_FALSE(seen.empty());
    }
}

TEST(AtomicScene, CutPlanesHideWhatLiesBeyondThemWhereverTheVolumeWasMoved) {
    SlabScene slab;
    const AtomicScene whole = slab.build(false);
    // Moving the volume after its lattice was built keeps the atoms where its cells are.
    slab.volume->translate(Util::Vector4D(5, -3, 2, 0));
    const AtomicScene moved = slab.build(false);
    ASSERT_EQ(moved.getAtoms().size(), whole.getAtoms().size());
    EXPECT_EQ(moved.getAtoms().front().x, whole.getAtoms().front().x);

    ASSERT_TRUE(slab.planes.add(0, 0, 1, -5));
    EXPECT_FALSE(slab.planes.add(0, 0, 2, -10)) << "the same plane once";
    EXPECT_FALSE(slab.planes.add(0, 0, 0, 1)) << "a plane needs a direction";
    const AtomicScene cut = slab.build(false);
    ASSERT_FALSE(cut.getAtoms().empty());
    EXPECT_LT(cut.getAtoms().size(), whole.getAtoms().size());
    float highest = -1;
    for (const AtomicScene::Instance& a : cut.getAtoms())
        highest = std::max(highest, a.z);
    EXPECT_LE(highest, 5.f + 1e-5f);
    EXPECT_GE(highest, 4.75f);
    for (const AtomicScene::Instance& c : cut.getUnitCells())
        EXPECT_LE(c.z, 5.f + 1e-5f);
    EXPECT_LT(cut.getUnitCells().size(), whole.getUnitCells().size());
}

TEST(AtomicScene, SameSceneOnAnyThreadCountAndNothingWithoutALattice) {
    SlabScene slab;
    const AtomicScene one = slab.build(true, 1);
    for (int threads : {2, 3, 8}) {
        const AtomicScene other = slab.build(true, threads);
        ASSERT_EQ(other.getAtoms().size(), one.getAtoms().size()) << threads;
        for (std::size_t i = 0; i < one.getAtoms().size(); ++i) {
            const auto& a = one.getAtoms()[i];
            const auto& b = other.getAtoms()[i];
            EXPECT_EQ(std::tie(a.x, a.y, a.z, a.rgba), std::tie(b.x, b.y, b.z, b.rgba));
        }
        EXPECT_EQ(other.getLinks(), one.getLinks()) << threads;
        EXPECT_EQ(other.getUnitCells().size(), one.getUnitCells().size()) << threads;
    }

    // Boundary atoms of an etch come last, all of them, in magenta.
    const AtomId partner = slab.atomsByPosition().begin()->second;
    slab.lattice->addBoundaryAtom(partner, 0, Util::Vector3D(1, 1, 1));
    const AtomicScene withBoundary = slab.build(true);
    EXPECT_EQ(withBoundary.getAtoms().back().rgba, AtomicScene::boundaryColor);

    AtomicScene empty;
    AtomicScene::Switches all{true, true, true, true, true};
    empty.buildAtoms(*slab.volume, nullptr, all, slab.planes, 2);
    empty.buildUnitCells(*slab.volume, nullptr, slab.planes, 2);
    EXPECT_TRUE(empty.getAtoms().empty());
    EXPECT_TRUE(empty.getLinks().empty());
    EXPECT_TRUE(empty.getUnitCells().empty());
}

TEST(AtomGlyph, SphereOfRadiusOneTenthWithUnitNormalsAndOutwardBoxes) {
    const std::vector<float> sphere = AtomGlyph::sphere();
    ASSERT_EQ(sphere.size(), std::size_t(2 * 3 * 960));
    const float* normals = sphere.data() + 3 * 960;
    for (int v = 0; v < 960; ++v) {
        const float* p = sphere.data() + 3 * v;
        const float* n = normals + 3 * v;
        EXPECT_NEAR(std::hypot(p[0], p[1], p[2]), 0.1, 1e-6);
        EXPECT_NEAR(std::hypot(n[0], n[1], n[2]), 1.0, 1e-6);
        EXPECT_NEAR(p[0], 0.1f * n[0], 1e-6);
    }
    // Counter-clockwise from outside, so culling keeps the side facing the viewer.
    const auto outward = [](const float* a, const float* b, const float* c, const float* centre) {
        const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const float w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const float n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                            u[0] * w[1] - u[1] * w[0]};
        return n[0] * (a[0] - centre[0]) + n[1] * (a[1] - centre[1]) + n[2] * (a[2] - centre[2]) >
               0;
    };
    const float origin[3] = {0, 0, 0};
    for (int t = 0; t < 320; ++t) {
        const float* v = sphere.data() + 9 * t;
        EXPECT_TRUE(outward(v, v + 3, v + 6, origin)) << "triangle " << t;
    }

    auto volume = makeVolume(2, 2, 2, [](int, int, int) { return 1; });
    const auto corners = SiLattice(*volume).getUnitCellCorners();
    const std::vector<float> solid = AtomGlyph::unitCellSolid(corners);
    const std::vector<float> outline = AtomGlyph::unitCellOutline(corners);
    ASSERT_EQ(solid.size(), std::size_t(36 * 3));
    ASSERT_EQ(outline.size(), std::size_t(24 * 3));
    const float centre[3] = {0, float(std::sqrt(2.0) / 2), 0.5f};
    for (int t = 0; t < 12; ++t) {
        const float* v = solid.data() + 9 * t;
        EXPECT_TRUE(outward(v, v + 3, v + 6, centre)) << "box triangle " << t;
    }
}

} // namespace CELLVANE_TEST_FILE
