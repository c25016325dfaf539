#include "UI/viewproperties.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QtMath>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Ui::ViewProperties;
using Ui::ViewSettings;

namespace {

template <class T> T* child(QWidget& dialog, const char* name) {
    T* found = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

} // namespace

TEST(ViewProperties, ShowsAndReturnsTheCameraValues) {
    ViewProperties dialog;
    EXPECT_EQ(dialog.windowTitle(), "Set vew and lighting");
    ViewSettings settings;
    settings.translation = {1, 2, 3};
    settings.angles = {-60, 0, 30};
    settings.viewOffset = {4, -5};
    settings.zoomPercent = 121;
    dialog.setSettings(settings);
    EXPECT_DOUBLE_EQ(child<QDoubleSpinBox>(dialog, "dbxDistanceZ")->value(), 3.0);
    EXPECT_DOUBLE_EQ(child<QDoubleSpinBox>(dialog, "dbxAngleX")->value(), -60.0);
    child<QDoubleSpinBox>(dialog, "dbxPositionY")->setValue(7.5);
    const ViewSettings result = dialog.settings();
    EXPECT_EQ(result.translation, settings.translation);
    EXPECT_EQ(result.angles, settings.angles);
    EXPECT_FLOAT_EQ(result.viewOffset[1], 7.5f);
    EXPECT_FLOAT_EQ(result.zoomPercent, 121.0f);
    dialog.setCurrentPage(1);
    EXPECT_EQ(dialog.currentPage(), 1);
}

TEST(ViewProperties, EditsLampsInDegreesAndStoresRadians) {
    ViewProperties dialog;
    dialog.setSettings(ViewSettings());
    auto* theta = child<QDoubleSpinBox>(dialog, "dbxAngleTheta");
    auto* phi = child<QDoubleSpinBox>(dialog, "dbxAnglePhi");
    EXPECT_NEAR(theta->value(), 60.0, 1e-3);
    EXPECT_NEAR(phi->value(), 45.0, 1e-3);
    theta->setValue(90.0);
    child<QDoubleSpinBox>(dialog, "dbxRadius")->setValue(100.0);
    child<QCheckBox>(dialog, "chkVisible")->setChecked(false);
    const auto lamps = dialog.settings().lamps;
    EXPECT_NEAR(lamps.azimuth[0], M_PI / 2, 1e-6);
    EXPECT_NEAR(lamps.elevation[0], M_PI / 4, 1e-6) << "untouched angles stay exact";
    EXPECT_FLOAT_EQ(lamps.radius[0], 100.0f);
    EXPECT_FALSE(lamps.visible[0]);
    EXPECT_NEAR(lamps.position[0][2], 100 * std::sin(M_PI / 4), 1e-4);
}

TEST(ViewProperties, AddsUpToEightLampsAndDeletesDownToOne) {
    ViewProperties dialog;
    dialog.setSettings(ViewSettings());
    auto* list = child<QComboBox>(dialog, "cbxLamp");
    auto* add = child<QPushButton>(dialog, "btnAddLamp");
    auto* remove = child<QPushButton>(dialog, "btnDelete");
    EXPECT_FALSE(remove->isEnabled());
    dialog.addLamp();
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(1), "Lamp 2");
    EXPECT_EQ(dialog.currentLamp(), 2) << "the new lamp is selected";
    EXPECT_DOUBLE_EQ(child<QDoubleSpinBox>(dialog, "dbxRadius")->value(), 0.0);
    for (int i = 0; i < 10; ++i)
        dialog.addLamp();
    EXPECT_EQ(list->count(), 8);
    EXPECT_FALSE(add->isEnabled());

    list->setCurrentIndex(0);
    dialog.deleteLamp();
    EXPECT_EQ(dialog.settings().lamps.count, 7);
    EXPECT_FLOAT_EQ(dialog.settings().lamps.radius[0], 0.0f) << "lamp 2 moved down";
    for (int i = 0; i < 10; ++i)
        dialog.deleteLamp();
    EXPECT_EQ(dialog.settings().lamps.count, 1);
    EXPECT_EQ(list->count(), 1);
}

} // namespace CELLVANE_TEST_FILE
