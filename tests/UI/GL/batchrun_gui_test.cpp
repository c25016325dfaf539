#include "Core/Operations/Document/documentexport.h"
#include "Core/ProcessList/processlistrun.h"
#include "Model/Automaton/totalvolume.h"
#include "UI/BatchRun/runprocessesdialog.h"
#include "UI/mainwindowpresenter.h"
#include "guitestsupport.h"
#include "support/qtprinters.h"
#include "support/scenes.h"

#include "Model/Layout/gdswriter.h"
#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <functional>

namespace CELLVANE_TEST_FILE {

namespace {

using gui_support::acceptNextDialog;

using Ui::ProcessData;
using Ui::RunProcessesDialog;

template <class Widget> Widget* child(QWidget& parent, const char* name) {
    return parent.findChild<Widget*>(QString::fromLatin1(name));
}

struct BatchDialog {
    RunProcessesDialog& dialog;
    QTreeWidget* tree() { return child<QTreeWidget>(dialog, "treeWidget"); }
    QProgressBar* progress() { return child<QProgressBar>(dialog, "progressBar"); }
    void press(const char* button) { child<QPushButton>(dialog, button)->click(); }

    // Picks the kind in the combo box and presses Add; `answer` fills the step's own dialog.
    void add(const QString& kind, std::function<void(QDialog&)> answer = {}) {
        auto* kinds = child<QComboBox>(dialog, "cbxProcess");
        kinds->setCurrentIndex(kinds->findText(kind));
        if (kind != QStringLiteral("Save Image"))
            acceptNextDialog(std::move(answer));
        press("btnAddProcess");
    }
    QStringList steps() {
        QStringList names;
        for (int i = 0; i < tree()->topLevelItemCount(); ++i)
            names << tree()->topLevelItem(i)->text(0) + QLatin1Char(' ') +
                         tree()->topLevelItem(i)->text(1);
        return names;
    }
    // "Name=Value" of the parameter rows under step `row`.
    QStringList shown(int row) {
        QStringList rows;
        const QTreeWidgetItem* step = tree()->topLevelItem(row);
        for (int i = 0; i < step->childCount(); ++i)
            rows << step->child(i)->text(2) + QLatin1Char('=') + step->child(i)->text(3);
        return rows;
    }
    void select(std::initializer_list<int> rows) {
        tree()->clearSelection();
        for (int row : rows)
            tree()->topLevelItem(row)->setSelected(true);
    }
    std::vector<int> ids() {
        std::vector<int> all;
        for (const ProcessData& process : dialog.getProcessList())
            all.push_back(process.getId());
        return all;
    }
    bool runToEnd() {
        press("btnRun");
        return QTest::qWaitFor([this] { return !dialog.isRunning(); }, 60000);
    }
};

void substrate(QDialog& dialog) {
    child<QSpinBox>(dialog, "sbxTotalWidth")->setValue(20);
    child<QSpinBox>(dialog, "sbxTotalLength")->setValue(16);
    child<QSpinBox>(dialog, "sbxTotalHeight")->setValue(14);
    child<QSpinBox>(dialog, "sbxSubsHeight")->setValue(6);
}

void oxideFilm(QDialog& dialog) {
    auto* materials = child<QComboBox>(dialog, "cbxMaterial");
    materials->setCurrentIndex(materials->findData(3));
    child<QDoubleSpinBox>(dialog, "dblFilmThickness")->setValue(2.0);
}

std::function<void(QDialog&)> oxidation(bool byTime) {
    return [byTime](QDialog& dialog) {
        child<QRadioButton>(dialog, byTime ? "radOxidationTime" : "radOxideThickness")
            ->setChecked(true);
    };
}

std::vector<int> runnerCells(const QString& list, const QString& output, int threads) {
    QThreadPool::globalInstance()->setMaxThreadCount(threads);
    QString said;
    QTextStream log(&said);
    Ui::ProcessListRun::Options options;
    options.list = list;
    options.output = output;
    EXPECT_EQ(Ui::ProcessListRun::run(options, log), Ui::ProcessListRun::Done)
        << said.toStdString();
    const auto opened = Core::Operations::DocumentExport::open(output, 1, log);
    return opened ? testing_support::materialsOf(*opened->volume) : std::vector<int>();
}

} // namespace

// A user opens Batch Run without a volume, composes a list in the dialog from the steps' own
// dialogs, edits it, saves and reloads it and runs it: the run creates the volume, deposits,
// saves the picture and gives the same cells as the command-line runner on the saved list.
TEST(BatchRunDialog, ComposeEditSaveLoadAndRunAList) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto* presenter = shown.window->getPresenter();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString listFile = dir.filePath(QStringLiteral("flow.plst"));
    const QString picture = dir.filePath(QStringLiteral("flow.png"));
    const int threadsBefore = QThreadPool::globalInstance()->maxThreadCount();
    std::vector<int> dialogCells;

