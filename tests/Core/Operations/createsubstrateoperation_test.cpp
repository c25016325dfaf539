#include "Core/Operations/Objects/selectvolumesoperation.h"
#include "Core/Operations/createsubstrateoperation.h"
#include "Core/Operations/substratedescription.h"
#include "Model/Automaton/volumebudget.h"
#include "support/fakeoperations.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using Model::Automaton::TotalVolume;
using testing_support::materialAt;

namespace {

class CountingObserver : public Util::IObserver {
public:
    void update() override { ++count; }
    int count = 0;
};

struct CreateSubstrateTest : ::testing::Test {
    testing_support::CountingHost host;
    testing_support::ScriptedPrompts prompts;
    OperationContext context{host, prompts};

    std::shared_ptr<CreateSubstrateOperation> operation() {
        return std::make_shared<CreateSubstrateOperation>(context);
    }
    std::shared_ptr<TotalVolume> onlyVolume() {
        const auto objects = context.document->getObjects();
        if (objects.size() != 1)
            return nullptr;
        return std::dynamic_pointer_cast<TotalVolume>(objects.front());
    }
};

} // namespace

TEST_F(CreateSubstrateTest, DefaultCuboidFillsTheLowestThirtyLayers) {
    auto op = operation();
    op->setCuboidSubstrate(1, 100, 100, 80, Util::Vector3D(5, 6, 7), 0, 0, 0, 100, 100, 30);
    EXPECT_EQ(op->getState(), CreateSubstrateOperation::ParametersGiven);
    op->step();
    const auto volume = onlyVolume();
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume, op->getVolume());
    EXPECT_EQ(host.finished, 1);
    EXPECT_EQ(host.monitored, 1) << "filled and drawn as a long step the window shows";
    EXPECT_EQ(context.consoleInput.getLastMessage(),
              QStringLiteral("Create Substrate: substrate created successfully."));
    EXPECT_EQ(volume->getSizeZ(), 80u);
    EXPECT_EQ(volume->getCellSizeX(), 1.f);
    EXPECT_EQ(volume->getPosition().z, 7.0);

    const std::vector<int> cells = testing_support::materialsOf(*volume);
    int wrong = 0;
    for (std::size_t i = 0; i < cells.size(); ++i)
        wrong += cells[i] != (i % 80 < 30 ? 1 : 0);
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(volume->getPainter().getOpaqueFaces().empty()) << "built with its surface";
}

TEST_F(CreateSubstrateTest, CellSizesAndPositionInMicrometresFollowTheDocumentsScale) {
    // (document scale, cell edges in µm) -> cell sizes and position in scene units.
    const struct {
        double scale;
        double edges[3];
        float cellSizes[3];
        double positionX;
    } cases[] = {
        {1.0, {0.5, 0.5, 0.25}, {0.5f, 0.5f, 0.25f}, 10.0},
        {0.5, {0.5, 2.0, 1.0}, {1.f, 4.f, 2.f}, 20.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scale);
        context.document->clear();
        context.document->setMicrometresPerSceneUnit(c.scale);
        auto op = operation();
        op->setCellSize(c.edges[0], c.edges[1], c.edges[2]);
        op->setCuboidSubstrate(1, 4, 3, 2, Util::Vector3D(10, 0, 0), 0, 0, 0, 4, 3, 1);
        op->step();
        const auto volume = onlyVolume();
        ASSERT_TRUE(volume);
        EXPECT_EQ(volume->getCellSizeX(), c.cellSizes[0]);
        EXPECT_EQ(volume->getCellSizeY(), c.cellSizes[1]);
        EXPECT_EQ(volume->getCellSizeZ(), c.cellSizes[2]);
        EXPECT_EQ(volume->getPosition().x, c.positionX);
        EXPECT_EQ(volume->getMicrometresPerSceneUnit(), c.scale);
    }

    // A cell edge that is no length is refused before anything is built.
    context.document->clear();
    auto op = operation();
    op->setCellSize(1.0, 0.0, 1.0);
    op->setCuboidSubstrate(1, 4, 3, 2, Util::Vector3D(), 0, 0, 0, 4, 3, 1);
    op->step();
    EXPECT_TRUE(context.document->getObjects().empty());
    EXPECT_EQ(context.consoleInput.getLastMessage(),
              QStringLiteral("Create Substrate: The cell sizes must be positive numbers of "
                             "micrometres."));
}

