#include "Model/Automaton/totalvolume.h"
#include "UI/mainwindowpresenter.h"
#include "guitestsupport.h"
#include "support/scenes.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>

namespace CELLVANE_TEST_FILE {

namespace {

using gui_support::acceptNextDialog;

QAction* action(QWidget* window, const char* name) {
    return window->findChild<QAction*>(QString::fromLatin1(name));
}

void chooseMaterial(QDialog& dialog, int id) {
    auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("cbxMaterial"));
    combo->setCurrentIndex(combo->findData(id));
}

void setDistance(QDialog& dialog, const char* name, double value) {
    dialog.findChild<QDoubleSpinBox*>(QString::fromLatin1(name))->setValue(value);
}

} // namespace

// A user's session: a substrate, a film deposited on it and partly etched again, then undo and
// redo through the Edit menu, each step started from its menu action.
TEST(ProcessFlow, DepositEtchUndoRedoFromTheMenus) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto* presenter = shown.window->getPresenter();

    acceptNextDialog();
    action(shown.window, "actionCreate_Substrate")->trigger();
    const auto objects = presenter->getDocument()->getObjects();
    ASSERT_EQ(objects.size(), 1u);
    auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(objects[0]);
    ASSERT_TRUE(volume);
    const auto substrate = testing_support::materialsOf(*volume);

    // CVD asks for a volume first; a pick and Enter continue it into its dialog.
    action(shown.window, "actionCVD")->trigger();
    EXPECT_TRUE(presenter->getSelection().isSelectionMode());
    presenter->getSelection().toggle(volume);
    acceptNextDialog([](QDialog& dialog) {
        chooseMaterial(dialog, 3);
        setDistance(dialog, "dblFilmThickness", 3.0);
    });
    presenter->enterPressed();
    const auto deposited = testing_support::materialsOf(*volume);
    ASSERT_NE(deposited, substrate);
    EXPECT_EQ(action(shown.window, "actionUndo")->text(), QStringLiteral("Undo CVD"));

    action(shown.window, "actionIsotropic_Film_Etching")->trigger();
    presenter->getSelection().toggle(volume);
    acceptNextDialog([](QDialog& dialog) {
        chooseMaterial(dialog, 3);
        setDistance(dialog, "dblEtchDepth", 1.0);
    });
    presenter->enterPressed();
    const auto etched = testing_support::materialsOf(*volume);
    ASSERT_NE(etched, deposited);
    EXPECT_EQ(action(shown.window, "actionUndo")->text(), QStringLiteral("Undo Isotropic Etching"));

    action(shown.window, "actionUndo")->trigger();
    EXPECT_EQ(testing_support::materialsOf(*volume), deposited);
    EXPECT_EQ(action(shown.window, "actionRedo")->text(), QStringLiteral("Redo Isotropic Etching"));
    action(shown.window, "actionUndo")->trigger();
    EXPECT_EQ(testing_support::materialsOf(*volume), substrate);
    action(shown.window, "actionRedo")->trigger();
    action(shown.window, "actionRedo")->trigger();
    EXPECT_EQ(testing_support::materialsOf(*volume), etched);
    EXPECT_FALSE(action(shown.window, "actionRedo")->isEnabled());
}