    shown.window->findChild<QAction*>(QStringLiteral("actionBatch_Run"))->trigger();
    // Nothing selected: the console asks, and N opens the dialog without a volume.
    QTimer::singleShot(0, [&] {
        auto* found = qobject_cast<RunProcessesDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(found);
        BatchDialog batch{*found};
        EXPECT_EQ(found->windowTitle(), QStringLiteral("Batch Run"));
        EXPECT_EQ(found->size(), QSize(750, 470));
        auto* kinds = child<QComboBox>(*found, "cbxProcess");
        ASSERT_EQ(kinds->count(), 22);
        EXPECT_EQ(kinds->itemText(0), QStringLiteral("CVD"));
        EXPECT_EQ(kinds->itemData(kinds->findText(QStringLiteral("Flux Etching"))).toInt(), 19);
        EXPECT_EQ(kinds->itemData(kinds->findText(QStringLiteral("Thermal Oxidation"))).toInt(),
                  15);
        EXPECT_EQ(kinds->itemData(kinds->findText(QStringLiteral("Bosch DRIE"))).toInt(), 21);
        EXPECT_EQ(kinds->itemData(kinds->findText(QStringLiteral("Release Etch"))).toInt(), 22);
        EXPECT_FALSE(batch.progress()->isEnabled());

        // Without a volume, a list that does not create one runs nothing.
        batch.add(QStringLiteral("CVD"), oxideFilm);
        ASSERT_TRUE(batch.runToEnd());
        EXPECT_TRUE(shown.prompts->messages.contains(
            QStringLiteral("Missing Cell Volume: No cell volume was selected and a cell volume "
                           "was not created. The cell volume must be created before any other "
                           "process.")))
            << shown.prompts->messages.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(batch.progress()->value(), 0);
        EXPECT_TRUE(presenter->getDocument()->getObjects().empty());

        batch.add(QStringLiteral("Create Substrate"), substrate);
        batch.add(QStringLiteral("Thermal Oxidation"), oxidation(true));
        batch.add(QStringLiteral("Thermal Oxidation"), oxidation(false));
        shown.prompts->fileAnswer = picture;
        batch.add(QStringLiteral("Save Image"));
        EXPECT_EQ(batch.steps(), QStringList({"1 CVD", "2 Create Substrate", "3 Si Oxidation",
                                              "4 Si Oxidation", "5 Save Image"}));
        // Shown parameters in name order, the material with its colour.
        EXPECT_EQ(batch.shown(0), QStringList({"Material=Thermal Si02", "Thickness=2"}));
        EXPECT_EQ(batch.tree()->topLevelItem(0)->child(0)->icon(3).availableSizes(),
                  QList<QSize>{QSize(25, 25)});
        for (int row : {2, 3}) {
            QStringList names;
            for (const QString& shownRow : batch.shown(row))
                names << shownRow.section(QLatin1Char('='), 0, 0);
            EXPECT_EQ(names, row == 2 ? QStringList({"Micron Conversion", "Oxidation Pressure",
                                                     "Oxidation Temperature", "Oxidation Time"})
                                      : QStringList({"Micron Conversion", "Oxidation Thickness"}))
                << "oxidation by " << (row == 2 ? "time" : "thickness");
        }
        EXPECT_EQ(batch.shown(4), QStringList({"Filename=" + picture}));

        // Only step rows can be selected; the first step does not move up.
        batch.tree()->topLevelItem(1)->child(0)->setSelected(true);
        EXPECT_TRUE(batch.tree()->selectedItems().isEmpty());
        const std::vector<int> ids = batch.ids();
        batch.select({1});
        batch.press("btnMoveUp");
        EXPECT_EQ(batch.steps().mid(0, 2), QStringList({"1 Create Substrate", "2 CVD"}));
        EXPECT_EQ(batch.tree()->currentItem(), batch.tree()->topLevelItem(0));
        batch.press("btnMoveUp");
        EXPECT_EQ(batch.ids(), std::vector<int>({ids[1], ids[0], ids[2], ids[3], ids[4]}));
        batch.select({1});
        batch.press("btnMoveDown");
        batch.press("btnMoveDown");
        batch.press("btnMoveDown");
        batch.press("btnMoveDown");
        EXPECT_EQ(batch.ids(), std::vector<int>({ids[1], ids[2], ids[3], ids[4], ids[0]}))
            << "the CVD moved to the end and stays there";
        batch.select({4});
        batch.press("btnMoveUp");
        batch.press("btnMoveUp");
        batch.press("btnMoveUp");
        ASSERT_EQ(batch.ids(), std::vector<int>({ids[1], ids[0], ids[2], ids[3], ids[4]}));

        // Two steps of one kind go, exactly those two.
        batch.select({2, 3});
        batch.press("btnRemoveProcess");
        EXPECT_EQ(batch.steps(), QStringList({"1 Create Substrate", "2 CVD", "3 Save Image"}));
        EXPECT_EQ(batch.ids(), std::vector<int>({ids[1], ids[0], ids[4]}));

        // Saved, then a loaded list replaces whatever the dialog holds, with new ids.
        shown.prompts->fileAnswer = listFile;
        batch.press("btnSaveList");
        batch.add(QStringLiteral("Thermal Oxidation"), oxidation(true));
        batch.press("btnLoadList");
        EXPECT_EQ(batch.steps(), QStringList({"1 Create Substrate", "2 CVD", "3 Save Image"}));
        for (int id : batch.ids())
            EXPECT_GT(id, ids[4]);

        QThreadPool::globalInstance()->setMaxThreadCount(2);
        ASSERT_TRUE(batch.runToEnd());
        EXPECT_EQ(batch.progress()->maximum(), 3);
        EXPECT_EQ(batch.progress()->value(), 3);
        if (const auto volume = found->getVolume())
            dialogCells = testing_support::materialsOf(*volume);
        batch.press("btnClose");
    });
    presenter->getConsoleInput().processInput(QStringLiteral("N"));

