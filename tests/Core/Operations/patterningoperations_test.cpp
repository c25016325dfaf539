#include "Core/Operations/Photolithography/photolithographyoperation.h"
#include "Core/Operations/Planarization/planarizationoperation.h"
#include "Core/Operations/Planarization/spincoatingoperation.h"
#include "Core/Operations/ReactiveIonEtching/simplereactiveionetchingoperation.h"
#include "support/fakeoperations.h"
#include "support/operationfixture.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Silicon = 1, Resist = 5;

struct PatterningTest : VolumeOperationTest {
    void SetUp() override {
        useVolume(makeVolume(8, 6, 10, [](int, int, int z) { return z < 4 ? Silicon : 0; }));
    }

    void pour(int material, int height) {
        auto op = selected<SpinCoatingOperation>();
        op->setMaterialId(material);
        op->setDepositionHeight(height);
        op->end();
    }
    void develop(int resist, const Model::Automaton::PhotoMask& top) {
        auto op = selected<PhotolithographyOperation>();
        op->setResistMaterialId(resist);
        op->setTopMask(top.bits, top.width, top.height);
        op->end();
    }
    void etch(int material, int depth) {
        auto op = selected<SimpleReactiveIonEtchingOperation>();
        op->setDepth(depth);
        op->setMaterial(material);
        op->end();
    }
    void planarize(int maximum, int minimum) {
        auto op = selected<PlanarizationOperation>();
        op->setMaximumHeight(maximum);
        op->setMinimumHeight(minimum);
        op->end();
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
    auto lithography = selected<PhotolithographyOperation>(); // no film chosen
    lithography->end();
    auto planarization = selected<PlanarizationOperation>();
    planarization->setMaximumHeight(5);
    planarization->end();
    auto spin = selected<SpinCoatingOperation>();
    spin->setMaterialId(Resist);
    spin->end();
    auto rie = selected<SimpleReactiveIonEtchingOperation>();
    rie->setMaterial(Silicon);
    rie->end();
    EXPECT_EQ(log->lines.filter(QStringLiteral("cancel"), Qt::CaseInsensitive),
              QStringList({QStringLiteral("Photolithography: Operation Canceled!"),
                           QStringLiteral("Planarization: Operation canceled!"),
                           QStringLiteral("Spin Coating: Operation canceled."),
                           QStringLiteral("Simple RIE: Operation canceled.")}));
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
    pour(Silicon, 8); // fills empty cells only, but with silicon
    expectFinished(QStringLiteral("Spin Coating"), 23, true);
    EXPECT_EQ(host.finished, 7);
}

// A cancelled photolithography takes its previewed masks off and has the view repainted.
TEST_F(PatterningTest, CancelledPhotolithographyTakesTheMasksOffTheView) {
    struct Counter : Util::IObserver {
        void update() override { ++calls; }
        int calls = 0;
    };
    auto repaints = std::make_shared<Counter>();
    auto op = selected<PhotolithographyOperation>();
    context.updateObservers.push_back(repaints);
    op->setTopMask(halfMask().bits, 8, 6);
    ASSERT_FALSE(volume->getTopMask().empty());
    const int shown = repaints->calls;
    op->cancel();
    EXPECT_TRUE(volume->getTopMask().empty());
    EXPECT_GT(repaints->calls, shown);
}

// A mask of another size than the volume's columns is refused in the console and a message
// box, naming both sizes; no mask at all is open everywhere and runs.
TEST_F(PatterningTest, AMaskOfAnotherSizeIsRefused) {
    const auto before = materialsOf(*volume);
    auto op = selected<PhotolithographyOperation>();
    op->setResistMaterialId(Silicon);
    op->setTopMask(std::vector<bool>(6 * 6, true), 6, 6);
    op->end();
    const QString refusal = QStringLiteral("The top mask is 6 x 6 pixels, but the cell volume "
                                           "has 8 x 6 columns; a mask needs one pixel per column.");
    EXPECT_TRUE(log->lines.contains(QStringLiteral("Photolithography: ") + refusal));
    EXPECT_EQ(prompts.messages, QStringList{QStringLiteral("Photolithography: ") + refusal});
    EXPECT_EQ(materialsOf(*volume), before);
    EXPECT_TRUE(volume->getTopMask().empty());
    EXPECT_EQ(host.finished, 0);
    develop(Silicon, {});
    EXPECT_EQ(host.finished, 1);
}

// With several volumes selected a step runs on the last, as the wet etches do.
TEST_F(PatterningTest, StepsRunOnTheLastOfSeveralSelectedVolumes) {
    auto other = makeVolume(8, 6, 10, [](int, int, int z) { return z < 4 ? Silicon : 0; });
    context.document->addObject(other);
    for (bool otherLast : {false, true}) {
        auto op = std::make_shared<SimpleReactiveIonEtchingOperation>(context);
        context.currentOperation = op;
        context.selection.toggle(otherLast ? volume : other);
        context.selection.toggle(otherLast ? other : volume);
        op->step();
        context.consoleInput.processInput(QString());
        EXPECT_EQ(op->getTarget(), otherLast ? other : volume);
        EXPECT_TRUE(context.selection.getSelectedObjects().empty());
    }
}

} // namespace CELLVANE_TEST_FILE
