#include "Core/Operations/changetotalvolumevisualizationoptions.h"
#include "Core/Operations/Objects/copyobject.h"
#include "Core/Operations/Objects/deleteobject.h"
#include "Core/Operations/Objects/moveobject.h"
#include "Model/Automaton/volumebudget.h"
#include "Model/Materials/materialfactory.h"
#include "support/operationfixture.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <functional>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using Model::Automaton::TotalVolume;
using testing_support::makeVolume;

namespace {

// Three small volumes side by side in the document, and every console message.
struct ObjectOperationTest : testing_support::VolumeOperationTest {
    std::vector<std::shared_ptr<TotalVolume>> volumes;

    void SetUp() override {
        for (int i = 0; i < 3; ++i) {
            auto made = makeVolume(4, 3, 2, [](int, int, int z) { return z == 0 ? 1 : 0; });
            made->translate(Util::Vector3D(10.0 * i, 0, 0));
            if (i == 0)
                useVolume(made);
            else
                context.document->addObject(made);
            volumes.push_back(made);
        }
    }

    template <class Op> std::shared_ptr<Op> start(std::initializer_list<int> picked) {
        for (int index : picked)
            context.selection.toggle(volumes[std::size_t(index)]);
        auto op = std::make_shared<Op>(context);
        context.currentOperation = op;
        op->step();
        return op;
    }

    // What the view does on a pick: store the point, then step the waiting operation.
    void pick(double x, double y, double z, int state) {
        const OperationPtr waiting = context.viewInteraction.getPickingOperation();
        ASSERT_TRUE(waiting);
        ASSERT_TRUE(context.viewInteraction.deliverPick(Util::Vector4D(x, y, z, 0), state));
        waiting->step();
    }

    double x(int index) const { return volumes[std::size_t(index)]->getPosition().x; }
};

} // namespace

TEST_F(ObjectOperationTest, MoveByATypedDistanceUndoesAndRedoesOnTheSameObjects) {
    auto move = start<MoveObject>({0, 2});
    EXPECT_EQ(log->lines.last(),
              QStringLiteral("Move: Left click or enter the distance into the console (x, y, z):"));
    EXPECT_TRUE(volumes[0]->isMoving());
    EXPECT_FALSE(context.selection.isSelectionMode());
    EXPECT_EQ(context.consoleInput.getRequestKind(), ConsoleInput::Vector);

    context.consoleInput.processInput(QStringLiteral("1,0,0"));
    EXPECT_EQ(log->lines.last(), QStringLiteral("Move: Object(s) moved"));
    EXPECT_EQ(host.finished, 1);
    EXPECT_EQ(x(0), 1.0);
    EXPECT_EQ(x(1), 10.0) << "not selected, not moved";
    EXPECT_EQ(x(2), 21.0);
    EXPECT_FALSE(volumes[0]->isMoving());
    EXPECT_EQ(volumes[0]->getPreviewOffset().x, 0.0);
    EXPECT_FALSE(context.viewInteraction.getPickingOperation()) << "no pick left waiting";

    EXPECT_EQ(move->undo(), 1);
    EXPECT_EQ(x(0), 0.0);
    EXPECT_EQ(x(2), 20.0);
    move->redo();
    EXPECT_EQ(x(0), 1.0);
    EXPECT_EQ(x(2), 21.0);
}

TEST_F(ObjectOperationTest, MoveByPicksFollowsThePointerInWholeCells) {
    start<MoveObject>({1});
    pick(10.2, 0, 0, 0);
    EXPECT_EQ(log->lines.last(), QStringLiteral("Move: Left click on destination."));
    Util::Vector4D anchor;
    ASSERT_TRUE(context.viewInteraction.isTracking(&anchor));
    EXPECT_EQ(anchor.x, 10.2);
    EXPECT_EQ(context.consoleInput.getRequestKind(), ConsoleInput::None)
        << "a typed distance is no longer taken once a point is picked";

    pick(12.9, 1.3, 0, 1); // the pointer moves
    EXPECT_TRUE(volumes[1]->isMoving());
    EXPECT_EQ(volumes[1]->getPreviewOffset().x, 3.0);
    EXPECT_EQ(volumes[1]->getPreviewOffset().y, 1.0);
    EXPECT_EQ(x(1), 10.0) << "only the preview moves while picking";

    // Less than half a cell further: the preview stays, the travel is kept for later.
    pick(13.5, 1.4, 0, 1);
    EXPECT_EQ(volumes[1]->getPreviewOffset().x, 3.0);
    pick(13.9, 1.2, 0, 0); // the click: 0.7 past the last cell step in x, 0.2 in y
    EXPECT_EQ(log->lines.last(), QStringLiteral("Move: Object(s) moved"));
    EXPECT_EQ(x(1), 14.0);
    EXPECT_EQ(volumes[1]->getPosition().y, 1.0);
    EXPECT_FALSE(volumes[1]->isMoving());
}

