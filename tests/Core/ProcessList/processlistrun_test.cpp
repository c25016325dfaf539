#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/Document/documentexport.h"
#include "Core/Operations/Document/documentfile.h"
#include "Core/ProcessList/processlistarchiver.h"
#include "Core/ProcessList/processlistrun.h"
#include "Model/Metrology/measurementquery.h"
#include "Model/ModelExtraction/mechanicsreport.h"
#include "Model/document.h"
#include "Util/metatypes.h"
#include "support/cantileverscenes.h"
#include "support/scenes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace CELLVANE_TEST_FILE {

using namespace Ui;
namespace names = Core::Operations::RecordParameters;

namespace {

constexpr int Silicon = 1, Oxide = 3;

ProcessData substrate(unsigned size, unsigned height) {
    ProcessData process(ProcessData::CreateSubstrate);
    process.setParameter(names::material().id, uint(Silicon), false);
    process.setParameter(names::corner, QVariant::fromValue(Util::Vector3D()), true);
    process.setParameter(names::sphericalSubstrate, false, false);
    for (char axis : {'X', 'Y', 'Z'}) {
        process.setParameter(names::axis(names::volumeSize, axis), axis == 'Z' ? 2 * height : size,
                             true);
        process.setParameter(names::axis(names::substrateSize, axis), axis == 'Z' ? height : size,
                             true);
        process.setParameter(names::axis(names::substrateDelta, axis), 0u, true);
    }
    return process;
}

ProcessData cvd(double thickness) {
    ProcessData process(ProcessData::CVD);
    process.setParameter(names::material().id, uint(Oxide), false);
    process.setParameter(names::material().name, QStringLiteral("Thermal Si02"), true);
    process.setParameter(names::thickness, thickness, true);
    return process;
}

QString writeList(const QString& fileName, const QList<ProcessData>& list) {
    EXPECT_TRUE(ProcessListArchiver(list).saveProcessList(fileName));
    return fileName;
}

struct Ran {
    int exitCode = -1;
    QString said;
};

// As a user runs it from a shell with no display at all.
Ran runProgram(const QStringList& arguments, const QString& folder) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(CELLVANE_RUN_PROGRAM), arguments);
    if (!process.waitForFinished(120000))
        return {-1, process.errorString()};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

int oxideCells(const QString& document) {
    QString log;
    QTextStream stream(&log);
    const auto opened = Core::Operations::DocumentExport::open(document, 1, stream);
    if (!opened)
        return -1;
    const auto materials = testing_support::materialsOf(*opened->volume);
    return int(std::count(materials.begin(), materials.end(), Oxide));
}

} // namespace

// The example of the README, run as the README says, with no display: every step reports,
// the document is well-formed XML and the picture shows the structure.
TEST(ProcessListProgram, TheReadmeExampleRunsWithoutADisplay) {
    QTemporaryDir dir;
    const QString examples = QStringLiteral(CELLVANE_TEST_SOURCE_DIR "/../examples");
    const Ran ran = runProgram({examples + QStringLiteral("/trench.plst"),
                                QStringLiteral("--output"), QStringLiteral("trench.cvx")},
                               dir.path());
    ASSERT_EQ(ran.exitCode, 0) << ran.said.toStdString();
    for (const char* line : {"[1/5] Create Substrate", "[2/5] CVD", "[3/5] Photolithography",
                             "[4/5] Simple RIE", "[5/5] Save Image", "Wrote trench.cvx"})
        EXPECT_TRUE(ran.said.contains(QString::fromLatin1(line))) << line;

    QProcess xmllint;
    xmllint.start(QStringLiteral("xmllint"),
                  {QStringLiteral("--noout"), dir.filePath("trench.cvx")});
    ASSERT_TRUE(xmllint.waitForFinished(60000)) << "xmllint (libxml2-utils) is needed";
    EXPECT_EQ(xmllint.exitCode(), 0) << xmllint.readAllStandardError().toStdString();

    const QImage picture(dir.filePath(QStringLiteral("trench.png")));
    ASSERT_FALSE(picture.isNull());
    QSet<QRgb> colours;
    int background = 0;
    const QRgb corner = picture.pixel(0, 0);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            colours.insert(picture.pixel(x, y));
            background += picture.pixel(x, y) == corner;
        }
    EXPECT_GT(colours.size(), 3) << "silicon, oxide and their shading";
    EXPECT_LT(background, picture.width() * picture.height() * 3 / 4)
        << "the structure fills the picture";
}

