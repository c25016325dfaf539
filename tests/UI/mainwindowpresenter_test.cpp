#include "Model/Automaton/totalvolume.h"
#include "UI/mainwindow.h"
#include "UI/mainwindowpresenter.h"
#include "support/fakeoperations.h"

#include <QAction>
#include <gtest/gtest.h>

#include <map>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using testing_support::FakeObjectOperation;
using testing_support::FakeOperation;
using testing_support::ScriptedPrompts;

namespace {

// Hands out fakes: numbers below 100 are undoable, 100 and above are not; 5 creates nothing.
class FakeFactory : public IOperationFactory {
public:
    explicit FakeFactory(OperationContext& context) : context(context) {}
    OperationPtr create(unsigned number) override {
        if (number == 5 || number == 0)
            return nullptr;
        const QString name = QStringLiteral("Op%1").arg(number);
        OperationPtr created;
        if (number < 100)
            created = std::make_shared<FakeObjectOperation>(context, name, int(number));
        else
            created = std::make_shared<FakeOperation>(context, name, int(number));
        made[number] = created;
        return created;
    }
    OperationContext& context;
    std::map<unsigned, OperationPtr> made;
};

class CountingObserver : public Util::IObserver {
public:
    void update() override { ++count; }
    int count = 0;
};

struct PresenterTest : ::testing::Test {
    void SetUp() override {
        auto scripted = std::make_unique<ScriptedPrompts>();
        prompts = scripted.get();
        presenter = std::make_unique<Ui::MainWindowPresenter>(nullptr, std::move(scripted));
        factory = std::make_shared<FakeFactory>(presenter->getContext());
        presenter->setOperationFactory(factory);
        presenter->getUpdateObservers().push_back(updates);
    }

    FakeObjectOperation& undoable(unsigned number) {
        return static_cast<FakeObjectOperation&>(*factory->made.at(number));
    }
    void runToEnd(unsigned number) {
        presenter->operationActivated(QString::number(number));
        presenter->getContext().currentOperation->end();
    }

    ScriptedPrompts* prompts = nullptr;
    std::unique_ptr<Ui::MainWindowPresenter> presenter;
    std::shared_ptr<FakeFactory> factory;
    std::shared_ptr<CountingObserver> updates = std::make_shared<CountingObserver>();
};

} // namespace

TEST_F(PresenterTest, ActivationCancelsTheCurrentOperationAndStepsTheNewOne) {
    presenter->operationActivated(QStringLiteral("13"));
    auto& first = undoable(13);
    EXPECT_EQ(first.log.steps, 1);
    presenter->operationActivated(QStringLiteral("14"));
    EXPECT_EQ(first.log.cancels, 1);
    EXPECT_EQ(undoable(14).log.steps, 1);
    EXPECT_EQ(presenter->getContext().currentOperation, factory->made.at(14));
}

TEST_F(PresenterTest, UnknownNumbersLeaveNoCurrentOperation) {
    presenter->operationActivated(QStringLiteral("13"));
    presenter->operationActivated(QStringLiteral("5"));
    EXPECT_EQ(undoable(13).log.cancels, 1);
    EXPECT_EQ(presenter->getContext().currentOperation, nullptr);
    presenter->operationActivated(QStringLiteral("not a number"));
    EXPECT_EQ(presenter->getContext().currentOperation, nullptr);
}

TEST_F(PresenterTest, CancelKeyCancelsAndAlwaysClearsTheSelection) {
    auto volume = std::make_shared<Model::Automaton::TotalVolume>(
        1, 1, 1, 1.f, 1.f, 1.f, Util::Vector3D(), std::vector<int>{1});
    presenter->getSelection().toggle(volume);
    presenter->cancelPressed();
    EXPECT_FALSE(volume->isSelected());
    EXPECT_GE(updates->count, 1);

    presenter->operationActivated(QStringLiteral("13"));
    presenter->cancelPressed();
    EXPECT_EQ(undoable(13).log.cancels, 1);
    EXPECT_EQ(presenter->getContext().currentOperation, nullptr);
}

TEST_F(PresenterTest, FinishedUndoableOperationsGoOnTheUndoStackOthersDoNot) {
    runToEnd(13);
    runToEnd(100);
    const auto& stacks = presenter->getUndoRedoStack();
    ASSERT_EQ(stacks.getUndoStack().size(), 1u);
    EXPECT_EQ(stacks.getUndoStack().back()->getName(), QStringLiteral("Op13"));
    EXPECT_EQ(presenter->getContext().currentOperation, nullptr);
}

