#include "Model/Automaton/totalvolume.h"
#include "Model/Materials/materialfactory.h"
#include "UI/Observers/createsubstrateobserver.h"
#include "UI/Operations/createsubstratedialog.h"
#include "UI/mainwindowpresenter.h"
#include "support/fakeoperations.h"
#include "support/scenes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace CELLVANE_TEST_FILE {

using Core::Operations::CreateSubstrateOperation;
using Ui::Operations::CreateSubstrateDialog;

namespace {

QSpinBox* spin(QWidget& dialog, const char* name) {
    return dialog.findChild<QSpinBox*>(QString::fromLatin1(name));
}

bool hasLabel(QWidget& dialog, const QString& text) {
    for (auto* label : dialog.findChildren<QLabel*>())
        if (label->text() == text)
            return true;
    return false;
}

void answerNextDialog(bool accept, std::function<void(QWidget&)> adjust = {}) {
    QTimer::singleShot(0, [accept, adjust] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            if (adjust)
                adjust(*dialog);
            accept ? dialog->accept() : dialog->reject();
        }
    });
}

const QString totalTip = QStringLiteral("Define the size of the total volume.");
const QString cornerTip =
    QStringLiteral("Location of the substrate relative to the total volume in cells.");

} // namespace

TEST(CreateSubstrateDialog, StartsWithTheDocumentedWidgetsDefaultsAndHelp) {
    CreateSubstrateDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Create Substrate"));
    EXPECT_EQ(dialog.size(), QSize(389, 579));

    struct Expect {
        const char* name;
        int minimum, maximum, value;
    };
    for (const Expect& e :
         {Expect{"sbxTotalWidth", 1, 10000, 100}, Expect{"sbxTotalLength", 1, 10000, 100},
          Expect{"sbxTotalHeight", 1, 10000, 80}, Expect{"sbxSubsWidth", 1, 100, 100},
          Expect{"sbxSubsLength", 1, 100, 100}, Expect{"sbxSubsHeight", 1, 80, 30},
          Expect{"sbxSubsX", 0, 0, 0}, Expect{"sbxSubsY", 0, 0, 0}, Expect{"sbxSubsZ", 0, 50, 0},
          Expect{"sbxSubsCenterX", 0, 99, 0}, Expect{"sbxSubsCenterZ", 0, 79, 0},
          Expect{"sbxSubsRadius", 1, 999999999, 50}}) {
        QSpinBox* box = spin(dialog, e.name);
        ASSERT_NE(box, nullptr) << e.name;
        EXPECT_EQ(box->minimum(), e.minimum) << e.name;
        EXPECT_EQ(box->maximum(), e.maximum) << e.name;
        EXPECT_EQ(box->value(), e.value) << e.name;
    }
    EXPECT_EQ(spin(dialog, "sbxTotalWidth")->toolTip(), totalTip);
    EXPECT_TRUE(spin(dialog, "sbxTotalHeight")->whatsThis().contains(QStringLiteral("aditional")));
    EXPECT_EQ(spin(dialog, "sbxSubsLength")->toolTip(),
              QStringLiteral("Size of the substrate in cells."));
    EXPECT_EQ(spin(dialog, "sbxSubsZ")->toolTip(), cornerTip);
    EXPECT_TRUE(
        spin(dialog, "sbxSubsZ")
            ->whatsThis()
            .endsWith(QStringLiteral("This can be done by increasing the Z displacement.")));
    EXPECT_EQ(spin(dialog, "sbxSubsCenterY")->toolTip(),
              QStringLiteral("Define the center position of the substrate relative to the total "
                             "volume in cells."));
    EXPECT_EQ(spin(dialog, "sbxSubsRadius")->toolTip(),
              QStringLiteral("Define the radius of the substrate."));

    for (const char* name : {"dblCellSizeX", "dblCellSizeY", "dblCellSizeZ"}) {
        auto* edge = dialog.findChild<QDoubleSpinBox*>(QString::fromLatin1(name));
        ASSERT_NE(edge, nullptr) << name;
        EXPECT_EQ(edge->value(), 1.0) << name;
        EXPECT_EQ(edge->minimum(), 0.001) << name;
        EXPECT_EQ(edge->suffix(), QString::fromUtf8(" µm")) << name;
    }
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("lblTotalMicrometres"))->text(),
              QString::fromUtf8("Volume: 100 × 100 × 80 µm"));
    EXPECT_DOUBLE_EQ(dialog.cellSizeZ(), 1.0);

    auto* position = dialog.findChild<QDoubleSpinBox*>(QStringLiteral("dblVolumeY"));
    ASSERT_NE(position, nullptr);
    EXPECT_EQ(position->suffix(), QString::fromUtf8(" µm"));
    EXPECT_EQ(position->minimum(), -1e9);
    EXPECT_EQ(position->maximum(), 1e9);
    EXPECT_EQ(position->toolTip(),
              QStringLiteral("Define the position of the volume in the viewing space."));
    EXPECT_TRUE(position->whatsThis().startsWith(QStringLiteral("This allows you to change")));

    auto* sphere = dialog.findChild<QCheckBox*>(QStringLiteral("cbxSubsSphere"));
    ASSERT_NE(sphere, nullptr);
    EXPECT_EQ(sphere->text(), QStringLiteral("Spherical Substrate"));
    EXPECT_EQ(sphere->toolTip(), QStringLiteral("Create a spherical substrate."));
    EXPECT_FALSE(sphere->isChecked());
    EXPECT_FALSE(spin(dialog, "sbxSubsCenterX")->isEnabled());
    EXPECT_FALSE(spin(dialog, "sbxSubsRadius")->isEnabled());
    EXPECT_TRUE(spin(dialog, "sbxSubsWidth")->isEnabled());

    auto* film = dialog.findChild<QComboBox*>(QStringLiteral("cbxFilm"));
    ASSERT_NE(film, nullptr);
    EXPECT_EQ(film->toolTip(), QStringLiteral("Material the substrate will be composed of."));

    QStringList titles;
    for (auto* group : dialog.findChildren<QGroupBox*>())
        titles << group->title();
    EXPECT_TRUE(titles.contains(QStringLiteral("Total Volume Dimensions and Position")));
    EXPECT_TRUE(titles.contains(QStringLiteral("Substrate Dimensions and position")));
    for (const char* text :
         {"Width", "Length", "Height", "Size", "Lower Left Front Corner", "X", "Y", "Z", "Center X",
          "Center Y", "Center Z", "Radius", "Volume Lower Left Front Corner", "Substrate Material"})
        EXPECT_TRUE(hasLabel(dialog, QString::fromLatin1(text))) << text;
}

