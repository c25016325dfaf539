#include "UI/mainwindow.h"
#include "UI/mainwindowpresenter.h"
#include "support/exportscenes.h"
#include "support/fakeoperations.h"
#include "support/qtprinters.h"

#include <QAction>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
