#include "Core/Operations/Document/opendocumentoperation.h"
#include "Model/document.h"
#include "UI/Observers/documentopenedobserver.h"
#include "UI/Observers/documentsavedobserver.h"
#include "UI/mainwindow.h"
#include "UI/mainwindowpresenter.h"
#include "support/fakeoperations.h"
#include "support/qtprinters.h"
#include "support/scenes.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>

namespace CELLVANE_TEST_FILE {

using Core::Operations::OpenDocumentOperation;
using Model::Automaton::TotalVolume;
using testing_support::makeVolume;
using testing_support::materialsOf;
using testing_support::ScriptedPrompts;
using Ui::MainWindow;

namespace {

struct Window {
    std::unique_ptr<MainWindow> window;
    ScriptedPrompts* prompts = nullptr;
};

MainWindow* scriptedWindow(ScriptedPrompts** prompts = nullptr) {
    auto scripted = std::make_unique<ScriptedPrompts>();
    if (prompts)
        *prompts = scripted.get();
    auto* window = new MainWindow(nullptr, std::move(scripted));
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    return window;
}

Window makeWindow() {
    Window made;
    made.window.reset(scriptedWindow(&made.prompts));
    return made;
}

std::vector<MainWindow*> mainWindows() {
    std::vector<MainWindow*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<MainWindow*>(widget))
            found.push_back(window);
    }
    return found;
}

std::shared_ptr<TotalVolume> onlyVolume(MainWindow& window) {
    const auto objects = window.getPresenter()->getDocument()->getObjects();
    return objects.size() == 1 ? std::dynamic_pointer_cast<TotalVolume>(objects[0]) : nullptr;
}

class DocumentWindows : public ::testing::Test {
protected:
    void TearDown() override { OpenDocumentOperation::setObserver(nullptr); }

    const QString fileName = QDir::home().filePath(QStringLiteral("wafer.cvx"));
};

} // namespace

TEST_F(DocumentWindows, SaveAndSaveAsPutTheFileNameIntoTheWindowTitle) {
    Window asking = makeWindow();
    auto document = asking.window->getPresenter()->getDocument();
    document->addObject(makeVolume(4, 3, 2, [](int x, int, int) { return x < 2 ? 1 : 3; }));

    asking.prompts->fileAnswer = fileName;
    asking.window->getPresenter()->operationActivated(QStringLiteral("9"));
    EXPECT_TRUE(QFile::exists(fileName));
    EXPECT_EQ(asking.window->windowTitle(),
              QStringLiteral("Cellvane  ") + fileName + QStringLiteral("[*]"));
    EXPECT_FALSE(asking.window->getPresenter()->getContext().currentOperation);

    const QString copy = QDir::home().filePath(QStringLiteral("copy.cvx"));
    asking.prompts->fileAnswer = copy;
    asking.window->getPresenter()->operationActivated(QStringLiteral("10"));
    EXPECT_EQ(asking.window->windowTitle(),
              QStringLiteral("Cellvane  ") + copy + QStringLiteral("[*]"));
    EXPECT_TRUE(asking.window->getPresenter()->getUndoRedoStack().undoName().isEmpty())
        << "saving is nothing to undo";
}

TEST_F(DocumentWindows, OpenShowsTheDocumentInANewWindowAndLeavesTheOldOneAlone) {
    Window asking = makeWindow();
    auto original = makeVolume(
        3, 2, 4, [](int x, int y, int z) { return (x + y * z) % 4; }, 2.f);
    original->translate(Util::Vector4D(1.0, 2.0, 3.0, 0.0));
    asking.window->getPresenter()->getDocument()->addObject(original);
    asking.prompts->fileAnswer = fileName;
    asking.window->getPresenter()->operationActivated(QStringLiteral("9"));
    asking.window->getPresenter()->getDocument()->clear();
    asking.window->setWindowTitle(QStringLiteral("Cellvane"));

    const std::size_t windowsBefore = mainWindows().size();
    asking.window->getPresenter()->operationActivated(QStringLiteral("11"));
    auto observer = std::dynamic_pointer_cast<Ui::Observers::DocumentOpenedObserver>(
        OpenDocumentOperation::getObserver());
    ASSERT_TRUE(observer);
    std::unique_ptr<MainWindow> opened(observer->getOpenedWindow());
    ASSERT_TRUE(opened);
    opened->setAttribute(Qt::WA_DeleteOnClose, false);
    EXPECT_EQ(mainWindows().size(), windowsBefore + 1);

    EXPECT_TRUE(opened->isVisible());
    EXPECT_NE(opened->normalGeometry().topLeft(), asking.window->normalGeometry().topLeft())
        << "the new window must not hide the first";
    EXPECT_EQ(opened->windowTitle(),
              QStringLiteral("Cellvane  ") + fileName + QStringLiteral("[*]"));
    EXPECT_EQ(opened->getPresenter()->getDocument()->getFileName(), fileName);
    const auto back = onlyVolume(*opened);
    ASSERT_TRUE(back);
    EXPECT_EQ(materialsOf(*back), materialsOf(*original));
    EXPECT_FLOAT_EQ(back->getCellSizeX(), 2.f);
    EXPECT_DOUBLE_EQ(back->getPosition().z, 3.0);

    EXPECT_TRUE(asking.window->getPresenter()->getDocument()->getObjects().empty());
    EXPECT_EQ(asking.window->windowTitle(), QStringLiteral("Cellvane"));
    EXPECT_TRUE(asking.prompts->messages.isEmpty());
}

