#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/volumebudget.h"
#include "Util/colorscheme.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <stdexcept>

using Model::Automaton::TotalVolume;
using Model::Automaton::VolumeBudget;
using Model::Automaton::Voxel;

namespace {

std::vector<int> countingMaterials(std::size_t n) {
    std::vector<int> m(n);
    for (std::size_t i = 0; i < n; ++i)
        m[i] = int(i % 7);
    return m;
}

} // namespace

TEST(TotalVolume, CellIndexRunsZFastestAndXSlowest) {
    TotalVolume volume(3, 4, 5, 1.f, 1.f, 1.f, Util::Vector3D(), countingMaterials(60));
    EXPECT_EQ(volume.index(2, 3, 4), 59u);
    EXPECT_EQ(volume.index(0, 0, 1), 1u);
    EXPECT_EQ(volume.index(0, 1, 0), 5u);
    EXPECT_EQ(volume.index(1, 0, 0), 20u);
    Voxel* cells = volume.getVoxels();
    Voxel* next = volume.getNextVoxels();
    EXPECT_EQ(cells[59].material, 59u % 7);
    EXPECT_EQ(next[59].material, 59u % 7);
    EXPECT_EQ(cells[59].atomCount, 0);
    volume.releaseNextVoxels();
    volume.releaseVoxels();
}

TEST(TotalVolume, OneCellVolumeHasOneEntryInEachArray) {
    TotalVolume volume(1, 1, 1, 1.f, 1.f, 1.f, Util::Vector3D(), {4});
    EXPECT_EQ(volume.getCellCount(), 1u);
    EXPECT_EQ(volume.getVoxels()[0].material, 4u);
    volume.releaseVoxels();
    EXPECT_EQ(volume.getNextVoxels()[0].material, 4u);
    volume.releaseNextVoxels();
}

TEST(TotalVolume, ShortMaterialListLeavesTheRestEmpty) {
    TotalVolume volume(2, 1, 2, 1.f, 1.f, 1.f, Util::Vector3D(), {1, 2});
    const Voxel* cells = volume.getVoxels();
    EXPECT_EQ(cells[1].material, 2u);
    EXPECT_EQ(cells[2].material, 0u);
    EXPECT_EQ(cells[3].material, 0u);
    volume.releaseVoxels();
}

TEST(TotalVolume, EveryCellOfBothArraysIsWrittenOnceForAnyThreadCount) {
    // Strips of 1, 2, 3 and 8 threads, with a list one cell short: the last strip ends in an
    // empty cell. Cells are allocated untouched, so a cell no strip wrote would show garbage.
    const std::vector<int> materials = countingMaterials(17 * 5 * 3 - 1);
    for (int threads : {1, 2, 3, 8}) {
        const testing_support::PoolThreads pool(threads);
        TotalVolume volume(17, 5, 3, 1.f, 1.f, 1.f, Util::Vector3D(), materials);
        const Model::Automaton::CellArraysLock locked(volume);
        for (std::size_t i = 0; i < volume.getCellCount(); ++i) {
            const std::uint32_t expected = i < materials.size() ? std::uint32_t(materials[i]) : 0u;
            for (const Voxel* cell : {locked.current() + i, locked.next() + i}) {
                ASSERT_EQ(cell->material, expected) << threads << " threads, cell " << i;
                ASSERT_EQ(cell->atomCount, 0);
                ASSERT_EQ(cell->mark, 0);
                ASSERT_EQ(cell->vectorX + cell->vectorY + cell->vectorZ, 0.f);
            }
        }
    }
}

TEST(TotalVolume, LoadersFillUnwrittenCellsWithEmptyOnes) {
    TotalVolume volume(4, 3, 2, 1.f, 1.f, 1.f, Util::Vector3D(), TotalVolume::UnwrittenCells());
    const Model::Automaton::CellArraysLock locked(volume);
    for (std::size_t i = 0; i < 5; ++i) {
        new (locked.current() + i) Voxel(9);
        new (locked.next() + i) Voxel(9);
    }
    volume.writeEmptyCells(5);
    EXPECT_EQ(locked.current()[4].material, 9u);
    EXPECT_EQ(locked.next()[4].material, 9u);
    for (std::size_t i = 5; i < volume.getCellCount(); ++i) {
        EXPECT_EQ(locked.current()[i].material, 0u);
        EXPECT_EQ(locked.next()[i].material, 0u);
    }
}

