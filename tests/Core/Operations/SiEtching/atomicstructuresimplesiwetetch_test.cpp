#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"
#include "Core/Operations/SiEtching/siwetetchscenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace CELLVANE_TEST_FILE {

using Core::Operations::AtomicStructureSimpleSiWetEtch;
using Core::Operations::WetEtchKernel;
using Model::Automaton::AtomId;
using Model::Automaton::SiAtom;
using Model::Automaton::TotalVolume;
using namespace testing_support;

namespace {

void etch(TotalVolume& volume, double depth) {
    AtomicStructureSimpleSiWetEtch engine(volume, depth);
    engine.runEtching();
}

int siliconAtoms(TotalVolume& volume) {
    const auto lattice = volume.getSiLattice();
    int count = 0;
    for (AtomId id = 0; id < lattice->latticeAtomCount(); ++id)
        count += lattice->atom(id).state == SiAtom::Silicon;
    return count;
}

} // namespace

TEST(WetEtchSteps, FourStepsPerLatticeConstantAndNoneForNegativeDepths) {
    EXPECT_EQ(WetEtchKernel::stepCount(10.0), 40u);
    EXPECT_EQ(WetEtchKernel::stepCount(0.1), 0u);
    EXPECT_EQ(WetEtchKernel::stepCount(0.125), 1u);
    EXPECT_EQ(WetEtchKernel::stepCount(0.0), 0u);
    EXPECT_EQ(WetEtchKernel::stepCount(-3.0), 0u);
    EXPECT_EQ(WetEtchKernel::stepCount(std::nan("")), 0u);
}

TEST(AtomisticWetEtch, FlatHundredSurfaceRecedesOneLayerPerStep) {
    QuietEtching quiet;
    // The volume's side faces hold the crystal like bulk, so (111) walls grow inwards from
    // them; the middle of a wide enough volume shows the free (100) surface.
    auto volume = flatSilicon(20, 20, 13, 12);
    ASSERT_TRUE(volume->rebuildSiLattice());
    AtomicStructureSimpleSiWetEtch engine(*volume, 10.0);
    engine.runEtching();
    EXPECT_EQ(engine.getStepsRun(), 40u);
    for (int x = 8; x < 12; ++x) {
        for (int y = 8; y < 12; ++y) {
            EXPECT_EQ(materialAt(*volume, x, y, 1), 1) << x << ", " << y;
            EXPECT_EQ(materialAt(*volume, x, y, 2), 0) << x << ", " << y;
        }
    }
    // Near the faces the walls left silicon standing.
    EXPECT_EQ(materialAt(*volume, 0, 10, 9), 1);
    EXPECT_EQ(countMismatches(*volume), 0);
}

TEST(AtomisticWetEtch, DepthOfAnEighthRemovesExactlyTheTopLayer) {
    QuietEtching quiet;
    auto volume = flatSilicon(6, 6, 6, 4);
    ASSERT_TRUE(volume->rebuildSiLattice());
    const auto lattice = volume->getSiLattice();
    const int before = siliconAtoms(*volume);

    etch(*volume, 0.1);
    EXPECT_EQ(siliconAtoms(*volume), before);

    AtomicStructureSimpleSiWetEtch engine(*volume, 0.125);
    engine.runEtching();
    EXPECT_EQ(engine.getStepsRun(), 1u);
    int removedTop = 0;
    for (AtomId id = 0; id < lattice->latticeAtomCount(); ++id) {
        const Util::Vector3D p = lattice->atomPosition(id);
        const SiAtom& atom = lattice->atom(id);
        if (atom.cellIndex < 0 || p.z > 3.8)
            continue;
        if (p.z == 3.75) {
            if (p.x > 1 && p.x < 5 && p.y > 1 && p.y < 5) {
                EXPECT_EQ(atom.state, SiAtom::Empty) << p.x << ", " << p.y;
            }
            removedTop += atom.state == SiAtom::Empty;
        } else if (p.x > 1 && p.x < 5 && p.y > 1 && p.y < 5) {
            EXPECT_EQ(atom.state, SiAtom::Silicon) << p.x << ", " << p.y << ", " << p.z;
        }
    }
    EXPECT_EQ(siliconAtoms(*volume), before - removedTop);
    // The top cells lost a layer but are still silicon.
    EXPECT_EQ(materialAt(*volume, 3, 3, 3), 1);
    EXPECT_EQ(countMismatches(*volume), 0);
}

