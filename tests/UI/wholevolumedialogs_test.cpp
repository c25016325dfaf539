#include "Model/Automaton/totalvolume.h"
#include "Model/Materials/materialfactory.h"
#include "UI/Operations/changevolumevisualizationdialog.h"
#include "UI/Operations/cutcellvolumedialog.h"
#include "UI/Operations/extractfilmdialog.h"
#include "UI/Operations/gluesubstratedialog.h"
#include "UI/mainwindowpresenter.h"
#include "support/fakeoperations.h"
#include "support/registryfiles.h"
#include "support/scenes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::TotalVolume;
using Ui::Operations::CutCellVolumeDialog;
using Corner = CutCellVolumeDialog::Corner;

namespace {

template <class W> W* child(QWidget& parent, const char* name) {
    return parent.findChild<W*>(QString::fromLatin1(name));
}

// Runs `act` on the modal dialog of type D as soon as it is open.
template <typename D> void whenOpen(std::function<void(D&)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
}

} // namespace

TEST(CutCellVolumeDialog, LimitsPushEachOtherAndPreviewOnlyWhenAsked) {
    CutCellVolumeDialog dialog({0, 1, 0}, {10, 8, 6}, {10, 8, 6});
    std::vector<std::pair<Corner, Corner>> previews;
    dialog.setPreviewHandler(
        [&](const Corner& lower, const Corner& upper) { previews.emplace_back(lower, upper); });
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Cut Cell Volume"));
    auto* xLower = child<QSpinBox>(dialog, "sbxXLowerLimit");
    auto* xUpper = child<QSpinBox>(dialog, "sbxXUpperLimit");
    auto* yLowerSlider = child<QSlider>(dialog, "sldYLowerLimit");
    EXPECT_EQ(xLower->maximum(), 9);
    EXPECT_EQ(xUpper->minimum(), 1);
    EXPECT_EQ(xUpper->maximum(), 10);
    EXPECT_EQ(yLowerSlider->value(), 1) << "starts at the painter's limits";

    xUpper->setValue(4);
    xLower->setValue(4); // raised to the upper limit: the upper one moves on
    EXPECT_EQ(xUpper->value(), 5);
    EXPECT_EQ(child<QSlider>(dialog, "sldXUpperLimit")->value(), 5);
    xUpper->setValue(2); // lowered to the lower limit: the lower one moves back
    EXPECT_EQ(xLower->value(), 1);
    EXPECT_TRUE(previews.empty()) << "nothing is shown without Preview";

    child<QCheckBox>(dialog, "chkPreview")->setChecked(true);
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews.back(), std::make_pair(Corner{1, 1, 0}, Corner{2, 8, 6}));
    yLowerSlider->setValue(7);                              // within range, no push
    child<QSpinBox>(dialog, "sbxYUpperLimit")->setValue(7); // pushes the lower one to 6
    ASSERT_EQ(previews.size(), 3u) << "one preview per change, pushes included";
    EXPECT_EQ(previews.back(), std::make_pair(Corner{1, 6, 0}, Corner{2, 7, 6}));

    child<QPushButton>(dialog, "btnReset")->click();
    ASSERT_EQ(previews.size(), 4u);
    EXPECT_EQ(previews.back(), std::make_pair(Corner{0, 0, 0}, Corner{10, 8, 6}));
    EXPECT_EQ(dialog.upperLimits(), (Corner{10, 8, 6}));
}

namespace {

// A presenter with its real operations and two volumes, a base and a smaller top.
struct WholeVolumeObserverTest : TestSupport::RegistryTest {
    void SetUp() override {
        TestSupport::RegistryTest::SetUp();
        auto scripted = std::make_unique<testing_support::ScriptedPrompts>();
        prompts = scripted.get();
        presenter = std::make_unique<Ui::MainWindowPresenter>(nullptr, std::move(scripted));
        base = testing_support::makeVolume(6, 5, 6, [](int, int, int z) { return z < 2 ? 1 : 0; });
        top = testing_support::makeVolume(4, 5, 4, [](int, int, int z) { return z == 1 ? 3 : 0; });
        for (const auto& volume : {base, top}) {
            volume->getPainter().rebuild();
            presenter->getDocument()->addObject(volume);
        }
    }
    void TearDown() override {
        presenter.reset();
        TestSupport::RegistryTest::TearDown();
    }

    void activate(int number, const std::shared_ptr<TotalVolume>& picked) {
        if (picked)
            presenter->getSelection().toggle(picked);
        presenter->operationActivated(QString::number(number));
    }
    QString lastMessage() { return presenter->getConsoleInput().getLastMessage(); }
    Model::ObjectList objects() { return presenter->getDocument()->getObjects(); }