// Doping, implantation, oxidation and PVD from their menu actions on a substrate, each
// undoable, then undone and redone through the Edit menu.
TEST(ProcessFlow, DopeImplantOxidizeDepositAndUndoFromTheMenus) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto* presenter = shown.window->getPresenter();
    acceptNextDialog();
    action(shown.window, "actionCreate_Substrate")->trigger();
    auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(
        presenter->getDocument()->getObjects().at(0));
    ASSERT_TRUE(volume);
    std::vector<std::vector<int>> states{testing_support::materialsOf(*volume)};

    // Each step asks for the volume, takes the pick on Enter and opens its dialog.
    auto runPicked = [&](const char* name, std::function<void(QDialog&)> adjust) {
        action(shown.window, name)->trigger();
        presenter->getSelection().toggle(volume);
        acceptNextDialog(std::move(adjust));
        presenter->enterPressed();
        states.push_back(testing_support::materialsOf(*volume));
    };
    auto dopant = [](int id) {
        return [id](QDialog& d) {
            auto* combo = d.findChild<QComboBox*>(QStringLiteral("cbxDopedMaterial"));
            combo->setCurrentIndex(combo->findData(id));
        };
    };
    runPicked("actionDoping", dopant(14));
    EXPECT_EQ(testing_support::materialAt(*volume, 50, 50, 29), 14) << "doped surface";
    EXPECT_EQ(action(shown.window, "actionUndo")->text(), QStringLiteral("Undo Doping"));
    runPicked("actionIon_Implantation", dopant(15));
    EXPECT_EQ(testing_support::materialAt(*volume, 50, 50, 19), 15) << "implanted layer";
    EXPECT_EQ(action(shown.window, "actionUndo")->text(), QStringLiteral("Undo Ion Implantation"));

    // Two hours at 1373 K grow about 0.19 microns, 19 cell units when a cell unit is taken as
    // 10 nm (100 per micron; the dialog's default is the volume's own scale). The only volume
    // of the document is shown selected, and Enter takes it without a pick.
    action(shown.window, "actionSi_Oxidation")->trigger();
    EXPECT_TRUE(volume->isSelected());
    acceptNextDialog([](QDialog& dialog) {
        dialog.findChild<QRadioButton*>(QStringLiteral("radOxidationTime"))->setChecked(true);
        setDistance(dialog, "sbxOxidationTemperature", 1373.0);
        setDistance(dialog, "sbxMicronConversion", 100.0);
    });
    presenter->enterPressed();
    states.push_back(testing_support::materialsOf(*volume));
    EXPECT_EQ(testing_support::materialAt(*volume, 50, 50, 24), 3) << "oxide in the silicon";
    EXPECT_EQ(testing_support::materialAt(*volume, 50, 50, 39), 3) << "oxide above it";
    EXPECT_EQ(testing_support::materialAt(*volume, 50, 50, 40), 0);
    EXPECT_EQ(action(shown.window, "actionUndo")->text(), QStringLiteral("Undo Si Oxidation"));

    runPicked("actionPVD", [](QDialog& d) { chooseMaterial(d, 4); });
    EXPECT_EQ(testing_support::materialAt(*volume, 50, 50, 40), 4) << "aluminium film";
    EXPECT_EQ(action(shown.window, "actionUndo")->text(), QStringLiteral("Undo PVD"));

    for (std::size_t i = states.size() - 1; i > 0; --i) {
        action(shown.window, "actionUndo")->trigger();
        EXPECT_EQ(testing_support::materialsOf(*volume), states[i - 1]) << "undo to " << i - 1;
    }
    for (std::size_t i = 1; i < states.size(); ++i) {
        action(shown.window, "actionRedo")->trigger();
        EXPECT_EQ(testing_support::materialsOf(*volume), states[i]) << "redo to " << i;
    }
}