TEST_F(CreateSubstrateTest, CuboidOutsideTheBoxIsCutOff) {
    SubstrateDescription description;
    description.material = 4;
    description.totalSizeX = 100;
    description.totalSizeY = 2;
    description.totalSizeZ = 2;
    description.substrateCornerX = 90;
    description.substrateSizeX = 20;
    description.substrateSizeY = 2;
    description.substrateSizeZ = 2;
    const auto cellsOf = [&description] {
        QString reason;
        const auto volume = description.createVolume(reason);
        return volume ? testing_support::materialsOf(*volume) : std::vector<int>();
    };
    const std::vector<int> cut = cellsOf();
    ASSERT_EQ(cut.size(), 400u);
    for (int x = 0; x < 100; ++x)
        EXPECT_EQ(cut[std::size_t(x) * 4 + 3], x >= 90 ? 4 : 0) << x;

    // Corners and sizes as large as the dialog allows must not wrap around.
    description.substrateCornerX = 999999999;
    description.substrateSizeX = 999999999;
    const std::vector<int> beyond = cellsOf();
    EXPECT_EQ(std::count(beyond.begin(), beyond.end(), 4), 0);
    description.substrateCornerX = -5;
    description.substrateSizeX = 7;
    const std::vector<int> before = cellsOf();
    EXPECT_EQ(std::count(before.begin(), before.end(), 4), 2 * 4);
}

TEST_F(CreateSubstrateTest, SphereAtTheOriginFillsOneOctantWithCellsOnTheSphereInside) {
    auto op = operation();
    op->setSphericalSubstrate(3, 100, 100, 100, Util::Vector3D(), 0, 0, 0, 50);
    op->step();
    const auto volume = onlyVolume();
    ASSERT_TRUE(volume);
    EXPECT_EQ(materialAt(*volume, 50, 0, 0), 3);
    EXPECT_EQ(materialAt(*volume, 0, 0, 50), 3);
    EXPECT_EQ(materialAt(*volume, 50, 1, 0), 0);
    EXPECT_EQ(materialAt(*volume, 35, 35, 0), 3);
    EXPECT_EQ(materialAt(*volume, 36, 35, 0), 0);
    EXPECT_EQ(materialAt(*volume, 28, 28, 28), 3);
    EXPECT_EQ(materialAt(*volume, 29, 29, 29), 0);
    EXPECT_EQ(materialAt(*volume, 99, 99, 99), 0);
}

TEST_F(CreateSubstrateTest, StepsFollowTheStatesAndEndIsIgnoredUntilReady) {
    auto observer = std::make_shared<CountingObserver>();
    auto op = operation();
    op->setObserver(observer);
    op->end();
    op->step();
    EXPECT_EQ(observer->count, 1) << "state 0 asks the observer";
    EXPECT_TRUE(context.document->getObjects().empty());
    EXPECT_EQ(host.finished + host.cancelled, 0);

    op->setCuboidSubstrate(1, 2, 2, 2, Util::Vector3D(), 0, 0, 0, 1, 1, 1);
    op->end();
    EXPECT_TRUE(context.document->getObjects().empty()) << "end() before step() does nothing";
    op->step();
    EXPECT_EQ(context.document->getObjects().size(), 1u);
    op->step();
    op->end();
    EXPECT_EQ(context.document->getObjects().size(), 1u) << "built once";

    auto rejected = operation();
    rejected->cancel();
    EXPECT_EQ(host.cancelled, 1);
    EXPECT_EQ(context.consoleInput.getLastMessage(),
              QStringLiteral("Create Substrate: substrate created successfully."))
        << "cancel prints nothing";
}

TEST_F(CreateSubstrateTest, OversizedVolumeIsRefusedBeforeAnythingIsAllocated) {
    auto op = operation();
    op->setCuboidSubstrate(1, 10000, 10000, 10000, Util::Vector3D(), 0, 0, 0, 10000, 10000, 30);
    op->step();
    EXPECT_TRUE(context.document->getObjects().empty());
    EXPECT_FALSE(op->getVolume());
    EXPECT_EQ(host.cancelled, 1);
    EXPECT_EQ(host.finished, 0);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains(QStringLiteral("10000 x 10000 x 10000")));
    EXPECT_TRUE(context.consoleInput.getLastMessage().startsWith(
        QStringLiteral("Create Substrate: A cell volume of 10000 x 10000 x 10000")));

    // A machine with little memory refuses what a large one would take.
    Model::Automaton::VolumeBudget::setAvailableBytesForTesting(1000);
    auto small = operation();
    small->setSphericalSubstrate(1, 20, 20, 20, Util::Vector3D(), 5, 5, 5, 3);
    small->step();
    Model::Automaton::VolumeBudget::setAvailableBytesForTesting(0);
    EXPECT_TRUE(context.document->getObjects().empty());
    EXPECT_EQ(host.cancelled, 2);

    auto empty = operation();
    empty->setCuboidSubstrate(1, 0, 5, 5, Util::Vector3D(), 0, 0, 0, 1, 1, 1);
    empty->step();
    EXPECT_TRUE(context.document->getObjects().empty());
    EXPECT_EQ(host.cancelled, 3);
}

