#include "UI/glwidget.h"
#include "UI/mainwindow.h"
#include "UI/mainwindowpresenter.h"
#include "support/fakeoperations.h"

#include <QFile>
#include <QStatusBar>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

namespace {

std::unique_ptr<Ui::MainWindow> window() {
    auto created = std::make_unique<Ui::MainWindow>(
        nullptr, std::make_unique<testing_support::ScriptedPrompts>());
    created->setAttribute(Qt::WA_DeleteOnClose, false);
    return created;
}

} // namespace

TEST(MainWindowStatusBar, ReportsTheViewInItsOwnWords) {
    auto w = window();
    QStatusBar* bar = w->statusBar();
    w->changeRotationValue_statusBar({-60.f, 0.f, 30.123456789f});
    EXPECT_EQ(bar->currentMessage(), "Rotation angles: X Axis = -60 Y Axis = 0 Z axis = 30.1235");
    w->changeAxisPositionValue_staturBar({5.f, -5.f, 1e7f});
    EXPECT_EQ(bar->currentMessage(),
              QString::fromUtf8("Volume position in relation to the axes: X = 5 µm Y = -5 µm Z = "
                                "1e+07 µm"));
    w->changeViewPostionValue_statusBar({0.5f, 2.f});
    EXPECT_EQ(bar->currentMessage(),
              QString::fromUtf8("Volume position in relation to the screen: X = 0.5 µm Y = 2 µm"));
    w->changeZoomValue_statusBar(121.f);
    EXPECT_EQ(bar->currentMessage(), "Zoom = 121%");
    w->changeLampPosition_statusBar({1.f, 300.f, 1.0471976f, 0.7853982f});
    EXPECT_EQ(
        bar->currentMessage(),
        QString::fromUtf8("Lamp 1 Position : Radius = 300 µm Angle θ = 1.0472 Angle φ = 0.785398"));
    w->changeRotationValue_statusBar({});
    EXPECT_EQ(bar->currentMessage(), "Rotation angles: X Axis = 0 Y Axis = 0 Z axis = 0");
    // Lengths follow the document's scale.
    w->getPresenter()->getDocument()->setMicrometresPerSceneUnit(0.5);
    w->changeViewPostionValue_statusBar({0.5f, 2.f});
    EXPECT_EQ(bar->currentMessage(),
              QString::fromUtf8("Volume position in relation to the screen: X = 0.25 µm Y = 1 µm"));
}

TEST(MainWindowView, NamedViewsAndZoomWorkBeforeTheViewIsShown) {
    auto w = window();
    Ui::GLWidget* view = w->getGLWidget();
    EXPECT_FLOAT_EQ(view->getCamera().angles[0], -60.0f);
    EXPECT_FALSE(view->setNamedView("diagonal"));
    EXPECT_FLOAT_EQ(view->getCamera().angles[2], 30.0f);
    EXPECT_TRUE(view->setNamedView("back"));
    EXPECT_FLOAT_EQ(view->getCamera().angles[2], 180.0f);
    view->setZoom(0.5f);
    EXPECT_FLOAT_EQ(view->getZoom(), 2.0f);
    view->setZoom(0.0f);
    view->setZoom(-1.0f);
    EXPECT_FLOAT_EQ(view->getZoom(), 2.0f) << "a zoom that is not positive is ignored";
}

TEST(MainWindowView, SaveImageWithoutAGLContextSaysSoInsteadOfSucceeding) {
    auto prompts = std::make_unique<testing_support::ScriptedPrompts>();
    auto* messages = prompts.get();
    Ui::MainWindow w(nullptr, std::move(prompts));
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    // Offscreen there may or may not be a GL context; either way the outcome must be honest.
    const bool written = w.saveImage(QStringLiteral("view.png"));
    EXPECT_EQ(written, QFile::exists(QStringLiteral("view.png")));
    EXPECT_EQ(written, messages->messages.isEmpty());
}

} // namespace CELLVANE_TEST_FILE
