#include "Model/Materials/materialfactory.h"
#include "UI/Operations/photolithographydialog.h"
#include "UI/Operations/planarizationoptionsdialog.h"
#include "UI/Operations/simpleriedialog.h"
#include "UI/Operations/spincoatingoptionsdialog.h"
#include "UI/mainwindowpresenter.h"
#include "support/fakeoperations.h"
#include "support/scenes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>

using namespace Ui::Operations;
using Model::Automaton::PhotoMask;

namespace {

template <class T> T* child(QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}

QLabel* labelWithText(QWidget& dialog, const QString& text) {
    for (auto* label : dialog.findChildren<QLabel*>())
        if (label->text() == text)
            return label;
    return nullptr;
}

void expectHeightBox(QSpinBox* box) {
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->minimum(), 0);
    EXPECT_EQ(box->maximum(), 999999999);
    EXPECT_EQ(box->value(), 0);
    EXPECT_EQ(box->suffix(), QStringLiteral(" cells"));
}

int materialCount() {
    return int(Model::Materials::MaterialFactory::getInstance()->getMaterials().size());
}

// Answers file questions with `answer` and remembers where each dialog was to open.
struct RecordingPrompts : testing_support::ScriptedPrompts {
    QString chooseOpenFileIn(const QString& caption, const QString& location,
                             const QString& filter) override {
        asked << caption + QLatin1Char('|') + location + QLatin1Char('|') + filter;
        return fileAnswer;
    }
    QStringList asked;
};

// A 3 x 2 mask image: black over column (0, 0), white elsewhere.
QString writeMaskImage(const QTemporaryDir& dir, const char* name) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(0, 1, qRgb(0, 0, 0));
    const QString path = dir.filePath(QString::fromLatin1(name));
    image.save(path);
    return path;
}

void answerNextDialog(std::function<void(QDialog&)> adjust, bool accept = true) {
    QTimer::singleShot(0, [adjust, accept] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        if (adjust)
            adjust(*dialog);
        if (accept)
            dialog->accept();
        else
            dialog->reject();
    });
}

} // namespace

