#include "Model/Automaton/crystalframe.h"
#include "Model/Automaton/silattice.h"
#include "Model/Automaton/totalvolume.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::AtomId;
using Model::Automaton::CellIndex;
using Model::Automaton::CrystalFrame;
using Model::Automaton::CrystalOrientation;
using Model::Automaton::noAtom;
using Model::Automaton::SiAtom;
using Model::Automaton::SiCell;
using Model::Automaton::TotalVolume;
using testing_support::makeVolume;

namespace {

std::shared_ptr<TotalVolume> wafer110(int sx, int sy, int sz, testing_support::MaterialAt at) {
    auto volume = makeVolume(sx, sy, sz, std::move(at));
    volume->setCrystalOrientation(CrystalOrientation::Surface110);
    return volume;
}

} // namespace

TEST(CrystalFrame, WorkingOutTheCubicCellGivesTheTablesOf100Wafers) {
    // The (110) frame is worked out by derive(); the same procedure on the cube must give the
    // tables (100) lattices are built with.
    CrystalFrame cube = CrystalFrame::of(CrystalOrientation::Surface100);
    const double identity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    ASSERT_TRUE(cube.derive(identity));
    for (unsigned s = 0; s < 8; ++s)
        for (unsigned slot = 0; slot < 4; ++slot) {
            const SiCell::Partner& want = SiCell::partners()[s][slot];
            const SiCell::Partner& got = cube.partners[s][slot];
            EXPECT_EQ(got.site, want.site) << s << " " << slot;
            EXPECT_EQ(got.di, want.di);
            EXPECT_EQ(got.dj, want.dj);
            EXPECT_EQ(got.dk, want.dk);
        }
    for (int sub = 0; sub < 2; ++sub)
        for (int slot = 0; slot < 4; ++slot)
            for (int a = 0; a < 3; ++a)
                EXPECT_NEAR(cube.bond[sub][slot][a], SiCell::rotatedBond[sub][slot][a], 1e-12);
}

TEST(CrystalFrame, A110LatticeIsDiamondWithZAlong110) {
    // Silicon with a step in it, so that bonds end on Empty and Fixed atoms as well.
    auto volume = wafer110(9, 7, 6, [](int x, int, int z) { return z < 4 - (x > 4) ? 1 : 0; });
    ASSERT_TRUE(volume->rebuildSiLattice());
    const auto lattice = volume->getSiLattice();
    ASSERT_EQ(lattice->getOrientation(), CrystalOrientation::Surface110);
    const double bondLength = std::sqrt(3.0) / 4.0;
    int bonds = 0, up = 0, flat = 0;
    std::map<CellIndex, int> silicon;
    for (AtomId p = 0; p < lattice->latticeAtomCount(); ++p) {
        const SiAtom a = lattice->atom(p);
        if (a.state == SiAtom::Silicon)
            ++silicon[CellIndex(a.cellIndex)];
        const Util::Vector3D from = lattice->atomPosition(p);
        for (unsigned s = 0; s < 4; ++s) {
            const AtomId q = a.neighbors[s];
            if (q == noAtom)
                continue;
            ++bonds;
            EXPECT_EQ(lattice->atom(q).neighbors[3 - s], p);
            EXPECT_NE(lattice->sublatticeOf(q), lattice->sublatticeOf(p));
            const Util::Vector3D to = lattice->atomPosition(q);
            const Util::Vector3D bond = lattice->bondVector(lattice->sublatticeOf(p), s);
            ASSERT_NEAR(to.x - from.x, bond.x, 1e-9) << "atom " << p << " slot " << s;
            ASSERT_NEAR(to.y - from.y, bond.y, 1e-9);
            ASSERT_NEAR(to.z - from.z, bond.z, 1e-9);
            EXPECT_NEAR(std::sqrt(bond.x * bond.x + bond.y * bond.y + bond.z * bond.z), bondLength,
                        1e-12);
            // [110] up: of an atom's four bonds two lie in its (110) layer, one rises by a
            // layer (a/(2 sqrt 2)) and one falls by one.
            if (std::abs(bond.z) < 1e-12)
                ++flat;
            else if (std::abs(std::abs(bond.z) - std::sqrt(2.0) / 4.0) < 1e-12)
                ++up;
        }
    }
    EXPECT_GT(bonds, 1000);
    EXPECT_GT(flat, 0);
    EXPECT_GT(up, 0);
    EXPECT_EQ(flat + up, bonds);
    // The counts the etches keep are the atoms the lattice holds, eight per unit volume (a
    // little more in so small a volume, whose faces keep whole layers of atoms).
    int total = 0, siliconCells = 0;
    const std::vector<int> cells = testing_support::materialsOf(*volume);
    for (CellIndex c = 0; c < volume->getCellCount(); ++c) {
        EXPECT_EQ(lattice->atomCount(c), silicon[c]) << "cell " << c;
        total += lattice->atomCount(c);
        siliconCells += cells[c] == 1;
    }
    EXPECT_NEAR(double(total) / siliconCells, 8.0, 1.0);

    // Each x strip's cell ranges hold every atom of its columns.
    for (const auto& split : {std::pair{0u, 2u}, std::pair{2u, 5u}, std::pair{5u, 9u}}) {
        const auto ranges = lattice->cellRangesForColumns(split.first, split.second);
        for (AtomId id = 0; id < lattice->latticeAtomCount(); ++id) {
            const std::int32_t c = lattice->cellIndexOf(id);
            if (c < 0 || lattice->columnOf(CellIndex(c)) < split.first ||
                lattice->columnOf(CellIndex(c)) >= split.second)
                continue;
            const std::size_t ordinal = lattice->cellOf(id);
            bool covered = false;
            for (const auto& r : ranges)
                covered = covered || (ordinal >= r.first && ordinal < r.second);
            ASSERT_TRUE(covered) << "atom " << id;
        }
    }
}

TEST(CrystalFrame, TheVolumeDropsALatticeBuiltForTheOtherOrientation) {
    auto volume = makeVolume(4, 4, 4, [](int, int, int z) { return z < 2 ? 1 : 0; });
    EXPECT_EQ(volume->getCrystalOrientation(), CrystalOrientation::Surface100);
    ASSERT_TRUE(volume->rebuildSiLattice());
    volume->setCrystalOrientation(CrystalOrientation::Surface100);
    EXPECT_TRUE(volume->getSiLattice()) << "the same orientation keeps the lattice";
    volume->setCrystalOrientation(CrystalOrientation::Surface110);
    EXPECT_FALSE(volume->getSiLattice());
}

} // namespace CELLVANE_TEST_FILE
