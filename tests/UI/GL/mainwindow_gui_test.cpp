#include "guitestsupport.h"

#include "Model/Automaton/totalvolume.h"
#include "UI/mainwindowpresenter.h"

#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStatusBar>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using gui_support::ShownWindow;

namespace {

QStringList itemTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

QAction* action(Ui::MainWindow* window, const char* name) {
    return window->findChild<QAction*>(QString::fromLatin1(name));
}

} // namespace

TEST(MainWindowMenus, MenuBarAndItemsComeInOrder) {
    ShownWindow shown;
    QMenuBar* bar = shown.window->menuBar();
    QStringList titles;
    for (QAction* menu : bar->actions())
        titles << menu->text();
    EXPECT_EQ(titles, QStringList({"File", "Edit", "Simulation", "Measure", "Materials",
                                   "Rendering", "View", "Windows", "About"}));

    const QList<QAction*> menus = bar->actions();
    ASSERT_EQ(menus.size(), 9);
    const QStringList expected[] = {
        {"New", "Open", "Save", "Save As ...", "-", "Save Image", "Save Cross-Section...",
         "Export Mesh...", "Export Volume...", "-", "Exit"},
        {"Undo", "Redo", "-", "Select", "Copy", "Move", "Delete", "-", "Grid", "Snap to Grid",
         "Grid Spacing"},
        {"Create Substrate",
         "-",
         "Doping",
         "Electroplating",
         "Ion Implantation",
         "PVD",
         "CVD",
         "Isotropic Etching",
         "Release Etch",
         "Moore Deposition",
         "Moore Etching",
         "Photolithography",
         "Planarization",
         "Si Oxidation",
         "Si Wet Etching",
         "Si Wet Etching (CCA)",
         "Simple RIE",
         "Flux Etching",
         "Flux Deposition",
         "Bosch DRIE",
         "Pour Material",
         "-",
         "Extract Film",
         "Glue Substrate",
         "-",
         "Batch Run",
         "-"},
        {"Measure Distance", "Stack at Point", "Free Structures"},
        {"Manage Materials", "Manage Compatible Materials"},
        {"Render Objects", "Lighting", "Render Object Edges", "-",
         "Change Cell Volume Viewing Options", "Cut Cell Volume", "Cross-Section", "-",
         "Configure Window Colors"},
        {"Front View", "Back View", "Bottom View", "Top View", "Right View", "Left View", "-",
         "Show Axis", "-", "Set View", "Set Lighting"},
        {"Console", "Step History"},
        {"About Cellvane"},
    };
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(itemTexts(menus[i]->menu()), expected[i]) << titles.value(i).toStdString();

    // Model extraction exists, disabled, outside every menu.
    QAction* extraction = action(shown.window, "actionModel_Extraction");
    ASSERT_NE(extraction, nullptr);
    EXPECT_FALSE(extraction->isEnabled());
    for (QAction* menu : menus)
        EXPECT_FALSE(menu->menu()->actions().contains(extraction));
}

