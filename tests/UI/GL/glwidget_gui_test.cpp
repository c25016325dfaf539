#include "guitestsupport.h"

#include "Model/Automaton/totalvolume.h"
#include "UI/mainwindowpresenter.h"
#include "Util/colorscheme.h"
#include "Util/recentfolder.h"
#include "support/scenes.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtMath>
#include <gtest/gtest.h>
#include <qopengl.h>

namespace CELLVANE_TEST_FILE {

using gui_support::ShownWindow;

namespace {

// A flat square that draws itself whatever the surface code can do, so the view's own
// pipeline is tested on its own.
class Square : public Model::Object {
public:
    int getType() const override { return 99; }
    void draw(bool renderObjects, bool) override {
        if (renderObjects)
            quad();
    }
    void drawForPicking() override { quad(); }
    Object* clone() override { return new Square; }
    void translate(Util::Vector4D) override {}

private:
    static void quad() {
        glColor3f(0.2f, 0.6f, 1.0f);
        glBegin(GL_QUADS);
        glNormal3f(0, 0, 1);
        glVertex3f(-60, -60, 0);
        glVertex3f(60, -60, 0);
        glVertex3f(60, 60, 0);
        glVertex3f(-60, 60, 0);
        glEnd();
    }
};

std::shared_ptr<Model::Automaton::TotalVolume> block() {
    // 100 x 100 x 20 world units around the origin.
    return std::make_shared<Model::Automaton::TotalVolume>(
        20, 20, 4, 5.f, 5.f, 5.f, Util::Vector3D(-50, -50, -10), testing_support::filledWith(1, 4));
}

class PickingOperation : public Core::Operations::Operation {
public:
    explicit PickingOperation(Core::Operations::ViewInteraction& view)
        : Operation(QStringLiteral("Pick"), 900), view(view) {}
    void ask() { view.requestPick(*this, target, state = 3); }
    void step() override { ++steps; }
    void cancel() override {}
    void end() override {}
    Core::Operations::ViewInteraction& view;
    Util::Vector4D target;
    int state = 0;
    int steps = 0;
};

struct SchemeGuard {
    ~SchemeGuard() { Util::ColorScheme::setActiveScheme(Util::ColorScheme::Default); }
};

} // namespace

TEST(SaveImage, WritesAPngInWhichTheDocumentShows) {
    ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    shown.view->setShowAxis(false);
    const QImage empty = shown.view->grabScene();
    ASSERT_FALSE(empty.isNull());

    shown.window->getPresenter()->getDocument()->addObject(std::make_shared<Square>());
    const QString file = QDir::current().absoluteFilePath("shot.png");
    ASSERT_TRUE(shown.window->saveImage(file));
    EXPECT_EQ(shown.window->getImageDirectory(), file);

    QImage saved(file);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), empty.size());
    EXPECT_GT(gui_support::countDifferent(empty, saved), 1000);
    EXPECT_TRUE(shown.prompts->messages.isEmpty());
}

TEST(SaveImage, ACellVolumeShowsInTheSavedPicture) {
    ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    shown.view->setShowAxis(false);
    const QImage empty = shown.view->grabScene();
    auto volume = block();
    volume->getPainter().rebuild();
    shown.window->getPresenter()->getDocument()->addObject(volume);
    const QString file = QDir::current().absoluteFilePath("volume.png");
    ASSERT_TRUE(shown.window->saveImage(file));
    const QImage saved(file);
    ASSERT_FALSE(saved.isNull());
    // The block spans a good part of the 800 x 600 view.
    EXPECT_GT(gui_support::countDifferent(empty, saved), 5000);
}

TEST(SaveImage, TheDialogStartsInTheRecentFolderAndCancellingWritesNothing) {
    ShownWindow shown;
    QString askedDirectory, askedCaption, askedFilter;
    QString answer;
    shown.window->setImageFileChooser(
        [&](QWidget*, const QString& caption, const QString& dir, const QString& filter) {
            askedCaption = caption;
            askedDirectory = dir;
            askedFilter = filter;
            return answer;
        });
    const QStringList before = QDir::current().entryList(QDir::Files);
    EXPECT_FALSE(shown.window->saveImage());
    EXPECT_EQ(askedCaption, "Save Screen Image");
    EXPECT_EQ(askedFilter, "Images (*.png *.xpm *.jpg)");
    EXPECT_EQ(askedDirectory, Util::RecentFolder::get());
    EXPECT_EQ(QDir::current().entryList(QDir::Files), before);

    answer = QDir::current().absoluteFilePath("chosen.jpg");
    shown.window->findChild<QAction*>("actionSave_Image")->trigger();
    EXPECT_TRUE(QFileInfo(answer).size() > 0);
    shown.window->saveImage();
    EXPECT_EQ(askedDirectory, QDir::currentPath());

    answer = QDir::current().absoluteFilePath("bare");
    EXPECT_TRUE(shown.window->saveImage());
    EXPECT_FALSE(QFile::exists("bare"));
    EXPECT_FALSE(QImage("bare.png").isNull()) << "a chosen name without suffix becomes a PNG";
    // A name given by the program itself is kept as it is.
    EXPECT_TRUE(shown.window->saveImage(QDir::current().absoluteFilePath("exact")));
    EXPECT_EQ(QImageReader("exact").format(), QByteArray("png"));
}