// Every size and position is a count of cells, labelled so, with its length along its own axis
// at the cell size chosen above it.
TEST(CreateSubstrateDialog, CellCountsSayTheirMicrometres) {
    CreateSubstrateDialog dialog;
    dialog.findChild<QDoubleSpinBox*>(QStringLiteral("dblCellSizeX"))->setValue(0.5);
    dialog.findChild<QDoubleSpinBox*>(QStringLiteral("dblCellSizeZ"))->setValue(0.25);
    spin(dialog, "sbxTotalWidth")->setValue(60);
    spin(dialog, "sbxTotalHeight")->setValue(40);
    EXPECT_EQ(spin(dialog, "sbxTotalWidth")->suffix(), QString::fromUtf8(" cells = 30 µm"));
    EXPECT_EQ(spin(dialog, "sbxTotalLength")->suffix(), QString::fromUtf8(" cells = 100 µm"));
    EXPECT_EQ(spin(dialog, "sbxTotalHeight")->suffix(), QString::fromUtf8(" cells = 10 µm"));
    spin(dialog, "sbxSubsHeight")->setValue(12);
    EXPECT_EQ(spin(dialog, "sbxSubsHeight")->suffix(), QString::fromUtf8(" cells = 3 µm"));
    EXPECT_TRUE(spin(dialog, "sbxSubsRadius")->suffix().startsWith(QStringLiteral(" cells = ")));
    EXPECT_EQ(dialog.totalSizeX(), 60) << "the record keeps cells";
}