    ASSERT_EQ(presenter->getDocument()->getObjects().size(), 1u) << "the created volume";
    ASSERT_FALSE(dialogCells.empty());
    EXPECT_EQ(std::count(dialogCells.begin(), dialogCells.end(), 3), 20 * 16 * 2) << "the film";
    EXPECT_FALSE(QImage(picture).isNull());
    EXPECT_EQ(shown.window->findChild<QAction*>(QStringLiteral("actionUndo"))->isEnabled(), true);
    for (int threads : {1, 2})
        EXPECT_EQ(
            runnerCells(listFile, dir.filePath(QStringLiteral("run%1.cvx").arg(threads)), threads),
            dialogCells)
            << threads << " threads";
    QThreadPool::globalInstance()->setMaxThreadCount(threadsBefore);
}

// Started on a selected volume: a photolithography step shows its mask on the volume while it
// is composed, the list runs on that volume, and closing the dialog takes the mask off again.
TEST(BatchRunDialog, MaskPreviewOnTheSelectedVolumeGoesWhenTheDialogCloses) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto* presenter = shown.window->getPresenter();
    acceptNextDialog(substrate);
    shown.window->findChild<QAction*>(QStringLiteral("actionCreate_Substrate"))->trigger();
    auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(
        presenter->getDocument()->getObjects().at(0));
    ASSERT_TRUE(volume);
    QTemporaryDir dir;
    const QString maskFile = dir.filePath(QStringLiteral("mask.png"));
    QImage mask(20, 16, QImage::Format_RGB32);
    mask.fill(Qt::white);
    for (int y = 0; y < 16; ++y)
        for (int x = 8; x < 12; ++x)
            mask.setPixel(x, y, qRgb(0, 0, 0));
    ASSERT_TRUE(mask.save(maskFile));

    // A layout whose layer 5 covers x from 0 to 4 um; turned by 90 degrees it lies left of the
    // volume, so the mask it gives is all open.
    const QString chip = dir.filePath(QStringLiteral("chip.gds"));
    ASSERT_TRUE(
        GdsWriter().begin().cell("CHIP").square(5, 0, 0, 0, 4000).endCell().end().save(chip));
    std::vector<bool> previewed;
    std::vector<bool> layoutPreview;
    int runsOn = -1;
    presenter->getSelection().toggle(volume);
    QTimer::singleShot(0, [&] {
        auto* found = qobject_cast<RunProcessesDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(found);
        BatchDialog batch{*found};
        ASSERT_EQ(found->getVolume(), volume);
        batch.add(QStringLiteral("CVD"), oxideFilm);
        batch.add(QStringLiteral("Photolithography"), [&](QDialog& dialog) {
            auto* materials = child<QComboBox>(dialog, "cbxFilm");
            materials->setCurrentIndex(materials->findData(3));
            child<QLineEdit>(dialog, "lieTopMask")->setText(maskFile);
            child<QPushButton>(dialog, "btnApplyTopMask")->click();
            previewed = volume->getTopMask();
        });
        EXPECT_EQ(batch.shown(1).filter(QStringLiteral("Top Mask File=")),
                  QStringList{"Top Mask File=" + maskFile});

        // A step whose dialog is cancelled takes the masks it showed off the view again.
        auto* kinds = child<QComboBox>(*found, "cbxProcess");
        kinds->setCurrentIndex(kinds->findText(QStringLiteral("Photolithography")));
        bool shownWhileOpen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            child<QLineEdit>(*dialog, "lieTopMask")->setText(maskFile);
            child<QPushButton>(*dialog, "btnApplyTopMask")->click();
            shownWhileOpen = !volume->getTopMask().empty();
            dialog->reject();
        });
        batch.press("btnAddProcess");
        EXPECT_TRUE(shownWhileOpen);
        EXPECT_TRUE(volume->getTopMask().empty());
        EXPECT_EQ(batch.steps().size(), 2);
        // The same step from a layout: its bits stored, the layout shown in the tree.
        shown.prompts->fileAnswer = chip;
        batch.add(QStringLiteral("Photolithography"), [&](QDialog& dialog) {
            acceptNextDialog([](QDialog& layout) {
                child<QToolButton>(layout, "tbtFile")->click();
                child<QDoubleSpinBox>(layout, "dbxOffsetY")->setValue(2.5);
                child<QComboBox>(layout, "cbxRotation")->setCurrentIndex(1);
            });
            child<QPushButton>(dialog, "btnTopLayout")->click();
            layoutPreview = volume->getTopMask();
        });
        const QStringList rows = batch.shown(2);
        for (const QString& row :
             {"TopLayout=" + chip + ":5/0", QStringLiteral("TopLayout Cell=CHIP"),
              QStringLiteral("TopLayout Placement=offset 0;2.5 \u00b5m, 90\u00b0"),
              QStringLiteral("Top Mask Width=20"), "Top Mask File=" + chip})
            EXPECT_TRUE(rows.contains(row))
                << row.toStdString() << " in " << rows.join(QStringLiteral(" | ")).toStdString();
        const auto stored =
            found->getProcessList().at(2).getParameters().value(QStringLiteral("Top Mask"));
        EXPECT_EQ(stored.value<std::vector<unsigned char>>().size(), std::size_t(20 * 16));
        batch.select({2});
        batch.press("btnRemoveProcess");
        // The oxide stripe left under the mask's dark columns, measured after the run.
        batch.add(QStringLiteral("Measure"), [](QDialog& dialog) {
            child<QLineEdit>(dialog, "lieMeasurement")
                ->setText(QStringLiteral("width:SiO2@x,10,5,6.5"));
            child<QLineEdit>(dialog, "lieResultName")->setText(QStringLiteral("stripe"));
        });
        EXPECT_EQ(batch.shown(2),
                  QStringList({"Measurement=width:SiO2@x,10,5,6.5", "Result Name=stripe"}));
        ASSERT_TRUE(batch.runToEnd());
        EXPECT_TRUE(batch.shown(2).contains(QStringLiteral("stripe=4 µm")))
            << batch.shown(2).join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(presenter->getConsoleInput().getLastMessage(),
                  QStringLiteral("Measure: stripe.to = 12 µm"));
        runsOn = int(presenter->getDocument()->getObjects().size());
        batch.press("btnClose");
    });
    shown.window->findChild<QAction*>(QStringLiteral("actionBatch_Run"))->trigger();

    EXPECT_EQ(previewed.size(), std::size_t(20 * 16)) << "the mask shown while composing";
    EXPECT_EQ(layoutPreview, std::vector<bool>(20 * 16, false)) << "the layout's mask shown";
    EXPECT_EQ(runsOn, 1) << "no volume of its own";
    EXPECT_TRUE(volume->getTopMask().empty()) << "the preview went with the dialog";
    // The oxide went where the mask is white and stays under its dark stripe.
    EXPECT_EQ(testing_support::materialAt(*volume, 2, 5, 6), 0);
    EXPECT_EQ(testing_support::materialAt(*volume, 10, 5, 6), 3);
}

