#include "Core/Operations/Document/exportoperations.h"
#include "support/exportscenes.h"
#include "support/fakeoperations.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

// Remembers where each file chooser was to open.
class LocatingPrompts : public ScriptedPrompts {
public:
    QString chooseSaveFileIn(const QString& caption, const QString& location,
                             const QString& filter) override {
        locations << location;
        return chooseSaveFile(caption, filter);
    }
    QStringList locations;
};

struct ExportOperationTest : ::testing::Test {
    CountingHost host;
    LocatingPrompts prompts;
    OperationContext context{host, prompts};
    std::shared_ptr<MessageLog> log = std::make_shared<MessageLog>(context.consoleInput);
    QTemporaryDir dir;

    ExportOperationTest() { context.consoleInput.getMessageObservers().push_back(log); }

    template <class Op> std::shared_ptr<Op> start() {
        auto op = std::make_shared<Op>(context);
        context.currentOperation = op;
        op->step();
        return op;
    }
};

} // namespace

TEST_F(ExportOperationTest, TheOnlyVolumeIsExportedWithoutAPick) {
    context.document->addObject(exportScene());
    prompts.fileAnswer = dir.filePath(QStringLiteral("part.obj"));
    auto op = start<ExportMeshOperation>();
    EXPECT_EQ(host.finished, 1);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("part.obj"))));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("part.mtl"))));
    EXPECT_EQ(log->lines.last(),
              QStringLiteral("Export Mesh: Wrote %1, %2.")
                  .arg(QDir::toNativeSeparators(dir.filePath(QStringLiteral("part.obj"))),
                       QDir::toNativeSeparators(dir.filePath(QStringLiteral("part.mtl")))));

    // A volume file chosen without suffix gets one; a cancelled chooser writes nothing. The
    // chooser opens in the folder of the last export, never on a file of the other format.
    prompts.fileAnswer = dir.filePath(QStringLiteral("cells"));
    start<ExportVolumeOperation>();
    EXPECT_EQ(prompts.locations.last(), QFileInfo(dir.path()).absoluteFilePath());
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("cells.vti"))));
    prompts.fileAnswer.clear();
    start<ExportVolumeOperation>();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Export Volume: Operation canceled."));
    EXPECT_EQ(host.finished, 2);
    EXPECT_EQ(host.cancelled, 1);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(ExportOperationTest, SeveralVolumesAskForAPickAndNoneIsReported) {
    start<ExportMeshOperation>();
    EXPECT_EQ(prompts.messages, QStringList{QStringLiteral(
                                    "Missing Cell Volume: There is no cell volume to export.")});
    EXPECT_EQ(host.cancelled, 1);

    auto first = exportScene();
    auto second = makeVolume(2, 2, 2, [](int, int, int) { return exportOxide; });
    context.document->addObject(first);
    context.document->addObject(second);
    prompts.fileAnswer = dir.filePath(QStringLiteral("oxide"));
    auto op = start<ExportMeshOperation>();
    EXPECT_EQ(log->lines.last(),
              QStringLiteral("Export Mesh: Select a cell volume and press Enter/Return."));
    EXPECT_TRUE(context.selection.isSelectionMode());
    context.selection.toggle(second);
    op->step();
    EXPECT_EQ(op->getTarget(), second);
    EXPECT_FALSE(context.selection.isSelectionMode());
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("oxide"))).entryList(QDir::Files),
              QStringList{QStringLiteral("Thermal_Si02.stl")});
}

TEST_F(ExportOperationTest, AFailedExportIsReportedAndWritesNothing) {
    context.document->addObject(exportScene());
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    prompts.fileAnswer = dir.filePath(QStringLiteral("file/cells.vti"));
    start<ExportVolumeOperation>();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages.first().startsWith(ExportOperation::errorTitle()));
    EXPECT_EQ(log->lines.last(), QStringLiteral("Export Volume: Nothing was written."));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("file")});
}