TEST_F(ObjectOperationTest, CancelledMoveTakesBackEveryPreviewOnce) {
    auto move = start<MoveObject>({0, 1});
    pick(0, 0, 0, 0);
    pick(5, 0, 0, 1);
    EXPECT_EQ(volumes[0]->getPreviewOffset().x, 5.0);

    move->cancel(); // Escape
    move->cancel(); // and the next activation cancels again
    EXPECT_EQ(log->lines.filter(QStringLiteral("Move: Operation canceled")).size(), 1);
    for (int i : {0, 1}) {
        EXPECT_FALSE(volumes[std::size_t(i)]->isMoving());
        EXPECT_EQ(volumes[std::size_t(i)]->getPreviewOffset().x, 0.0);
    }
    EXPECT_EQ(x(0), 0.0);
    EXPECT_FALSE(context.viewInteraction.getPickingOperation());
    EXPECT_EQ(host.cancelled, 1) << "dropped as current operation";
    EXPECT_EQ(host.finished, 0);
}

TEST_F(ObjectOperationTest, MoveWaitsForASelectionAndIgnoresAHalfTypedVectorOncePicking) {
    auto move = start<MoveObject>({});
    EXPECT_EQ(log->lines.last(),
              QStringLiteral("Move: Select the object(s) to be copied and press Enter/Return."));
    EXPECT_TRUE(context.selection.isSelectionMode());
    context.selection.toggle(volumes[0]);
    context.consoleInput.processInput(QString());
    EXPECT_TRUE(volumes[0]->isMoving());

    context.consoleInput.processInput(QStringLiteral("7, oops"));
    EXPECT_EQ(log->lines.last(), QStringLiteral("Invalid entry. Enter the x, y, z coordinates."));
    pick(1, 1, 0, 0);
    pick(3, 1, 0, 0);
    EXPECT_EQ(x(0), 2.0) << "the 7 typed before the picks must not be added";
    EXPECT_EQ(move->getDistance().x, 2.0);
}

TEST_F(ObjectOperationTest, CopyOfTwoObjectsAddsTwoNewIdsThatUndoTakesAway) {
    const int firstNewId = Model::Object::peekNextId();
    auto copy = start<CopyObject>({0, 1});
    EXPECT_EQ(log->lines.last(),
              QStringLiteral("Copy: Left click or enter the distance into the console (x, y, z):"));
    ASSERT_EQ(copy->getObjects().size(), 2u);
    EXPECT_EQ(context.viewInteraction.getPreviewObjects(), copy->getObjects())
        << "the view draws the copies while they are placed";
    EXPECT_EQ(context.document->getObjects().size(), 3u) << "copies join only when placed";

    context.consoleInput.processInput(QStringLiteral("0, 5, 0"));
    EXPECT_EQ(log->lines.last(), QStringLiteral("Copy: Object(s) copied"));
    const auto objects = context.document->getObjects();
    ASSERT_EQ(objects.size(), 5u);
    EXPECT_GE(objects[3]->getId(), firstNewId);
    EXPECT_GE(objects[4]->getId(), firstNewId);
    EXPECT_NE(objects[3]->getId(), objects[4]->getId());
    auto copied = std::dynamic_pointer_cast<TotalVolume>(objects[3]);
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->getPosition().y, 5.0);
    EXPECT_EQ(volumes[0]->getPosition().y, 0.0) << "the original stays";
    EXPECT_EQ(testing_support::materialsOf(*copied), testing_support::materialsOf(*volumes[0]));
    EXPECT_FALSE(copied->getPainter().getOpaqueFaces().empty()) << "the copy can be seen";
    EXPECT_FALSE(copied->isMoving());
    EXPECT_TRUE(context.viewInteraction.getPreviewObjects().empty());

    context.selection.toggle(copied); // a copy that leaves the document must not stay selected
    EXPECT_EQ(copy->undo(), 1);
    EXPECT_EQ(context.document->getObjects(),
              (Model::ObjectList{volumes[0], volumes[1], volumes[2]}));
    EXPECT_TRUE(context.selection.getSelectedObjects().empty());
    copy->redo();
    EXPECT_EQ(context.document->getObjects(), objects);
}