TEST_F(DocumentWindows, AnUnreadableFileIsReportedOverTheAskingWindowAndOpensNothing) {
    {
        QFile junk(fileName);
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write("\x00\x01garbage<Document", 18);
    }
    Window asking = makeWindow();
    const std::size_t windowsBefore = mainWindows().size();
    asking.prompts->fileAnswer = fileName;
    asking.window->getPresenter()->operationActivated(QStringLiteral("11"));

    EXPECT_EQ(mainWindows().size(), windowsBefore);
    ASSERT_EQ(asking.prompts->messages.size(), 1);
    EXPECT_TRUE(
        asking.prompts->messages[0].startsWith(QStringLiteral("Error reading from file: ")));
    EXPECT_TRUE(QFile::exists(fileName));
    EXPECT_FALSE(asking.window->getPresenter()->getContext().currentOperation);
}

TEST_F(DocumentWindows, ADamagedFileOpensWhatItHoldsUnnamedAndSaysSo) {
    Window asking = makeWindow();
    asking.window->getPresenter()->getDocument()->addObject(
        makeVolume(2, 2, 2, [](int, int, int) { return 1; }));
    asking.prompts->fileAnswer = fileName;
    asking.window->getPresenter()->operationActivated(QStringLiteral("9"));
    QByteArray bytes;
    {
        QFile file(fileName);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        bytes = file.readAll();
    }
    {
        QFile file(fileName);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes.left(bytes.size() - 12));
    }

    ScriptedPrompts* openedPrompts = nullptr;
    Ui::Observers::DocumentOpenedObserver observer(
        *asking.window->getPresenter(),
        [&openedPrompts] { return scriptedWindow(&openedPrompts); });
    OpenDocumentOperation::rememberPath(fileName);
    observer.update();
    std::unique_ptr<MainWindow> opened(observer.getOpenedWindow());
    ASSERT_TRUE(opened);
    ASSERT_TRUE(onlyVolume(*opened));
    EXPECT_TRUE(opened->getPresenter()->getDocument()->getFileName().isEmpty());
    EXPECT_EQ(opened->windowTitle(),
              QStringLiteral("Cellvane  ") + fileName + QStringLiteral(" (incomplete)[*]"));
    ASSERT_EQ(openedPrompts->messages.size(), 1);
    EXPECT_TRUE(openedPrompts->messages[0].contains(QStringLiteral("damaged")));
}

// A document open in two windows: the second one's title is numbered, and closing it asks
// about the document by name.
TEST_F(DocumentWindows, TwoWindowsOfOneDocumentCanBeToldApart) {
    Window asking = makeWindow();
    asking.window->show();
    asking.window->getPresenter()->getDocument()->addObject(
        makeVolume(2, 2, 2, [](int, int, int) { return 1; }));
    asking.prompts->fileAnswer = fileName;
    asking.window->getPresenter()->operationActivated(QStringLiteral("9"));
    ASSERT_EQ(asking.window->windowTitle(), QStringLiteral("Cellvane  ") + fileName + "[*]");

    ScriptedPrompts* openedPrompts = nullptr;
    Ui::Observers::DocumentOpenedObserver observer(
        *asking.window->getPresenter(),
        [&openedPrompts] { return scriptedWindow(&openedPrompts); });
    OpenDocumentOperation::rememberPath(fileName);
    observer.update();
    std::unique_ptr<MainWindow> opened(observer.getOpenedWindow());
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->windowTitle(), QStringLiteral("Cellvane  ") + fileName + " (2)[*]");
    EXPECT_EQ(opened->getPresenter()->getConsole()->window(), opened.get())
        << "each window keeps its own console";

    auto* presenter = opened->getPresenter();
    presenter->getContext().currentOperation =
        std::make_shared<testing_support::FakeObjectOperation>(presenter->getContext(), "Step", 13);
    presenter->finishCurrentOperation();
    openedPrompts->saveAnswer = Core::Operations::IUserPrompts::SaveChoice::Cancel;
    EXPECT_FALSE(opened->close());
    EXPECT_EQ(openedPrompts->messages.value(0),
              QStringLiteral("Cellvane  ") + fileName + " (2): Save changes to wafer.cvx?");
    openedPrompts->saveAnswer = Core::Operations::IUserPrompts::SaveChoice::Discard;
}

TEST_F(DocumentWindows, TheSavedObserverFollowsTheDocumentsName) {
    QWidget window;
    auto document = std::make_shared<Model::Document>();
    Ui::Observers::DocumentSavedObserver observer(&window, document);
    document->setFileName(QStringLiteral("/tmp/a.cvx"));
    observer.update();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Cellvane  /tmp/a.cvx[*]"));
}

