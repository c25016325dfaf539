#include "Core/Operations/Doping/dopingoperations.h"
#include "support/emptiedprocess.h"
#include "support/operationfixture.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <limits>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Silicon = 1, Doped = 14;

struct DopingOperationTest : VolumeOperationTest {
    void SetUp() override {
        useVolume(makeVolume(10, 4, 10, [](int, int, int z) { return z < 5 ? Silicon : 0; }));
    }
    std::shared_ptr<DopingOperation> doping(float depth, int material = Doped) {
        auto op = selected<DopingOperation>();
        op->setDepth(depth);
        op->setDopedMaterialId(material);
        return op;
    }
    std::shared_ptr<IonImplantationOperation> implantation(float depth, float annealing) {
        auto op = selected<IonImplantationOperation>();
        op->setAnnealingDistance(annealing);
        op->setImplantationDepth(depth);
        op->setDopedMaterialId(Doped);
        return op;
    }
    QString lastButOne() const { return log->lines.value(log->lines.size() - 2); }
};

} // namespace

TEST_F(DopingOperationTest, BothProcessesRecordTheirRunAndMarkTheLattice) {
    context.processHistory.setLatticeRebuildNeeded(volume->getId(), false);
    doping(2.f)->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Doping: Operation finished."));
    EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), 17u);
    EXPECT_TRUE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
    EXPECT_EQ(materialAt(*volume, 2, 1, 3), Doped);

    auto incomplete = selected<IonImplantationOperation>();
    incomplete->setImplantationDepth(2.f);
    incomplete->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Ion Implantation: Operation Canceled!"));

    context.processHistory.setLatticeRebuildNeeded(volume->getId(), false);
    implantation(3.f, 0.f)->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Ion Implantation: Operation finished."));
    EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), 3u);
    EXPECT_TRUE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
    EXPECT_EQ(materialAt(*volume, 2, 1, 1), Doped);
    EXPECT_EQ(host.finished, 2);
}

// Values a process list or the console could pass: each is refused with a message, nothing
// changes and nothing goes on the undo stack.
TEST_F(DopingOperationTest, BadValuesAndAnEmptyDopableSetChangeNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const QString range = QStringLiteral(" must be a number from 0 to 1000000000 units.");
    const auto before = materialsOf(*volume);
    for (float depth : {nan, -1.f, inf, 2.0e9f}) {
        doping(depth)->end();
        EXPECT_EQ(lastButOne(), QStringLiteral("Doping: The doping depth") + range);
    }
    doping(2.f, 0)->end();
    EXPECT_EQ(lastButOne(), QStringLiteral("Doping: No doped material was chosen."));
    implantation(nan, 1.f)->end();
    EXPECT_EQ(lastButOne(), QStringLiteral("Ion Implantation: The implantation depth") + range);
    implantation(2.f, -inf)->end();
    EXPECT_EQ(lastButOne(), QStringLiteral("Ion Implantation: The annealing distance") + range);
    EXPECT_EQ(log->lines.last(), QStringLiteral("Ion Implantation: Operation Canceled!"));
    {
        const EmptiedProcess noDopableMaterials(QStringLiteral("Simple Doping"));
        doping(3.f)->end();
        EXPECT_EQ(lastButOne(), QStringLiteral("Doping: The process \"Simple Doping\" lists no "
                                               "dopable materials, so nothing can be doped."));
    }
    EXPECT_EQ(materialsOf(*volume), before);
    EXPECT_EQ(host.finished, 0);
    EXPECT_EQ(host.cancelled, 8);
}

} // namespace CELLVANE_TEST_FILE