TEST(CreateSubstrateDialog, SubstrateLimitsFollowTheVolumeSize) {
    CreateSubstrateDialog dialog;
    spin(dialog, "sbxTotalWidth")->setValue(60);
    EXPECT_EQ(spin(dialog, "sbxSubsWidth")->maximum(), 60);
    EXPECT_EQ(spin(dialog, "sbxSubsWidth")->value(), 60);
    EXPECT_EQ(spin(dialog, "sbxSubsX")->maximum(), 0);
    EXPECT_EQ(spin(dialog, "sbxSubsCenterX")->maximum(), 59);

    spin(dialog, "sbxSubsWidth")->setValue(20);
    EXPECT_EQ(spin(dialog, "sbxSubsX")->maximum(), 40);
    spin(dialog, "sbxSubsLength")->setValue(30);
    EXPECT_EQ(spin(dialog, "sbxSubsY")->maximum(), 70);

    // Height keeps the substrate height unless the volume becomes lower than it.
    spin(dialog, "sbxTotalHeight")->setValue(100);
    EXPECT_EQ(spin(dialog, "sbxSubsHeight")->value(), 30);
    EXPECT_EQ(spin(dialog, "sbxSubsZ")->maximum(), 70);
    EXPECT_EQ(spin(dialog, "sbxSubsCenterZ")->maximum(), 99);
    spin(dialog, "sbxTotalHeight")->setValue(20);
    EXPECT_EQ(spin(dialog, "sbxSubsHeight")->value(), 20);
    EXPECT_EQ(spin(dialog, "sbxSubsZ")->maximum(), 0);
    spin(dialog, "sbxSubsHeight")->setValue(5);
    EXPECT_EQ(spin(dialog, "sbxSubsZ")->maximum(), 15);

    dialog.findChild<QCheckBox*>(QStringLiteral("cbxSubsSphere"))->setChecked(true);
    EXPECT_TRUE(dialog.isSpherical());
    EXPECT_TRUE(spin(dialog, "sbxSubsRadius")->isEnabled());
    EXPECT_FALSE(spin(dialog, "sbxSubsZ")->isEnabled());
    for (auto* label : dialog.findChildren<QLabel*>()) {
        if (label->text() == QStringLiteral("Center Y")) {
            EXPECT_TRUE(label->isEnabled());
        }
        if (label->text() == QStringLiteral("Lower Left Front Corner")) {
            EXPECT_FALSE(label->isEnabled());
        }
    }
}

TEST(CreateSubstrateDialog, ListsMaterialsWithTheirIdsAndColourSwatches) {
    CreateSubstrateDialog dialog;
    dialog.setMaterials({Model::Materials::Material(1, QStringLiteral("Si"), 1, 1, 0.3f),
                         Model::Materials::Material(9, QStringLiteral("Au (bulk)"), 1, 1, 0.3f,
                                                    Util::Vector4D(0.5, 1, 0.5, 1))});
    auto* film = dialog.findChild<QComboBox*>(QStringLiteral("cbxFilm"));
    ASSERT_EQ(film->count(), 2);
    EXPECT_EQ(film->currentIndex(), 0);
    EXPECT_EQ(dialog.materialId(), 1);
    film->setCurrentIndex(1);
    EXPECT_EQ(film->currentText(), QStringLiteral("Au (bulk)"));
    EXPECT_EQ(dialog.materialId(), 9);
    const QImage swatch = film->itemIcon(1).pixmap(100, 100).toImage();
    EXPECT_EQ(swatch.pixelColor(50, 50), QColor(127, 255, 127, 255));
}

namespace {

struct CreateSubstrateFlow : ::testing::Test {
    void SetUp() override {
        auto scripted = std::make_unique<testing_support::ScriptedPrompts>();
        prompts = scripted.get();
        presenter = std::make_unique<Ui::MainWindowPresenter>(nullptr, std::move(scripted));
    }
    Core::Operations::OperationContext& context() { return presenter->getContext(); }

    testing_support::ScriptedPrompts* prompts = nullptr;
    std::unique_ptr<Ui::MainWindowPresenter> presenter;
};

} // namespace