TEST(PhotolithographyDialog, RowsBrowseApplyAndRemoveEachSidesMask) {
    RecordingPrompts prompts;
    PhotolithographyDialog dialog(prompts);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Photolithography Options"));
    EXPECT_EQ(dialog.objectName(), QStringLiteral("PhotolithographyBaseDialog"));
    for (const char* label : {"Top Mask", "Bottom Mask", "Select Film"})
        EXPECT_TRUE(labelWithText(dialog, QString::fromLatin1(label))) << label;
    for (const char* side : {"Top", "Bottom"}) {
        const QByteArray s(side);
        ASSERT_TRUE(child<QLineEdit>(dialog, "lie" + s + "Mask"));
        EXPECT_EQ(child<QToolButton>(dialog, "tbt" + s + "Mask")->text(), QStringLiteral("..."));
        EXPECT_EQ(child<QPushButton>(dialog, "btnApply" + s + "Mask")->text(),
                  QStringLiteral("Apply"));
        EXPECT_EQ(child<QPushButton>(dialog, "btnRemove" + s + "Mask")->text(),
                  QStringLiteral("Remove"));
    }
    auto* films = child<QComboBox>(dialog, "cbxFilm");
    EXPECT_EQ(films->count(), materialCount());
    films->setCurrentIndex(films->findData(12));
    EXPECT_EQ(dialog.materialId(), 12);
    EXPECT_EQ(dialog.topMask(), PhotoMask());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString image = writeMaskImage(dir, "mask.png");
    QSignalSpy topChanges(&dialog, &PhotolithographyDialog::topMaskChanged);
    QSignalSpy bottomChanges(&dialog, &PhotolithographyDialog::bottomMaskChanged);

    // Browsing starts in the shared folder and makes the choice the next start.
    const QString start = PhotolithographyDialog::startingPath();
    prompts.fileAnswer = image;
    child<QToolButton>(dialog, "tbtTopMask")->click();
    EXPECT_EQ(prompts.asked.value(0), QStringLiteral("Choose Mask File|") + start +
                                          QStringLiteral("|Image Files (*.png *.jpg *.bmp)"));
    EXPECT_EQ(child<QLineEdit>(dialog, "lieTopMask")->text(), image);
    EXPECT_EQ(PhotolithographyDialog::startingPath(), image);
    prompts.fileAnswer.clear();
    child<QToolButton>(dialog, "tbtBottomMask")->click();
    EXPECT_TRUE(child<QLineEdit>(dialog, "lieBottomMask")->text().isEmpty());
    EXPECT_TRUE(prompts.asked.value(1).contains(QLatin1Char('|') + image + QLatin1Char('|')));
    EXPECT_EQ(topChanges.count(), 0) << "browsing alone applies nothing";

    child<QPushButton>(dialog, "btnApplyTopMask")->click();
    ASSERT_EQ(topChanges.count(), 1);
    const PhotoMask applied = topChanges.at(0).at(0).value<PhotoMask>();
    EXPECT_EQ(applied.width, 3u);
    EXPECT_EQ(applied.height, 2u);
    EXPECT_EQ(applied.bits, (std::vector<bool>{true, false, false, false, false, false}));
    EXPECT_EQ(dialog.topMask(), applied);
    EXPECT_EQ(dialog.topMaskFile(), image);

    // A file that does not load warns with its row's words and changes nothing.
    child<QLineEdit>(dialog, "lieTopMask")->setText(dir.filePath(QStringLiteral("gone.png")));
    child<QPushButton>(dialog, "btnApplyTopMask")->click();
    child<QLineEdit>(dialog, "lieBottomMask")->setText(dir.path());
    child<QPushButton>(dialog, "btnApplyBottomMask")->click();
    ASSERT_EQ(prompts.messages.size(), 2);
    EXPECT_EQ(prompts.messages[0],
              QStringLiteral("File Error: Top Mask file not found!<br/>Please verify the filename "
                             "is correct and you have the correct permissions."));
    EXPECT_EQ(prompts.messages[1],
              QStringLiteral("File Error: Bottom mask not found error!<br/>Please verify if the "
                             "filename is correct and you have the correct permissions."));
    EXPECT_EQ(topChanges.count(), 1);
    EXPECT_EQ(bottomChanges.count(), 0);
    EXPECT_EQ(dialog.topMask(), applied);
    EXPECT_EQ(dialog.topMaskFile(), image);

    child<QPushButton>(dialog, "btnRemoveTopMask")->click();
    ASSERT_EQ(topChanges.count(), 2);
    EXPECT_EQ(topChanges.at(1).at(0).value<PhotoMask>(), PhotoMask());
    EXPECT_EQ(dialog.topMask(), PhotoMask());
    EXPECT_TRUE(dialog.topMaskFile().isEmpty());
}

TEST(PlanarizationOptionsDialog, TheMinimumNeverExceedsTheMaximum) {
    PlanarizationOptionsDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Planarization Options"));
    auto* minimum = child<QSpinBox>(dialog, "sbxMinimumHeight");
    auto* maximum = child<QSpinBox>(dialog, "sbxMaximumHeight");
    expectHeightBox(minimum);
    expectHeightBox(maximum);
    const QString below = QStringLiteral("All cells below this height will be removed.");
    const QString above = QStringLiteral("All cells above this height will be removed.");
    EXPECT_EQ(minimum->whatsThis(), below);
    EXPECT_EQ(maximum->whatsThis(), above);
    ASSERT_TRUE(labelWithText(dialog, QStringLiteral("Minimum Height")));
    EXPECT_EQ(labelWithText(dialog, QStringLiteral("Minimum Height"))->whatsThis(), below);
    EXPECT_EQ(labelWithText(dialog, QStringLiteral("Maximum Height"))->whatsThis(), above);

    dialog.limitToVolumeHeight(40);
    EXPECT_EQ(maximum->maximum(), 40);
    EXPECT_EQ(maximum->value(), 40);
    EXPECT_EQ(minimum->maximum(), 40);
    minimum->setValue(30);
    maximum->setValue(12);
    EXPECT_EQ(minimum->maximum(), 12);
    EXPECT_EQ(dialog.minimumHeight(), 12);
    EXPECT_EQ(dialog.maximumHeight(), 12);
    dialog.updateMinimumLimits(5);
    EXPECT_EQ(dialog.minimumHeight(), 5);
}