TEST_F(PresenterTest, UndoRedoWalkTheStacksAndANewOperationEmptiesRedo) {
    runToEnd(13);
    runToEnd(14);
    auto& stacks = presenter->getUndoRedoStack();

    EXPECT_TRUE(presenter->undo());
    EXPECT_EQ(undoable(14).log.undos, 1);
    EXPECT_EQ(stacks.undoName(), QStringLiteral("Op13"));
    EXPECT_EQ(stacks.redoName(), QStringLiteral("Op14"));

    presenter->redo();
    EXPECT_EQ(undoable(14).log.redos, 1);
    EXPECT_EQ(stacks.undoName(), QStringLiteral("Op14"));
    EXPECT_TRUE(stacks.redoName().isEmpty());

    presenter->undo();
    runToEnd(15);
    EXPECT_TRUE(stacks.getRedoStack().empty());
    EXPECT_EQ(stacks.undoName(), QStringLiteral("Op15"));
}

TEST_F(PresenterTest, UndoThatCannotUndoKeepsTheOperationOnTheUndoStack) {
    runToEnd(13);
    undoable(13).undoResult = 0;
    EXPECT_TRUE(presenter->undo());
    EXPECT_EQ(presenter->getUndoRedoStack().getUndoStack().size(), 1u);
    EXPECT_TRUE(presenter->getUndoRedoStack().getRedoStack().empty());
}

TEST_F(PresenterTest, RedoThatFailsKeepsTheOperationOnTheRedoStack) {
    runToEnd(13);
    presenter->undo();
    presenter->getDocument()->setModified(false);
    undoable(13).redoResult = false;
    presenter->redo();
    EXPECT_EQ(undoable(13).log.redos, 1);
    EXPECT_TRUE(presenter->getUndoRedoStack().getUndoStack().empty());
    EXPECT_EQ(presenter->getUndoRedoStack().redoName(), QStringLiteral("Op13"));
    EXPECT_FALSE(presenter->getDocument()->isModified());
}

TEST_F(PresenterTest, CancellingAnOperationThatWaitsForAPickEndsSelectMode) {
    presenter->operationActivated(QStringLiteral("13"));
    presenter->getSelection().setSelectionMode(true);
    presenter->cancelPressed();
    EXPECT_FALSE(presenter->getSelection().isSelectionMode());
}

TEST_F(PresenterTest, UndoWithAnEmptyStackOnlyNotifiesTheUndoObservers) {
    auto undoSeen = std::make_shared<CountingObserver>();
    auto redoSeen = std::make_shared<CountingObserver>();
    presenter->getUndoRedoStack().getUndoObservers().push_back(undoSeen);
    presenter->getUndoRedoStack().getRedoObservers().push_back(redoSeen);
    EXPECT_FALSE(presenter->undo());
    EXPECT_EQ(undoSeen->count, 1);
    EXPECT_EQ(redoSeen->count, 0);
}

TEST_F(PresenterTest, UndoAndRedoCancelTheRunningOperationFirst) {
    runToEnd(13);
    presenter->operationActivated(QStringLiteral("14"));
    presenter->undo();
    EXPECT_EQ(undoable(14).log.cancels, 1);
    presenter->operationActivated(QStringLiteral("15"));
    presenter->redo();
    EXPECT_EQ(undoable(15).log.cancels, 1);
}

// New asks only about unsaved work, and offers to save it; Cancel keeps everything.
TEST_F(PresenterTest, NewDocumentAsksToSaveOnlyUnsavedWork) {
    auto volume = std::make_shared<Model::Automaton::TotalVolume>(
        1, 1, 1, 1.f, 1.f, 1.f, Util::Vector3D(), std::vector<int>{1});
    presenter->getDocument()->addObject(volume);
    presenter->getDocument()->setFileName(QStringLiteral("a.cvx"));
    runToEnd(13);
    presenter->getProcessHistory().recordOperation(volume->getId(), 13);

    prompts->saveAnswer = Core::Operations::IUserPrompts::SaveChoice::Cancel;
    presenter->newDocument();
    ASSERT_EQ(prompts->messages.size(), 1);
    EXPECT_EQ(prompts->messages[0], QStringLiteral("Create new document: Save changes to a.cvx?"));
    EXPECT_EQ(presenter->getDocument()->getObjects().size(), 1u);

    prompts->saveAnswer = Core::Operations::IUserPrompts::SaveChoice::Discard;
    presenter->operationActivated(QStringLiteral("14"));
    presenter->newDocument();
    EXPECT_EQ(undoable(14).log.cancels, 1);
    EXPECT_TRUE(presenter->getDocument()->getObjects().empty());
    EXPECT_TRUE(presenter->getDocument()->getFileName().isEmpty());
    EXPECT_TRUE(presenter->getUndoRedoStack().getUndoStack().empty());
    EXPECT_EQ(presenter->getProcessHistory().lastOperation(volume->getId()), 0u);
    EXPECT_EQ(presenter->getContext().currentOperation, nullptr);

    // A saved (or untouched) document goes without a question.
    presenter->getDocument()->addObject(volume);
    presenter->getDocument()->setModified(false);
    prompts->messages.clear();
    presenter->newDocument();
    EXPECT_TRUE(prompts->messages.isEmpty());
    EXPECT_TRUE(presenter->getDocument()->getObjects().empty());
}