TEST_F(CreateSubstrateFlow, OperationTwoCreatesAnUndoableVolumeFromTheDialog) {
    answerNextDialog(true, [](QWidget& dialog) {
        spin(dialog, "sbxTotalWidth")->setValue(20);
        spin(dialog, "sbxTotalLength")->setValue(10);
        spin(dialog, "sbxTotalHeight")->setValue(8);
        spin(dialog, "sbxSubsHeight")->setValue(3);
        spin(dialog, "sbxSubsZ")->setValue(2);
        dialog.findChild<QDoubleSpinBox*>(QStringLiteral("dblVolumeX"))->setValue(-4.5);
        dialog.findChild<QDoubleSpinBox*>(QStringLiteral("dblCellSizeX"))->setValue(0.5);
        dialog.findChild<QDoubleSpinBox*>(QStringLiteral("dblCellSizeZ"))->setValue(0.25);
        EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("lblTotalMicrometres"))->text(),
                  QString::fromUtf8("Volume: 10 × 10 × 2 µm"));
        auto* film = dialog.findChild<QComboBox*>(QStringLiteral("cbxFilm"));
        film->setCurrentIndex(film->findData(3));
        auto* orientation = dialog.findChild<QComboBox*>(QStringLiteral("cbxCrystalOrientation"));
        ASSERT_TRUE(orientation);
        EXPECT_EQ(orientation->currentText(), QStringLiteral("(100)"));
        EXPECT_TRUE(hasLabel(dialog, QStringLiteral("Crystal Orientation")));
        orientation->setCurrentText(QStringLiteral("(110)"));
    });
    presenter->operationActivated(QStringLiteral("2"));
    EXPECT_FALSE(context().currentOperation);

    const auto objects = context().document->getObjects();
    ASSERT_EQ(objects.size(), 1u);
    auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(objects[0]);
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->getSizeX(), 20u);
    EXPECT_EQ(volume->getPosition().x, -4.5);
    EXPECT_EQ(volume->getCellSizeX(), 0.5f);
    EXPECT_EQ(volume->getCellSizeY(), 1.f);
    EXPECT_EQ(volume->getCellSizeZ(), 0.25f);
    EXPECT_EQ(testing_support::materialAt(*volume, 19, 9, 1), 0);
    EXPECT_EQ(testing_support::materialAt(*volume, 19, 9, 2), 3);
    EXPECT_EQ(testing_support::materialAt(*volume, 0, 0, 4), 3);
    EXPECT_EQ(testing_support::materialAt(*volume, 0, 0, 5), 0);
    EXPECT_EQ(context().undoRedoStack.undoName(), QStringLiteral("Create Substrate"));

    const int id = volume->getId();
    EXPECT_TRUE(presenter->undo());
    EXPECT_TRUE(context().document->getObjects().empty());
    EXPECT_EQ(context().undoRedoStack.redoName(), QStringLiteral("Create Substrate"));
    presenter->redo();
    ASSERT_EQ(context().document->getObjects().size(), 1u);
    EXPECT_EQ(context().document->getObjects()[0]->getId(), id);
    EXPECT_EQ(volume->getCrystalOrientation(), Model::Automaton::CrystalOrientation::Surface110);
}

TEST_F(CreateSubstrateFlow, SphereCheckedPassesTheBallAndCancelLeavesTheDocumentAlone) {
    answerNextDialog(false);
    presenter->operationActivated(QStringLiteral("2"));
    EXPECT_TRUE(context().document->getObjects().empty());
    EXPECT_FALSE(context().currentOperation);
    EXPECT_TRUE(context().undoRedoStack.undoName().isEmpty());

    answerNextDialog(true, [](QWidget& dialog) {
        spin(dialog, "sbxTotalWidth")->setValue(9);
        spin(dialog, "sbxTotalLength")->setValue(9);
        spin(dialog, "sbxTotalHeight")->setValue(9);
        dialog.findChild<QCheckBox*>(QStringLiteral("cbxSubsSphere"))->setChecked(true);
        spin(dialog, "sbxSubsCenterX")->setValue(4);
        spin(dialog, "sbxSubsCenterY")->setValue(4);
        spin(dialog, "sbxSubsCenterZ")->setValue(4);
        spin(dialog, "sbxSubsRadius")->setValue(2);
    });
    presenter->operationActivated(QStringLiteral("2"));
    ASSERT_EQ(context().document->getObjects().size(), 1u);
    auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(
        context().document->getObjects()[0]);
    EXPECT_EQ(testing_support::materialAt(*volume, 4, 4, 6), 1);
    EXPECT_EQ(testing_support::materialAt(*volume, 4, 6, 6), 0);
    EXPECT_EQ(testing_support::materialAt(*volume, 0, 0, 0), 0);
}

TEST_F(CreateSubstrateFlow, OversizedVolumeIsRefusedWithAMessageBox) {
    answerNextDialog(true, [](QWidget& dialog) {
        spin(dialog, "sbxTotalWidth")->setValue(10000);
        spin(dialog, "sbxTotalLength")->setValue(10000);
        spin(dialog, "sbxTotalHeight")->setValue(10000);
    });
    presenter->operationActivated(QStringLiteral("2"));
    EXPECT_TRUE(context().document->getObjects().empty());
    EXPECT_FALSE(context().currentOperation);
    ASSERT_EQ(prompts->messages.size(), 1);
    EXPECT_TRUE(prompts->messages[0].startsWith(QStringLiteral("Create Substrate: A cell volume")));
    EXPECT_TRUE(context().undoRedoStack.undoName().isEmpty());
}

} // namespace CELLVANE_TEST_FILE