TEST(MainWindowMenus, ActionsCarryTheirShortcutsTipsAndCheckStates) {
    ShownWindow shown;
    Ui::MainWindow* w = shown.window;
    const std::pair<const char*, const char*> shortcuts[] = {
        {"actionExit", "Ctrl+Q"}, {"actionUndo", "Ctrl+Z"}, {"actionRedo", "Ctrl+Y"},
        {"actionCopy", "Ctrl+C"}, {"actionSave", "Ctrl+S"}, {"actionOpen", "Ctrl+O"}};
    for (const auto& [name, keys] : shortcuts) {
        ASSERT_NE(action(w, name), nullptr) << name;
        EXPECT_EQ(action(w, name)->shortcut(), QKeySequence(QString::fromLatin1(keys))) << name;
    }
    EXPECT_EQ(action(w, "actionExit")->iconText(), "Exit");
    EXPECT_EQ(action(w, "actionExit")->toolTip(), "Exit Cellvane");
    EXPECT_EQ(action(w, "actionSave_as")->text(), "Save As ...");
    EXPECT_EQ(action(w, "actionCreate_Substrate")->whatsThis(),
              "This creates a simulation volume with a substrate inside. This is the first step "
              "in running simulations using Cellvane.");
    EXPECT_EQ(action(w, "actionCut_Cell_Volume")->toolTip(),
              "Cut Make cuts to view inside the cell volume. Volume");
    EXPECT_EQ(action(w, "actionDoping")->statusTip(),
              "Simulate P and N type doping of Si substrates.");
    EXPECT_EQ(action(w, "actionLighting")->statusTip(), "Enable or disable lighting.");

    const std::pair<const char*, bool> checkables[] = {{"actionConsole", true},
                                                       {"actionSelect", false},
                                                       {"actionRender_Objects", true},
                                                       {"actionLighting", true},
                                                       {"actionRender_Object_Edges", false},
                                                       {"actionGrid", false},
                                                       {"actionSnap_to_Grid", false},
                                                       {"actionShow_Axis", true}};
    for (const auto& [name, checked] : checkables) {
        EXPECT_TRUE(action(w, name)->isCheckable()) << name;
        EXPECT_EQ(action(w, name)->isChecked(), checked) << name;
    }
    EXPECT_FALSE(action(w, "actionCopy")->isCheckable());
    EXPECT_FALSE(action(w, "actionUndo")->isEnabled());
    EXPECT_FALSE(action(w, "actionRedo")->isEnabled());
    EXPECT_EQ(w->windowTitle(), "Cellvane[*]");
}

TEST(MainWindowMenus, MenuActionsStartTheirOperationNumbers) {
    ShownWindow shown;
    Ui::MainWindowPresenter* presenter = shown.window->getPresenter();
    struct Recorder : Core::Operations::IOperationFactory {
        Core::Operations::OperationPtr create(unsigned int number) override {
            asked.push_back(number);
            return nullptr;
        }
        std::vector<unsigned> asked;
    };
    auto recorder = std::make_shared<Recorder>();
    presenter->setOperationFactory(recorder);
    const std::pair<const char*, unsigned> mapped[] = {{"actionCopy", 1},
                                                       {"actionCreate_Substrate", 2},
                                                       {"actionIon_Implantation", 3},
                                                       {"actionDelete", 4},
                                                       {"actionChange_Viewing_Options", 6},
                                                       {"actionMove", 7},
                                                       {"actionExtract_Film", 8},
                                                       {"actionSave", 9},
                                                       {"actionSave_as", 10},
                                                       {"actionOpen", 11},
                                                       {"actionGlue_Substrate", 12},
                                                       {"actionCVD", 13},
                                                       {"actionIsotropic_Film_Etching", 14},
                                                       {"actionElectrodeposition", 15},
                                                       {"actionCut_Cell_Volume", 16},
                                                       {"actionDoping", 17},
                                                       {"actionMoore_Deposition", 18},
                                                       {"actionMoore_Etching", 19},
                                                       {"actionPhotolithography", 20},
                                                       {"actionPlanarization", 22},
                                                       {"actionSpin_Coating", 23},
                                                       {"actionBatch_Run", 24},
                                                       {"actionSi_Oxidation", 26},
                                                       {"actionPVD", 27},
                                                       {"actionBCA_Wet_Etching", 28},
                                                       {"actionContinuous_Wet_Etching", 29},
                                                       {"actionSimple_RIE", 30},
                                                       {"actionExport_Mesh", 40},
                                                       {"actionExport_Volume", 41}};
    for (const auto& [name, number] : mapped) {
        recorder->asked.clear();
        action(shown.window, name)->trigger();
        ASSERT_EQ(recorder->asked.size(), 1u) << name;
        EXPECT_EQ(recorder->asked[0], number) << name;
    }
    // Toggles and dialogs never reach the factory.
    recorder->asked.clear();
    action(shown.window, "actionGrid")->trigger();
    action(shown.window, "actionFront_View")->trigger();
    EXPECT_TRUE(recorder->asked.empty());
}