// A finished step, an undo and a redo each leave work that only a save keeps; closing the
// window then asks, and only Discard or a save that succeeded lets it go.
TEST_F(DocumentWindows, ClosingAModifiedDocumentAsksToSaveIt) {
    using Choice = Core::Operations::IUserPrompts::SaveChoice;
    Window asking = makeWindow();
    auto* presenter = asking.window->getPresenter();
    auto& context = presenter->getContext();
    context.document->addObject(makeVolume(2, 2, 2, [](int, int, int) { return 1; }));
    const auto finishStep = [&] {
        context.currentOperation =
            std::make_shared<testing_support::FakeObjectOperation>(context, "Step", 13);
        presenter->finishCurrentOperation();
    };
    EXPECT_FALSE(asking.window->isWindowModified());
    EXPECT_TRUE(asking.window->close()) << "nothing to lose, nothing asked";
    EXPECT_TRUE(asking.prompts->messages.isEmpty());

    finishStep();
    EXPECT_TRUE(asking.window->isWindowModified());
    asking.prompts->saveAnswer = Choice::Cancel;
    EXPECT_FALSE(asking.window->close());
    EXPECT_EQ(asking.prompts->messages.value(0),
              QStringLiteral("Cellvane: Save changes to the new document?"));

    asking.prompts->saveAnswer = Choice::Save;
    asking.prompts->fileAnswer.clear();
    EXPECT_FALSE(asking.window->close()) << "the file chooser was cancelled";
    EXPECT_TRUE(context.document->isModified());

    asking.prompts->fileAnswer = fileName;
    EXPECT_TRUE(asking.window->close());
    EXPECT_TRUE(QFile::exists(fileName));
    EXPECT_FALSE(asking.window->isWindowModified());
    EXPECT_EQ(asking.window->windowTitle(), QStringLiteral("Cellvane  ") + fileName + "[*]");

    presenter->undo();
    EXPECT_TRUE(asking.window->isWindowModified());
    presenter->operationActivated(QStringLiteral("9"));
    EXPECT_FALSE(asking.window->isWindowModified()) << "a named document saves without asking";
    presenter->redo();
    EXPECT_TRUE(context.document->isModified());
    asking.prompts->saveAnswer = Choice::Discard;
    EXPECT_TRUE(asking.window->close());
}

// How the program starts with the documents of its command line (or of the file manager): each
// opens as File > Open opens it, and the first window stays only when nothing else could.
TEST_F(DocumentWindows, DocumentsGivenAtStartOpenEachInAWindowOfItsOwn) {
    const QString other = QDir::home().filePath(QStringLiteral("other.cvx"));
    const QString junk = QDir::home().filePath(QStringLiteral("junk.cvx"));
    {
        Window saving = makeWindow();
        saving.window->getPresenter()->getDocument()->addObject(
            makeVolume(2, 3, 2, [](int x, int, int) { return x + 1; }));
        for (const QString& name : {fileName, other}) {
            saving.prompts->fileAnswer = name;
            saving.window->getPresenter()->operationActivated(QStringLiteral("10"));
        }
        QFile file(junk);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a document");
    }

    struct Case {
        const char* what;
        QStringList arguments;
        QStringList titles; // of the windows opened, sorted
        int messages;
        bool firstShown;
    };
    const QString title = QStringLiteral("Cellvane  %1[*]");
    const Case cases[] = {
        {"nothing given", {}, {}, 0, true},
        {"two documents", {fileName, other}, {title.arg(other), title.arg(fileName)}, 0, false},
        {"no document", {junk}, {}, 1, true},
        // The working folder is the test's home, so the relative name is this same file.
        {"relative and junk", {QStringLiteral("wafer.cvx"), junk}, {title.arg(fileName)}, 1, false},
    };
    for (const Case& start : cases) {
        SCOPED_TRACE(start.what);
        const std::vector<MainWindow*> before = mainWindows();
        Window first = makeWindow();
        first.window->showWithDocuments(start.arguments);

        std::vector<std::unique_ptr<MainWindow>> opened;
        for (MainWindow* window : mainWindows()) {
            if (window != first.window.get() &&
                std::find(before.begin(), before.end(), window) == before.end())
                opened.emplace_back(window);
        }
        QStringList titles;
        for (const auto& window : opened) {
            window->setAttribute(Qt::WA_DeleteOnClose, false);
            titles << window->windowTitle();
            EXPECT_TRUE(window->isVisible());
            ASSERT_TRUE(onlyVolume(*window));
            EXPECT_EQ(onlyVolume(*window)->getSizeY(), 3u);
        }
        titles.sort();
        EXPECT_EQ(titles, start.titles);
        EXPECT_EQ(first.window->isVisible(), start.firstShown);
        ASSERT_EQ(first.prompts->messages.size(), start.messages);
        if (start.messages) {
            EXPECT_TRUE(
                first.prompts->messages[0].startsWith(QStringLiteral("Error reading from file: ")));
        }
        EXPECT_TRUE(first.window->getPresenter()->getDocument()->getObjects().empty());
        EXPECT_FALSE(first.window->getPresenter()->getContext().currentOperation);
    }
}

} // namespace CELLVANE_TEST_FILE
