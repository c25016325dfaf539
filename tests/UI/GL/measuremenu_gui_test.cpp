#include "Model/Automaton/totalvolume.h"
#include "UI/mainwindowpresenter.h"
#include "guitestsupport.h"

#include <QAction>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cmath>

namespace CELLVANE_TEST_FILE {

namespace {

using gui_support::ShownWindow;

// 80 × 80 µm seen from the top around the origin: 4 µm of silicon, and 2 µm of oxide on its
// left half, whose top lies at z = -4.
std::shared_ptr<Model::Automaton::TotalVolume> filmOnSilicon() {
    return std::make_shared<Model::Automaton::TotalVolume>(
        40, 40, 6, 2.f, 2.f, 1.f, Util::Vector3D(-40, -40, -10),
        [](unsigned x, unsigned, Model::Automaton::MaterialCells column) {
            column.fill(0, 4, 1);
            if (x < 20)
                column.fill(4, 6, 3);
        });
}

} // namespace

// The Measure menu, as a user works it: Stack at Point takes one click on the volume and lists
// its layers, Measure Distance takes two and gives the distance and its components; neither is
// something to undo.
TEST(MeasureMenu, StackAtPointAndMeasureDistanceAnswerInTheConsole) {
    ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    shown.view->setNamedView("top");
    auto volume = filmOnSilicon();
    volume->getPainter().rebuild();
    Ui::MainWindowPresenter* presenter = shown.window->getPresenter();
    presenter->getDocument()->addObject(volume);
    // The view frames a volume it has not shown; this test's clicks want one pixel a micrometre
    // around the origin.
    shown.view->updateGL();
    shown.view->setNamedView("top");
    shown.view->setTranslation(0.f, 0.f, 0.f);
    shown.view->setViewOffset(0.f, 0.f);
    shown.view->setZoom(1.f);
    auto log = std::make_shared<testing_support::MessageLog>(presenter->getConsoleInput());
    presenter->getConsoleInput().getMessageObservers().push_back(log);
    // Picks read the depth of what the view last drew.
    shown.view->grabScene();
    const QPoint centre(shown.view->width() / 2, shown.view->height() / 2);

    shown.window->findChild<QAction*>(QStringLiteral("actionStack_at_Point"))->trigger();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Stack at Point: Left click on a cell volume."));
    gui_support::click(shown.view, centre + QPoint(-20, -20));
    const QString stack = log->lines.join(QLatin1Char('\n'));
    EXPECT_TRUE(stack.contains(QStringLiteral("top at 6 µm"))) << stack.toStdString();
    // The oxide fills the volume to its top face, which cut it off.
    EXPECT_TRUE(stack.contains(QStringLiteral("1. Thermal Si02: 2 µm (from 4 to 6 µm), cut off "
                                              "by the top of the volume")))
        << stack.toStdString();
    EXPECT_TRUE(stack.contains(QStringLiteral("2. Si: 4 µm (from 0 to 4 µm)")))
        << stack.toStdString();

    log->lines.clear();
    const QRgb mark = qRgb(255, 0, 255);
    EXPECT_EQ(gui_support::countPixels(shown.view->grabScene(), mark), 0);
    shown.window->findChild<QAction*>(QStringLiteral("actionMeasure_Distance"))->trigger();
    gui_support::click(shown.view, centre + QPoint(-30, -10));
    EXPECT_EQ(log->lines.last(),
              QStringLiteral("Measure Distance: Left click on the second point."));
    const int firstPoint = gui_support::countPixels(shown.view->grabScene(), mark);
    EXPECT_GT(firstPoint, 20) << "the first point is drawn while the second is awaited";
    gui_support::click(shown.view, centre + QPoint(10, -10));
    // Both points and the 40 pixels of line between them stay in the view.
    const QImage measured = shown.view->grabScene();
    EXPECT_GT(gui_support::countPixels(measured, mark), 2 * firstPoint + 40);
    EXPECT_EQ(measured.pixel(centre + QPoint(-10, -10)) & 0xffffff, mark & 0xffffff)
        << "the line runs between the points";
    static const QRegularExpression answer(
        QStringLiteral("^Measure Distance: ([-\\d.e]+) µm \\(x ([-\\d.e]+) µm, y ([-\\d.e]+) µm, z "
                       "([-\\d.e]+) µm\\)\\.$"));
    const auto match = answer.match(log->lines.last());
    ASSERT_TRUE(match.hasMatch()) << log->lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_NEAR(match.captured(2).toDouble(), 40.0, 2.0);
    EXPECT_NEAR(match.captured(3).toDouble(), 0.0, 1.0);
    EXPECT_NEAR(match.captured(4).toDouble(), -2.0, 0.05)
        << log->lines.last().toStdString() << "from the oxide's top to the silicon's";
    EXPECT_NEAR(match.captured(1).toDouble(),
                std::hypot(match.captured(2).toDouble(), match.captured(3).toDouble(),
                           match.captured(4).toDouble()),
                1e-3);
    EXPECT_FALSE(shown.window->getUndoAction()->isEnabled());

    // The next pick, whatever it is for, takes the measurement out of the view.
    shown.window->findChild<QAction*>(QStringLiteral("actionStack_at_Point"))->trigger();
    gui_support::click(shown.view, centre + QPoint(-20, -20));
    EXPECT_EQ(gui_support::countPixels(shown.view->grabScene(), mark), 0);

    // Free Structures takes one click too: the substrate and the film on it are both attached.
    log->lines.clear();
    shown.window->findChild<QAction*>(QStringLiteral("actionFree_Structures"))->trigger();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Free Structures: Left click on a cell volume."));
    gui_support::click(shown.view, centre + QPoint(-20, -20));
    const QString bodies = log->lines.join(QLatin1Char('\n'));
    EXPECT_TRUE(bodies.contains(QStringLiteral("2 solid bodies: 2 attached, 0 anchored, 0 loose.")))
        << bodies.toStdString();
    EXPECT_FALSE(shown.window->getUndoAction()->isEnabled());
}

} // namespace CELLVANE_TEST_FILE