TEST(PatterningDialogs, PourMaterialAndSimpleRieShowTheirOptions) {
    SpinCoatingOptionsDialog pour;
    EXPECT_EQ(pour.windowTitle(), QStringLiteral("Pour Material Options"));
    EXPECT_TRUE(labelWithText(pour, QStringLiteral("Material")));
    EXPECT_TRUE(labelWithText(pour, QStringLiteral("Deposition Height")));
    expectHeightBox(child<QSpinBox>(pour, "sbxDepositionHeight"));
    EXPECT_EQ(child<QComboBox>(pour, "cbxMaterial")->count(), materialCount());
    pour.limitToVolumeHeight(25);
    EXPECT_EQ(child<QSpinBox>(pour, "sbxDepositionHeight")->maximum(), 25);

    SimpleRIEDialog rie;
    EXPECT_EQ(rie.windowTitle(), QStringLiteral("Simple RIE Options"));
    EXPECT_EQ(rie.objectName(), QStringLiteral("SimpleRIEForm"));
    EXPECT_EQ(rie.minimumSize(), QSize(400, 280));
    EXPECT_EQ(rie.maximumSize(), QSize(400, 280));
    auto* depth = child<QSpinBox>(rie, "sbxEtchDepth");
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(depth->minimum(), 1);
    EXPECT_EQ(depth->maximum(), 999999999);
    EXPECT_EQ(depth->value(), 1);
    EXPECT_EQ(depth->suffix(), QStringLiteral(" units"));
    EXPECT_TRUE(labelWithText(rie, QStringLiteral("Etch Depth")));
    EXPECT_TRUE(labelWithText(rie, QStringLiteral("Select Material")));
    auto* materials = child<QComboBox>(rie, "cbxMaterial");
    EXPECT_EQ(materials->count(), materialCount());
    EXPECT_EQ(materials->itemIcon(0).availableSizes().value(0), QSize(100, 100));
    EXPECT_EQ(child<QCheckBox>(rie, "chkEtchFromBelow")->text(), QStringLiteral("Etch from below"));
    EXPECT_EQ(child<QCheckBox>(rie, "chkEtchFromTop")->text(), QStringLiteral("Etch from top"));
    EXPECT_FALSE(rie.etchFromBelow());
    EXPECT_TRUE(rie.etchFromTop());
}

// Each step started by its number opens its dialog on the selected volume, runs on OK and goes
// on the undo stack; Cancel cancels it.
struct PatterningMenuTest : ::testing::Test {
    void SetUp() override {
        auto scripted = std::make_unique<testing_support::ScriptedPrompts>();
        prompts = scripted.get();
        presenter = std::make_unique<Ui::MainWindowPresenter>(nullptr, std::move(scripted));
        presenter->getDocument()->addObject(volume);
    }
    void start(const char* number, std::function<void(QDialog&)> adjust, bool accept = true) {
        presenter->getSelection().toggle(volume);
        answerNextDialog(std::move(adjust), accept);
        presenter->operationActivated(QString::fromLatin1(number));
    }
    QString lastMessage() const { return presenter->getConsoleInput().getLastMessage(); }

    testing_support::ScriptedPrompts* prompts = nullptr;
    std::unique_ptr<Ui::MainWindowPresenter> presenter;
    std::shared_ptr<Model::Automaton::TotalVolume> volume =
        testing_support::makeVolume(3, 2, 6, [](int, int, int z) { return z < 2 ? 1 : 0; });
};