TEST(ProcessListProgram, ExitCodesNameTheFileAndAFailedListWritesNothing) {
    QTemporaryDir dir;
    const QString good =
        writeList(dir.filePath(QStringLiteral("good.plst")), {substrate(6, 3), cvd(1.0)});
    const QString noVolume = writeList(dir.filePath(QStringLiteral("novolume.plst")), {cvd(1.0)});
    QFile damaged(dir.filePath(QStringLiteral("damaged.plst")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(
        "<?xml version=\"1.0\"?>\n<Process-List>\n<Process-Data process-type=\"4\">\n<Par");
    damaged.close();
    const QString previous = dir.filePath(QStringLiteral("previous.cvx"));
    QFile kept(previous);
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("an earlier result");
    kept.close();

    struct Case {
        QStringList arguments;
        int exitCode;
        QString says;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("--help")}, 0, QStringLiteral("--set <STEP.NAME=VALUE>")},
        {{}, 2, QStringLiteral("no process list given")},
        {{QStringLiteral("missing.plst")}, 2, QStringLiteral("Unable to open missing.plst")},
        {{damaged.fileName()}, 2, QStringLiteral("damaged.plst is damaged")},
        {{good, QStringLiteral("--set"), QStringLiteral("2.Thickness=thick")},
         2,
         QStringLiteral("\"Thickness\" of step 2 takes a number")},
        {{good, QStringLiteral("--set"), QStringLiteral("3.Thickness=1")},
         2,
         QStringLiteral("the list has no step 3")},
        {{good, QStringLiteral("--input"), QStringLiteral("missing.cvx")},
         2,
         QStringLiteral("Unable to open missing.cvx")},
        {{good, QStringLiteral("--threads"), QStringLiteral("none")},
         2,
         QStringLiteral("--threads takes a number from 1")},
        // Outputs that cannot be written fail before the run, and nothing replaces a device.
        {{good, QStringLiteral("--output"), QStringLiteral("nowhere/out.cvx")},
         1,
         QStringLiteral("cannot write the document nowhere/out.cvx: its folder does not exist")},
        {{good, QStringLiteral("--output"), QStringLiteral("/dev/full")},
         1,
         QStringLiteral("cannot write the document /dev/full: it exists and is not a regular "
                        "file")},
        {{good, QStringLiteral("--vti"), dir.path()},
         1,
         QStringLiteral("cannot write the cells ") + dir.path() +
             QStringLiteral(": it exists and is not a regular file")},
        {{noVolume, QStringLiteral("--output"), previous},
         1,
         QStringLiteral("step 1 of 1, CVD (Material: Thermal Si02, Thickness: 1 µm): there is no "
                        "cell volume to work on")},
        {{good, QStringLiteral("--threads"), QStringLiteral("2"), QStringLiteral("--output"),
          QStringLiteral("good.cvx")},
         0,
         QStringLiteral("[2/2] CVD (Material: Thermal Si02, Thickness: 1 µm): ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const Ran ran = runProgram(c.arguments, dir.path());
        EXPECT_EQ(ran.exitCode, c.exitCode) << ran.said.toStdString();
        EXPECT_TRUE(ran.said.contains(c.says)) << ran.said.toStdString();
    }
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("an earlier result"));
    EXPECT_EQ(oxideCells(dir.filePath(QStringLiteral("good.cvx"))), 6 * 6);
}

// A sweep is a loop over --set: each value reaches the step, and a start volume from a
// document gets the same film as one the list creates.
TEST(ProcessListRun, SetReplacesAValueOfOneStepBeforeTheRun) {
    QTemporaryDir dir;
    const QString list =
        writeList(dir.filePath(QStringLiteral("sweep.plst")), {substrate(5, 3), cvd(1.0)});
    QString log;
    QTextStream stream(&log);
    for (int thickness : {1, 2, 3}) {
        ProcessListRun::Options options;
        options.list = list;
        options.settings = QStringList{QStringLiteral("2.Thickness=%1").arg(thickness)};
        options.output = dir.filePath(QStringLiteral("film%1.cvx").arg(thickness));
        ASSERT_EQ(ProcessListRun::run(options, stream), ProcessListRun::Done) << log.toStdString();
        EXPECT_EQ(oxideCells(options.output), 5 * 5 * thickness) << thickness;
    }

    Model::Document start;
    start.addObject(testing_support::makeVolume(5, 5, 6, [](int, int, int z) { return z < 3; }));
    const QString startFile = dir.filePath(QStringLiteral("start.cvx"));
    ASSERT_TRUE(Core::Operations::DocumentFile::writeDocument(
        start, Core::Operations::DocumentFile::archivers(), startFile));
    ProcessListRun::Options fromDocument;
    fromDocument.list = writeList(dir.filePath(QStringLiteral("film.plst")), {cvd(2.0)});
    fromDocument.input = startFile;
    fromDocument.output = dir.filePath(QStringLiteral("fromdocument.cvx"));
    ASSERT_EQ(ProcessListRun::run(fromDocument, stream), ProcessListRun::Done);
    EXPECT_EQ(oxideCells(fromDocument.output), oxideCells(dir.filePath("film2.cvx")));

    QList<ProcessData> steps{cvd(1.0)};
    const char* refused[][2] = {
        {"Thickness=2", "--set takes STEP.NAME=VALUE, not 'Thickness=2'"},
        {"0.Thickness=2", "the list has no step 0 (it has steps 1 to 1)"},
        {"1.Depth=2", "step 1 (CVD) has no parameter \"Depth\"; it has Material, MaterialId, "
                      "Thickness"},
        {"1.MaterialId=-4", "\"MaterialId\" of step 1 takes a whole number of at least 0"},
    };
    for (const auto& [setting, problem] : refused) {
        QString why;
        EXPECT_FALSE(ProcessListRun::applySetting(steps, QString::fromLatin1(setting), why));
        EXPECT_TRUE(why.contains(QString::fromLatin1(problem))) << why.toStdString();
    }
    QString why;
    ASSERT_TRUE(ProcessListRun::applySetting(steps, QStringLiteral("1.Material=Oxide 2"), why));
    EXPECT_EQ(steps[0].getParameter(names::material().name).toString(), QStringLiteral("Oxide 2"));

    // A value a step may go without is added, and a value behind a switch turns it: the wet
    // etch of an older list goes by recipe once given one, and by depth again after a depth.
    ProcessData etch(ProcessData::SiWetEtching);
    etch.setParameter(names::depth, 10.0, true);
    QList<ProcessData> etches{etch};
    for (const char* setting : {"1.KOH Concentration=30", "1.KOH Temperature=80",
                                "1.Etch Time=0.75", "1.Periodic Sides=true"})
        ASSERT_TRUE(ProcessListRun::applySetting(etches, QString::fromLatin1(setting), why))
            << why.toStdString();
    EXPECT_TRUE(etches[0].getParameter(names::kohRecipe).toBool());
    EXPECT_DOUBLE_EQ(etches[0].getParameter(names::etchTime).toDouble(), 0.75);
    EXPECT_TRUE(etches[0].getParameter(names::periodicSides).toBool());
    ASSERT_TRUE(ProcessListRun::applySetting(etches, QStringLiteral("1.Depth=3"), why));
    EXPECT_FALSE(etches[0].getParameter(names::kohRecipe).toBool());
    EXPECT_FALSE(ProcessListRun::applySetting(etches, QStringLiteral("1.Thickness=3"), why));
}

// The netlist of what the list leaves: a beam gives its two element lines, a volume without
// beams fails the run and writes nothing.
TEST(ProcessListRun, NetlistOfTheResultingVolumeOrAFailureWithoutBeams) {
    QTemporaryDir dir;
    Model::Document start;
    start.addObject(testing_support::anchoredPlate());
    const QString startFile = dir.filePath(QStringLiteral("plate.cvx"));
    ASSERT_TRUE(Core::Operations::DocumentFile::writeDocument(
        start, Core::Operations::DocumentFile::archivers(), startFile));
    QString log;
    QTextStream stream(&log);

    ProcessListRun::Options options;
    options.list = writeList(dir.filePath(QStringLiteral("none.plst")), {});
    options.input = startFile;
    options.netlist = dir.filePath(QStringLiteral("plate.cir"));
    ASSERT_EQ(ProcessListRun::run(options, stream), ProcessListRun::Done) << log.toStdString();
    QFile written(options.netlist);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QString netlist = QString::fromUtf8(written.readAll());
    EXPECT_TRUE(netlist.contains(QStringLiteral("\nc1 1 0 "))) << netlist.toStdString();
    EXPECT_TRUE(netlist.contains(QStringLiteral("\nl1 1 0 "))) << netlist.toStdString();

    // Without beams nothing asked for is written, the document and the cells included.
    options.list = writeList(dir.filePath(QStringLiteral("film.plst")), {substrate(5, 3)});
    options.input.clear();
    options.netlist = dir.filePath(QStringLiteral("substrate.cir"));
    options.output = dir.filePath(QStringLiteral("substrate.cvx"));
    options.vti = dir.filePath(QStringLiteral("substrate.vti"));
    const int said = log.size();
    EXPECT_EQ(ProcessListRun::run(options, stream), ProcessListRun::StepFailed);
    for (const QString& file : {options.netlist, options.output, options.vti})
        EXPECT_FALSE(QFile::exists(file)) << file.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("0 beams"))) << log.toStdString();
    EXPECT_FALSE(log.mid(said).contains(QStringLiteral("Wrote"))) << log.toStdString();
}

