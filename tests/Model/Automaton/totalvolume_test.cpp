#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/volumebudget.h"
#include "Util/colorscheme.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <memory>
#include <stdexcept>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::TotalVolume;
using Model::Automaton::VolumeBudget;

namespace {

// Cell i holds i % 7, the largest id a cell holds at cell 3.
int countingMaterial(std::size_t i) {
    return i == 3 ? int(Model::Automaton::largestMaterialId) : int(i % 7);
}

std::vector<int> countingMaterials(std::size_t n) {
    std::vector<int> m(n);
    for (std::size_t i = 0; i < n; ++i)
        m[i] = countingMaterial(i);
    return m;
}

} // namespace

TEST(TotalVolume, CellIndexRunsZFastestAndXSlowest) {
    TotalVolume volume(3, 4, 5, 1.f, 1.f, 1.f, Util::Vector3D(),
                       testing_support::listedCells(countingMaterials(60), 4, 5));
    EXPECT_EQ(volume.index(2, 3, 4), 59u);
    EXPECT_EQ(volume.index(0, 0, 1), 1u);
    EXPECT_EQ(volume.index(0, 1, 0), 5u);
    EXPECT_EQ(volume.index(1, 0, 0), 20u);
    EXPECT_EQ(testing_support::materialAt(volume, 2, 3, 4), 59 % 7);
}

TEST(TotalVolume, ColumnsAndLoadersLeaveNoCellUnwritten) {
    // A description sets only the cells it fills: every other cell is empty, although the
    // cells are allocated untouched and could hold anything.
    const auto onlyColumnOne = [](unsigned x, unsigned y, Model::Automaton::MaterialCells column) {
        if (x == 1 && y == 0)
            column.set(1, 4);
    };
    TotalVolume sparse(2, 1, 2, 1.f, 1.f, 1.f, Util::Vector3D(), onlyColumnOne);
    EXPECT_EQ(testing_support::materialsOf(sparse), (std::vector<int>{0, 0, 0, 4}));

    TotalVolume loaded(4, 3, 2, 1.f, 1.f, 1.f, Util::Vector3D(), TotalVolume::UnwrittenCells());
    {
        const Model::Automaton::CellArraysLock locked(loaded);
        for (std::ptrdiff_t i = 0; i < 5; ++i)
            locked.materials().writeFresh(i, 9);
        loaded.writeEmptyCells(5);
    }
    std::vector<int> expected(24, 0);
    std::fill(expected.begin(), expected.begin() + 5, 9);
    EXPECT_EQ(testing_support::materialsOf(loaded), expected);
}

TEST(TotalVolume, EveryColumnIsWrittenOnceAndClonedWholeForAnyThreadCount) {
    // Strips of 1, 2, 3 and 8 threads over 17 columns of x: the last strip is wider than the
    // others. Each column is asked for exactly once, with its own coordinates, and a clone
    // copies every strip.
    const unsigned sx = 17, sy = 5, sz = 3;
    for (int threads : {1, 2, 3, 8}) {
        const testing_support::PoolThreads pool(threads);
        std::vector<std::atomic<int>> asked(sx * sy);
        TotalVolume volume(sx, sy, sz, 1.f, 1.f, 1.f, Util::Vector3D(),
                           [&](unsigned x, unsigned y, Model::Automaton::MaterialCells column) {
                               ++asked[x * sy + y];
                               for (unsigned z = 0; z < sz; ++z)
                                   column.set(z, Model::Automaton::MaterialId(countingMaterial(
                                                     (std::size_t(x) * sy + y) * sz + z)));
                           });
        for (const std::atomic<int>& count : asked)
            EXPECT_EQ(count.load(), 1) << threads << " threads";
        const std::vector<int> expected = countingMaterials(sx * sy * sz);
        EXPECT_EQ(testing_support::materialsOf(volume), expected) << threads << " threads";
        std::unique_ptr<TotalVolume> copy(static_cast<TotalVolume*>(volume.clone()));
        EXPECT_EQ(testing_support::materialsOf(*copy), expected) << threads << " threads";
    }
}

TEST(TotalVolume, CloneCopiesTheCellsWithNewIdAndDefaults) {
    TotalVolume volume(2, 2, 2, 0.5f, 1.f, 2.f, Util::Vector3D(1, 2, 3),
                       testing_support::filledWith(1, 2));
    volume.setColor(Util::Vector4D(0.2, 0.3, 0.4, 1));
    volume.setTopMask({true, false}, 2, 1);
    testing_support::setMaterial(volume, 5, 9);

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
    EXPECT_EQ(testing_support::materialsOf(*copy), testing_support::materialsOf(volume));
}

TEST(TotalVolume, MasksKeepDimensionsWhenCleared) {
    TotalVolume volume(1, 1, 1, 1.f, 1.f, 1.f, Util::Vector3D(), testing_support::filledWith(0, 1));
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
    TotalVolume volume(1, 1, 1, 1.f, 1.f, 1.f, Util::Vector3D(1, 1, 1),
                       testing_support::filledWith(0, 1));
    volume.translate(Util::Vector4D(2, -1, 0.5, 0));
    EXPECT_EQ(volume.getPosition().x, 3);
    EXPECT_EQ(volume.getPosition().y, 0);
    EXPECT_EQ(volume.getPosition().z, 1.5);
    EXPECT_EQ(volume.getType(), 1);
}

// A lock left held would hang the second taker, so each case ends by taking the cells again.
TEST(CellArraysLock, ReleasesOnEveryWayOutOfAScope) {
    using Model::Automaton::CellArraysLock;
    TotalVolume volume(2, 2, 2, 1.f, 1.f, 1.f, Util::Vector3D(), testing_support::filledWith(1, 2));
    try {
        const CellArraysLock locked(volume);
        locked.materials().set(0, 7);
        throw std::runtime_error("engine failed");
    } catch (const std::runtime_error&) {
    }
    {
        CellArraysLock locked(volume, CellArraysLock::Arrays::Current);
        EXPECT_EQ(locked.materials()[0], 7u);
        locked.release();
        EXPECT_FALSE(locked.materials());
    }
    const CellArraysLock again(volume);
    EXPECT_TRUE(again.materials());
}

TEST(VolumeBudget, RefusesWhatTheMachineCannotHoldBeforeAllocating) {
    QString reason;
    EXPECT_FALSE(VolumeBudget::fits(10000, 10000, 10000, &reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("10000 x 10000 x 10000")));
    EXPECT_TRUE(VolumeBudget::fits(100, 100, 100));

    VolumeBudget::setAvailableBytesForTesting(1000 * VolumeBudget::bytesPerCell());
    EXPECT_TRUE(VolumeBudget::fits(10, 10, 10));
    EXPECT_FALSE(VolumeBudget::fits(10, 10, 11));

    // The store holds two bytes a cell and a step wants one more beside it: a billion cells
    // are 3e9 bytes, 2.8 GiB, which a machine with 3 GiB to spare holds and one with 2.5 does
    // not.
    VolumeBudget::setAvailableBytesForTesting(std::uint64_t(3) << 30);
    EXPECT_TRUE(VolumeBudget::fits(1000, 1000, 1000, &reason));
    VolumeBudget::setAvailableBytesForTesting(std::uint64_t(5) << 29);
    EXPECT_FALSE(VolumeBudget::fits(1000, 1000, 1000, &reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("needs 2.8 GiB"))) << reason.toStdString();
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

} // namespace CELLVANE_TEST_FILE