TEST_F(CreateSubstrateTest, UndoAndRedoRemoveAndBringBackTheSameVolume) {
    auto op = operation();
    op->setCuboidSubstrate(1, 3, 3, 3, Util::Vector3D(), 0, 0, 0, 3, 3, 1);
    op->step();
    const auto volume = onlyVolume();
    ASSERT_TRUE(volume);
    const int id = volume->getId();
    context.selection.toggle(volume);

    EXPECT_EQ(op->undo(), 1);
    EXPECT_TRUE(context.document->getObjects().empty());
    EXPECT_FALSE(context.document->findObject(id));
    EXPECT_TRUE(context.selection.getSelectedObjects().empty()) << "gone from the selection too";
    EXPECT_FALSE(volume->isSelected());

    op->redo();
    ASSERT_TRUE(onlyVolume());
    EXPECT_EQ(onlyVolume()->getId(), id);
    EXPECT_EQ(op->undo(), 1);
    op->redo();
    EXPECT_EQ(context.document->findObject(id), volume);
}

namespace {

struct SelectVolumesTest : CreateSubstrateTest {
    std::shared_ptr<CountingObserver> batchRun = std::make_shared<CountingObserver>();
    void SetUp() override { SelectVolumesOperation::setObserver(batchRun); }
    void TearDown() override { SelectVolumesOperation::setObserver(nullptr); }
};

} // namespace

TEST_F(SelectVolumesTest, SelectedVolumeIsTakenAtOnce) {
    auto volume = testing_support::makeVolume(1, 1, 1, [](int, int, int) { return 1; });
    context.document->addObject(volume);
    context.selection.toggle(volume);
    auto op = std::make_shared<SelectVolumesOperation>(context);
    context.currentOperation = op;
    op->step();
    EXPECT_TRUE(op->isDone());
    EXPECT_EQ(op->getVolume(), volume);
    EXPECT_EQ(batchRun->count, 1);
    EXPECT_EQ(host.finished, 1);
    EXPECT_TRUE(context.selection.getSelectedObjects().empty());
    EXPECT_FALSE(context.selection.isSelectionMode());
    op->step();
    op->end();
    EXPECT_EQ(batchRun->count, 1) << "a finished choice is not made twice";
}

TEST_F(SelectVolumesTest, AnswerNoStartsWithoutAVolumeAndAnyOtherAnswerAsksAgain) {
    auto op = std::make_shared<SelectVolumesOperation>(context);
    context.currentOperation = op;
    op->step();
    const QString question = QStringLiteral(
        "Select volumes: Select a cell volume and press Enter/Return. To start without a cell "
        "volume type N and press Enter/Return.");
    EXPECT_EQ(context.consoleInput.getLastMessage(), question);
    EXPECT_TRUE(context.selection.isSelectionMode());

    context.consoleInput.writeMessage(QString());
    context.consoleInput.processInput(QStringLiteral("yes please"));
    EXPECT_FALSE(op->isDone());
    EXPECT_EQ(context.consoleInput.getLastMessage(), question);

    context.consoleInput.processInput(QStringLiteral("No"));
    EXPECT_TRUE(op->isDone());
    EXPECT_FALSE(op->getVolume());
    EXPECT_EQ(batchRun->count, 1);
    EXPECT_EQ(host.finished, 1);
}

TEST_F(SelectVolumesTest, CancelDropsTheRequestSilently) {
    auto op = std::make_shared<SelectVolumesOperation>(context);
    op->step();
    context.consoleInput.writeMessage(QStringLiteral("marker"));
    op->cancel();
    EXPECT_EQ(host.cancelled, 1);
    EXPECT_FALSE(context.consoleInput.getWaitingOperation());
    EXPECT_EQ(context.consoleInput.getLastMessage(), QStringLiteral("marker"));
    EXPECT_EQ(batchRun->count, 0);
}

} // namespace CELLVANE_TEST_FILE
