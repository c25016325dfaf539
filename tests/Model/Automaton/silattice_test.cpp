#include "Model/Automaton/silattice.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/volumebudget.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::AtomId;
using Model::Automaton::CellIndex;
using Model::Automaton::noAtom;
using Model::Automaton::SiAtom;
using Model::Automaton::SiCell;
using Model::Automaton::SiLattice;
using Model::Automaton::TotalVolume;
using testing_support::makeVolume;

namespace {

std::shared_ptr<SiLattice> buildLattice(TotalVolume& volume) {
    EXPECT_TRUE(volume.rebuildSiLattice());
    return volume.getSiLattice();
}

// Silicon atoms per cell, counted from the lattice itself.
std::map<CellIndex, int> siliconAtomsPerCell(const SiLattice& lattice) {
    std::map<CellIndex, int> counts;
    for (AtomId id = 0; id < lattice.latticeAtomCount(); ++id) {
        if (lattice.atom(id).state == SiAtom::Silicon)
            ++counts[CellIndex(lattice.atom(id).cellIndex)];
    }
    return counts;
}

} // namespace

TEST(SiLattice, UnitCellCountsCoverTheTurnedFootprint) {
    auto volume = makeVolume(10, 10, 5, [](int, int, int) { return 1; });
    SiLattice lattice(*volume);
    EXPECT_EQ(lattice.getCellsX(), 15u);
    EXPECT_EQ(lattice.getCellsY(), 15u);
    EXPECT_EQ(lattice.getCellsZ(), 5u);
    const auto corners = lattice.getUnitCellCorners();
    ASSERT_EQ(corners.size(), 8u);
    EXPECT_DOUBLE_EQ(corners[2].x, -std::sqrt(2.0) / 2);
    EXPECT_DOUBLE_EQ(corners[6].y, std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(corners[7].z, 1.0);
    // The turned square is centred on the footprint.
    EXPECT_DOUBLE_EQ(lattice.getOrigin().x, 5.0);
    EXPECT_DOUBLE_EQ(lattice.getOrigin().y, -5.0);
}

TEST(SiLattice, VolumeWithoutSiliconHasNoCellsAndNoCounts) {
    auto volume = makeVolume(6, 5, 4, [](int, int, int z) { return z < 2 ? 2 : 0; });
    auto lattice = buildLattice(*volume);
    ASSERT_TRUE(lattice);
    EXPECT_EQ(lattice->cellCount(), 0u);
    EXPECT_EQ(lattice->latticeAtomCount(), 0u);
    for (CellIndex c = 0; c < volume->getCellCount(); ++c)
        EXPECT_EQ(lattice->atomCount(c), 0);
}

TEST(SiLattice, EveryBondPointsAlongItsSlotDirectionAndIsMutual) {
    auto volume = makeVolume(7, 6, 4, [](int x, int, int z) { return z < 3 && x > 0 ? 1 : 0; });
    auto lattice = buildLattice(*volume);
    ASSERT_GT(lattice->cellCount(), 0u);
    int bonds = 0;
    for (AtomId p = 0; p < lattice->latticeAtomCount(); ++p) {
        const SiAtom& a = lattice->atom(p);
        const Util::Vector3D from = lattice->atomPosition(p);
        for (unsigned s = 0; s < 4; ++s) {
            const AtomId q = a.neighbors[s];
            if (q == noAtom)
                continue;
            ++bonds;
            EXPECT_EQ(lattice->atom(q).neighbors[3 - s], p);
            const Util::Vector3D to = lattice->atomPosition(q);
            const double* bond = SiCell::rotatedBond[a.sublattice()][s];
            EXPECT_NEAR(to.x - from.x, bond[0], 1e-9) << "atom " << p << " slot " << s;
            EXPECT_NEAR(to.y - from.y, bond[1], 1e-9) << "atom " << p << " slot " << s;
            EXPECT_NEAR(to.z - from.z, bond[2], 1e-9) << "atom " << p << " slot " << s;
        }
    }
    EXPECT_GT(bonds, 0);
}

TEST(SiLattice, PlacementFollowsTheCellMaterials) {
    // Silicon below z = 2, a mask on half of it, empty above.
    auto volume = makeVolume(
        6, 6, 4, [](int x, int, int z) { return z < 2 ? 1 : (z == 2 && x < 3 ? 4 : 0); });
    auto lattice = buildLattice(*volume);
    const std::vector<int> cells = testing_support::materialsOf(*volume);
    int silicon = 0, fixed = 0, empty = 0, outside = 0;
    for (AtomId id = 0; id < lattice->latticeAtomCount(); ++id) {
        const SiAtom& a = lattice->atom(id);
        if (a.cellIndex < 0) {
            EXPECT_EQ(a.state, SiAtom::Fixed);
            ++outside;
            continue;
        }
        switch (cells[std::size_t(a.cellIndex)]) {
        case 1:
            EXPECT_EQ(a.state, SiAtom::Silicon);
            ++silicon;
            break;
        case 0:
            EXPECT_EQ(a.state, SiAtom::Empty);
            ++empty;
            break;
        default:
            EXPECT_EQ(a.state, SiAtom::Fixed);
            ++fixed;
        }
        const Util::Vector3D p = lattice->atomPosition(id);
        EXPECT_EQ(CellIndex(a.cellIndex),
                  volume->index(unsigned(std::floor(p.x)), unsigned(std::floor(p.y)),
                                unsigned(std::floor(p.z))));
    }
    EXPECT_GT(silicon, 0);
    EXPECT_GT(fixed, 0);
    EXPECT_GT(empty, 0);
    EXPECT_GT(outside, 0);
}

TEST(SiLattice, AtomOnTheUpperBoundaryIsOutsideAndFixed) {
    // Cells 0.75 high under a lattice constant of 0.5 (the shortest edge): the volume ends at
    // z = 2.25, exactly where the atoms of layer k = 4 at height 0.5 sit.
    auto volume = makeVolume(
        4, 4, 3, [](int, int, int) { return 1; }, 0.5f, 0.5f, 0.75f);
    auto lattice = buildLattice(*volume);
    int onBoundary = 0, justBelow = 0;
    for (AtomId id = 0; id < lattice->latticeAtomCount(); ++id) {
        const Util::Vector3D p = lattice->atomPosition(id);
        const SiAtom& a = lattice->atom(id);
        if (p.z == 2.25) {
            EXPECT_EQ(a.state, SiAtom::Fixed);
            EXPECT_EQ(a.cellIndex, -1);
            ++onBoundary;
        } else if (p.z == 2.125 && a.cellIndex >= 0) {
            EXPECT_EQ(a.state, SiAtom::Silicon);
            EXPECT_EQ(a.cellIndex % 3, 2); // fz = 2.83: the top cell
            ++justBelow;
        }
    }
    EXPECT_GT(onBoundary, 0);
    EXPECT_GT(justBelow, 0);
}

TEST(SiLattice, AtomCountsMatchTheSiliconAtomsAndRestartOnRebuild) {
    auto volume = makeVolume(8, 5, 4, [](int x, int y, int z) { return (x + y + z) % 3 ? 1 : 3; });
    auto lattice = buildLattice(*volume);
    const auto expected = siliconAtomsPerCell(*lattice);
    ASSERT_FALSE(expected.empty());

    auto checkCounts = [&] {
        const auto lattice = volume->getSiLattice();
        const std::vector<int> materials = testing_support::materialsOf(*volume);
        for (CellIndex c = 0; c < volume->getCellCount(); ++c) {
            const auto found = expected.find(c);
            const int count = found == expected.end() ? 0 : found->second;
            EXPECT_EQ(lattice->atomCount(c), count) << "cell " << c;
            if (materials[c] == 1) {
                EXPECT_GT(lattice->atomCount(c), 0) << "silicon cell " << c << " holds no atom";
            }
        }
    };
    checkCounts();
    ASSERT_TRUE(volume->rebuildSiLattice());
    EXPECT_NE(volume->getSiLattice(), lattice);
    checkCounts();
}

TEST(SiLattice, SiliconAtomsHaveAllFirstAndSecondNeighbours) {
    // A silicon block with etchant above, a mask cell on one side and the volume's faces
    // around: each silicon atom must see its whole neighbourhood as real atoms.
    auto volume = makeVolume(9, 9, 6, [](int x, int, int z) {
        if (z >= 4)
            return 0;
        return x == 4 && z == 3 ? 5 : 1;
    });
    auto lattice = buildLattice(*volume);
    int checked = 0;
    for (AtomId id = 0; id < lattice->latticeAtomCount(); ++id) {
        const SiAtom& a = lattice->atom(id);
        // The lattice starts at the volume's floor, and the footprint's corners touch the edges
        // of its turned square; beyond those the engines add boundary atoms.
        const Util::Vector3D p = lattice->atomPosition(id);
        if (a.state != SiAtom::Silicon || p.z < 0.5 || p.x < 1 || p.x > 8 || p.y < 1 || p.y > 8)
            continue;
        ++checked;
        for (const AtomId n : a.neighbors) {
            ASSERT_NE(n, noAtom) << "silicon atom " << id << " lacks a neighbour";
            for (const AtomId second : lattice->atom(n).neighbors) {
                ASSERT_NE(second, noAtom) << "silicon atom " << id << " at " << p.x << ", " << p.y
                                          << ", " << p.z << " lacks a second neighbour";
            }
        }
    }
    EXPECT_GT(checked, 0);
    // Cells without silicon are stored only next to silicon ones.
    for (std::size_t c = 0; c < lattice->cellCount(); ++c) {
        if (lattice->cell(c).holdsSilicon)
            continue;
        for (unsigned i = 0; i < 8; ++i)
            EXPECT_NE(lattice->atom(lattice->atomOfCell(c, i)).state, SiAtom::Silicon);
    }
}

TEST(SiLattice, BondCountsOfBulkAndTopSurfaceAtoms) {
    auto volume = makeVolume(10, 10, 8, [](int, int, int z) { return z < 4 ? 1 : 0; });
    auto lattice = buildLattice(*volume);
    int bulk = 0, top = 0;
    for (AtomId id = 0; id < lattice->latticeAtomCount(); ++id) {
        if (lattice->atom(id).state != SiAtom::Silicon)
            continue;
        const Util::Vector3D p = lattice->atomPosition(id);
        // Away from the side faces, where Fixed outside atoms hold the crystal.
        if (p.x < 3 || p.x > 7 || p.y < 3 || p.y > 7)
            continue;
        if (p.z == 3.75) {
            EXPECT_EQ(lattice->countBondedNeighbors(id), 2);
            EXPECT_EQ(lattice->countSecondNeighbors(id), 6);
            ++top;
        } else if (p.z >= 1.0 && p.z <= 3.0) {
            EXPECT_EQ(lattice->countBondedNeighbors(id), 4);
            EXPECT_EQ(lattice->countSecondNeighbors(id), 12) << "atom at z " << p.z;
            ++bulk;
        }
    }
    EXPECT_GT(top, 0);
    EXPECT_GT(bulk, 0);
}

TEST(SiLattice, CellLookupAndAtomIndices) {
    auto volume = makeVolume(5, 5, 3, [](int, int, int) { return 1; });
    auto lattice = buildLattice(*volume);
    ASSERT_GT(lattice->cellCount(), 2u);
    for (std::size_t c = 1; c < lattice->cellCount(); ++c)
        EXPECT_LT(lattice->cell(c - 1).key, lattice->cell(c).key);
    const std::size_t ordinal = lattice->cellCount() / 2;
    const SiCell& cell = lattice->cell(ordinal);
    EXPECT_EQ(lattice->findCell(cell.key), ordinal);
    EXPECT_EQ(lattice->findCell(0xFFFFFFF0u), lattice->cellCount());
    const AtomId sixth = lattice->atomOfCell(ordinal, 6);
    EXPECT_EQ(lattice->indexOfAtom(ordinal, sixth), 6);
    EXPECT_EQ(lattice->indexOfAtom(ordinal + 1, sixth), -1);
    EXPECT_EQ(lattice->cellOf(sixth), ordinal);
    EXPECT_EQ(lattice->atom(sixth).sublattice(), 1);
    EXPECT_EQ(lattice->atom(lattice->atomOfCell(ordinal, 5)).sublattice(), 0);

    unsigned k = cell.key % lattice->getCellsZ();
    const Util::Vector3D corner = lattice->cellPosition(ordinal);
    EXPECT_DOUBLE_EQ(corner.z, double(k));
    const Util::Vector3D first = lattice->atomPosition(lattice->atomOfCell(ordinal, 0));
    EXPECT_DOUBLE_EQ(first.x, corner.x);
    EXPECT_DOUBLE_EQ(first.y, corner.y);
}

TEST(SiLattice, ColumnRangesHoldEveryAtomOfTheirColumns) {
    auto volume = makeVolume(23, 17, 3, [](int x, int y, int) { return (x * y) % 5 ? 1 : 0; });
    auto lattice = buildLattice(*volume);
    const unsigned splits[][2] = {{0, 3}, {3, 7}, {7, 8}, {8, 20}, {20, 23}, {0, 23}};
    for (const auto& split : splits) {
        const auto ranges = lattice->cellRangesForColumns(split[0], split[1]);
        auto covered = [&](std::size_t ordinal) {
            for (const auto& r : ranges) {
                if (ordinal >= r.first && ordinal < r.second)
                    return true;
            }
            return false;
        };
        for (AtomId id = 0; id < lattice->latticeAtomCount(); ++id) {
            const SiAtom& a = lattice->atom(id);
            if (a.cellIndex < 0)
                continue;
            const unsigned column = lattice->columnOf(CellIndex(a.cellIndex));
            if (column >= split[0] && column < split[1]) {
                ASSERT_TRUE(covered(lattice->cellOf(id)))
                    << "atom " << id << " in column " << column << " missed by [" << split[0]
                    << ", " << split[1] << ")";
            }
        }
    }
}

TEST(SiLattice, BoundaryAtomsLinkAndUnlink) {
    auto volume = makeVolume(4, 4, 3, [](int, int, int z) { return z < 2 ? 1 : 0; });
    auto lattice = buildLattice(*volume);
    // Find any atom with a free slot (the lattice's outer faces have some).
    AtomId partner = noAtom;
    unsigned slot = 0;
    for (AtomId id = 0; id < lattice->latticeAtomCount() && partner == noAtom; ++id) {
        for (unsigned s = 0; s < 4; ++s) {
            if (lattice->atom(id).neighbors[s] == noAtom) {
                partner = id;
                slot = s;
                break;
            }
        }
    }
    ASSERT_NE(partner, noAtom);
    const Util::Vector3D where(1.5, 2.5, 3.5);
    const AtomId boundary = lattice->addBoundaryAtom(partner, slot, where);
    EXPECT_EQ(boundary, lattice->firstExtraAtom());
    EXPECT_EQ(lattice->extraAtomCount(), 1u);
    EXPECT_EQ(lattice->atom(partner).neighbors[slot], boundary);
    EXPECT_EQ(lattice->atom(boundary).neighbors[3 - slot], partner);
    EXPECT_EQ(lattice->atom(boundary).state, SiAtom::Fixed);
    EXPECT_EQ(lattice->atom(boundary).cellIndex, -1);
    EXPECT_NE(lattice->atom(boundary).sublattice(), lattice->atom(partner).sublattice());
    EXPECT_EQ(lattice->countBondedNeighbors(boundary), 4);
    EXPECT_DOUBLE_EQ(lattice->atomPosition(boundary).y, 2.5);
    EXPECT_EQ(lattice->cellOf(boundary), lattice->cellCount());

    lattice->clearExtraAtoms();
    EXPECT_EQ(lattice->extraAtomCount(), 0u);
    EXPECT_EQ(lattice->atom(partner).neighbors[slot], noAtom);
}

TEST(SiLattice, LinkIgnoresSlotsBeyondFour) {
    auto volume = makeVolume(3, 3, 2, [](int, int, int) { return 1; });
    auto lattice = buildLattice(*volume);
    const SiAtom before = lattice->atom(0);
    lattice->link(0, 1, 4);
    for (unsigned s = 0; s < 4; ++s)
        EXPECT_EQ(lattice->atom(0).neighbors[s], before.neighbors[s]);
}

TEST(SiLattice, RefusesWhenMemoryIsShort) {
    auto volume = makeVolume(12, 12, 6, [](int, int, int) { return 1; });
    ASSERT_TRUE(volume->rebuildSiLattice());
    Model::Automaton::VolumeBudget::setAvailableBytesForTesting(1024);
    QString reason;
    const bool built = volume->rebuildSiLattice(&reason);
    Model::Automaton::VolumeBudget::setAvailableBytesForTesting(0);
    EXPECT_FALSE(built);
    EXPECT_FALSE(volume->getSiLattice());
    EXPECT_TRUE(reason.contains(QStringLiteral("memory")));
}

TEST(SiLattice, StaysWellBelowTheMemoryOfOneObjectPerAtom) {
    EXPECT_LE(sizeof(SiAtom), 28u);
    EXPECT_LE(sizeof(SiCell), 8u);
}

TEST(SiLattice, BuildsTheSameLatticeOnAnyThreadCount) {
    // Islands of silicon under a partial mask: strips of any width cut through them.
    struct Built {
        std::vector<int> states, cells, counts;
        bool operator==(const Built& o) const {
            return states == o.states && cells == o.cells && counts == o.counts;
        }
    };
    auto build = [](int threads) {
        const testing_support::PoolThreads pool(threads);
        auto volume = makeVolume(23, 15, 9, [](int x, int y, int z) {
            if (z == 6)
                return x < 9 ? 4 : 0;
            return z < 6 && (x * 7 + y * 3 + z) % 5 != 0 ? 1 : 0;
        });
        const auto lattice = buildLattice(*volume);
        Built built;
        for (AtomId id = 0; id < lattice->latticeAtomCount(); ++id)
            built.states.push_back(lattice->atom(id).state);
        for (std::size_t c = 0; c < lattice->cellCount(); ++c)
            built.cells.push_back(int(lattice->cell(c).key) * 4 +
                                  lattice->cell(c).holdsSilicon * 2 + lattice->isCrystalCell(c));
        for (CellIndex c = 0; c < volume->getCellCount(); ++c)
            built.counts.push_back(lattice->atomCount(c));
        return built;
    };
    const Built single = build(1);
    EXPECT_FALSE(single.states.empty());
    for (int threads : {2, 3, 8})
        EXPECT_TRUE(build(threads) == single) << threads << " threads";
}

TEST(SiLattice, OneBytePerSiteOverABoxAroundTheSilicon) {
    // A silicon block in the lower middle of a tall volume: the box hugs the block, and its
    // cells away from the block keep the numbering regular without joining the crystal.
    auto volume = makeVolume(40, 40, 60, [](int x, int y, int z) {
        return z < 30 && x >= 10 && x < 30 && y >= 12 && y < 28 ? 1 : 0;
    });
    const auto lattice = buildLattice(*volume);
    const double candidates =
        8.0 * lattice->getCellsX() * lattice->getCellsY() * double(lattice->getCellsZ());
    EXPECT_LT(double(lattice->latticeAtomCount()), 0.5 * candidates);
    EXPECT_LT(double(lattice->memoryBytes()), 1.2 * double(lattice->latticeAtomCount()));

    int outside = 0;
    for (std::size_t c = 0; c < lattice->cellCount(); ++c) {
        if (lattice->isCrystalCell(c))
            continue;
        ++outside;
        EXPECT_FALSE(lattice->cell(c).holdsSilicon);
        for (unsigned i = 0; i < 8; ++i) {
            const SiAtom atom = lattice->atom(lattice->atomOfCell(c, i));
            for (const AtomId n : atom.neighbors)
                ASSERT_EQ(n, noAtom) << "cell " << c;
        }
    }
    EXPECT_GT(outside, 0);
}

TEST(SiLattice, SurfaceAtomsHaveAFreeSlotOrAnEmptyPartner) {
    auto volume = makeVolume(10, 10, 8, [](int, int, int z) { return z < 4 ? 1 : 0; });
    const auto lattice = buildLattice(*volume);
    int top = 0, bulk = 0;
    for (AtomId id = 0; id < lattice->latticeAtomCount(); ++id) {
        const Util::Vector3D p = lattice->atomPosition(id);
        if (lattice->state(id) != SiAtom::Silicon || p.x < 3 || p.x > 7 || p.y < 3 || p.y > 7)
            continue;
        if (p.z == 3.75) {
            EXPECT_TRUE(lattice->isSurfaceAtom(id));
            ++top;
        } else if (p.z >= 1.0 && p.z <= 3.0) {
            EXPECT_FALSE(lattice->isSurfaceAtom(id)) << "atom at z " << p.z;
            ++bulk;
        }
        // The snapshot and the per-field accessors agree.
        const SiAtom atom = lattice->atom(id);
        EXPECT_EQ(atom.cellIndex, lattice->cellIndexOf(id));
        EXPECT_EQ(atom.sublattice(), lattice->sublatticeOf(id));
        for (unsigned s = 0; s < 4; ++s)
            EXPECT_EQ(atom.neighbors[s], lattice->neighbor(id, s));
    }
    EXPECT_GT(top, 0);
    EXPECT_GT(bulk, 0);
}

TEST(SiLattice, EveryCellHoldsAtomsOfItsFourLayersAtAnyCellSize) {
    // The lattice constant is the shortest cell edge, so each cell of a solid block holds on
    // average the eight atoms of one unit cell, and none is left without atoms (a cell without
    // atoms could never be etched away).
    for (const float edge : {2.0f, 1.0f, 0.5f, 0.25f}) {
        auto volume = makeVolume(
            8, 8, 6, [](int, int, int) { return 1; }, edge, edge, edge);
        const auto lattice = buildLattice(*volume);
        EXPECT_DOUBLE_EQ(lattice->getLatticeConstant(), edge);
        const auto counts = siliconAtomsPerCell(*lattice);
        int total = 0;
        for (CellIndex c = 0; c < volume->getCellCount(); ++c) {
            const auto found = counts.find(c);
            ASSERT_NE(found, counts.end()) << "cell " << c << " at edge " << edge;
            // Four atomic layers per cell height, each with at least one atom in the cell.
            EXPECT_GE(found->second, 4) << "cell " << c << " at edge " << edge;
            total += found->second;
        }
        // Eight per cell, but for the sites the turned lattice puts on the block's sides.
        EXPECT_NEAR(total, 8.0 * volume->getCellCount(), 0.1 * 8.0 * volume->getCellCount())
            << edge;
        // A bond is a quarter of the body diagonal of a unit cell: √3/4 lattice constants.
        const AtomId atom = lattice->atomOfCell(lattice->cellCount() / 2, 2);
        for (unsigned slot = 0; slot < 4; ++slot) {
            const Util::Vector3D bond = lattice->bondVector(lattice->sublatticeOf(atom), slot);
            EXPECT_NEAR(std::sqrt(bond.x * bond.x + bond.y * bond.y + bond.z * bond.z),
                        std::sqrt(3.0) / 4.0 * edge, 1e-12);
        }
    }
}

} // namespace CELLVANE_TEST_FILE
