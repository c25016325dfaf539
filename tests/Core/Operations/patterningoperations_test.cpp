#include "Core/Operations/Photolithography/photolithographyoperation.h"
#include "Core/Operations/Planarization/planarizationoperation.h"
#include "Core/Operations/Planarization/spincoatingoperation.h"
#include "Core/Operations/ReactiveIonEtching/simplereactiveionetchingoperation.h"
#include "support/fakeoperations.h"
#include "support/operationfixture.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Silicon = 1, Resist = 5;

struct CountingObserver : Util::IObserver {
    void update() override { ++calls; }
    int calls = 0;
};

struct PatterningTest : VolumeOperationTest {
    void SetUp() override {
        useVolume(makeVolume(8, 6, 10, [](int, int, int z) { return z < 4 ? Silicon : 0; }));
    }

    std::shared_ptr<SpinCoatingOperation> pour(int material, int height) {
        auto op = selected<SpinCoatingOperation>();
        op->setMaterialId(material);
        op->setDepositionHeight(height);
        op->end();
        return op;
    }
    std::shared_ptr<PhotolithographyOperation> develop(int resist,
                                                       const Model::Automaton::PhotoMask& top) {
        auto op = selected<PhotolithographyOperation>();
        op->setResistMaterialId(resist);
        op->setTopMask(top.bits, top.width, top.height);
        op->end();
        return op;
    }
    std::shared_ptr<SimpleReactiveIonEtchingOperation> etch(int material, int depth) {
        auto op = selected<SimpleReactiveIonEtchingOperation>();
        op->setDepth(depth);
        op->setMaterial(material);
        op->end();
        return op;
    }
    std::shared_ptr<PlanarizationOperation> planarize(int maximum, int minimum) {
        auto op = selected<PlanarizationOperation>();
        op->setMaximumHeight(maximum);
        op->setMinimumHeight(minimum);
        op->end();
        return op;
    }
    bool latticeMarked() const {
        return context.processHistory.isLatticeRebuildNeeded(volume->getId());
    }
};

// Opaque over the columns with x < 4.
Model::Automaton::PhotoMask halfMask() {
    Model::Automaton::PhotoMask mask{std::vector<bool>(8 * 6), 8, 6};
    for (unsigned x = 0; x < 4; ++x)
        for (unsigned y = 0; y < 6; ++y)
            mask.bits[x * 6 + y] = true;
    return mask;
}

} // namespace

TEST_F(PatterningTest, IncompleteOptionsCancelWithEachProcessesOwnWords) {
    auto lithography = selected<PhotolithographyOperation>();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Photolithography: Cell volume selected."));
    lithography->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Photolithography: Operation Canceled!"));

    auto planarization = selected<PlanarizationOperation>();
    planarization->setMaximumHeight(5);
    planarization->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Planarization: Operation canceled!"));

    auto spin = selected<SpinCoatingOperation>();
    spin->setMaterialId(Resist);
    spin->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Spin Coating: Operation canceled."));

    auto rie = selected<SimpleReactiveIonEtchingOperation>();
    rie->setMaterial(Silicon);
    rie->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Simple RIE: Operation canceled."));

    EXPECT_EQ(host.cancelled, 4);
    EXPECT_EQ(host.finished, 0);
    EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), 0u);
}

TEST_F(PatterningTest, FinishedStepsAreRecordedAndMarkTheLatticeAsEachProcessMay) {
    const auto expectFinished = [&](const QString& name, unsigned number, bool marked) {
        EXPECT_EQ(log->lines.last(), name + QStringLiteral(": Operation finished."));
        EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), number);
        EXPECT_EQ(latticeMarked(), marked) << name.toStdString();
        context.processHistory.setLatticeRebuildNeeded(volume->getId(), false);
    };
    context.processHistory.setLatticeRebuildNeeded(volume->getId(), false);
    pour(Resist, 6);
    expectFinished(QStringLiteral("Spin Coating"), 23, false);
    develop(Resist, halfMask());
    expectFinished(QStringLiteral("Photolithography"), 20, false);
    etch(Resist, 1);
    expectFinished(QStringLiteral("Simple RIE"), 30, false);
    etch(Silicon, 1);
    expectFinished(QStringLiteral("Simple RIE"), 30, true);
    develop(Silicon, {});
    expectFinished(QStringLiteral("Photolithography"), 20, true);
    planarize(10, 0); // changes nothing, but may have cut silicon
    expectFinished(QStringLiteral("Planarization"), 22, true);
    EXPECT_EQ(host.finished, 6);
}