TEST_F(PatterningMenuTest, EachStepRunsFromItsNumberThroughItsDialog) {
    start("23", [](QDialog& dialog) {
        EXPECT_EQ(child<QSpinBox>(dialog, "sbxDepositionHeight")->maximum(), 6);
        auto* combo = child<QComboBox>(dialog, "cbxMaterial");
        combo->setCurrentIndex(combo->findData(5));
        child<QSpinBox>(dialog, "sbxDepositionHeight")->setValue(4);
    });
    EXPECT_EQ(lastMessage(), QStringLiteral("Spin Coating: Operation finished."));
    EXPECT_EQ(testing_support::materialAt(*volume, 2, 1, 3), 5);
    EXPECT_EQ(presenter->getUndoRedoStack().undoName(), QStringLiteral("Spin Coating"));

    // The mask shows on the volume while the dialog is open, and is gone afterwards.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    prompts->fileAnswer = writeMaskImage(dir, "top.png");
    int shownWidth = 0, shownHeight = 0;
    start("20", [&](QDialog& dialog) {
        auto* combo = child<QComboBox>(dialog, "cbxFilm");
        combo->setCurrentIndex(combo->findData(5));
        child<QToolButton>(dialog, "tbtTopMask")->click();
        child<QPushButton>(dialog, "btnApplyTopMask")->click();
        volume->getTopMaskSize(shownWidth, shownHeight);
    });
    EXPECT_EQ(shownWidth, 3);
    EXPECT_EQ(shownHeight, 2);
    EXPECT_EQ(lastMessage(), QStringLiteral("Photolithography: Operation finished."));
    EXPECT_EQ(testing_support::materialAt(*volume, 0, 0, 3), 5) << "under the black pixel";
    EXPECT_EQ(testing_support::materialAt(*volume, 1, 0, 3), 0);
    volume->getTopMaskSize(shownWidth, shownHeight);
    EXPECT_EQ(shownWidth, 0);

    start("30", [](QDialog& dialog) {
        auto* combo = child<QComboBox>(dialog, "cbxMaterial");
        combo->setCurrentIndex(combo->findData(1));
        child<QSpinBox>(dialog, "sbxEtchDepth")->setValue(1);
    });
    EXPECT_EQ(lastMessage(), QStringLiteral("Simple RIE: Operation finished."));
    EXPECT_EQ(testing_support::materialAt(*volume, 1, 0, 1), 0);
    EXPECT_EQ(testing_support::materialAt(*volume, 0, 0, 1), 1);

    start("22", [](QDialog& dialog) {
        EXPECT_EQ(child<QSpinBox>(dialog, "sbxMaximumHeight")->value(), 6);
        child<QSpinBox>(dialog, "sbxMaximumHeight")->setValue(3);
    });
    EXPECT_EQ(lastMessage(), QStringLiteral("Planarization: Operation finished."));
    EXPECT_EQ(testing_support::materialAt(*volume, 0, 0, 3), 0);
    EXPECT_EQ(presenter->getUndoRedoStack().undoName(), QStringLiteral("Planarization"));
    EXPECT_FALSE(presenter->getContext().currentOperation);
}

TEST_F(PatterningMenuTest, CancellingADialogCancelsItsStepAndTakesMasksOff) {
    const auto before = testing_support::materialsOf(*volume);
    const std::pair<const char*, const char*> steps[] = {
        {"20", "Photolithography: Operation Canceled!"},
        {"22", "Planarization: Operation canceled!"},
        {"23", "Spin Coating: Operation canceled."},
        {"30", "Simple RIE: Operation canceled."},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    prompts->fileAnswer = writeMaskImage(dir, "bottom.png");
    int shownWidth = 0, shownHeight = 0;
    for (const auto& [number, message] : steps) {
        start(
            number,
            [&](QDialog& dialog) {
                if (auto* browse = child<QToolButton>(dialog, "tbtBottomMask")) {
                    browse->click();
                    child<QPushButton>(dialog, "btnApplyBottomMask")->click();
                    volume->getBottomMaskSize(shownWidth, shownHeight);
                }
            },
            false);
        EXPECT_EQ(lastMessage(), QString::fromLatin1(message));
        EXPECT_FALSE(presenter->getContext().currentOperation);
    }
    EXPECT_EQ(shownWidth, 3) << "the mask was shown while the dialog was open";
    volume->getBottomMaskSize(shownWidth, shownHeight);
    EXPECT_EQ(shownWidth, 0);
    EXPECT_EQ(testing_support::materialsOf(*volume), before);
    EXPECT_TRUE(presenter->getUndoRedoStack().undoName().isEmpty());
}