TEST_F(PresenterTest, EnterReachesTheOperationThatWaitsForIt) {
    presenter->operationActivated(QStringLiteral("13"));
    auto& waiting = undoable(13);
    presenter->getConsoleInput().requestEnter(waiting);
    presenter->enterPressed();
    EXPECT_EQ(waiting.log.steps, 2);
}

TEST(MainWindowUndoActions, TextsAndEnabledStatesFollowTheStacks) {
    Ui::MainWindow window;
    auto* presenter = window.getPresenter();
    auto factory = std::make_shared<FakeFactory>(presenter->getContext());
    presenter->setOperationFactory(factory);
    QAction* undo = window.getUndoAction();
    QAction* redo = window.getRedoAction();
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_FALSE(redo->isEnabled());

    // Undo and Redo name a step as the menu that started it does.
    presenter->operationActivated(QStringLiteral("13"));
    presenter->getContext().currentOperation->end();
    EXPECT_EQ(undo->text(), QStringLiteral("Undo CVD"));
    EXPECT_TRUE(undo->isEnabled());

    undo->trigger();
    EXPECT_EQ(undo->text(), QStringLiteral("Undo "));
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(redo->text(), QStringLiteral("Redo CVD"));
    EXPECT_TRUE(redo->isEnabled());

    presenter->operationActivated(QStringLiteral("14"));
    presenter->getContext().currentOperation->end();
    EXPECT_EQ(redo->text(), QStringLiteral("Redo "));
    EXPECT_FALSE(redo->isEnabled());
}

// Steps whose own names no menu shows (or two steps share) are undone under their menu's name;
// one that no menu starts keeps its own.
TEST(MainWindowUndoActions, EveryStepIsNamedAsItsMenuItem) {
    Ui::MainWindow window;
    auto* presenter = window.getPresenter();
    auto& stacks = presenter->getUndoRedoStack();
    const std::pair<int, const char*> steps[] = {
        {28, "Undo Si Wet Etching"},
        {29, "Undo Si Wet Etching (CCA)"},
        {18, "Undo Moore Deposition"},
        {19, "Undo Moore Etching"},
        {27, "Undo PVD"},
        {26, "Undo Si Oxidation"},
        {24, "Undo Batch Run"},
        {7, "Undo Move"},
        {99, "Undo Own Name"},
    };
    for (const auto& [id, text] : steps) {
        stacks.pushFinished(std::make_shared<testing_support::FakeObjectOperation>(
            presenter->getContext(), QStringLiteral("Own Name"), id));
        EXPECT_EQ(window.getUndoAction()->text(), QString::fromUtf8(text)) << id;
    }
}

TEST(MainWindowNew, ClearedDocumentDropsItsFileNameFromTheTitle) {
    auto scripted = std::make_unique<ScriptedPrompts>();
    ScriptedPrompts* prompts = scripted.get();
    Ui::MainWindow window(nullptr, std::move(scripted));
    window.getPresenter()->getDocument()->setFileName(QStringLiteral("wafer.cvx"));
    window.setWindowTitle(QStringLiteral("Cellvane  wafer.cvx[*]"));
    QAction* actionNew = window.findChild<QAction*>(QStringLiteral("actionNew"));
    ASSERT_NE(actionNew, nullptr);

    window.getPresenter()->getDocument()->setModified(true);
    prompts->saveAnswer = Core::Operations::IUserPrompts::SaveChoice::Cancel;
    actionNew->trigger();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Cellvane  wafer.cvx[*]"));
    prompts->saveAnswer = Core::Operations::IUserPrompts::SaveChoice::Discard;
    actionNew->trigger();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Cellvane[*]"));
}

} // namespace CELLVANE_TEST_FILE