// The README's trench with its measurements: the runner's metrics give the 12-cell etch depth
// and both arms of the cross exactly, each with the position of its step.
TEST(ProcessListProgram, TheMeasuredTrenchWritesItsMetrics) {
    QTemporaryDir dir;
    const QString list =
        QStringLiteral(CELLVANE_TEST_SOURCE_DIR "/../examples/trench-measure.plst");
    const Ran ran =
        runProgram({list, QStringLiteral("--metrics"), QStringLiteral("metrics.json")}, dir.path());
    ASSERT_EQ(ran.exitCode, 0) << ran.said.toStdString();
    EXPECT_TRUE(ran.said.contains(QStringLiteral("[5/8] etch depth = 12 µm")))
        << ran.said.toStdString();

    QFile file(dir.filePath(QStringLiteral("metrics.json")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(file.readAll(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    std::map<QString, std::pair<int, double>> values;
    for (const QJsonValue& entry : json.object().value(QStringLiteral("metrics")).toArray()) {
        const QJsonObject metric = entry.toObject();
        EXPECT_EQ(
            metric.value(QStringLiteral("unit")).toString(),
            metric.value(QStringLiteral("name")).toString().endsWith(QStringLiteral("columns"))
                ? QString()
                : QStringLiteral("µm"));
        values[metric.value(QStringLiteral("name")).toString()] = {
            metric.value(QStringLiteral("step")).toInt(),
            metric.value(QStringLiteral("value")).toDouble()};
    }
    using Entry = std::pair<int, double>;
    EXPECT_EQ(values[QStringLiteral("etch depth")], Entry(5, 12.0));
    EXPECT_EQ(values[QStringLiteral("etch depth.mean")], Entry(5, 12.0));
    EXPECT_EQ(values[QStringLiteral("opening width")], Entry(6, 12.0));
    EXPECT_EQ(values[QStringLiteral("opening width.from")], Entry(6, 24.0));
    EXPECT_EQ(values[QStringLiteral("trench width")], Entry(7, 6.0));

    // A measurement without an answer fails the run, which stops there: no metrics file, no
    // document, and an earlier metrics file of that name stays as it was.
    QList<ProcessData> steps{substrate(6, 3)};
    ProcessData outside(ProcessData::Measure);
    outside.setParameter(names::measurement, QStringLiteral("top@9,1"), true);
    outside.setParameter(names::resultName, QStringLiteral("far"), true);
    ProcessData top(ProcessData::Measure);
    top.setParameter(names::measurement, QStringLiteral("top:Si@1,1"), true);
    steps << outside << top;
    const QString missing = writeList(dir.filePath(QStringLiteral("missing.plst")), steps);
    QFile earlier(dir.filePath(QStringLiteral("m.csv")));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier metrics");
    earlier.close();
    const Ran failed = runProgram({missing, QStringLiteral("--metrics"), QStringLiteral("m.csv"),
                                   QStringLiteral("--output"), QStringLiteral("out.cvx")},
                                  dir.path());
    EXPECT_EQ(failed.exitCode, 1) << failed.said.toStdString();
    EXPECT_TRUE(failed.said.contains(QStringLiteral("x = 9 µm lies outside the volume")))
        << failed.said.toStdString();
    EXPECT_TRUE(failed.said.contains(QStringLiteral("steps 3 to 3 did not run")))
        << failed.said.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("out.cvx"))));
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), QByteArray("earlier metrics"));
    EXPECT_TRUE(failed.said.contains(QStringLiteral("which spans 0 ≤ x < 6 µm")))
        << failed.said.toStdString();
}