TEST(TotalVolume, CloneCopiesCurrentCellsIntoBothArraysWithNewIdAndDefaults) {
    TotalVolume volume(2, 2, 2, 0.5f, 1.f, 2.f, Util::Vector3D(1, 2, 3), std::vector<int>(8, 1));
    volume.setColor(Util::Vector4D(0.2, 0.3, 0.4, 1));
    volume.setTopMask({true, false}, 2, 1);
    Voxel* cells = volume.getVoxels();
    Voxel* next = volume.getNextVoxels();
    cells[5].material = 9;
    cells[5].atomCount = 12;
    next[5].material = 3;
    volume.releaseNextVoxels();
    volume.releaseVoxels();

    std::unique_ptr<TotalVolume> copy(static_cast<TotalVolume*>(volume.clone()));
    EXPECT_NE(copy->getId(), volume.getId());
    EXPECT_EQ(copy->getCellSizeX(), 0.5f);
    EXPECT_EQ(copy->getCellSizeZ(), 2.f);
    EXPECT_EQ(copy->getPosition().y, 2);
    EXPECT_EQ(copy->getColor().x,
              Util::ColorScheme::color(Util::ColorScheme::DefaultObjectColor, 0).x);
    int w = -1, h = -1;
    copy->getTopMaskSize(w, h);
    EXPECT_EQ(w, 0);
    EXPECT_TRUE(copy->getTopMask().empty());
    const Voxel copied = copy->getVoxels()[5];
    copy->releaseVoxels();
    EXPECT_EQ(copied.material, 9u);
    EXPECT_EQ(copied.atomCount, 0);
    EXPECT_EQ(copy->getNextVoxels()[5].material, 9u);
    copy->releaseNextVoxels();
}

TEST(TotalVolume, SwapExchangesCurrentAndNextState) {
    TotalVolume volume(1, 1, 2, 1.f, 1.f, 1.f, Util::Vector3D(), {1, 1});
    Voxel* cells = volume.getVoxels();
    Voxel* next = volume.getNextVoxels();
    next[0].material = 5;
    volume.swapVoxelBuffers();
    volume.releaseNextVoxels();
    volume.releaseVoxels();
    EXPECT_EQ(volume.getVoxels(), next);
    volume.releaseVoxels();
    EXPECT_EQ(volume.getNextVoxels(), cells);
    volume.releaseNextVoxels();
}

TEST(TotalVolume, MasksKeepDimensionsWhenCleared) {
    TotalVolume volume(1, 1, 1, 1.f, 1.f, 1.f, Util::Vector3D(), {0});
    volume.clearTopMask();
    int w = -1, h = -1;
    volume.getTopMaskSize(w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    EXPECT_TRUE(volume.getTopMask().empty());

    volume.setBottomMask({true, true, false, true, true, true}, 3, 2);
    volume.clearBottomMask();
    volume.getBottomMaskSize(w, h);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(volume.getBottomMask(), std::vector<bool>(6, false));
}

TEST(TotalVolume, TranslateMovesPosition) {
    TotalVolume volume(1, 1, 1, 1.f, 1.f, 1.f, Util::Vector3D(1, 1, 1), {0});
    volume.translate(Util::Vector4D(2, -1, 0.5, 0));
    EXPECT_EQ(volume.getPosition().x, 3);
    EXPECT_EQ(volume.getPosition().y, 0);
    EXPECT_EQ(volume.getPosition().z, 1.5);
    EXPECT_EQ(volume.getType(), 1);
}

// A lock left held would hang the second taker, so each case ends by taking both arrays again.
TEST(CellArraysLock, ReleasesOnEveryWayOutOfAScope) {
    using Model::Automaton::CellArraysLock;
    TotalVolume volume(2, 2, 2, 1.f, 1.f, 1.f, Util::Vector3D(), std::vector<int>(8, 1));
    try {
        const CellArraysLock locked(volume);
        locked.current()[0].material = 7;
        throw std::runtime_error("engine failed");
    } catch (const std::runtime_error&) {
    }
    {
        CellArraysLock locked(volume, CellArraysLock::Arrays::Current);
        EXPECT_EQ(locked.current()[0].material, 7u);
        EXPECT_EQ(locked.next(), nullptr);
        locked.release();
        EXPECT_EQ(locked.current(), nullptr);
    }
    const CellArraysLock again(volume);
    EXPECT_NE(again.current(), nullptr);
    EXPECT_NE(again.next(), nullptr);
}

TEST(VolumeBudget, RefusesWhatTheMachineCannotHoldBeforeAllocating) {
    QString reason;
    EXPECT_FALSE(VolumeBudget::fits(10000, 10000, 10000, &reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("10000 x 10000 x 10000")));
    EXPECT_TRUE(VolumeBudget::fits(100, 100, 100));

    VolumeBudget::setAvailableBytesForTesting(1000 * VolumeBudget::bytesPerCell());
    EXPECT_TRUE(VolumeBudget::fits(10, 10, 10));
    EXPECT_FALSE(VolumeBudget::fits(10, 10, 11));
    VolumeBudget::setAvailableBytesForTesting(0);
}

TEST(VolumeBudget, RefusesSizesThatOverflowTheIndex) {
    Model::Automaton::CellIndex count = 0;
    EXPECT_FALSE(VolumeBudget::cellCount(UINT_MAX, UINT_MAX, UINT_MAX, count));
    EXPECT_TRUE(VolumeBudget::cellCount(UINT_MAX, UINT_MAX, 1, count));
    QString reason;
    EXPECT_FALSE(VolumeBudget::fits(UINT_MAX, UINT_MAX, UINT_MAX, &reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("too large")));
    EXPECT_TRUE(VolumeBudget::fits(0, 5, 5));
}