TEST(MainWindowView, QPressedThreeTimesMovesTheDocumentAndReportsEachStep) {
    ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    QSignalSpy moved(shown.view, &Ui::GLWidget::axisPositionChanged);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(shown.window, Qt::Key_Q);
    EXPECT_EQ(moved.count(), 3);
    const auto& t = shown.view->getCamera().translation;
    EXPECT_FLOAT_EQ(t[0], 15.0f);
    EXPECT_FLOAT_EQ(t[1], 0.0f);
    EXPECT_FLOAT_EQ(t[2], 0.0f);
    EXPECT_EQ(shown.window->statusBar()->currentMessage(),
              "Volume position in relation to the axes: X = 15 µm Y = 0 µm Z = 0 µm");

    QTest::keyClick(shown.window, Qt::Key_D);
    QTest::keyClick(shown.window, Qt::Key_W);
    EXPECT_FLOAT_EQ(t[1], 5.0f);
    EXPECT_FLOAT_EQ(t[2], -5.0f);
}

TEST(MainWindowView, WheelNotchesZoomByATenthEitherWay) {
    ShownWindow shown;
    QSignalSpy zoomed(shown.view, &Ui::GLWidget::zoomChanged);
    gui_support::wheel(shown.view, 120);
    EXPECT_FLOAT_EQ(shown.view->getZoom(), 1.1f);
    ASSERT_EQ(zoomed.count(), 1);
    EXPECT_FLOAT_EQ(zoomed.at(0).at(0).toFloat(), 110.0f);
    EXPECT_EQ(shown.window->statusBar()->currentMessage(), "Zoom = 110%");
    gui_support::wheel(shown.view, -120);
    EXPECT_NEAR(shown.view->getZoom(), 1.0f, 1e-6);

    // Off the centre the scene point under the pointer stays under it.
    const QPoint pointer = shown.view->rect().center() + QPoint(200, -100);
    const auto underPointer = [&] {
        const auto& offset = shown.view->getCamera().viewOffset;
        const float zoom = shown.view->getZoom();
        const QPoint fromCentre =
            pointer - QPoint(shown.view->width() / 2, shown.view->height() / 2);
        return QPointF(fromCentre.x() / zoom - offset[0], -fromCentre.y() / zoom - offset[1]);
    };
    const QPointF before = underPointer();
    gui_support::wheel(shown.view, 240, {}, pointer);
    EXPECT_NEAR(underPointer().x(), before.x(), 1e-3);
    EXPECT_NEAR(underPointer().y(), before.y(), 1e-3);
    gui_support::wheel(shown.view, -360, {}, pointer);
    EXPECT_NEAR(underPointer().x(), before.x(), 1e-3);
    EXPECT_NEAR(underPointer().y(), before.y(), 1e-3);
    shown.view->setViewOffset(0.0f, 0.0f);
    shown.view->setZoom(1.0f);

    // Shift turns the wheel onto the active lamp's radius instead.
    QTest::keyClick(shown.window, Qt::Key_L);
    gui_support::wheel(shown.view, 120, Qt::ShiftModifier);
    EXPECT_NEAR(shown.view->getZoom(), 1.0f, 1e-6);
    EXPECT_FLOAT_EQ(shown.view->getLamps().radius[0], 330.0f);
}

TEST(MainWindowView, LTogglesTheActiveLampAndOnlyTheActiveSymbolIsYellow) {
    ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    const QRgb yellow = qRgb(255, 255, 0);
    EXPECT_EQ(shown.view->getLamps().activeLamp, 0);
    EXPECT_EQ(gui_support::countPixels(shown.view->grabScene(), yellow), 0);

    QTest::keyClick(shown.window, Qt::Key_L);
    EXPECT_EQ(shown.view->getLamps().activeLamp, 1);
    EXPECT_GT(gui_support::countPixels(shown.view->grabScene(), yellow), 20);

    QTest::keyClick(shown.window, Qt::Key_L);
    EXPECT_EQ(shown.view->getLamps().activeLamp, 0);
    EXPECT_EQ(gui_support::countPixels(shown.view->grabScene(), yellow), 0);
}