TEST_F(PatterningTest, MasksShowOnTheVolumeWhileChosenAndLeaveWithTheOperation) {
    auto observer = std::make_shared<CountingObserver>();
    context.updateObservers.push_back(observer);
    const auto expectMask = [&](bool top, unsigned width, unsigned height) {
        int w = -1, h = -1;
        if (top)
            volume->getTopMaskSize(w, h);
        else
            volume->getBottomMaskSize(w, h);
        EXPECT_EQ(w, int(width));
        EXPECT_EQ(h, int(height));
        EXPECT_EQ((top ? volume->getTopMask() : volume->getBottomMask()).size(),
                  std::size_t(width) * height);
    };

    auto op = selected<PhotolithographyOperation>();
    const int updatesAfterSelection = observer->calls;
    op->setTopMask(halfMask().bits, 8, 6);
    expectMask(true, 8, 6);
    op->setBottomMask({true, false}, 1, 2);
    expectMask(false, 1, 2);
    EXPECT_EQ(observer->calls, updatesAfterSelection + 2) << "the view redraws each change";
    op->setTopMask({}, 0, 0);
    expectMask(true, 0, 0);
    op->setTopMask(halfMask().bits, 8, 6);
    op->setResistMaterialId(Resist);
    op->end();
    expectMask(true, 0, 0);
    expectMask(false, 0, 0);

    auto cancelled = selected<PhotolithographyOperation>();
    cancelled->setTopMask(halfMask().bits, 8, 6);
    cancelled->cancel();
    expectMask(true, 0, 0);
}

// The session of a user: pour resist, develop it through a mask, etch the silicon through the
// opening, planarize; then undo to the start and redo to the end, cell for cell.
TEST_F(PatterningTest, UndoAndRedoWalkTheWholeSessionCellForCell) {
    std::vector<std::vector<int>> states{materialsOf(*volume)};
    std::vector<std::shared_ptr<SnapshotProcessOperation>> steps;
    steps.push_back(pour(Resist, 6));
    states.push_back(materialsOf(*volume));
    steps.push_back(develop(Resist, halfMask()));
    states.push_back(materialsOf(*volume));
    steps.push_back(etch(Silicon, 2));
    states.push_back(materialsOf(*volume));
    steps.push_back(planarize(5, 1));
    states.push_back(materialsOf(*volume));
    for (std::size_t i = 1; i < states.size(); ++i)
        ASSERT_NE(states[i], states[i - 1]) << "step " << i << " changed nothing";
    EXPECT_EQ(materialAt(*volume, 1, 1, 4), Resist) << "under the mask";
    EXPECT_EQ(materialAt(*volume, 6, 1, 3), 0) << "etched through the opening";

    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = steps.size(); i-- > 0;) {
            context.processHistory.setLatticeRebuildNeeded(volume->getId(), false);
            EXPECT_EQ(steps[i]->undo(), 1);
            EXPECT_EQ(materialsOf(*volume), states[i]) << "undo of step " << i;
            EXPECT_TRUE(latticeMarked()) << "the cells under the lattice were replaced";
        }
        for (std::size_t i = 0; i < steps.size(); ++i) {
            steps[i]->redo();
            EXPECT_EQ(materialsOf(*volume), states[i + 1]) << "redo of step " << i;
        }
    }
}

TEST_F(PatterningTest, RieDirectionsFollowTheCheckBoxes) {
    auto op = selected<SimpleReactiveIonEtchingOperation>();
    EXPECT_EQ(op->getDirections(), SimpleReactiveIonEtching::fromTop);
    op->setEtchFromBelow(true);
    EXPECT_EQ(op->getDirections(),
              SimpleReactiveIonEtching::fromTop | SimpleReactiveIonEtching::fromBelow);
    op->setEtchFromTop(false);
    EXPECT_EQ(op->getDirections(), SimpleReactiveIonEtching::fromBelow);
    op->setEtchFromBelow(false);
    EXPECT_EQ(op->getDirections(), 0);
    op->setDepth(3);
    op->setMaterial(Silicon);
    const auto before = materialsOf(*volume);
    op->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Simple RIE: Operation finished."));
    EXPECT_EQ(materialsOf(*volume), before) << "no direction, no etch";
}
