#include "Core/Operations/Document/documentnetlist.h"
#include "Core/Operations/Document/runmodelextraction.h"
#include "Model/Metrology/scale.h"
#include "Model/ModelExtraction/cantilevermodelrule.h"
#include "Model/ModelExtraction/cutgriddecomposition.h"
#include "support/cantileverscenes.h"
#include "support/exportscenes.h"
#include "support/operationfixture.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;
using Model::ModelExtraction::ExtractedModel;

namespace {

struct CountingObserver : Util::IObserver {
    void update() override { ++updates; }
    int updates = 0;
};

struct RunModelExtractionTest : VolumeOperationTest {
    std::shared_ptr<CountingObserver> opener = std::make_shared<CountingObserver>();
    std::shared_ptr<CountingObserver> closer = std::make_shared<CountingObserver>();
    QTemporaryDir dir;

    std::shared_ptr<RunModelExtraction> start() {
        auto op = std::make_shared<RunModelExtraction>(context);
        op->setDialogObserver(opener);
        op->setDestroyDialogObserver(closer);
        context.currentOperation = op;
        op->step();
        return op;
    }

    std::vector<int> documentTypes() const {
        std::vector<int> types;
        for (const auto& object : context.document->getObjects())
            types.push_back(object->getType());
        return types;
    }

    static QString netlistOf(Model::Automaton::TotalVolume& volume) {
        Model::ModelExtraction::CantileverModelRule rule;
        const auto structure =
            rule.apply(Model::ModelExtraction::CutGridDecomposition::preprocess(volume));
        return structure ? structure->netlist() : QString();
    }
};

} // namespace

TEST_F(RunModelExtractionTest, StepsThroughBoxesBeamsAndNetlistAndLeavesTheDocumentAsItWas) {
    useVolume(anchoredPlate(20, 10));
    auto op = start();
    EXPECT_EQ(log->lines.last(),
              QStringLiteral("Model Extraction: Select a cell volume and press Enter/Return."));
    EXPECT_TRUE(context.selection.isSelectionMode());
    EXPECT_EQ(opener->updates, 0);
    context.selection.toggle(volume);
    op->step();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Model Extraction: Cell volume selected."));
    EXPECT_EQ(op->getStep(), RunModelExtraction::DialogOpen);
    EXPECT_EQ(opener->updates, 1);
    EXPECT_EQ(op->getName(), QStringLiteral("Extract Model"));
    EXPECT_EQ(op->getId(), 1000);

    // The dialog's buttons run each step once and in turn.
    EXPECT_FALSE(op->stepTwo());
    ASSERT_TRUE(op->stepOne());
    EXPECT_FALSE(op->stepOne());
    EXPECT_TRUE(volume->getPainter().isHidden());
    EXPECT_EQ(documentTypes(), (std::vector<int>{1, 2}));
    EXPECT_EQ(op->getPreprocessingModel()->getEnvelopes().size(), 6u);

    ASSERT_TRUE(op->stepTwo());
    EXPECT_EQ(documentTypes(), (std::vector<int>{1, 2, 2}));
    const auto beams = op->getBeamModel();
    ASSERT_TRUE(beams);
    ASSERT_EQ(beams->getEnvelopes().size(), 1u);
    EXPECT_EQ(beams->getEnvelopes().front()->sizeX, 20);
    EXPECT_EQ(beams->getOffset(), (std::array<float, 3>{35.f + 10.f, 0.f, 0.f}));

    const QString netlist = op->stepThree();
    EXPECT_EQ(netlist, netlistOf(*volume));
    prompts.fileAnswer = dir.filePath(QStringLiteral("beam"));
    EXPECT_TRUE(op->saveNetlist(netlist));
    QFile written(dir.filePath(QStringLiteral("beam.cir")));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(written.readAll()), netlist);
    EXPECT_TRUE(prompts.messages.isEmpty());

    op->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Model Extraction: Model extracted."));
    EXPECT_EQ(documentTypes(), std::vector<int>{1});
    EXPECT_FALSE(volume->getPainter().isHidden());
    EXPECT_EQ(host.finished, 1);
    EXPECT_EQ(closer->updates, 1);
    op->end();
    op->cancel();
    EXPECT_EQ(host.finished, 1);
    EXPECT_EQ(closer->updates, 1);
}