// A list that only measures changes no cell: its run leaves nothing to undo, and a measurement
// without an answer is reported with its reason.
TEST(BatchRunDialog, AListOfMeasurementsLeavesNothingToUndo) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto* presenter = shown.window->getPresenter();
    acceptNextDialog(substrate);
    shown.window->findChild<QAction*>(QStringLiteral("actionCreate_Substrate"))->trigger();
    auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(
        presenter->getDocument()->getObjects().at(0));
    ASSERT_TRUE(volume);
    presenter->getSelection().toggle(volume);
    QStringList rows;
    QTimer::singleShot(0, [&] {
        auto* found = qobject_cast<RunProcessesDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(found);
        BatchDialog batch{*found};
        for (const char* text : {"thickness:Si@3,3", "top@30,3"})
            batch.add(QStringLiteral("Measure"), [text](QDialog& dialog) {
                child<QLineEdit>(dialog, "lieMeasurement")->setText(QString::fromLatin1(text));
            });
        ASSERT_TRUE(batch.runToEnd());
        rows = batch.shown(0) + batch.shown(1);
        batch.press("btnClose");
    });
    shown.window->findChild<QAction*>(QStringLiteral("actionBatch_Run"))->trigger();
    EXPECT_TRUE(rows.contains(QStringLiteral("thickness:Si@3,3=6 µm")))
        << rows.join(' ').toStdString();
    EXPECT_TRUE(rows.contains(QStringLiteral(
        "top@30,3=no answer: x = 30 µm lies outside the volume, which spans 0 ≤ x < 20 µm")))
        << rows.join(' ').toStdString();
    EXPECT_TRUE(shown.prompts->messages.join(QLatin1Char('\n'))
                    .contains(QStringLiteral("Step 2 (Measure)")));
    EXPECT_FALSE(shown.window->getUndoAction()->text().contains(QStringLiteral("Batch")))
        << shown.window->getUndoAction()->text().toStdString();
}

