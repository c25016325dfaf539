#include "Model/Automaton/totalvolume.h"
#include "Model/Materials/materialfactory.h"
#include "UI/mainwindowpresenter.h"
#include "guitestsupport.h"
#include "support/scenes.h"

#include <QAction>
#include <QCheckBox>
#include <QColor>
#include <QDialog>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::TotalVolume;
using Model::Automaton::TotalVolumePainter;

namespace {

constexpr int Red = 100;
constexpr int Size = 64;

// An offscreen legacy-GL context drawing into a small framebuffer, looking down -z at the
// square [-1, 3] x [-1, 3].
class PainterCanvas : public ::testing::Test {
protected:
    void SetUp() override {
        QSurfaceFormat format;
        format.setProfile(QSurfaceFormat::CompatibilityProfile);
        format.setDepthBufferSize(24);
        surface.setFormat(format);
        surface.create();
        context.setFormat(format);
        ASSERT_TRUE(context.create());
        ASSERT_TRUE(context.makeCurrent(&surface));
        frame = std::make_unique<QOpenGLFramebufferObject>(
            Size, Size, QOpenGLFramebufferObject::CombinedDepthStencil);
        ASSERT_TRUE(frame->bind());
        Model::Materials::MaterialFactory::getInstance()->updateMaterial(Model::Materials::Material(
            Red, QStringLiteral("Red"), 1, 1, 0.3f, Util::Vector4D(1, 0, 0, 1)));
    }
    void TearDown() override {
        frame.reset();
        context.doneCurrent();
    }

    QImage draw(TotalVolume& volume) {
        glViewport(0, 0, Size, Size);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 3, -1, 3, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        volume.draw(true, false);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        return frame->toImage();
    }

    static QColor centre(const QImage& image) { return image.pixelColor(Size / 2, Size / 2); }

    QOffscreenSurface surface;
    QOpenGLContext context;
    std::unique_ptr<QOpenGLFramebufferObject> frame;
};

} // namespace

TEST_F(PainterCanvas, SelectedRedVolumeDrawsInHighlightGreyWithEveryAlgorithm) {
    auto volume = testing_support::makeVolume(2, 2, 2, [](int, int, int) { return Red; });
    for (int algorithm : {TotalVolumePainter::DirectCubic, TotalVolumePainter::MarchingCubes,
                          TotalVolumePainter::Octree}) {
        volume->setSelected(false);
        volume->getPainter().setAlgorithm(algorithm);
        volume->getPainter().rebuild();
        const QColor plain = centre(draw(*volume));
        EXPECT_EQ(plain.red(), 255) << algorithm;
        EXPECT_EQ(plain.green(), 0) << algorithm;

        volume->setSelected(true);
        const QColor highlighted = centre(draw(*volume));
        EXPECT_NEAR(highlighted.red(), 77, 1) << algorithm;
        EXPECT_NEAR(highlighted.green(), 77, 1) << algorithm;
        EXPECT_NEAR(highlighted.blue(), 77, 1) << algorithm;
    }
}

TEST_F(PainterCanvas, HiddenOrObjectsOffDrawsNothingAndTheTopMaskShowsGreen) {
    auto volume =
        testing_support::makeVolume(2, 2, 1, [](int x, int, int) { return x == 0 ? Red : 0; });
    volume->getPainter().rebuild();
    volume->getPainter().setHidden(true);
    EXPECT_EQ(centre(draw(*volume)), QColor(0, 0, 0));
    volume->getPainter().setHidden(false);

    // A mask over the empty half: drawn above the volume, translucent green.
    volume->setTopMask({false, false, true, true}, 2, 2);
    const QImage image = draw(*volume);
    const QColor overEmpty = image.pixelColor(Size * 5 / 8, Size / 2);
    EXPECT_GT(overEmpty.green(), 50);
    EXPECT_LT(overEmpty.red(), overEmpty.green() / 2);
    EXPECT_LT(overEmpty.blue(), overEmpty.green() / 2);
    const QColor overRed = image.pixelColor(Size * 3 / 8, Size / 2);
    EXPECT_EQ(overRed, QColor(255, 0, 0));
}

