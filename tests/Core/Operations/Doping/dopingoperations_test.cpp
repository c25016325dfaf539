#include "Core/Operations/Doping/dopingoperations.h"
#include "support/emptiedprocess.h"
#include "support/operationfixture.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Silicon = 1, Oxide = 3, Doped = 14;

struct DopingOperationTest : VolumeOperationTest {
    void SetUp() override {
        useVolume(makeVolume(10, 4, 10, [](int x, int, int z) {
            if (z < 5)
                return Silicon;
            return z == 5 && x > 6 ? Oxide : 0;
        }));
    }
};

} // namespace

TEST_F(DopingOperationTest, DopingRunsRecordsAndUndoes) {
    const auto original = materialsOf(*volume);
    auto op = selected<DopingOperation>();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Doping: Cell volume selected."));
    op->setDepth(2.f);
    op->setDopedMaterialId(Doped);
    context.processHistory.setLatticeRebuildNeeded(volume->getId(), false);
    op->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Doping: Operation finished."));
    EXPECT_EQ(host.finished, 1);
    EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), 17u);
    EXPECT_TRUE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
    const auto doped = materialsOf(*volume);
    EXPECT_EQ(materialAt(*volume, 2, 1, 4), Doped);

    EXPECT_EQ(op->undo(), 1);
    EXPECT_EQ(materialsOf(*volume), original);
    op->redo();
    EXPECT_EQ(materialsOf(*volume), doped);
}

TEST_F(DopingOperationTest, ImplantationCancelsInItsOwnWordsAndUndoesLikeDoping) {
    auto incomplete = selected<IonImplantationOperation>();
    incomplete->setImplantationDepth(2.f);
    incomplete->setDopedMaterialId(Doped);
    incomplete->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Ion Implantation: Operation Canceled!"));
    EXPECT_EQ(host.cancelled, 1);

    const auto original = materialsOf(*volume);
    auto op = selected<IonImplantationOperation>();
    op->setAnnealingDistance(1.f);
    op->setImplantationDepth(2.f);
    op->setDopedMaterialId(Doped);
    op->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Ion Implantation: Operation finished."));
    EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), 3u);
    EXPECT_EQ(materialAt(*volume, 2, 1, 2), Doped);
    const auto implanted = materialsOf(*volume);
    EXPECT_EQ(op->undo(), 1);
    EXPECT_EQ(materialsOf(*volume), original);
    op->redo();
    EXPECT_EQ(materialsOf(*volume), implanted);
}

// Values a process list or the console could pass: each is refused with a message, nothing
// changes and nothing goes on the undo stack.
TEST_F(DopingOperationTest, BadValuesFromOutsideTheDialogsChangeNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        std::function<std::shared_ptr<SnapshotProcessOperation>(DopingOperationTest&)> start;
        QString message;
    };
    auto doping = [](float depth, int material) {
        return [=](DopingOperationTest& t) {
            auto op = t.selected<DopingOperation>();
            op->setDepth(depth);
            op->setDopedMaterialId(material);
            return op;
        };
    };
    auto implantation = [](float depth, float annealing) {
        return [=](DopingOperationTest& t) {
            auto op = t.selected<IonImplantationOperation>();
            op->setAnnealingDistance(annealing);
            op->setImplantationDepth(depth);
            op->setDopedMaterialId(Doped);
            return op;
        };
    };
    const QString depthRange = QStringLiteral(" must be a number from 0 to 1000000000 units.");
    const Case cases[] = {
        {doping(nan, Doped), QStringLiteral("Doping: The doping depth") + depthRange},
        {doping(-1.f, Doped), QStringLiteral("Doping: The doping depth") + depthRange},
        {doping(inf, Doped), QStringLiteral("Doping: The doping depth") + depthRange},
        {doping(2.0e9f, Doped), QStringLiteral("Doping: The doping depth") + depthRange},
        {doping(2.f, 0), QStringLiteral("Doping: No doped material was chosen.")},
        {implantation(nan, 1.f),
         QStringLiteral("Ion Implantation: The implantation depth") + depthRange},
        {implantation(2.f, -inf),
         QStringLiteral("Ion Implantation: The annealing distance") + depthRange},
    };
    const auto before = materialsOf(*volume);
    for (const Case& c : cases) {
        auto op = c.start(*this);
        op->end();
        EXPECT_EQ(log->lines.value(log->lines.size() - 2), c.message);
        EXPECT_TRUE(log->lines.last().endsWith(QStringLiteral("Operation canceled.")) ||
                    log->lines.last().endsWith(QStringLiteral("Operation Canceled!")));
        EXPECT_EQ(materialsOf(*volume), before) << c.message.toStdString();
    }
    EXPECT_EQ(host.finished, 0);
    EXPECT_EQ(host.cancelled, int(std::size(cases)));
}

TEST_F(DopingOperationTest, AnEmptyDopableSetIsReportedAndChangesNothing) {
    const EmptiedProcess noDopableMaterials(QStringLiteral("Simple Doping"));
    const auto before = materialsOf(*volume);
    auto op = selected<DopingOperation>();
    op->setDepth(3.f);
    op->setDopedMaterialId(Doped);
    op->end();
    EXPECT_EQ(log->lines.value(log->lines.size() - 2),
              QStringLiteral("Doping: The process \"Simple Doping\" lists no dopable materials, "
                             "so nothing can be doped."));
    EXPECT_EQ(materialsOf(*volume), before);
    EXPECT_EQ(host.finished, 0);
}