    testing_support::ScriptedPrompts* prompts = nullptr;
    std::unique_ptr<Ui::MainWindowPresenter> presenter;
    std::shared_ptr<TotalVolume> base;
    std::shared_ptr<TotalVolume> top;
};

} // namespace

TEST_F(WholeVolumeObserverTest, CancellingTheCutRestoresTheLimitsOfBeforeEvenAfterAPreview) {
    base->getPainter().setCutLimits({0, 0, 1}, {6, 5, 6});
    Corner seenDuringPreview{};
    whenOpen<CutCellVolumeDialog>([&](CutCellVolumeDialog& dialog) {
        EXPECT_EQ(child<QSpinBox>(dialog, "sbxZLowerLimit")->value(), 1);
        child<QCheckBox>(dialog, "chkPreview")->setChecked(true);
        child<QSpinBox>(dialog, "sbxXUpperLimit")->setValue(3);
        Corner upper;
        base->getPainter().getCutLimits(seenDuringPreview, upper);
        seenDuringPreview = upper;
        dialog.reject();
    });
    activate(16, base);
    EXPECT_EQ(seenDuringPreview, (Corner{3, 5, 6})) << "Preview shows the change at once";
    Corner lower;
    Corner upper;
    base->getPainter().getCutLimits(lower, upper);
    EXPECT_EQ(lower, (Corner{0, 0, 1}));
    EXPECT_EQ(upper, (Corner{6, 5, 6}));
    EXPECT_EQ(lastMessage(), QStringLiteral("Change Cut Planes: Operation Canceled!"));
    EXPECT_FALSE(presenter->getContext().currentOperation);

    whenOpen<CutCellVolumeDialog>([&](CutCellVolumeDialog& dialog) {
        child<QSpinBox>(dialog, "sbxYUpperLimit")->setValue(2);
        dialog.accept();
    });
    activate(16, base);
    base->getPainter().getCutLimits(lower, upper);
    EXPECT_EQ(upper, (Corner{6, 2, 6}));
    EXPECT_EQ(lastMessage(), QStringLiteral("Change Cut Planes: Cut planes changed."));
    EXPECT_TRUE(presenter->getContext().undoRedoStack.getUndoStack().empty()) << "not undoable";
}

TEST_F(WholeVolumeObserverTest, GlueDialogOffersTheLayoutsLimitsAndGluesOnOk) {
    activate(12, base);
    presenter->getSelection().toggle(top);
    whenOpen<Ui::Operations::GlueSubstrateDialog>([&](Ui::Operations::GlueSubstrateDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Glue Substrate"));
        auto* finalX = child<QSpinBox>(dialog, "sbxFinalX");
        auto* finalZ = child<QSpinBox>(dialog, "sbxFinalZ");
        EXPECT_EQ(finalX->minimum(), 6);
        EXPECT_FALSE(finalX->isEnabled());
        EXPECT_FALSE(child<QSpinBox>(dialog, "sbxFinalY")->isEnabled());
        EXPECT_TRUE(finalZ->isEnabled());
        EXPECT_EQ(finalZ->minimum(), 3) << "base height 2 plus the top's one occupied layer";
        EXPECT_EQ(finalZ->value(), 4);
        EXPECT_EQ(child<QSpinBox>(dialog, "sbxDisplacementX")->maximum(), 2);
        EXPECT_EQ(child<QSpinBox>(dialog, "sbxDisplacementY")->maximum(), 0);
        EXPECT_EQ(finalZ->toolTip(), QStringLiteral("This determines the final volume size."));
        child<QSpinBox>(dialog, "sbxDisplacementX")->setValue(2);
        child<QCheckBox>(dialog, "chkInvert")->setChecked(true);
        dialog.accept();
    });
    presenter->enterPressed();
    ASSERT_EQ(objects().size(), 1u);
    auto glued = std::dynamic_pointer_cast<TotalVolume>(objects()[0]);
    ASSERT_TRUE(glued);
    EXPECT_EQ(glued->getSizeZ(), 4u);
    EXPECT_EQ(testing_support::materialAt(*glued, 2, 0, 2), 3);
    EXPECT_EQ(testing_support::materialAt(*glued, 1, 0, 2), 0) << "displaced by two cells";
    EXPECT_EQ(lastMessage(), QStringLiteral("Glue Volumes: volumes glued."));

    presenter->undo();
    EXPECT_EQ(objects(), (Model::ObjectList{base, top}));
    presenter->redo();
    EXPECT_EQ(objects(), (Model::ObjectList{glued}));
}