// A "Save Cross-Section" step, stored in a list and run by the program with no display,
// writes its picture and changes no cell; a plane outside the volume stops the list.
TEST(ProcessListProgram, SaveCrossSectionStepWritesThePictureOfItsPlane) {
    QTemporaryDir dir;
    const auto section = [](const char* axis, double position, const char* file) {
        ProcessData process(ProcessData::SaveCrossSection);
        process.setParameter(names::planeAxis, QString::fromLatin1(axis), true);
        process.setParameter(names::planePosition, position, true);
        process.setParameter(names::fileName, QString::fromLatin1(file), true);
        return process;
    };
    const QString good = writeList(dir.filePath(QStringLiteral("good.plst")),
                                   {substrate(6, 3), cvd(1.0), section("y", 2.5, "cut.png")});
    Ran ran =
        runProgram({good, QStringLiteral("--output"), QStringLiteral("good.cvx")}, dir.path());
    ASSERT_EQ(ran.exitCode, 0) << ran.said.toStdString();
    EXPECT_TRUE(ran.said.contains(QStringLiteral(
        "[3/3] Save Cross-Section (Filename: cut.png, Plane Axis: y, Plane Position: 2.5 µm)")))
        << ran.said.toStdString();
    EXPECT_EQ(oxideCells(dir.filePath(QStringLiteral("good.cvx"))), 6 * 6);
    const QImage picture(dir.filePath(QStringLiteral("cut.png")));
    ASSERT_FALSE(picture.isNull());
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            colours.insert(picture.pixel(x, y) | 0xff000000u);
    // The colours the list's records name.
    EXPECT_TRUE(colours.contains(QColor(QStringLiteral("#7f7f7f")).rgb())) << "silicon";
    EXPECT_TRUE(colours.contains(QColor(QStringLiteral("#7f7fff")).rgb())) << "oxide";

    const QString outside =
        writeList(dir.filePath(QStringLiteral("outside.plst")),
                  {substrate(6, 3), section("z", 6.0, "top.svg"), section("q", 1, "q.svg")});
    ran = runProgram({outside}, dir.path());
    EXPECT_EQ(ran.exitCode, 1) << ran.said.toStdString();
    EXPECT_TRUE(ran.said.contains(QStringLiteral("the plane z = 6 µm lies outside the cell "
                                                 "volume: z runs from 0 to 6 µm")))
        << ran.said.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("top.svg"))));
}