TEST_F(ObjectOperationTest, CopyTooLargeForMemoryIsRefusedBeforeCopying) {
    Model::Automaton::VolumeBudget::setAvailableBytesForTesting(64);
    start<CopyObject>({0});
    Model::Automaton::VolumeBudget::setAvailableBytesForTesting(0);
    ASSERT_GE(log->lines.size(), 2);
    EXPECT_TRUE(
        log->lines[log->lines.size() - 2].startsWith(QStringLiteral("Copy: A cell volume")));
    EXPECT_EQ(log->lines.last(), QStringLiteral("Copy: Operation canceled"));
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(host.cancelled, 1);
    EXPECT_EQ(context.document->getObjects().size(), 3u);
}

TEST_F(ObjectOperationTest, DeleteAndUndoPutTheObjectsBackAtTheEndOfTheLayer) {
    auto remove = start<DeleteObject>({0});
    EXPECT_EQ(log->lines.last(), QStringLiteral("Delete: objects deleted."));
    EXPECT_EQ(host.finished, 1);
    EXPECT_EQ(context.document->getObjects(), (Model::ObjectList{volumes[1], volumes[2]}));
    EXPECT_EQ(remove->undo(), 1);
    EXPECT_EQ(context.document->getObjects(),
              (Model::ObjectList{volumes[1], volumes[2], volumes[0]}));
    remove->redo();
    EXPECT_EQ(context.document->getObjects(), (Model::ObjectList{volumes[1], volumes[2]}));
}

TEST_F(ObjectOperationTest, DeleteWithNothingSelectedAsksOnceThenGivesUp) {
    start<DeleteObject>({});
    EXPECT_EQ(log->lines.last(),
              QStringLiteral("Delete: Select the objects to be deleted and press Return/Enter"));
    EXPECT_TRUE(context.selection.isSelectionMode());
    context.consoleInput.processInput(QString());
    EXPECT_EQ(log->lines.last(),
              QStringLiteral("Delete: Operation canceled, no selected objects."));
    EXPECT_EQ(host.cancelled, 1);
    EXPECT_EQ(context.document->getObjects().size(), 3u);
}

namespace {

// Plays the dialog: gives the operation the options it was set up with.
class ScriptedOptionsObserver : public Util::IObserver {
public:
    std::function<void()> answer;
    void update() override { answer(); }
};

} // namespace

TEST_F(ObjectOperationTest, VisualizationOptionsGoToThePainterAndEveryVolumeRecolours) {
    const auto materials = Model::Materials::MaterialFactory::getInstance();
    const Model::Materials::Material silicon = materials->getMaterial(1);
    auto observer = std::make_shared<ScriptedOptionsObserver>();
    ChangeTotalVolumeVisualizationOptions::setObserver(observer);
    std::shared_ptr<ChangeTotalVolumeVisualizationOptions> change;
    observer->answer = [&] {
        Model::Materials::Material recoloured = silicon;
        recoloured.setColor(0.f, 0.f, 1.f, 1.f);
        materials->updateMaterial(recoloured);
        VolumeVisualizationOptions options;
        options.renderEmptyVoxelOutlines = true;
        options.surfaceAlgorithm = 2;
        change->setOptions(options);
        change->step();
    };
    for (const auto& volume : volumes)
        volume->getPainter().rebuild();
    context.selection.toggle(volumes[1]);
    change = std::make_shared<ChangeTotalVolumeVisualizationOptions>(context);
    context.currentOperation = change;
    change->step();
    materials->updateMaterial(silicon);
    ChangeTotalVolumeVisualizationOptions::setObserver(nullptr);

    EXPECT_EQ(log->lines,
              (QStringList{QStringLiteral("Change Visualization: Cell volume selected."),
                           QStringLiteral("Change Visualization: Options changed.")}));
    EXPECT_EQ(volumes[1]->getPainter().getAlgorithm(), 2);
    EXPECT_TRUE(volumes[1]->getPainter().getRenderEmptyVoxelOutlines());
    EXPECT_FALSE(volumes[0]->getPainter().getRenderEmptyVoxelOutlines());
    EXPECT_EQ(volumes[0]->getPainter().getMaterialColors().at(1)[2], 1.f)
        << "every volume takes the registry's new colour";
    EXPECT_EQ(host.finished, 1);

    change->cancel();
    EXPECT_EQ(log->lines.size(), 2) << "nothing to cancel once finished";
}

} // namespace CELLVANE_TEST_FILE
