#include "UI/mainwindow.h"
#include "UI/mainwindowpresenter.h"
#include "support/exportscenes.h"
#include "support/fakeoperations.h"
#include "support/qtprinters.h"

#include <QAction>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using testing_support::ScriptedPrompts;

TEST(MainWindowExport, FileMenuExportsTheOnlyVolumeAsMeshAndAsImageData) {
    auto scripted = std::make_unique<ScriptedPrompts>();
    ScriptedPrompts* prompts = scripted.get();
    Ui::MainWindow window(nullptr, std::move(scripted));
    window.setAttribute(Qt::WA_DeleteOnClose, false);

    window.getPresenter()->getDocument()->addObject(testing_support::exportScene());
    QTemporaryDir dir;
    prompts->fileAnswer = dir.filePath(QStringLiteral("part.stl"));
    window.findChild<QAction*>(QStringLiteral("actionExport_Mesh"))->trigger();
    prompts->fileAnswer = dir.filePath(QStringLiteral("part.vti"));
    window.findChild<QAction*>(QStringLiteral("actionExport_Volume"))->trigger();
    EXPECT_TRUE(prompts->messages.isEmpty())
        << prompts->messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(
        QDir(dir.path()).entryList(QDir::Files),
        (QStringList{QStringLiteral("part.vti"), QStringLiteral("part_Al_(bulk).stl"),
                     QStringLiteral("part_Si.stl"), QStringLiteral("part_Thermal_Si02.stl")}));
    // Neither export is an undoable step.
    EXPECT_FALSE(window.getUndoAction()->isEnabled());
}

// The plane comes from the cut planes; a name without suffix gets ".png"; a file that cannot
// be written is a message, and neither picture is an undoable step.
TEST(MainWindowExport, FileMenuSavesTheCrossSectionTheCutPlanesExpose) {
    auto scripted = std::make_unique<ScriptedPrompts>();
    ScriptedPrompts* prompts = scripted.get();
    Ui::MainWindow window(nullptr, std::move(scripted));
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    const auto volume = testing_support::exportScene();
    window.getPresenter()->getDocument()->addObject(volume);
    // The front is cut away up to y = 5: the view shows the face of cell layer 5.
    volume->getPainter().setCutLimits({0, 5, 0}, {14, 10, 12});

    QTemporaryDir dir;
    QAction* action = window.findChild<QAction*>(QStringLiteral("actionSave_Cross_Section"));
    ASSERT_TRUE(action);
    EXPECT_EQ(action->text(), QStringLiteral("Save Cross-Section..."));
    prompts->fileAnswer = dir.filePath(QStringLiteral("front"));
    action->trigger();
    EXPECT_TRUE(prompts->messages.isEmpty())
        << prompts->messages.join(QLatin1Char('\n')).toStdString();
    const QImage picture(dir.filePath(QStringLiteral("front.png")));
    ASSERT_FALSE(picture.isNull());
    // Layer 5 holds five aluminium cells, its neighbours three or none; the picture of 14 cells
    // across draws each cell 57 pixels wide.
    int aluminium = 0;
    const QRgb aluminiumColour = QColor(QStringLiteral("#b2b2b2")).rgb();
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            aluminium += (picture.pixel(x, y) | 0xff000000u) == aluminiumColour;
    EXPECT_GT(aluminium, 4 * 55 * 55);

    prompts->fileAnswer = dir.filePath(QStringLiteral("front.png/inside.svg"));
    action->trigger();
    ASSERT_EQ(prompts->messages.size(), 1);
    EXPECT_TRUE(prompts->messages.first().startsWith(QStringLiteral("Error writing to file: ")))
        << prompts->messages.first().toStdString();
    EXPECT_FALSE(window.getUndoAction()->isEnabled());
}

} // namespace CELLVANE_TEST_FILE