TEST(CreateSubstrateInTheWindow, TheMenuActionShowsANewVolumeAndUndoTakesItAway) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    shown.view->setShowAxis(false);
    const QImage empty = shown.view->grabScene();
    auto* action = shown.window->findChild<QAction*>(QStringLiteral("actionCreate_Substrate"));
    ASSERT_NE(action, nullptr);

    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->accept();
    });
    action->trigger();
    auto document = shown.window->getPresenter()->getDocument();
    ASSERT_EQ(document->getObjects().size(), 1u);
    const QImage created = shown.view->grabScene();
    EXPECT_GT(gui_support::countDifferent(empty, created), 5000);
    // The new volume fills the view: its middle and a point near each side are covered.
    const QRgb background = empty.pixel(5, 5);
    const int w = created.width(), h = created.height();
    for (const QPoint p :
         {QPoint(w / 2, h / 2), QPoint(w / 2, h * 5 / 8), QPoint(w * 3 / 8, h * 5 / 8)})
        EXPECT_NE(created.pixel(p) & 0xffffff, background & 0xffffff) << p.x() << ", " << p.y();

    ASSERT_TRUE(shown.window->getPresenter()->undo());
    EXPECT_TRUE(document->getObjects().empty());
    // Only the lamp symbols, drawn at the framed zoom, differ from the first picture.
    EXPECT_LT(gui_support::countDifferent(empty, shown.view->grabScene()), 1000);
}

namespace {

int countAtomPixels(const QImage& image) {
    int count = 0;
    for (QRgb color : {qRgb(127, 255, 127), qRgb(0, 0, 255), qRgb(255, 127, 0), qRgb(255, 255, 0)})
        count += gui_support::countPixels(image, color);
    return count;
}

} // namespace

TEST_F(PainterCanvas, AtomsStandInForTheSiliconCellsDrawnInstancedOrOneByOneInAnyContext) {
    // Silicon under empty space, looked at from above.
    auto volume = testing_support::makeVolume(4, 4, 3, [](int, int, int z) { return z < 2; });
    ASSERT_TRUE(volume->rebuildSiLattice());
    TotalVolumePainter& painter = volume->getPainter();
    painter.rebuild();
    EXPECT_EQ(countAtomPixels(draw(*volume)), 0);

    painter.setRenderAtoms(true);
    painter.setRenderAtomLinks(true);
    painter.rebuild();
    const QImage instanced = draw(*volume);
    EXPECT_TRUE(painter.getAtomicRenderer().drewInstanced());
    const int atomPixels = countAtomPixels(instanced);
    EXPECT_GT(atomPixels, 100);
    EXPECT_GT(gui_support::countPixels(instanced, qRgb(255, 255, 127)), 20) << "bonds";
    EXPECT_GT(gui_support::countPixels(instanced, qRgb(0, 0, 0)), 200)
        << "the silicon cells no longer hide what lies between the atoms";

    painter.getAtomicRenderer().setInstancing(false);
    const QImage oneByOne = draw(*volume);
    EXPECT_FALSE(painter.getAtomicRenderer().drewInstanced());
    EXPECT_LT(gui_support::countDifferent(instanced, oneByOne), Size * Size / 50);
    painter.getAtomicRenderer().setInstancing(true);

    painter.setRenderUnitCellOutlines(true);
    painter.setRenderUnitCells(true);
    painter.rebuild();
    EXPECT_GT(gui_support::countPixels(draw(*volume), qRgb(127, 127, 255)), 20) << "outlines";

    // A second context (the view moved to another window) gets buffers of its own.
    QOpenGLContext other;
    other.setFormat(context.format());
    ASSERT_TRUE(other.create());
    ASSERT_TRUE(other.makeCurrent(&surface));
    auto first = std::move(frame);
    frame = std::make_unique<QOpenGLFramebufferObject>(
        Size, Size, QOpenGLFramebufferObject::CombinedDepthStencil);
    ASSERT_TRUE(frame->bind());
    painter.setRenderUnitCellOutlines(false);
    painter.setRenderUnitCells(false);
    EXPECT_EQ(countAtomPixels(draw(*volume)), atomPixels);
    frame.reset();
    ASSERT_TRUE(context.makeCurrent(&surface));
    frame = std::move(first);
}