// A failed step stops the run: the steps after it do not draw the wrong structure over an
// earlier picture, and pictures drawn before it are not put in place either.
TEST(ProcessListProgram, AFailedStepStopsTheRunAndNoPictureReplacesAnEarlierOne) {
    QTemporaryDir dir;
    const auto section = [](const char* file) {
        ProcessData process(ProcessData::SaveCrossSection);
        process.setParameter(names::planeAxis, QStringLiteral("y"), true);
        process.setParameter(names::planePosition, 2.5, true);
        process.setParameter(names::fileName, QString::fromLatin1(file), true);
        return process;
    };
    for (const char* name : {"before.png", "after.png"}) {
        QFile earlier(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("an earlier picture");
    }
    // Step 3 asks for less than half a cell of oxide.
    const QString broken = writeList(
        dir.filePath(QStringLiteral("broken.plst")),
        {substrate(6, 3), section("before.png"), cvd(0.2), cvd(1.0), section("after.png")});
    const Ran ran =
        runProgram({broken, QStringLiteral("--metrics"), QStringLiteral("m.json")}, dir.path());
    EXPECT_EQ(ran.exitCode, 1) << ran.said.toStdString();
    EXPECT_TRUE(ran.said.contains(
        QStringLiteral("step 3 of 5, CVD (Material: Thermal Si02, Thickness: 0.2 µm): the film "
                       "thickness of 0.2 µm "
                       "is less than half a cell of 1 µm and would change no cell")))
        << ran.said.toStdString();
    EXPECT_TRUE(ran.said.contains(QStringLiteral("steps 4 to 5 did not run")))
        << ran.said.toStdString();
    EXPECT_FALSE(ran.said.contains(QStringLiteral("[4/5]"))) << ran.said.toStdString();
    for (const char* name : {"before.png", "after.png"}) {
        QFile picture(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
        EXPECT_EQ(picture.readAll(), QByteArray("an earlier picture")) << name;
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("m.json"))));
    // Nothing of the run is left behind under another name.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3)
        << QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString();

    // Run whole, the pictures replace the earlier ones under their own names, and a thickness
    // that is no whole number of cells is rounded, said and measured as made.
    const QString whole = writeList(dir.filePath(QStringLiteral("whole.plst")),
                                    {substrate(6, 3), cvd(0.6), section("after.png")});
    const Ran done = runProgram({whole, QStringLiteral("--metrics"), QStringLiteral("m.json"),
                                 QStringLiteral("--output"), QStringLiteral("whole.cvx")},
                                dir.path());
    ASSERT_EQ(done.exitCode, 0) << done.said.toStdString();
    EXPECT_TRUE(done.said.contains(
        QStringLiteral("[2/3] 0.6 µm is 0.6 cells of 1 µm: deposited 1 cell = 1 µm")))
        << done.said.toStdString();
    EXPECT_TRUE(done.said.contains(QStringLiteral("Wrote after.png"))) << done.said.toStdString();
    EXPECT_FALSE(done.said.contains(QStringLiteral(".after.png"))) << done.said.toStdString();
    EXPECT_FALSE(QImage(dir.filePath(QStringLiteral("after.png"))).isNull());
    EXPECT_EQ(oxideCells(dir.filePath(QStringLiteral("whole.cvx"))), 6 * 6);
    QFile metrics(dir.filePath(QStringLiteral("m.json")));
    ASSERT_TRUE(metrics.open(QIODevice::ReadOnly));
    const QJsonArray entries = QJsonDocument::fromJson(metrics.readAll())
                                   .object()
                                   .value(QStringLiteral("metrics"))
                                   .toArray();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].toObject().value(QStringLiteral("name")).toString(),
              QStringLiteral("2.Thickness made"));
    EXPECT_EQ(entries[0].toObject().value(QStringLiteral("value")).toDouble(), 1.0);
}