TEST_F(WholeVolumeObserverTest, ExtractDialogListsEveryMaterialAndExtractsTheChosenOne) {
    whenOpen<Ui::Operations::ExtractFilmDialog>([&](Ui::Operations::ExtractFilmDialog& dialog) {
        auto* films = child<QComboBox>(dialog, "cbxMaterial");
        EXPECT_EQ(std::size_t(films->count()), materials->getMaterials().size());
        films->setCurrentIndex(films->findData(1));
        dialog.accept();
    });
    activate(8, base);
    ASSERT_EQ(objects().size(), 3u);
    EXPECT_EQ(lastMessage(), QStringLiteral("Extract Film: film extracted."));

    whenOpen<Ui::Operations::ExtractFilmDialog>(
        [](Ui::Operations::ExtractFilmDialog& dialog) { dialog.reject(); });
    activate(8, top);
    EXPECT_EQ(objects().size(), 3u);
    EXPECT_FALSE(presenter->getContext().currentOperation);
}

TEST_F(WholeVolumeObserverTest, EditedFilmColoursReachTheRegistryBeforeTheOptionsApply) {
    Model::Materials::Material oxide = materials->getMaterial(3);
    oxide.setColor(oxide.getRed(), oxide.getGreen(), oxide.getBlue(), 0.5f);
    materials->updateMaterial(oxide);
    whenOpen<Ui::Operations::ChangeVolumeVisualizationDialog>(
        [](Ui::Operations::ChangeVolumeVisualizationDialog& dialog) {
            auto* films = child<QComboBox>(dialog, "cbxMaterial");
            for (int i = 0; i < films->count(); ++i) {
                if (films->itemText(i) ==
                    Model::Materials::MaterialFactory::getInstance()->getMaterial(3).getName())
                    films->setCurrentIndex(i);
            }
            dialog.setColorChooser([](QWidget*, const QColor&) { return QColor(0, 0, 255); });
            child<QPushButton>(dialog, "btnChangeColor")->click();
            child<QComboBox>(dialog, "cbxAlgorithm")->setCurrentIndex(1);
            dialog.accept();
        });
    activate(6, top);
    const Model::Materials::Material recoloured = materials->getMaterial(3);
    EXPECT_EQ(recoloured.getBlue(), 1.f);
    EXPECT_EQ(recoloured.getRed(), 0.f);
    EXPECT_EQ(recoloured.getAlpha(), 0.5f) << "a film keeps its transparency";
    EXPECT_EQ(top->getPainter().getAlgorithm(), 1);
    EXPECT_EQ(base->getPainter().getAlgorithm(), 0);
    EXPECT_EQ(lastMessage(), QStringLiteral("Change Visualization: Options changed."));
}

TEST_F(WholeVolumeObserverTest, AnotherOperationStartedWhileADialogIsOpenEndsTheFirstCleanly) {
    // Move takes over while the glue dialog is open; OK in that dialog then glues nothing.
    activate(12, base);
    presenter->getSelection().toggle(top);
    whenOpen<Ui::Operations::GlueSubstrateDialog>([&](Ui::Operations::GlueSubstrateDialog& dialog) {
        presenter->operationActivated(QStringLiteral("7"));
        EXPECT_EQ(lastMessage(), QStringLiteral("Move: Select the object(s) to be copied and "
                                                "press Enter/Return."));
        presenter->getSelection().toggle(top);
        presenter->enterPressed();
        dialog.accept();
    });
    presenter->enterPressed();
    EXPECT_EQ(objects(), (Model::ObjectList{base, top}));
    EXPECT_TRUE(top->isMoving()) << "the move goes on";

    // Delete takes over from the move: every preview goes back to its place.
    auto& interaction = presenter->getViewInteraction();
    interaction.deliverPick(Util::Vector4D(1, 1, 0, 0), 0);
    presenter->getContext().currentOperation->step();
    interaction.deliverPick(Util::Vector4D(4, 1, 0, 0), 1);
    presenter->getContext().currentOperation->step();
    EXPECT_EQ(top->getPreviewOffset().x, 3.0);
    presenter->operationActivated(QStringLiteral("4"));
    EXPECT_FALSE(top->isMoving());
    EXPECT_EQ(top->getPreviewOffset().x, 0.0);
    EXPECT_EQ(top->getPosition().x, 0.0);
    EXPECT_FALSE(interaction.getPickingOperation());
    EXPECT_EQ(lastMessage(),
              QStringLiteral("Delete: Select the objects to be deleted and press Return/Enter"));
    EXPECT_TRUE(presenter->getContext().undoRedoStack.getUndoStack().empty());
}

} // namespace CELLVANE_TEST_FILE
