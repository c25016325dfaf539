#include "Model/Automaton/totalvolume.h"
#include "Model/Export/crosssection.h"
#include "Model/Export/crosssectionpicture.h"
#include "UI/crosssectionpanel.h"
#include "UI/mainwindowpresenter.h"
#include "UI/stephistorypanel.h"
#include "guitestsupport.h"

#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

namespace {

QAction* action(QWidget* window, const char* name) {
    return window->findChild<QAction*>(QString::fromLatin1(name));
}

std::shared_ptr<Model::Automaton::TotalVolume> createSubstrate(gui_support::ShownWindow& shown) {
    gui_support::acceptNextDialog([](QDialog& dialog) {
        dialog.findChild<QSpinBox*>(QStringLiteral("sbxTotalWidth"))->setValue(24);
        dialog.findChild<QSpinBox*>(QStringLiteral("sbxTotalLength"))->setValue(24);
        dialog.findChild<QSpinBox*>(QStringLiteral("sbxTotalHeight"))->setValue(16);
        dialog.findChild<QSpinBox*>(QStringLiteral("sbxSubsHeight"))->setValue(8);
    });
    action(shown.window, "actionCreate_Substrate")->trigger();
    return std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(
        shown.window->getPresenter()->getDocument()->getObjects().back());
}

} // namespace

// Rendering → Cross-Section shows the picture File → Save Cross-Section writes, of the cut plane
// as it stands; it follows the cut plane when the cut moves, and its own position moves the cut.
TEST(Panels, CrossSectionFollowsAndMovesTheCutPlane) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto volume = createSubstrate(shown);
    ASSERT_TRUE(volume);
    auto* presenter = shown.window->getPresenter();
    QDockWidget* dock = shown.window->getCrossSectionDock();
    EXPECT_FALSE(dock->isVisible());
    action(shown.window, "actionCross_Section")->trigger();
    ASSERT_TRUE(dock->isVisible());
    QApplication::processEvents();
    auto* panel = qobject_cast<Ui::CrossSectionPanel*>(dock->widget());
    auto* axis = panel->findChild<QComboBox*>(QStringLiteral("cbxSectionAxis"));
    auto* position = panel->findChild<QDoubleSpinBox*>(QStringLiteral("dbxSectionPosition"));
    const auto savedPicture = [&] {
        const auto plane = Model::Export::CrossSection::planeOfCut(*volume);
        return Model::Export::CrossSectionPicture(
                   *Model::Export::CrossSection::take(*volume, plane), {})
            .image();
    };
    EXPECT_EQ(axis->currentText(), QStringLiteral("y"));
    EXPECT_DOUBLE_EQ(position->value(), 12.5) << "the middle layer when nothing is cut";
    ASSERT_FALSE(panel->picture().isNull());
    EXPECT_EQ(panel->picture(), savedPicture());

    // Cut Cell Volume moves the plane; the panel follows.
    volume->getPainter().setCutLimits({0, 5, 0}, {24, 24, 16});
    presenter->getContext().notifyUpdateObservers();
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(position->value(), 5.5);
    EXPECT_EQ(panel->picture(), savedPicture());

    // The panel's position moves the cut plane of the view, to the layer holding it.
    position->setValue(3.2);
    EXPECT_EQ(volume->getPainter().getCutWindow().min[1], 3);
    EXPECT_DOUBLE_EQ(position->value(), 3.5);
    axis->setCurrentIndex(2);
    emit axis->activated(2);
    position->setValue(6.0);
    const auto window = volume->getPainter().getCutWindow();
    EXPECT_EQ(window.min[2], 6);
    EXPECT_EQ(window.min[1], 0) << "one cut plane at a time";
    EXPECT_EQ(Model::Export::CrossSection::planeOfCut(*volume).axis,
              Model::Export::SectionPlane::Axis::Z);
    EXPECT_EQ(panel->picture(), savedPicture());
}

// Windows → Step History lists the steps of the volume with what they ran with, and follows
// Undo and Redo.
TEST(Panels, StepHistoryListsTheVolumesStepsAndFollowsUndo) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto volume = createSubstrate(shown);
    ASSERT_TRUE(volume);
    auto* presenter = shown.window->getPresenter();
    action(shown.window, "actionStep_History")->trigger();
    auto* panel = qobject_cast<Ui::StepHistoryPanel*>(shown.window->getStepHistoryDock()->widget());
    ASSERT_TRUE(panel);

    action(shown.window, "actionCVD")->trigger();
    presenter->getSelection().toggle(volume);
    gui_support::acceptNextDialog([](QDialog& dialog) {
        dialog.findChild<QDoubleSpinBox*>(QStringLiteral("dblFilmThickness"))->setValue(3.0);
    });
    presenter->enterPressed();
    QApplication::processEvents();
    QStringList lines = panel->lines();
    ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("1. Create Substrate: ")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("Width: 24 cells"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("2. CVD: "))) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("Film thickness: 3.00 µm"))) << lines[1].toStdString();

    action(shown.window, "actionUndo")->trigger();
    QApplication::processEvents();
    lines = panel->lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("(undone)"))) << lines[1].toStdString();
    action(shown.window, "actionRedo")->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(panel->lines().value(1).endsWith(QStringLiteral("(undone)")));
}

} // namespace CELLVANE_TEST_FILE