// A list that only writes a cross-section of the selected volume leaves the cells alone and
// puts nothing on the undo stack.
TEST(BatchRunDialog, CrossSectionStepWritesItsPictureAndNothingToUndo) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto* presenter = shown.window->getPresenter();
    acceptNextDialog(substrate);
    shown.window->findChild<QAction*>(QStringLiteral("actionCreate_Substrate"))->trigger();
    auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(
        presenter->getDocument()->getObjects().at(0));
    ASSERT_TRUE(volume);
    const auto cells = testing_support::materialsOf(*volume);
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("section.svg"));
    shown.prompts->fileAnswer = picture;
    QAction* undo = shown.window->findChild<QAction*>(QStringLiteral("actionUndo"));
    const QString undoBefore = undo->text();

    presenter->getSelection().toggle(volume);
    QTimer::singleShot(0, [&] {
        auto* found = qobject_cast<RunProcessesDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(found);
        BatchDialog batch{*found};
        batch.add(QStringLiteral("Save Cross-Section"), [](QDialog& dialog) {
            child<QComboBox>(dialog, "cbxPlaneAxis")->setCurrentIndex(0);
            child<QDoubleSpinBox>(dialog, "dbxPlanePosition")->setValue(3.5);
            child<QPushButton>(dialog, "btnBrowse")->click();
        });
        EXPECT_EQ(batch.steps(), QStringList{"1 Save Cross-Section"});
        EXPECT_EQ(batch.shown(0),
                  QStringList({"Filename=" + picture, "Plane Axis=x", "Plane Position=3.5"}));
        ASSERT_TRUE(batch.runToEnd());
        batch.press("btnClose");
    });
    shown.window->findChild<QAction*>(QStringLiteral("actionBatch_Run"))->trigger();

    QFile written(picture);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains("<svg"));
    EXPECT_EQ(testing_support::materialsOf(*volume), cells);
    EXPECT_EQ(undo->text(), undoBefore) << "the substrate is still the last step";
    // Nothing went wrong; the only question is whether to keep the unsaved list.
    EXPECT_EQ(shown.prompts->messages,
              QStringList{"Batch Run: The process list has not been saved. Save it before "
                          "closing?"});
}