// The README's release: four polysilicon cantilevers over 2 µm of etched oxide. The release
// step reports one anchored structure and the undercut below its anchor as the undercut
// measurement finds it; the two longest beams are past the Mastrangelo-Hsu detachment length
// of the registry's polysilicon and stick, the two shortest do not.
TEST(ProcessListProgram, TheReleasedCantileverArrayReportsAnchorUndercutAndStiction) {
    QTemporaryDir dir;
    const QString list = QStringLiteral(CELLVANE_TEST_SOURCE_DIR "/../examples/release.plst");
    const Ran ran = runProgram({list, QStringLiteral("--output"), QStringLiteral("release.cvx"),
                                QStringLiteral("--metrics"), QStringLiteral("metrics.json")},
                               dir.path());
    ASSERT_EQ(ran.exitCode, 0) << ran.said.toStdString();
    QFile file(dir.filePath(QStringLiteral("metrics.json")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::map<QString, double> values;
    for (const QJsonValue& entry : QJsonDocument::fromJson(file.readAll())
                                       .object()
                                       .value(QStringLiteral("metrics"))
                                       .toArray())
        values[entry.toObject().value(QStringLiteral("name")).toString()] =
            entry.toObject().value(QStringLiteral("value")).toDouble();
    EXPECT_EQ(values[QStringLiteral("release.anchored")], 1.0);
    EXPECT_EQ(values[QStringLiteral("release.loose")], 0.0);
    ASSERT_TRUE(values.count(QStringLiteral("release.2.undercut")));
    const double printed = values[QStringLiteral("release.2.undercut")];
    EXPECT_TRUE(ran.said.contains(QStringLiteral("release.2.undercut = ")))
        << ran.said.toStdString();

    QString said;
    QTextStream log(&said);
    const auto opened =
        Core::Operations::DocumentExport::open(dir.filePath(QStringLiteral("release.cvx")), 0, log);
    ASSERT_TRUE(opened) << said.toStdString();
    Model::Automaton::TotalVolume& volume = *opened->volume;
    const Model::Metrology::Measurement release =
        Core::Operations::ProcessRecordExecutor::releaseReport(volume, 3);
    ASSERT_EQ(release.bodies.size(), 2u);
    QString problem;
    const auto undercut =
        Model::Metrology::MeasurementQuery::parse(release.bodies[1].undercutMeasurement, problem);
    ASSERT_TRUE(undercut) << problem.toStdString();
    const Model::Metrology::Measurement measured = Model::Metrology::measure(volume, *undercut);
    ASSERT_TRUE(measured.hasAnswer()) << measured.reason.toStdString();
    EXPECT_EQ(measured.quantities.front().value, printed);
    EXPECT_GT(printed, 0.0);

    const Model::ModelExtraction::MechanicsReport report =
        Model::ModelExtraction::MechanicsReport::of(volume, {});
    ASSERT_EQ(report.beams.size(), 4u);
    // l_d = (3 E t^3 h^2 / (8 gamma_s))^(1/4) with E = 188 GPa, t = h = 2 µm, water.
    const double t = 2e-6, h = 2e-6;
    const double detachment = std::pow(3 * 1.88e11 * t * t * t * h * h / (8 * 0.073), 0.25);
    int sticking = 0;
    for (const auto& beam : report.beams) {
        SCOPED_TRACE(beam.length);
        ASSERT_TRUE(beam.gap);
        EXPECT_NEAR(*beam.gap, h, 1e-12);
        EXPECT_EQ(beam.sticks, beam.length > detachment);
        EXPECT_TRUE(beam.pullInVoltage); // over doped silicon
        sticking += beam.sticks;
    }
    EXPECT_EQ(sticking, 2);
    EXPECT_FALSE(report.beams.front().sticks);
    EXPECT_TRUE(report.beams.back().sticks);
}

} // namespace CELLVANE_TEST_FILE
