#include "UI/Input/changecolorsdialog.h"
#include "UI/Input/changegridspacingdialog.h"
#include "Util/colorscheme.h"

#include <QDoubleSpinBox>
#include <QPushButton>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Ui::Input::ChangeColorsDialog;
using Util::ColorScheme;

namespace {

// The colour table is process-wide; every test starts from and returns to the defaults.
struct ColorsDialogTest : ::testing::Test {
    void SetUp() override { restore(); }
    void TearDown() override { restore(); }
    static void restore() {
        ColorScheme::setActiveScheme(ColorScheme::Default);
        ColorScheme::setCustomColor(ColorScheme::DefaultObjectColor, {1, 0, 0, 1});
        ColorScheme::setCustomColor(ColorScheme::DefaultObjectOutlineColor, {1, 1, 1, 1});
        ColorScheme::setCustomColor(ColorScheme::GridColor, {0.4, 0.4, 0.4, 1});
        ColorScheme::setCustomColor(ColorScheme::BackgroundColor, {0, 0, 0, 1});
    }
};

// Colours pass through 16-bit channels in the chooser.
void expectColor(const Util::Vector4D& c, double r, double g, double b) {
    EXPECT_NEAR(c.x, r, 1e-4);
    EXPECT_NEAR(c.y, g, 1e-4);
    EXPECT_NEAR(c.z, b, 1e-4);
}

} // namespace

TEST_F(ColorsDialogTest, OpensOnTheActiveSchemeWithItsSwatches) {
    ChangeColorsDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Change Default Colors");
    EXPECT_EQ(dialog.scheme(), 0);
    expectColor(dialog.color(ChangeColorsDialog::Outline), 1, 1, 1);
    EXPECT_EQ(dialog.swatchStyleSheet(ChangeColorsDialog::Grid),
              "background-color : #666666;\nborder: none;");
    EXPECT_EQ(dialog.swatchStyleSheet(ChangeColorsDialog::Background),
              "background-color : #000000;\nborder: none;");
    EXPECT_TRUE(dialog.swatchButton(ChangeColorsDialog::Background)->isFlat());
}

TEST_F(ColorsDialogTest, SwatchComponentsAreTruncatedNotRounded) {
    EXPECT_EQ(ChangeColorsDialog::styleSheetFor({0.999, 0.5, 0.01, 1}),
              "background-color : #fe7f02;\nborder: none;");
}

TEST_F(ColorsDialogTest, LowSchemeMakesTheBackgroundWhiteAndIsShownOnReopening) {
    {
        ChangeColorsDialog dialog;
        dialog.loadLowColor();
        EXPECT_EQ(dialog.scheme(), 1);
        expectColor(dialog.color(ChangeColorsDialog::Background), 1, 1, 1);
        dialog.applyToColorScheme();
    }
    EXPECT_EQ(ColorScheme::activeScheme(), 1);
    expectColor(ColorScheme::activeColor(ColorScheme::BackgroundColor), 1, 1, 1);
    ChangeColorsDialog reopened;
    EXPECT_EQ(reopened.scheme(), 1);
    expectColor(reopened.color(ChangeColorsDialog::Object), 1, 1, 1);
    expectColor(reopened.color(ChangeColorsDialog::Outline), 0, 0, 0);
}

TEST_F(ColorsDialogTest, APickedColourMakesTheSchemeCustom) {
    ChangeColorsDialog dialog;
    QColor offered;
    dialog.setColorChooser([&](QWidget*, const QColor& initial) {
        offered = initial;
        return QColor::fromRgbF(0.25, 0.5, 0.75, 1.0);
    });
    dialog.swatchButton(ChangeColorsDialog::Background)->click();
    EXPECT_EQ(offered, QColor(Qt::black)) << "the chooser starts at the current colour";
    EXPECT_EQ(dialog.scheme(), 2);
    expectColor(dialog.color(ChangeColorsDialog::Background), 0.25, 0.5, 0.75);
    EXPECT_EQ(dialog.swatchStyleSheet(ChangeColorsDialog::Background),
              "background-color : #3f7fbf;\nborder: none;");
    dialog.applyToColorScheme();
    EXPECT_EQ(ColorScheme::activeScheme(), 2);
    expectColor(ColorScheme::activeColor(ColorScheme::BackgroundColor), 0.25, 0.5, 0.75);
    // The other entries of the custom scheme are the dialog's, i.e. the default scheme's.
    expectColor(ColorScheme::color(ColorScheme::DefaultObjectColor, 2), 0, 0, 0);
}

TEST_F(ColorsDialogTest, LoadingDefaultsAfterAPickActivatesDefaultsEverywhere) {
    ChangeColorsDialog dialog;
    dialog.setColorChooser([](QWidget*, const QColor&) { return QColor(Qt::green); });
    dialog.changeGridColor();
    dialog.loadDefaultColor();
    EXPECT_EQ(dialog.scheme(), 0);
    dialog.applyToColorScheme();
    EXPECT_EQ(ColorScheme::activeScheme(), 0);
    expectColor(ColorScheme::color(ColorScheme::GridColor, 2), 0.4, 0.4, 0.4);
    expectColor(ColorScheme::color(ColorScheme::DefaultObjectColor, 2), 0, 0, 0);
}

TEST_F(ColorsDialogTest, CancellingTheChooserChangesNothing) {
    ChangeColorsDialog dialog;
    dialog.loadLowColor();
    dialog.setColorChooser([](QWidget*, const QColor&) { return QColor(); });
    dialog.changeObjectColor();
    dialog.changeOutlineColor();
    EXPECT_EQ(dialog.scheme(), 1);
    expectColor(dialog.color(ChangeColorsDialog::Object), 1, 1, 1);
}

TEST(GridSpacingDialog, OffersFourDecimalsUpToAThousandMillion) {
    Ui::Input::ChangeGridSpacingDialog dialog(12.5);
    EXPECT_EQ(dialog.windowTitle(), "Set Grid Spacing");
    EXPECT_DOUBLE_EQ(dialog.spacing(), 12.5);
    auto* box = dialog.findChild<QDoubleSpinBox*>("dbxSpacing");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->decimals(), 4);
    EXPECT_EQ(box->minimum(), 0.0);
    EXPECT_EQ(box->maximum(), 1e9);
    EXPECT_EQ(box->suffix(), QString::fromUtf8(" µm"));
    dialog.setSpacing(0.00004);
    EXPECT_DOUBLE_EQ(dialog.spacing(), 0.0) << "below the fourth decimal";
}

} // namespace CELLVANE_TEST_FILE