TEST(AtomisticWetEtch, NegativeDepthRunsNoStep) {
    QuietEtching quiet;
    auto volume = flatSilicon(5, 5, 5, 3);
    ASSERT_TRUE(volume->rebuildSiLattice());
    const EtchResult before = resultOf(*volume);
    AtomicStructureSimpleSiWetEtch engine(*volume, -2.0);
    engine.runEtching();
    EXPECT_EQ(engine.getStepsRun(), 0u);
    EXPECT_EQ(resultOf(*volume).materials, before.materials);
    EXPECT_EQ(resultOf(*volume).atomCounts, before.atomCounts);
}

TEST(AtomisticWetEtch, MaskOpeningGivesAPitBoundedByStableHundredElevenWalls) {
    QuietEtching quiet;
    // A 6 x 6 opening: the pit closes as an inverted pyramid about 6 / 2 * sqrt(2) cells deep.
    auto volume = maskedSilicon(12, 12, 12, 10, 3, 9);
    ASSERT_TRUE(volume->rebuildSiLattice());
    etch(*volume, 8.0);
    const EtchResult first = resultOf(*volume);

    for (int x = 0; x < 12; ++x) {
        for (int y = 0; y < 12; ++y) {
            const bool open = x >= 3 && x < 9 && y >= 3 && y < 9;
            // The mask is never etched, and nothing is etched under it.
            EXPECT_EQ(materialAt(*volume, x, y, 10), open ? 0 : oxide) << x << ", " << y;
            if (!open) {
                EXPECT_EQ(materialAt(*volume, x, y, 9), 1) << "undercut at " << x << ", " << y;
            }
        }
    }
    // An inverted pyramid: the centre went down four cells to the tip, the walls close in.
    EXPECT_EQ(materialAt(*volume, 5, 6, 7), 0);
    EXPECT_EQ(materialAt(*volume, 6, 6, 7), 0);
    EXPECT_EQ(materialAt(*volume, 5, 6, 5), 1);
    EXPECT_EQ(materialAt(*volume, 4, 6, 9), 0);
    EXPECT_EQ(materialAt(*volume, 3, 6, 8), 1);
    EXPECT_EQ(materialAt(*volume, 8, 6, 8), 1);
    EXPECT_EQ(materialAt(*volume, 4, 6, 7), 1);

    // The walls do not recede: etching on changes nothing.
    etch(*volume, 4.0);
    EXPECT_EQ(resultOf(*volume).materials, first.materials);
    EXPECT_EQ(resultOf(*volume).atomCounts, first.atomCounts);
    EXPECT_EQ(countMismatches(*volume), 0);

    const auto lattice = volume->getSiLattice();
    for (AtomId id = 0; id < lattice->latticeAtomCount(); ++id) {
        const SiAtom& atom = lattice->atom(id);
        if (atom.cellIndex < 0)
            continue;
        const Util::Vector3D p = lattice->atomPosition(id);
        if (p.z >= 10.0 && p.z < 11.0 && materialAt(*volume, int(p.x), int(p.y), 10) == oxide) {
            EXPECT_EQ(atom.state, SiAtom::Fixed);
        }
    }
}

TEST(AtomisticWetEtch, SameCellsForOneTwoThreeAndEightThreads) {
    QuietEtching quiet;
    auto run = [](int threads) {
        PoolThreads pool(threads);
        // Off-centre opening, so the strips see different work.
        auto volume = makeVolume(19, 13, 9, [](int x, int y, int z) {
            if (z < 7)
                return 1;
            if (z == 7)
                return x >= 2 && x < 13 && y >= 3 && y < 8 ? 0 : oxide;
            return 0;
        });
        EXPECT_TRUE(volume->rebuildSiLattice());
        etch(*volume, 2.5);
        return resultOf(*volume);
    };
    const EtchResult single = run(1);
    EXPECT_NE(std::count(single.materials.begin(), single.materials.end(), 1),
              19 * 13 * 7); // something was etched
    for (int threads : {2, 3, 8})
        EXPECT_TRUE(run(threads) == single) << threads << " threads";
}

TEST(AtomisticWetEtch, RemovedAtomsComeBackWhileTheirCellIsSilicon) {
    QuietEtching quiet;
    auto volume = flatSilicon(6, 6, 6, 4);
    ASSERT_TRUE(volume->rebuildSiLattice());
    const EtchResult built = resultOf(*volume);
    etch(*volume, 0.25);
    EXPECT_NE(resultOf(*volume).atomCounts, built.atomCounts);
    // A run without steps takes the lattice as the cells are now: the top cells are still
    // silicon, so their atoms are whole again.
    etch(*volume, 0.0);
    const EtchResult again = resultOf(*volume);
    EXPECT_EQ(again.materials, built.materials);
    EXPECT_EQ(again.atomCounts, built.atomCounts);
    EXPECT_EQ(countMismatches(*volume), 0);
}

