#include "UI/Operations/changevolumevisualizationdialog.h"

#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Ui::Operations::ChangeVolumeVisualizationDialog;
using Ui::Operations::VolumeVisualizationOptions;

TEST(ChangeVolumeVisualizationDialog, OffersTheThreeAlgorithmsInTheirOrder) {
    ChangeVolumeVisualizationDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Change Volume Visualization Options");
    auto* tabs = dialog.findChild<QTabWidget*>("tabWidget");
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->tabText(0), "Si Visualization");
    EXPECT_EQ(tabs->tabText(1), "Film Visualization");
    auto* algorithms = dialog.findChild<QComboBox*>("cbxAlgorithm");
    ASSERT_NE(algorithms, nullptr);
    ASSERT_EQ(algorithms->count(), 3);
    EXPECT_EQ(algorithms->itemText(0), "Direct Cubic Surface Generation");
    EXPECT_EQ(algorithms->itemText(1), "Marching Cubes");
    EXPECT_EQ(algorithms->itemText(2), "Octree Surface Generation");
}

TEST(ChangeVolumeVisualizationDialog, OptionsComeBackAsTheyWereSet) {
    ChangeVolumeVisualizationDialog dialog;
    VolumeVisualizationOptions options;
    options.renderSiAtoms = true;
    options.renderSiAtomLinks = true;
    options.renderEmptyVoxelOutlines = true;
    options.surfaceAlgorithm = 2;
    dialog.setOptions(options);
    EXPECT_TRUE(dialog.options() == options);
    options.surfaceAlgorithm = 7;
    dialog.setOptions(options);
    EXPECT_EQ(dialog.options().surfaceAlgorithm, 0) << "an unknown algorithm falls back";
}

TEST(ChangeVolumeVisualizationDialog, ReportsOnlyTheFilmColoursTheUserChanged) {
    ChangeVolumeVisualizationDialog dialog;
    auto* button = dialog.findChild<QPushButton*>("btnChangeColor");
    auto* films = dialog.findChild<QComboBox*>("cbxMaterial");
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isEnabled()) << "no films, nothing to recolour";
    dialog.setFilms({{1, "Si", QColor(10, 20, 30)}, {4, "SiO2", QColor(255, 0, 128)}});
    EXPECT_EQ(dialog.colorButtonStyleSheet(), "background-color : #0a141e");

    QColor answer;
    dialog.setColorChooser([&](QWidget*, const QColor&) { return answer; });
    films->setCurrentIndex(1);
    EXPECT_EQ(dialog.colorButtonStyleSheet(), "background-color : #ff0080");
    button->click();
    EXPECT_TRUE(dialog.editedColors().empty()) << "a cancelled chooser edits nothing";
    answer = QColor(1, 2, 3);
    button->click();
    ASSERT_EQ(dialog.editedColors().size(), 1u);
    EXPECT_EQ(dialog.editedColors().at(4), QColor(1, 2, 3));
    EXPECT_EQ(dialog.colorButtonStyleSheet(), "background-color : #010203");
}

} // namespace CELLVANE_TEST_FILE
