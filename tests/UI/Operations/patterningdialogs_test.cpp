#include "UI/Operations/photolithographydialog.h"
#include "UI/Operations/planarizationoptionsdialog.h"
#include "UI/mainwindowpresenter.h"
#include "support/fakeoperations.h"
#include "support/scenes.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Ui::Operations;
using Model::Automaton::PhotoMask;

namespace {

template <class T> T* child(QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}

void click(QWidget& dialog, const char* name) {
    child<QAbstractButton>(dialog, name)->click();
}

// Answers file questions with `fileAnswer` and remembers where each dialog was to open.
struct RecordingPrompts : testing_support::ScriptedPrompts {
    QString chooseOpenFileIn(const QString& caption, const QString& location,
                             const QString& filter) override {
        asked << caption + QLatin1Char('|') + location + QLatin1Char('|') + filter;
        return fileAnswer;
    }
    QStringList asked;
};

// A 3 x 2 mask image: black over column (0, 0), white elsewhere.
QString writeMaskImage(const QTemporaryDir& dir) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(0, 1, qRgb(0, 0, 0));
    const QString path = dir.filePath(QStringLiteral("mask.png"));
    image.save(path);
    return path;
}

} // namespace

TEST(PhotolithographyDialog, RowsBrowseApplyAndRemoveEachSidesMask) {
    RecordingPrompts prompts;
    PhotolithographyDialog dialog(prompts);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Photolithography Options"));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString image = writeMaskImage(dir);
    QSignalSpy topChanges(&dialog, &PhotolithographyDialog::topMaskChanged);
    QSignalSpy bottomChanges(&dialog, &PhotolithographyDialog::bottomMaskChanged);

    // Browsing starts in the folder shared by every row and dialog; the choice is the next start.
    const QString start = PhotolithographyDialog::startingPath();
    prompts.fileAnswer = image;
    click(dialog, "tbtTopMask");
    EXPECT_EQ(prompts.asked.value(0), QStringLiteral("Choose Mask File|") + start +
                                          QStringLiteral("|Image Files (*.png *.jpg *.bmp)"));
    EXPECT_EQ(child<QLineEdit>(dialog, "lieTopMask")->text(), image);
    prompts.fileAnswer.clear();
    click(dialog, "tbtBottomMask");
    EXPECT_TRUE(prompts.asked.value(1).contains(QLatin1Char('|') + QFileInfo(image).absolutePath() +
                                                QLatin1Char('|')));
    EXPECT_TRUE(child<QLineEdit>(dialog, "lieBottomMask")->text().isEmpty());
    EXPECT_EQ(topChanges.count(), 0) << "browsing alone applies nothing";

    click(dialog, "btnApplyTopMask");
    ASSERT_EQ(topChanges.count(), 1);
    const PhotoMask applied = topChanges.at(0).at(0).value<PhotoMask>();
    EXPECT_EQ(applied, (PhotoMask{{true, false, false, false, false, false}, 3, 2}));
    EXPECT_EQ(dialog.topMask(), applied);
    EXPECT_EQ(dialog.topMaskFile(), image);

    // A file that does not load warns with its row's words and changes nothing.
    child<QLineEdit>(dialog, "lieTopMask")->setText(dir.filePath(QStringLiteral("gone.png")));
    click(dialog, "btnApplyTopMask");
    child<QLineEdit>(dialog, "lieBottomMask")->setText(dir.path());
    click(dialog, "btnApplyBottomMask");
    EXPECT_EQ(prompts.messages,
              QStringList({QStringLiteral("File Error: Top Mask file not found!<br/>Please verify "
                                          "the filename is correct and you have the correct "
                                          "permissions."),
                           QStringLiteral("File Error: Bottom mask not found error!<br/>Please "
                                          "verify if the filename is correct and you have the "
                                          "correct permissions.")}));
    EXPECT_EQ(topChanges.count(), 1);
    EXPECT_EQ(bottomChanges.count(), 0);
    EXPECT_EQ(dialog.topMask(), applied);

    click(dialog, "btnRemoveTopMask");
    ASSERT_EQ(topChanges.count(), 2);
    EXPECT_EQ(topChanges.at(1).at(0).value<PhotoMask>(), PhotoMask());
    EXPECT_TRUE(dialog.topMaskFile().isEmpty());
}

TEST(PlanarizationOptionsDialog, TheMinimumNeverExceedsTheMaximum) {
    PlanarizationOptionsDialog dialog;
    auto* minimum = child<QSpinBox>(dialog, "sbxMinimumHeight");
    auto* maximum = child<QSpinBox>(dialog, "sbxMaximumHeight");
    EXPECT_EQ(maximum->maximum(), 999999999);
    EXPECT_EQ(minimum->whatsThis(), QStringLiteral("All cells below this height will be removed."));
    dialog.limitToVolumeHeight(40);
    EXPECT_EQ(maximum->maximum(), 40);
    EXPECT_EQ(maximum->value(), 40);
    EXPECT_EQ(minimum->maximum(), 40);
    minimum->setValue(30);
    maximum->setValue(12);
    EXPECT_EQ(dialog.minimumHeight(), 12);
    EXPECT_EQ(dialog.maximumHeight(), 12);
}

// Cancelling the dialog cancels the step, changes no cell and takes the shown mask off.
TEST(PatterningMenu, CancellingThePhotolithographyDialogTakesTheMaskOff) {
    auto scripted = std::make_unique<testing_support::ScriptedPrompts>();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    scripted->fileAnswer = writeMaskImage(dir);
    Ui::MainWindowPresenter presenter(nullptr, std::move(scripted));
    auto volume = testing_support::makeVolume(3, 2, 6, [](int, int, int z) { return z < 2; });
    presenter.getDocument()->addObject(volume);
    const auto before = testing_support::materialsOf(*volume);

    int shownWidth = 0, shownHeight = 0;
    presenter.getSelection().toggle(volume);
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        click(*dialog, "tbtBottomMask");
        click(*dialog, "btnApplyBottomMask");
        volume->getBottomMaskSize(shownWidth, shownHeight);
        dialog->reject();
    });
    // The step asks for its volume even with one selected; Enter takes it into the dialog.
    presenter.operationActivated(QStringLiteral("20"));
    presenter.enterPressed();
    EXPECT_EQ(presenter.getConsoleInput().getLastMessage(),
              QStringLiteral("Photolithography: Operation Canceled!"));
    EXPECT_FALSE(presenter.getContext().currentOperation);
    EXPECT_EQ(shownWidth, 3) << "the mask was shown while the dialog was open";
    volume->getBottomMaskSize(shownWidth, shownHeight);
    EXPECT_EQ(shownWidth, 0);
    EXPECT_EQ(testing_support::materialsOf(*volume), before);
    EXPECT_TRUE(presenter.getUndoRedoStack().undoName().isEmpty());
}

} // namespace CELLVANE_TEST_FILE
