#include "Core/Operations/BatchRun/batchrunchanges.h"
#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/Objects/selectvolumesoperation.h"
#include "support/operationfixture.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;
namespace names = Core::Operations::RecordParameters;

namespace {

// Stands in for the batch dialog: runs a CVD on the chosen volume and adds a new volume to
// the document, or only looks when `runs` is false.
class FakeBatchDialog : public Util::IObserver {
public:
    FakeBatchDialog(OperationContext& context, bool runs) : context(context), runs(runs) {}
    void update() override {
        const auto op = std::dynamic_pointer_cast<SelectVolumesOperation>(context.currentOperation);
        if (!op || !runs)
            return;
        op->getChanges()->aboutToRun();
        ProcessRecordExecutor executor(context.processHistory, {});
        executor.setVolume(op->getVolume());
        executor.execute(ProcessTypes::CVD, {{names::material().id, 3u}, {names::thickness, 2.0}});
        created = makeVolume(2, 2, 2, [](int, int, int) { return 1; });
        context.document->addObject(created);
    }
    OperationContext& context;
    bool runs;
    std::shared_ptr<Model::Automaton::TotalVolume> created;
};

struct BatchRunChangesTest : VolumeOperationTest {
    void SetUp() override {
        useVolume(makeVolume(6, 6, 8, [](int, int, int z) { return z < 3; }));
    }
    void TearDown() override { SelectVolumesOperation::setObserver(nullptr); }

    std::shared_ptr<FakeBatchDialog> runBatch(bool runs) {
        auto dialog = std::make_shared<FakeBatchDialog>(context, runs);
        SelectVolumesOperation::setObserver(dialog);
        context.selection.toggle(volume);
        auto op = std::make_shared<SelectVolumesOperation>(context);
        context.currentOperation = op;
        op->step();
        return dialog;
    }
};

} // namespace

// What the runs of one dialog changed is one undoable step: undo puts the chosen volume's
// cells back and takes the created volumes out of the document; redo brings both back.
TEST_F(BatchRunChangesTest, RunsUndoAndRedoAsOneStep) {
    const auto before = materialsOf(*volume);
    const auto dialog = runBatch(true);
    const auto after = materialsOf(*volume);
    ASSERT_NE(after, before);
    EXPECT_EQ(host.finished, 1);
    const auto changes = std::dynamic_pointer_cast<BatchRunChanges>(context.currentOperation);
    ASSERT_TRUE(changes) << "the runs take the selection's place as the finished operation";
    EXPECT_EQ(changes->getName(), QStringLiteral("Batch Run"));
    ASSERT_EQ(changes->getCreatedVolumes().size(), 1u);

    EXPECT_EQ(changes->undo(), 1);
    EXPECT_EQ(materialsOf(*volume), before);
    EXPECT_FALSE(context.document->findObject(dialog->created->getId()));
    EXPECT_TRUE(context.document->findObject(volume->getId()));
    changes->redo();
    EXPECT_EQ(materialsOf(*volume), after);
    EXPECT_TRUE(context.document->findObject(dialog->created->getId()));
}

TEST_F(BatchRunChangesTest, ADialogClosedWithoutARunLeavesNothingToUndo) {
    runBatch(false);
    EXPECT_EQ(host.finished, 1);
    EXPECT_TRUE(std::dynamic_pointer_cast<SelectVolumesOperation>(context.currentOperation));
}

} // namespace CELLVANE_TEST_FILE