TEST(SaveImage, AFailedWriteSaysSoAndKeepsTheOldFile) {
    ShownWindow shown;
    EXPECT_FALSE(shown.window->saveImage(QDir::current().absoluteFilePath("missing/dir/a.png")));
    ASSERT_EQ(shown.prompts->messages.size(), 1);
    EXPECT_TRUE(shown.prompts->messages[0].startsWith("Error writing to file: "));

    QFile old("keep.foo");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("precious");
    old.close();
    EXPECT_FALSE(shown.window->saveImage(QDir::current().absoluteFilePath("keep.foo")));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("precious"));
}

TEST(SaveImage, TheBackgroundIsSavedOpaqueInTheActiveScheme) {
    ShownWindow shown;
    SchemeGuard guard;
    Util::ColorScheme::setActiveScheme(Util::ColorScheme::Low);
    const QString file = QDir::current().absoluteFilePath("low.png");
    ASSERT_TRUE(shown.window->saveImage(file));
    const QImage saved(file);
    EXPECT_EQ(saved.pixel(2, 2), qRgb(255, 255, 255));
    EXPECT_EQ(qAlpha(saved.pixel(2, 2)), 255);
}

TEST(Picking, AClickOnTheVolumeInSelectionModeSelectsIt) {
    ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto volume = block();
    shown.window->getPresenter()->getDocument()->addObject(volume);
    const QPoint centre = shown.view->rect().center();

    gui_support::click(shown.view, centre);
    EXPECT_FALSE(volume->isSelected()) << "selection mode is off";

    shown.window->findChild<QAction*>("actionSelect")->trigger();
    gui_support::click(shown.view, centre);
    EXPECT_TRUE(volume->isSelected());
    const auto selected = shown.window->getPresenter()->getSelection().getSelectedObjects();
    ASSERT_EQ(selected.size(), 1u);
    EXPECT_EQ(selected[0], volume);

    gui_support::click(shown.view, centre);
    EXPECT_FALSE(volume->isSelected()) << "a second click deselects";

    gui_support::click(shown.view, QPoint(3, 3));
    EXPECT_FALSE(volume->isSelected()) << "a click beside the volume hits nothing";
}

TEST(Picking, AClickThatMovesDoesNotPick) {
    ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto volume = block();
    shown.window->getPresenter()->getDocument()->addObject(volume);
    shown.window->getPresenter()->setSelectionMode(true);
    const QPoint centre = shown.view->rect().center();
    const auto angles = shown.view->getCamera().angles;

    using gui_support::sendMouse;
    sendMouse(shown.view, QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
    sendMouse(shown.view, QEvent::MouseMove, centre + QPoint(12, 0), Qt::NoButton, Qt::LeftButton);
    sendMouse(shown.view, QEvent::MouseMove, centre, Qt::NoButton, Qt::LeftButton);
    sendMouse(shown.view, QEvent::MouseButtonRelease, centre, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(volume->isSelected());
    EXPECT_NE(shown.view->getCamera().angles, angles) << "the drag rotated instead";
}

TEST(Picking, AWaitingOperationGetsThePointUnderAClick) {
    ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    shown.view->setNamedView("top");
    auto& interaction = shown.window->getPresenter()->getViewInteraction();
    auto operation = std::make_shared<PickingOperation>(interaction);
    operation->ask();
    const QPoint centre = shown.view->rect().center();

    gui_support::click(shown.view, centre + QPoint(50, -20));
    EXPECT_EQ(operation->steps, 1);
    EXPECT_EQ(operation->state, 0);
    EXPECT_NEAR(operation->target.x, 50.0, 1.5);
    EXPECT_NEAR(operation->target.y, 20.0, 1.5);
    EXPECT_NEAR(operation->target.z, 0.0, 1e-3);

    shown.view->setSnapToGrid(true);
    operation->ask();
    gui_support::click(shown.view, centre + QPoint(47, -23));
    EXPECT_DOUBLE_EQ(operation->target.x, 50.0);
    EXPECT_DOUBLE_EQ(operation->target.y, 20.0);
}

TEST(LampAiming, ShiftDragAimsOnlyTheActiveLamp) {
    ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    // rect().center() is half a pixel off the true centre of an even-sized widget.
    const QPoint centre(shown.view->width() / 2, shown.view->height() / 2);
    using gui_support::sendMouse;
    const float azimuth = shown.view->getLamps().azimuth[0];
    sendMouse(shown.view, QEvent::MouseButtonPress, centre + QPoint(0, -100), Qt::LeftButton,
              Qt::LeftButton, Qt::ShiftModifier);
    sendMouse(shown.view, QEvent::MouseButtonRelease, centre, Qt::LeftButton, Qt::NoButton);
    EXPECT_FLOAT_EQ(shown.view->getLamps().azimuth[0], azimuth) << "no lamp is active";

    shown.view->swithActiveLamp();
    sendMouse(shown.view, QEvent::MouseButtonPress, centre + QPoint(0, -100), Qt::LeftButton,
              Qt::LeftButton, Qt::ShiftModifier);
    sendMouse(shown.view, QEvent::MouseButtonRelease, centre + QPoint(0, -100), Qt::LeftButton,
              Qt::NoButton);
    EXPECT_NEAR(shown.view->getLamps().azimuth[0], M_PI / 2, 1e-5);
    EXPECT_GT(shown.view->getLamps().elevation[0], 0.0f);
}

} // namespace CELLVANE_TEST_FILE