TEST(MainWindowView, NamedViewsSetTheRotationAngles) {
    ShownWindow shown;
    const auto& angles = shown.view->getCamera().angles;
    const std::tuple<const char*, float, float, float> views[] = {
        {"actionFront_View", -90, 0, 0},  {"actionBack_view", -90, 0, 180},
        {"actionLeft_View", -90, 0, 90},  {"actionRight_View", -90, 0, -90},
        {"actionBottom_View", 180, 0, 0}, {"actionTop_View", 0, 0, 0}};
    for (const auto& [name, x, y, z] : views) {
        action(shown.window, name)->trigger();
        EXPECT_FLOAT_EQ(angles[0], x) << name;
        EXPECT_FLOAT_EQ(angles[1], y) << name;
        EXPECT_FLOAT_EQ(angles[2], z) << name;
    }
    shown.window->setView("front");
    shown.window->setView("sideways");
    EXPECT_FLOAT_EQ(angles[0], -90.0f);
    EXPECT_FLOAT_EQ(angles[2], 0.0f);
}

TEST(MainWindowView, ViewTogglesReachTheView) {
    ShownWindow shown;
    action(shown.window, "actionShow_Axis")->trigger();
    EXPECT_FALSE(shown.view->isAxisShown());
    action(shown.window, "actionLighting")->trigger();
    EXPECT_FALSE(shown.view->isLighting());
    action(shown.window, "actionRender_Objects")->trigger();
    EXPECT_FALSE(shown.view->isRenderingObjects());
    action(shown.window, "actionRender_Object_Edges")->trigger();
    EXPECT_TRUE(shown.view->isRenderingEdges());
    action(shown.window, "actionGrid")->trigger();
    EXPECT_TRUE(shown.view->isGridShown());
    action(shown.window, "actionSnap_to_Grid")->trigger();
    EXPECT_TRUE(shown.view->isSnappingToGrid());

    // The Select action follows the selection mode whoever changes it.
    shown.window->getPresenter()->setSelectionMode(true);
    EXPECT_TRUE(action(shown.window, "actionSelect")->isChecked());
    action(shown.window, "actionSelect")->trigger();
    EXPECT_FALSE(shown.window->getPresenter()->getSelection().isSelectionMode());
}

// The console lives in a dock of the main window, so it cannot fall behind it; its messages
// grow with the dock, floated or docked, and the Windows menu follows its visibility.
TEST(MainWindowView, ConsoleIsADockThatGrowsAndFollowsItsAction) {
    ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    QWidget* console = shown.window->getPresenter()->getConsole();
    QDockWidget* dock = shown.window->getConsoleDock();
    ASSERT_TRUE(dock);
    EXPECT_EQ(dock->widget(), console);
    EXPECT_EQ(console->window(), shown.window) << "inside the main window, not a window of its own";
    EXPECT_EQ(shown.window->dockWidgetArea(dock), Qt::BottomDockWidgetArea);
    EXPECT_TRUE(dock->features().testFlag(QDockWidget::DockWidgetMovable));
    EXPECT_TRUE(dock->features().testFlag(QDockWidget::DockWidgetFloatable));
    EXPECT_TRUE(console->isVisible());

    auto* messages = console->findChild<QPlainTextEdit*>(QStringLiteral("plainTextEdit"));
    ASSERT_TRUE(messages);
    dock->setFloating(true);
    dock->resize(600, 500);
    QApplication::processEvents();
    EXPECT_GT(messages->height(), 350) << "the message pane fills the floated console";
    EXPECT_GT(messages->width(), 550);
    dock->setFloating(false);

    QAction* toggle = action(shown.window, "actionConsole");
    toggle->trigger();
    EXPECT_FALSE(dock->isVisible());
    toggle->trigger();
    EXPECT_TRUE(dock->isVisible());
    dock->close();
    EXPECT_FALSE(toggle->isChecked());
}

} // namespace CELLVANE_TEST_FILE