namespace {

// Sets the five atom switches in the viewing-options dialog the next time it opens, then OK.
void answerViewingOptions(bool atoms, bool surfaceOnly, bool links, bool outlines, bool cells) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        const auto check = [dialog](const char* name, bool value) {
            auto* box = dialog->findChild<QCheckBox*>(QString::fromLatin1(name));
            ASSERT_NE(box, nullptr) << name;
            box->setChecked(value);
        };
        check("chkRenderSiAtoms", atoms);
        check("chkSurfaceAtomsOnly", surfaceOnly);
        check("chkAtomLinks", links);
        check("chkUnitCellOutlines", outlines);
        check("chkUnitCells", cells);
        dialog->accept();
    });
}

} // namespace

// The user's way to the atoms: a silicon substrate with its lattice, then the viewing options
// from the menu, turned on and off again.
TEST(AtomSwitchesInTheWindow, TheViewingOptionsDialogTurnsAtomsBondsAndCellsOnAndOff) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    shown.view->setShowAxis(false);
    auto* presenter = shown.window->getPresenter();
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        for (const char* name : {"sbxTotalWidth", "sbxTotalLength", "sbxTotalHeight"})
            dialog->findChild<QSpinBox*>(QString::fromLatin1(name))->setValue(6);
        // Silicon below, room for the etchant above: the top atoms form a surface.
        dialog->findChild<QSpinBox*>(QStringLiteral("sbxSubsHeight"))->setValue(3);
        dialog->accept();
    });
    shown.window->findChild<QAction*>(QStringLiteral("actionCreate_Substrate"))->trigger();
    const auto objects = presenter->getDocument()->getObjects();
    ASSERT_EQ(objects.size(), 1u);
    auto volume = std::dynamic_pointer_cast<TotalVolume>(objects[0]);
    ASSERT_TRUE(volume);
    ASSERT_TRUE(volume->rebuildSiLattice());
    TotalVolumePainter& painter = volume->getPainter();
    painter.rebuild();
    shown.view->setZoom(1 / 25.f);
    const QImage cellsOnly = shown.view->grabScene();
    EXPECT_EQ(countAtomPixels(cellsOnly), 0);

    auto* viewing =
        shown.window->findChild<QAction*>(QStringLiteral("actionChange_Viewing_Options"));
    ASSERT_NE(viewing, nullptr);
    const auto setSwitches = [&](bool atoms, bool surfaceOnly, bool links, bool outlines,
                                 bool cells) {
        viewing->trigger();
        presenter->getSelection().toggle(volume);
        answerViewingOptions(atoms, surfaceOnly, links, outlines, cells);
        presenter->enterPressed();
        return shown.view->grabScene();
    };

    const QImage atoms = setSwitches(true, true, true, false, false);
    EXPECT_TRUE(painter.getRenderAtoms());
    EXPECT_TRUE(painter.getSurfaceAtomsOnly());
    EXPECT_TRUE(painter.getRenderAtomLinks());
    EXPECT_GT(countAtomPixels(atoms), 200);
    EXPECT_GT(gui_support::countPixels(atoms, qRgb(255, 255, 127)), 0) << "bonds";
    const std::size_t surfaceAtoms = painter.getAtomicRenderer().getScene().getAtoms().size();

    setSwitches(true, false, false, false, false);
    EXPECT_GT(painter.getAtomicRenderer().getScene().getAtoms().size(), surfaceAtoms)
        << "every atom, not only those of the surface";
    EXPECT_TRUE(painter.getAtomicRenderer().getScene().getLinks().empty());

    const QImage cells = setSwitches(false, true, false, true, true);
    EXPECT_FALSE(painter.getRenderAtoms());
    EXPECT_TRUE(painter.getRenderUnitCellOutlines());
    EXPECT_TRUE(painter.getRenderUnitCells());
    EXPECT_EQ(countAtomPixels(cells), 0);
    EXPECT_GT(gui_support::countDifferent(cellsOnly, cells), 200) << "unit cells over the cells";

    EXPECT_EQ(gui_support::countDifferent(cellsOnly, setSwitches(false, true, false, false, false)),
              0)
        << "all switches off draws the cells as before";
}

} // namespace CELLVANE_TEST_FILE
