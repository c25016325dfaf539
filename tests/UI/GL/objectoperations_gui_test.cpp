#include "Model/Automaton/totalvolume.h"
#include "UI/mainwindowpresenter.h"
#include "guitestsupport.h"
#include "support/scenes.h"

#include <QAction>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

namespace {

QAction* action(QWidget* window, const char* name) {
    return window->findChild<QAction*>(QString::fromLatin1(name));
}

void hover(QWidget* view, QPoint position) {
    gui_support::sendMouse(view, QEvent::MouseMove, position, Qt::NoButton, Qt::NoButton);
}

// A 20 x 20 x 10 silicon block at the origin, seen from the top at 5 pixels per unit: it
// covers 100 x 100 pixels right of and above the centre of the view.
struct TopView {
    gui_support::ShownWindow shown;
    Ui::MainWindowPresenter* presenter = shown.window->getPresenter();
    std::shared_ptr<Model::Automaton::TotalVolume> block =
        testing_support::makeVolume(20, 20, 10, [](int, int, int) { return 1; });
    QPoint centre{shown.view->width() / 2, shown.view->height() / 2};

    TopView() {
        block->getPainter().rebuild();
        presenter->getDocument()->addObject(block);
        shown.view->setNamedView("top");
        shown.view->setZoom(0.2f);
    }
    QPoint onBlock(int dx, int dy) const { return centre + QPoint(50 + dx, -50 - dy); }
};

} // namespace

// Move from the Edit menu with mouse picks: the block is picked, its preview follows the
// pointer on the plane of the picked point, and a click places it; undo puts it back.
TEST(ObjectOperationsInTheView, MovePicksFollowThePointerAndAClickPlaces) {
    TopView scene;
    ASSERT_TRUE(scene.shown.ready);
    action(scene.shown.window, "actionMove")->trigger();
    gui_support::click(scene.shown.view, scene.onBlock(0, 0));
    ASSERT_TRUE(scene.block->isSelected());
    scene.presenter->enterPressed();
    ASSERT_TRUE(scene.block->isMoving());

    gui_support::click(scene.shown.view, scene.onBlock(0, 0)); // the first point, on top
    hover(scene.shown.view, scene.onBlock(30, 10));
    EXPECT_NEAR(scene.block->getPreviewOffset().x, 6.0, 1e-9) << "30 pixels are 6 cells";
    EXPECT_NEAR(scene.block->getPreviewOffset().y, 2.0, 1e-9);
    EXPECT_NEAR(scene.block->getPreviewOffset().z, 0.0, 1e-9) << "it slides at its height";
    const QImage following = scene.shown.view->grabScene();
    EXPECT_NE(following.pixel(scene.onBlock(52, 0)) & 0xffffff,
              following.pixel(scene.onBlock(-48, 0)) & 0xffffff)
        << "the view draws the block at its preview place";

    gui_support::click(scene.shown.view, scene.onBlock(30, 10));
    EXPECT_FALSE(scene.block->isMoving());
    EXPECT_EQ(scene.block->getPosition().x, 6.0);
    EXPECT_EQ(scene.block->getPosition().y, 2.0);
    EXPECT_EQ(action(scene.shown.window, "actionUndo")->text(), QStringLiteral("Undo Move"));
    action(scene.shown.window, "actionUndo")->trigger();
    EXPECT_EQ(scene.block->getPosition().x, 0.0);
}

// Copy with picks draws the copy while it is placed; Escape takes the preview away and adds
// nothing.
TEST(ObjectOperationsInTheView, EscapeDuringACopyLeavesNoPreviewBehind) {
    TopView scene;
    ASSERT_TRUE(scene.shown.ready);
    scene.presenter->getSelection().toggle(scene.block);
    action(scene.shown.window, "actionCopy")->trigger();
    gui_support::click(scene.shown.view, scene.onBlock(0, 0));
    hover(scene.shown.view, scene.onBlock(-150, 0));
    const auto previews = scene.presenter->getViewInteraction().getPreviewObjects();
    ASSERT_EQ(previews.size(), 1u);
    const QImage copying = scene.shown.view->grabScene();
    const QRgb background = copying.pixel(3, scene.shown.view->height() - 3);
    EXPECT_NE(copying.pixel(scene.onBlock(-150, 0)) & 0xffffff, background & 0xffffff)
        << "the copy is drawn where the pointer is";

    scene.presenter->cancelPressed();
    EXPECT_TRUE(scene.presenter->getViewInteraction().getPreviewObjects().empty());
    EXPECT_EQ(scene.presenter->getDocument()->getObjects().size(), 1u);
    const QImage after = scene.shown.view->grabScene();
    EXPECT_EQ(after.pixel(scene.onBlock(-150, 0)) & 0xffffff, background & 0xffffff);
    hover(scene.shown.view, scene.onBlock(-100, 0));
    EXPECT_EQ(scene.presenter->getDocument()->getObjects().size(), 1u)
        << "nothing follows any more";
}

} // namespace CELLVANE_TEST_FILE