TEST(AtomisticWetEtch, VolumeWithoutSiliconIsLeftAlone) {
    QuietEtching quiet;
    auto volume = makeVolume(6, 6, 4, [](int, int, int z) { return z < 2 ? oxide : 0; });
    ASSERT_TRUE(volume->rebuildSiLattice());
    const EtchResult before = resultOf(*volume);
    AtomicStructureSimpleSiWetEtch engine(*volume, 3.0);
    engine.runEtching();
    EXPECT_EQ(engine.getAtomsRemoved(), 0u);
    EXPECT_EQ(resultOf(*volume).materials, before.materials);
}

TEST(AtomisticWetEtch, BuildsTheLatticeWhenTheVolumeHasNone) {
    QuietEtching quiet;
    auto volume = flatSilicon(5, 5, 5, 3);
    etch(*volume, 0.5);
    ASSERT_TRUE(volume->getSiLattice());
    EXPECT_EQ(countMismatches(*volume), 0);
}

TEST(AtomisticWetEtch, BoundaryAtomsHoldTheFloorAndAreReplacedEachRun) {
    QuietEtching quiet;
    auto volume = flatSilicon(5, 5, 4, 2);
    ASSERT_TRUE(volume->rebuildSiLattice());
    const auto lattice = volume->getSiLattice();
    etch(*volume, 0.0);
    const std::size_t extras = lattice->extraAtomCount();
    EXPECT_GT(extras, 0u);
    for (AtomId e = lattice->firstExtraAtom(); e < lattice->firstExtraAtom() + extras; ++e) {
        EXPECT_EQ(lattice->atom(e).state, SiAtom::Fixed);
        EXPECT_EQ(lattice->atom(e).cellIndex, -1);
    }
    etch(*volume, 0.0);
    EXPECT_EQ(lattice->extraAtomCount(), extras);
}

TEST(AtomisticWetEtch, SamePitInMicrometresAtOneHalfAndAQuarterMicrometreCells) {
    QuietEtching quiet;
    // A 6 µm square opening in 1 µm of oxide over 6 µm of silicon, etched 3 µm deep (scene
    // units are µm here). The opening's edges run along <110>, so the pit is bounded by (111)
    // walls rising at atan(√2) = 54.74° from its (100) floor: a wall leans 3 / √2 = 2.12 µm
    // in from the mask edge at the floor.
    const double inset = 3.0 / std::sqrt(2.0);
    for (const float cell : {1.0f, 0.5f, 0.25f}) {
        SCOPED_TRACE(testing::Message() << cell << " µm cells");
        const int perMicron = int(std::lround(1.0 / cell));
        const int side = 12 * perMicron;
        const int top = 6 * perMicron;
        const int open0 = 3 * perMicron, open1 = 9 * perMicron;
        auto volume = makeVolume(
            side, side, 8 * perMicron,
            [=](int x, int y, int z) {
                if (z < top)
                    return 1;
                if (z >= top + perMicron)
                    return 0;
                return x >= open0 && x < open1 && y >= open0 && y < open1 ? 0 : oxide;
            },
            cell, cell, cell);
        ASSERT_TRUE(volume->rebuildSiLattice());
        etch(*volume, 3.0);

        // No silicon is left floating: every column is silicon from the bottom up to its top.
        int floating = 0;
        for (int x = 0; x < side; ++x)
            for (int y = 0; y < side; ++y)
                for (int z = 1; z < top; ++z)
                    floating +=
                        materialAt(*volume, x, y, z) == 1 && materialAt(*volume, x, y, z - 1) == 0;
        EXPECT_EQ(floating, 0);

        // The floor, in the middle of the opening.
        const int middle = side / 2;
        int floor = 0;
        while (floor < top && materialAt(*volume, middle, middle, floor) == 1)
            ++floor;
        EXPECT_NEAR((top - floor) * cell, 3.0, cell + 1e-9);

        // The wall on the low x side of the middle row: where silicon ends at the floor's
        // height and just under the mask.
        const auto wallAt = [&](int z) {
            int x = 0;
            while (x < middle && materialAt(*volume, x, middle, z) == 1)
                ++x;
            return x * cell;
        };
        EXPECT_NEAR(wallAt(floor) - open0 * cell, inset, cell + 1e-9);
        EXPECT_NEAR(wallAt(top - 1), open0 * cell, cell + 1e-9);
        // Nothing is etched under the mask, nor the mask itself.
        EXPECT_EQ(materialAt(*volume, open0 - 1, middle, top - 1), 1);
        EXPECT_EQ(materialAt(*volume, open0 - 1, middle, top), oxide);
    }
}

} // namespace CELLVANE_TEST_FILE