TEST(ExportProgram, ExportsTheChosenVolumeAndExitsWithUsageAndFailureCodes) {
    QTemporaryDir dir;
    const QString program = QStringLiteral(CELLVANE_EXPORT_PROGRAM);
    const QString one = writeDocument(dir.filePath(QStringLiteral("one.cvx")), {exportScene()});
    const QString two = writeDocument(
        dir.filePath(QStringLiteral("two.cvx")),
        {exportScene(), makeVolume(3, 2, 2, [](int, int, int) { return exportOxide; })});
    QFile garbage(dir.filePath(QStringLiteral("garbage.cvx")));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("no document");
    garbage.close();

    struct Case {
        QStringList arguments;
        int exitCode;
        QString says;
    };
    const QString out = dir.filePath(QStringLiteral("out"));
    const std::vector<Case> cases = {
        {{QStringLiteral("--help")}, 0, QStringLiteral("--mesh <DIR_OR_FILE>")},
        {{one}, 2, QStringLiteral("nothing to export")},
        {{one, QStringLiteral("--vti")}, 2, QStringLiteral("Missing value after '--vti'")},
        {{one, QStringLiteral("--bogus")}, 2, QStringLiteral("Unknown option 'bogus'")},
        {{one, QStringLiteral("--volume"), QStringLiteral("0"), QStringLiteral("--vti"),
          out + QStringLiteral(".vti")},
         2,
         QStringLiteral("--volume takes a number")},
        {{one, QStringLiteral("--mesh"), out + QStringLiteral(".ply")},
         2,
         QStringLiteral("out.ply is no mesh file")},
        {{dir.filePath(QStringLiteral("missing.cvx")), QStringLiteral("--vti"),
          out + QStringLiteral(".vti")},
         2,
         QStringLiteral("Unable to open")},
        {{garbage.fileName(), QStringLiteral("--vti"), out + QStringLiteral(".vti")},
         2,
         QStringLiteral("is not a Cellvane document")},
        {{two, QStringLiteral("--vti"), out + QStringLiteral(".vti")},
         2,
         QStringLiteral("two.cvx holds 2 cell volumes; choose one of 1 to 2.")},
        {{two, QStringLiteral("--volume"), QStringLiteral("3"), QStringLiteral("--vti"),
          out + QStringLiteral(".vti")},
         2,
         QStringLiteral("there is no cell volume 3")},
        {{one, QStringLiteral("--vti"), dir.filePath(QStringLiteral("one.cvx/x.vti"))},
         1,
         QStringLiteral("Could not create the folder")},
        {{one, QStringLiteral("--mesh"), out, QStringLiteral("--flux"), QStringLiteral("1,1")},
         2,
         QStringLiteral("--flux applies to --vti only")},
        {{one, QStringLiteral("--vti"), out + QStringLiteral(".vti"), QStringLiteral("--flux"),
          QStringLiteral("1")},
         2,
         QStringLiteral("--flux takes EXPONENT,STICKING, not \"1\"")},
        {{one, QStringLiteral("--vti"), out + QStringLiteral(".vti"), QStringLiteral("--flux"),
          QStringLiteral("1,1.5")},
         2,
         QStringLiteral("sticking probability must be a number from 0 to 1, not 1.5")},
        {{two, QStringLiteral("--volume"), QStringLiteral("2"), QStringLiteral("--mesh"), out,
          QStringLiteral("--vti"), out + QStringLiteral(".vti"), QStringLiteral("--compress")},
         0,
         QStringLiteral("Wrote ") +
             QDir::toNativeSeparators(out + QStringLiteral("/Thermal_Si02.stl"))},
        {{one, QStringLiteral("--vti"), out + QStringLiteral(".vti"), QStringLiteral("--flux"),
          QStringLiteral("100,0.5")},
         0,
         QStringLiteral("Tracing the flux")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        int exitCode = -1;
        const QString said = runTool(program, c.arguments, &exitCode);
        EXPECT_EQ(exitCode, c.exitCode) << said.toStdString();
        EXPECT_TRUE(said.contains(c.says)) << said.toStdString();
    }
    // Only the last two cases wrote, and only what they were asked for.
    EXPECT_EQ(
        QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
        (QStringList{QStringLiteral("garbage.cvx"), QStringLiteral("one.cvx"),
                     QStringLiteral("out"), QStringLiteral("out.vti"), QStringLiteral("two.cvx")}));
    EXPECT_EQ(QDir(out).entryList(QDir::Files), QStringList{QStringLiteral("Thermal_Si02.stl")});
}

} // namespace CELLVANE_TEST_FILE