// Patterning a substrate from the menus: pour resist, develop it through a checkerboard top
// mask, etch the silicon through the openings, planarize; each state differs in the view, and
// undo walks back to the bare substrate and redo forward to the end, cell for cell.
TEST(ProcessFlow, LithographyRieAndPlanarizationUndoAndRedoFromTheMenus) {
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

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage mask(24, 24, QImage::Format_RGB32);
    for (int x = 0; x < 24; ++x)
        for (int y = 0; y < 24; ++y)
            mask.setPixel(x, y, (x / 6 + y / 6) % 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    shown.prompts->fileAnswer = dir.filePath(QStringLiteral("checkerboard.png"));
    ASSERT_TRUE(mask.save(shown.prompts->fileAnswer));

    constexpr int Resist = 5;
    const auto run = [&](const char* actionName, std::function<void(QDialog&)> adjust) {
        action(shown.window, actionName)->trigger();
        presenter->getSelection().toggle(volume);
        acceptNextDialog(std::move(adjust));
        presenter->enterPressed();
    };
    std::vector<std::vector<int>> states{testing_support::materialsOf(*volume)};
    std::vector<QImage> views{shown.view->grabScene()};
    const auto remember = [&] {
        states.push_back(testing_support::materialsOf(*volume));
        views.push_back(shown.view->grabScene());
    };

    run("actionSpin_Coating", [](QDialog& dialog) {
        chooseMaterial(dialog, Resist);
        dialog.findChild<QSpinBox*>(QStringLiteral("sbxDepositionHeight"))->setValue(11);
    });
    remember();
    QImage withMask;
    run("actionPhotolithography", [&](QDialog& dialog) {
        auto* films = dialog.findChild<QComboBox*>(QStringLiteral("cbxFilm"));
        films->setCurrentIndex(films->findData(Resist));
        dialog.findChild<QToolButton*>(QStringLiteral("tbtTopMask"))->click();
        dialog.findChild<QPushButton*>(QStringLiteral("btnApplyTopMask"))->click();
        withMask = shown.view->grabScene();
    });
    remember();
    EXPECT_GT(gui_support::countDifferent(views[1], withMask), 50) << "the mask shows at once";
    int maskWidth = -1, maskHeight = -1;
    volume->getTopMaskSize(maskWidth, maskHeight);
    EXPECT_EQ(maskWidth, 0) << "and is taken off with the finished step";
    run("actionSimple_RIE", [](QDialog& dialog) {
        chooseMaterial(dialog, 1);
        dialog.findChild<QSpinBox*>(QStringLiteral("sbxEtchDepth"))->setValue(3);
    });
    remember();
    run("actionPlanarization", [](QDialog& dialog) {
        dialog.findChild<QSpinBox*>(QStringLiteral("sbxMaximumHeight"))->setValue(10);
        dialog.findChild<QSpinBox*>(QStringLiteral("sbxMinimumHeight"))->setValue(2);
    });
    remember();
    EXPECT_EQ(action(shown.window, "actionUndo")->text(), QStringLiteral("Undo Planarization"));

    // Image rows run from the top, cell rows from the bottom: column (2, 2) lies under image
    // row 21, a black square, where the resist stays and shields the silicon; column (8, 2)
    // under a white one, where both go.
    EXPECT_EQ(testing_support::materialAt(*volume, 2, 2, 9), Resist);
    EXPECT_EQ(testing_support::materialAt(*volume, 2, 2, 7), 1);
    EXPECT_EQ(testing_support::materialAt(*volume, 8, 2, 9), 0);
    EXPECT_EQ(testing_support::materialAt(*volume, 8, 2, 5), 0);
    EXPECT_EQ(testing_support::materialAt(*volume, 8, 2, 4), 1);
    for (std::size_t i = 1; i < views.size(); ++i)
        EXPECT_GT(gui_support::countDifferent(views[i - 1], views[i]), 0) << "step " << i;

    auto& history = presenter->getProcessHistory();
    for (std::size_t i = states.size() - 1; i-- > 0;) {
        history.setLatticeRebuildNeeded(volume->getId(), false);
        action(shown.window, "actionUndo")->trigger();
        EXPECT_TRUE(history.isLatticeRebuildNeeded(volume->getId())) << "cells under it replaced";
        EXPECT_EQ(testing_support::materialsOf(*volume), states[i]) << "undo to state " << i;
        EXPECT_EQ(gui_support::countDifferent(shown.view->grabScene(), views[i]), 0) << i;
    }
    EXPECT_EQ(action(shown.window, "actionUndo")->text(), QStringLiteral("Undo Create Substrate"));
    for (std::size_t i = 1; i < states.size(); ++i) {
        action(shown.window, "actionRedo")->trigger();
        EXPECT_EQ(testing_support::materialsOf(*volume), states[i]) << "redo to state " << i;
    }
    EXPECT_FALSE(action(shown.window, "actionRedo")->isEnabled());
}

} // namespace CELLVANE_TEST_FILE