TEST_F(RunModelExtractionTest, WithoutBeamsThereIsNoModelDataAndCancelTakesTheBoxesAway) {
    useVolume(makeVolume(6, 4, 4, [](int x, int, int z) { return x > 2 && z > 1 ? 0 : 1; }));
    auto op = selected<RunModelExtraction>();
    op->setDestroyDialogObserver(closer);
    ASSERT_TRUE(op->stepOne());
    ASSERT_TRUE(op->stepTwo());
    EXPECT_FALSE(op->getBeamModel());
    EXPECT_EQ(documentTypes(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(op->stepThree().isEmpty());
    EXPECT_FALSE(op->saveNetlist(op->stepThree()));
    EXPECT_EQ(prompts.messages,
              QStringList{QStringLiteral("No model data: No model data was extracted.")});

    // A file that cannot be written is reported and nothing else changes.
    prompts.fileAnswer = dir.filePath(QStringLiteral("missing/folder/out.cir"));
    EXPECT_FALSE(op->saveNetlist(QStringLiteral("x\n.end \n")));
    EXPECT_EQ(prompts.messages.last(),
              QStringLiteral("File Error: Cannot write %1: No such file or directory.")
                  .arg(QDir::toNativeSeparators(prompts.fileAnswer)));
    EXPECT_EQ(op->getStep(), RunModelExtraction::DialogOpen);

    op->cancel();
    EXPECT_EQ(closer->updates, 1);
    EXPECT_EQ(documentTypes(), std::vector<int>{1});
    EXPECT_FALSE(volume->getPainter().isHidden());
    EXPECT_EQ(host.cancelled, 1);
    EXPECT_EQ(host.finished, 0);
}

TEST(ExtractProgram, WritesTheNetlistOfTheChosenVolumeAndExitsWithUsageAndFailureCodes) {
    QTemporaryDir dir;
    const QString program = QStringLiteral(CELLVANE_EXTRACT_PROGRAM);
    const auto plate = anchoredPlate(20, 10);
    const QString one = writeDocument(dir.filePath(QStringLiteral("one.cvx")), {plate});
    const QString two = writeDocument(
        dir.filePath(QStringLiteral("two.cvx")),
        {makeVolume(3, 3, 3, [](int, int, int) { return 1; }), anchoredPlate(20, 10)});
    const QString out = dir.filePath(QStringLiteral("out.cir"));

    struct Case {
        QStringList arguments;
        int exitCode;
        QString says;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("--help")}, 0, QStringLiteral("--volume <N>")},
        {{one}, 2, QStringLiteral("give a document and a netlist file")},
        {{one, out, QStringLiteral("--volume"), QStringLiteral("x")},
         2,
         QStringLiteral("--volume takes a number from 1, not 'x'")},
        {{dir.filePath(QStringLiteral("missing.cvx")), out}, 2, QStringLiteral("Unable to open")},
        {{two, out}, 2, QStringLiteral("choose one of 1 to 2")},
        {{two, out, QStringLiteral("--volume"), QStringLiteral("1")},
         1,
         QStringLiteral("No model data was extracted")},
        {{one, dir.filePath(QStringLiteral("one.cvx/out.cir"))}, 1, QStringLiteral("Cannot write")},
        {{two, out, QStringLiteral("--volume"), QStringLiteral("2")},
         0,
         QStringLiteral("Feature detection: 1 beam")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        int exitCode = -1;
        const QString said = runTool(program, c.arguments, &exitCode);
        EXPECT_EQ(exitCode, c.exitCode) << said.toStdString();
        EXPECT_TRUE(said.contains(c.says)) << said.toStdString();
    }
    QFile written(out);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(written.readAll()), RunModelExtractionTest::netlistOf(*plate));
}

// The report alone, or beside the netlist: the JSON holds the beam with the registry's
// aluminium over silicon (no electrode), and standard output its table.
TEST(ExtractProgram, ReportWritesTheBeamsMechanicsAsJsonAndATable) {
    QTemporaryDir dir;
    const QString program = QStringLiteral(CELLVANE_EXTRACT_PROGRAM);
    const auto plate = anchoredPlate(20, 10);
    const QString one = writeDocument(dir.filePath(QStringLiteral("one.cvx")), {plate});
    const QString solid = writeDocument(dir.filePath(QStringLiteral("solid.cvx")),
                                        {makeVolume(3, 3, 3, [](int, int, int) { return 1; })});
    const QString json = dir.filePath(QStringLiteral("r.json"));
    const QString out = dir.filePath(QStringLiteral("out.cir"));

    int exitCode = -1;
    QString said = runTool(program, {QStringLiteral("--report"), json, one}, &exitCode);
    EXPECT_EQ(exitCode, 0) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("Wafer bow"))) << said.toStdString();
    QFile file(json);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    const QJsonArray beams = root.value(QStringLiteral("beams")).toArray();
    ASSERT_EQ(beams.size(), 1);
    const QJsonObject beam = beams[0].toObject();
    const double edge = Model::Metrology::CellEdges::of(*plate).x;
    EXPECT_EQ(beam.value(QStringLiteral("kind")).toString(), QStringLiteral("cantilever"));
    EXPECT_DOUBLE_EQ(beam.value(QStringLiteral("length_um")).toDouble(), 20 * edge);
    EXPECT_DOUBLE_EQ(beam.value(QStringLiteral("gap_um")).toDouble(), 3 * edge);
    EXPECT_TRUE(beam.value(QStringLiteral("pull_in_voltage_V")).isNull());
    // Mastrangelo-Hsu with aluminium's 70 GPa, t = 2 and h = 3 cells, water on the surface.
    const double t = 2 * edge * 1e-6, h = 3 * edge * 1e-6;
    EXPECT_NEAR(beam.value(QStringLiteral("detachment_length_um")).toDouble(),
                std::pow(3 * 7e10 * t * t * t * h * h / (8 * 0.073), 0.25) * 1e6, 1e-3);
    EXPECT_FALSE(QFile::exists(out));

    // Beside the netlist; then a volume without beams still gets its report, but exits 1.
    said = runTool(program, {one, out, QStringLiteral("--report"), json}, &exitCode);
    EXPECT_EQ(exitCode, 0) << said.toStdString();
    EXPECT_TRUE(QFile::exists(out));
    said = runTool(program, {QStringLiteral("--report"), json, solid}, &exitCode);
    EXPECT_EQ(exitCode, 1) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("no free-standing beam"))) << said.toStdString();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QJsonDocument::fromJson(file.readAll())
                    .object()
                    .value(QStringLiteral("beams"))
                    .toArray()
                    .isEmpty());
}

} // namespace CELLVANE_TEST_FILE