// Started with N beside an existing volume: an empty list leaves a plain bar, the list's
// volume is placed beside the other and framed, its Save Image is the runner's picture, and
// Close asks before an unsaved list is thrown away.
TEST(BatchRunDialog, ANewVolumeGoesBesideTheOthersAndAnUnsavedListIsKept) {
    gui_support::ShownWindow shown;
    ASSERT_TRUE(shown.ready);
    auto* presenter = shown.window->getPresenter();
    acceptNextDialog(substrate);
    shown.window->findChild<QAction*>(QStringLiteral("actionCreate_Substrate"))->trigger();
    ASSERT_EQ(presenter->getDocument()->getObjects().size(), 1u);
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("beside.png"));
    bool keptOpen = false;

    shown.window->findChild<QAction*>(QStringLiteral("actionBatch_Run"))->trigger();
    QTimer::singleShot(0, [&] {
        auto* found = qobject_cast<RunProcessesDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(found);
        BatchDialog batch{*found};
        ASSERT_TRUE(batch.runToEnd());
        EXPECT_GT(batch.progress()->maximum(), 0) << "no endless busy animation";

        // Planarization keeps every cell unless told otherwise: the whole height while the
        // list's volume is unknown, that of its "Create Substrate" step once there is one.
        batch.add(QStringLiteral("Planarization"));
        EXPECT_TRUE(batch.shown(0).contains(QStringLiteral("Maximum Height=999999999")))
            << batch.shown(0).join(QLatin1Char(' ')).toStdString();
        batch.select({0});
        batch.press("btnRemoveProcess");
        batch.add(QStringLiteral("Create Substrate"), substrate);
        batch.add(QStringLiteral("Planarization"));
        EXPECT_TRUE(batch.shown(1).contains(QStringLiteral("Maximum Height=14")))
            << batch.shown(1).join(QLatin1Char(' ')).toStdString();
        shown.prompts->fileAnswer = picture;
        batch.add(QStringLiteral("Save Image"));
        ASSERT_TRUE(batch.runToEnd());
        EXPECT_EQ(batch.progress()->value(), 3);

        shown.prompts->saveAnswer = Core::Operations::IUserPrompts::SaveChoice::Cancel;
        batch.press("btnClose");
        keptOpen = found->isVisible();
        EXPECT_TRUE(shown.prompts->messages.contains(QStringLiteral(
            "Batch Run: The process list has not been saved. Save it before closing?")));
        shown.prompts->saveAnswer = Core::Operations::IUserPrompts::SaveChoice::Discard;
        batch.press("btnClose");
    });
    presenter->getConsoleInput().processInput(QStringLiteral("N"));

    EXPECT_TRUE(keptOpen);
    const auto objects = presenter->getDocument()->getObjects();
    ASSERT_EQ(objects.size(), 2u);
    const auto created = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(objects[1]);
    ASSERT_TRUE(created);
    EXPECT_DOUBLE_EQ(created->getPosition().x, 22.0) << "20 cells of the first and a gap of 2";
    // Both volumes are in sight: the view is centred on them.
    const auto& translation = shown.view->getCamera().translation;
    EXPECT_FLOAT_EQ(translation[0], -21.0f);
    EXPECT_FLOAT_EQ(translation[2], -7.0f);
    const QImage saved(picture);
    EXPECT_EQ(saved.size(), QSize(1024, 768)) << "the picture cellvane-run draws";
}

} // namespace CELLVANE_TEST_FILE
