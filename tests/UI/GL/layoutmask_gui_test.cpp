#include "Model/Automaton/totalvolume.h"
#include "Model/Layout/gdswriter.h"
#include "UI/mainwindowpresenter.h"
#include "guitestsupport.h"
#include "support/scenes.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

namespace {

using gui_support::acceptNextDialog;

QAction* action(QWidget* window, const char* name) {
    return window->findChild<QAction*>(QString::fromLatin1(name));
}

} // namespace

// A user patterns resist from the layout of their chip: "Layout..." beside the top mask, the
// file, the layer, a placement and the polarity, the preview, then OK twice; the mask shows on
// the volume before the step runs, and the resist stays exactly where the layer is drawn.
TEST(LayoutMaskDialog, PatternsResistFromALayoutLayerChosenInTheDialog) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto* presenter = shown.window->getPresenter();
    shown.view->setShowAxis(false);
    acceptNextDialog([](QDialog& dialog) {
        dialog.findChild<QSpinBox*>(QStringLiteral("sbxTotalWidth"))->setValue(24);
        dialog.findChild<QSpinBox*>(QStringLiteral("sbxTotalLength"))->setValue(24);
        dialog.findChild<QSpinBox*>(QStringLiteral("sbxTotalHeight"))->setValue(16);
        dialog.findChild<QSpinBox*>(QStringLiteral("sbxSubsHeight"))->setValue(8);
    });
    action(shown.window, "actionCreate_Substrate")->trigger();
    auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(
        presenter->getDocument()->getObjects().at(0));
    ASSERT_TRUE(volume);

    // Layer 5: three 6 um squares stacked into a bar 18 um long, through an array, and a 2 um
    // square on top of it at the left; layer 9 covers everything and is not chosen.
    QTemporaryDir dir;
    const QString chip = dir.filePath(QStringLiteral("chip.gds"));
    ASSERT_TRUE(GdsWriter()
                    .begin()
                    .cell("BAR")
                    .square(5, 0, 0, 0, 6000)
                    .endCell()
                    .cell("CHIP")
                    .array("BAR", 1, 3, 6000)
                    .square(5, 0, 0, 18000, 2000)
                    .square(9, 0, 0, 0, 24000)
                    .endCell()
                    .end()
                    .save(chip));
    shown.prompts->fileAnswer = chip;

    constexpr int Resist = 5;
    const auto run = [&](const char* actionName, std::function<void(QDialog&)> adjust) {
        action(shown.window, actionName)->trigger();
        presenter->getSelection().toggle(volume);
        acceptNextDialog(std::move(adjust));
        presenter->enterPressed();
    };
    run("actionSpin_Coating", [](QDialog& dialog) {
        auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("cbxMaterial"));
        combo->setCurrentIndex(combo->findData(Resist));
        dialog.findChild<QSpinBox*>(QStringLiteral("sbxDepositionHeight"))->setValue(11);
    });
    const QImage before = shown.view->grabScene();

    QString summary;
    QStringList layers;
    QImage withMask;
    run("actionPhotolithography", [&](QDialog& dialog) {
        auto* films = dialog.findChild<QComboBox*>(QStringLiteral("cbxFilm"));
        films->setCurrentIndex(films->findData(Resist));
        acceptNextDialog([&](QDialog& layout) {
            layout.findChild<QToolButton*>(QStringLiteral("tbtFile"))->click();
            auto* layerBox = layout.findChild<QComboBox*>(QStringLiteral("cbxLayer"));
            for (int i = 0; i < layerBox->count(); ++i)
                layers << layerBox->itemText(i);
            layerBox->setCurrentIndex(layerBox->findText(QStringLiteral("5/0")));
            layout.findChild<QDoubleSpinBox*>(QStringLiteral("dbxOffsetX"))->setValue(4.0);
            summary = layout.findChild<QLabel*>(QStringLiteral("lblSummary"))->text();
            if (!qEnvironmentVariableIsEmpty("CELLVANE_LAYOUT_SCREENSHOT"))
                layout.grab().save(qEnvironmentVariable("CELLVANE_LAYOUT_SCREENSHOT"));
            EXPECT_TRUE(
                layout.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
        });
        dialog.findChild<QPushButton*>(QStringLiteral("btnTopLayout"))->click();
        withMask = shown.view->grabScene();
        // For a look at the dialogs and the previewed mask.
        const QString screenshots = qEnvironmentVariable("CELLVANE_LAYOUT_SCREENSHOT");
        if (!screenshots.isEmpty()) {
            dialog.grab().save(screenshots + QStringLiteral(".photolithography.png"));
            withMask.save(screenshots + QStringLiteral(".view.png"));
        }
    });
    EXPECT_EQ(layers, QStringList({QStringLiteral("5/0"), QStringLiteral("9/0")}));
    // Moved 4 um along x: the bar covers columns 4 to 9 and rows 0 to 17, the small square
    // columns 4 and 5 of rows 18 and 19.
    EXPECT_TRUE(summary.contains(QStringLiteral("112 of 24 \u00d7 24 columns opaque")))
        << summary.toStdString();
    EXPECT_GT(gui_support::countDifferent(before, withMask), 50) << "the mask shows at once";
    EXPECT_TRUE(shown.prompts->messages.isEmpty())
        << shown.prompts->messages.join('\n').toStdString();

    for (int x = 0; x < 24; ++x)
        for (int y = 0; y < 24; ++y) {
            const bool drawn = x >= 4 && ((x < 10 && y < 18) || (x < 6 && y < 20));
            EXPECT_EQ(testing_support::materialAt(*volume, x, y, 9), drawn ? Resist : 0)
                << x << ", " << y;
        }
}

} // namespace CELLVANE_TEST_FILE
