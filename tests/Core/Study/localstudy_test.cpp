// cellvane-study on the local engine, run as a user runs it: the example trench list with the
// oxide thickness against the etch depth, one variant with a value the step refuses.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/types.h>

namespace CELLVANE_TEST_FILE {

namespace {

struct Ran {
    int exitCode;
    QString said;
};

Ran runProgram(const char* program, const QStringList& arguments, const QString& folder) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QString::fromLocal8Bit(program), arguments);
    if (!process.waitForFinished(300000))
        return {-1, process.errorString()};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

Ran study(const QStringList& arguments, const QString& folder) {
    return runProgram(CELLVANE_STUDY_PROGRAM, arguments, folder);
}

QByteArray bytesOf(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject metricsOf(const QString& folder, const QString& id) {
    return QJsonDocument::fromJson(bytesOf(folder + "/st/variants/" + id + "/metrics.json"))
        .object();
}

void writeFile(const QString& fileName, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class LocalStudy : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        here = dir.path();
        const QString examples = QStringLiteral(CELLVANE_TEST_SOURCE_DIR) + "/../examples/";
        for (const char* name : {"trench-study.plst", "trench-mask.png"})
            ASSERT_TRUE(QFile::copy(examples + name, here + '/' + name));
        const Ran planned = study({"plan", "trench-study.plst", "--vary", "2.Thickness=1:2:1",
                                   "--vary", "4.Etch Depth=5,10"},
                                  here);
        ASSERT_EQ(planned.exitCode, 0) << planned.said.toStdString();
        // "-5" is no depth the etch takes: that variant fails, the others must not.
        writeFile(here + "/variants.csv",
                  planned.said.section("id,", 1).prepend("id,").toUtf8() + "bad,1,-5\n");
    }

    QTemporaryDir dir;
    QString here;
};

TEST_F(LocalStudy, VariantsAreTheRunnersDocumentsAndARerunDoesExactlyTheRest) {
    const QStringList run{"run", "trench-study.plst", "variants.csv", "--out", "st", "--jobs", "2"};
    Ran ran = study(run + QStringList{"--keep-documents"}, here);
    EXPECT_EQ(ran.exitCode, 1) << ran.said.toStdString();
    EXPECT_TRUE(ran.said.contains("4 of 5 done, 1 failed")) << ran.said.toStdString();

    const std::map<QString, QStringList> values{
        {"v001", {"1", "5"}}, {"v002", {"1", "10"}}, {"v003", {"2", "5"}}, {"v004", {"2", "10"}}};
    for (const auto& [id, value] : values) {
        const QJsonObject metrics = metricsOf(here, id);
        EXPECT_EQ(metrics.value("status").toString(), "done") << id.toStdString();
        EXPECT_EQ(metrics.value("pictures").toArray(), QJsonArray({"section.png"}));
        EXPECT_TRUE(QFileInfo::exists(here + "/st/variants/" + id + "/section.png"));
        EXPECT_GT(metrics.value("peakMemory").toDouble(), 0);
        const QString log = QString::fromUtf8(bytesOf(here + "/st/variants/" + id + "/log.txt"));
        EXPECT_TRUE(log.contains("metrics.json") && !log.contains(".measured"))
            << log.toStdString();
        // What the steps made, then what was measured.
        std::map<QString, double> measured;
        for (const QJsonValue& entry : metrics.value("metrics").toArray())
            measured[entry.toObject().value("name").toString()] =
                entry.toObject().value("value").toDouble();
        EXPECT_EQ(measured["2.Thickness made"], value[0].toDouble()) << id.toStdString();
        EXPECT_EQ(measured["etch depth"], value[1].toDouble()) << id.toStdString();
        // The same cells, byte for byte, as the runner makes by hand with --set.
        const Ran byHand =
            runProgram(CELLVANE_RUN_PROGRAM,
                       {"trench-study.plst", "--set", "2.Thickness=" + value[0], "--set",
                        "4.Etch Depth=" + value[1], "--output", "hand-" + id + ".cvx"},
                       here);
        ASSERT_EQ(byHand.exitCode, 0) << byHand.said.toStdString();
        EXPECT_EQ(bytesOf(here + "/hand-" + id + ".cvx"),
                  bytesOf(here + "/st/variants/" + id + "/document.cvx"))
            << id.toStdString();
    }
    const QJsonObject bad = metricsOf(here, "bad");
    EXPECT_EQ(bad.value("status").toString(), "failed");
    EXPECT_TRUE(bad.value("reason").toString().contains("Etch Depth"))
        << bad.value("reason").toString().toStdString();
    const QJsonObject record = QJsonDocument::fromJson(bytesOf(here + "/st/study.json")).object();
    EXPECT_EQ(record.value("list").toObject().value("sha256").toString().size(), 64);
    EXPECT_EQ(record.value("table").toObject().value("sha256").toString().size(), 64);
    EXPECT_EQ(record.value("runs").toArray().size(), 1);

    // As after a kill: one variant never finished, one left only a part of its metrics file
    // (a foreign writer; ours renames whole files), the rest finished.
    QFile::remove(here + "/st/variants/v001/metrics.json");
    writeFile(here + "/st/variants/v003/metrics.json",
              bytesOf(here + "/st/variants/v003/metrics.json").left(60));
    const QByteArray v002 = bytesOf(here + "/st/variants/v002/metrics.json");
    const QByteArray v004 = bytesOf(here + "/st/variants/v004/metrics.json");
    ran = study(run, here);
    EXPECT_TRUE(ran.said.contains("5 variants, 2 done before, 3 to run")) << ran.said.toStdString();
    EXPECT_EQ(bytesOf(here + "/st/variants/v002/metrics.json"), v002);
    EXPECT_EQ(bytesOf(here + "/st/variants/v004/metrics.json"), v004);
    for (const char* id : {"v001", "v003"}) {
        EXPECT_EQ(metricsOf(here, id).value("status").toString(), "done") << id;
        // Documents asked for once are kept by the reruns too.
        EXPECT_TRUE(QFileInfo::exists(here + "/st/variants/" + id + "/document.cvx")) << id;
    }
    const Ran status = study({"status", "st"}, here);
    EXPECT_EQ(status.exitCode, 1);
    EXPECT_TRUE(status.said.contains("4 of 5 done, 1 failed, 0 running"))
        << status.said.toStdString();
    EXPECT_TRUE(status.said.contains(QRegularExpression("bad failed .*Etch Depth")))
        << status.said.toStdString();

    // Another table in the same folder is refused; with --force only what changed runs.
    writeFile(here + "/other.csv", "id,2.Thickness,4.Etch Depth\nv001,1,5\nv002,1,10\nv003,2,5\n"
                                   "v004,2,10\nbad,1,15\n");
    const QStringList other{"run", "trench-study.plst", "other.csv", "--out", "st"};
    ran = study(other, here);
    EXPECT_EQ(ran.exitCode, 2);
    EXPECT_TRUE(ran.said.contains("another table of variants")) << ran.said.toStdString();
    EXPECT_TRUE(ran.said.contains("--force"));
    EXPECT_EQ(bytesOf(here + "/st/variants/v002/metrics.json"), v002);
    ran = study(other + QStringList{"--force"}, here);
    EXPECT_EQ(ran.exitCode, 0) << ran.said.toStdString();
    EXPECT_TRUE(ran.said.contains("4 done before, 1 to run")) << ran.said.toStdString();
    EXPECT_EQ(bytesOf(here + "/st/variants/v002/metrics.json"), v002);
}

TEST_F(LocalStudy, GatherWritesTheTableAPlotPerMetricAndParameterAndAPageWhoseLinksResolve) {
    const Ran ran =
        study({"run", "trench-study.plst", "variants.csv", "--out", "st", "--jobs", "2"}, here);
    ASSERT_EQ(ran.exitCode, 1) << ran.said.toStdString();
    const Ran gathered = study({"gather", "st"}, here);
    ASSERT_EQ(gathered.exitCode, 0) << gathered.said.toStdString();

    const QStringList lines =
        QString::fromUtf8(bytesOf(here + "/st/results.csv")).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6);
    const QStringList header = lines.first().split(',');
    EXPECT_EQ(header.mid(0, 5), QStringList({"id", "2.Thickness", "4.Etch Depth",
                                             QString::fromUtf8("2.Thickness made (µm)"),
                                             QString::fromUtf8("etch depth (µm)")}));
    EXPECT_TRUE(header.contains(QString::fromUtf8("oxide thickness (µm)")));
    EXPECT_EQ(header.mid(header.size() - 3), QStringList({"status", "seconds", "reason"}));
    EXPECT_TRUE(lines[1].startsWith("v001,1,5,1,5,")) << lines[1].toStdString();
    EXPECT_TRUE(lines[5].startsWith("bad,1,-5,,")) << lines[5].toStdString();
    EXPECT_TRUE(lines[5].contains(",failed,")) << lines[5].toStdString();

    // The oxide the step made and the two "Measure" steps against the two parameters, as PNG
    // and SVG.
    const QStringList plots = QDir(here + "/st/plots").entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(plots,
              QStringList(
                  {"2-thickness-made-vs-2-thickness.png", "2-thickness-made-vs-2-thickness.svg",
                   "2-thickness-made-vs-4-etch-depth.png", "2-thickness-made-vs-4-etch-depth.svg",
                   "etch-depth-vs-2-thickness.png", "etch-depth-vs-2-thickness.svg",
                   "etch-depth-vs-4-etch-depth.png", "etch-depth-vs-4-etch-depth.svg",
                   "oxide-thickness-vs-2-thickness.png", "oxide-thickness-vs-2-thickness.svg",
                   "oxide-thickness-vs-4-etch-depth.png", "oxide-thickness-vs-4-etch-depth.svg"}));
    EXPECT_TRUE(bytesOf(here + "/st/plots/etch-depth-vs-2-thickness.svg").contains("<svg"));

    const QString page = QString::fromUtf8(bytesOf(here + "/st/index.html"));
    const QRegularExpression reference("(?:href|src)=\"([^\"]+)\"");
    QStringList targets;
    for (auto match = reference.globalMatch(page); match.hasNext();)
        targets << match.next().captured(1);
    // Six plots (the PNG shown, the SVG linked), four thumbnails linked to their pictures.
    EXPECT_EQ(targets.filter(".png").size(), 6 + 4 * 2);
    EXPECT_EQ(targets.filter(".svg").size(), 6);
    for (const QString& target : targets)
        EXPECT_TRUE(QFileInfo::exists(here + "/st/" + QUrl::fromPercentEncoding(target.toUtf8())))
            << target.toStdString();
}

} // namespace

namespace {

TEST_F(LocalStudy, MistakesAreRefusedBeforeAnythingRuns) {
    writeFile(here + "/misspelt.csv", "id,4.Etch Dept\na,5\n");
    QDir().mkpath(here + "/held");
    QLockFile held(here + "/held/run.lock");
    ASSERT_TRUE(held.tryLock(0));
    writeFile(here + "/stranger/notes.txt", QByteArray());
    struct Case {
        QStringList arguments;
        const char* said;
    };
    const Case cases[] = {
        {{"plan", "trench-study.plst", "--vary", "4.Etch Depth=5,-1"}, "\"Etch Depth\" of step 4"},
        {{"plan", "trench-study.plst", "--vary", "4.Etch Dept=5"}, "no parameter \"Etch Dept\""},
        {{"plan", "trench-study.plst", "--vary", "2.Thickness=1:3"}, "needs a step"},
        {{"plan", "trench-study.plst", "--vary", "2.Thickness=1", "--seed", "3"}, "--sample"},
        {{"run", "trench-study.plst", "misspelt.csv", "--out", "x"}, "no parameter \"Etch Dept\""},
        {{"run", "trench-study.plst", "variants.csv", "--out", "held"}, "another run works"},
        {{"run", "trench-study.plst", "variants.csv", "--out", "stranger"}, "holds no study"},
        {{"run", "trench-study.plst", "variants.csv"}, "--out"},
        {{"run", "trench-study.plst", "variants.csv", "--out", "x", "--vary", "2.T=1"},
         "does not apply"},
        {{"run", "trench-study.plst", "variants.csv", "--out", "x", "--engine", "grid"},
         "no engine \"grid\""},
        {{"status", "nowhere"}, "nowhere"},
        {{"task", "nowhere", "v001"}, "nowhere"},
    };
    for (const Case& c : cases) {
        const Ran ran = study(c.arguments, here);
        EXPECT_EQ(ran.exitCode, 2) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(ran.said.contains(QString::fromUtf8(c.said)))
            << c.arguments.join(' ').toStdString() << ": " << ran.said.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(here + "/x"));
    EXPECT_EQ(QDir(here + "/held").entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList({"run.lock"}));
}

} // namespace

namespace {

// A variant's process killed from outside (memory exhausted, an operator's kill): the study
// records it failed with how it ended, runs the others, and the rerun runs it alone.
TEST_F(LocalStudy, AKilledVariantIsRecordedFailedAndRunsAgain) {
    QProcess run;
    run.setWorkingDirectory(here);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QStringLiteral(CELLVANE_STUDY_PROGRAM),
              {"run", "trench-study.plst", "variants.csv", "--out", "st", "--jobs", "1"});
    ASSERT_TRUE(run.waitForStarted());
    const QString running = here + "/st/variants/v002/running";
    qint64 pid = 0;
    for (int wait = 0; wait < 30000 && pid == 0; wait += 5) {
        QFile file(running);
        if (file.open(QIODevice::ReadOnly))
            pid = QString::fromUtf8(file.readAll()).section(' ', 1).toLongLong();
        QThread::msleep(5);
    }
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid_t(pid), SIGKILL), 0);
    ASSERT_TRUE(run.waitForFinished(300000));
    const QString said = QString::fromUtf8(run.readAll());
    EXPECT_EQ(run.exitCode(), 1) << said.toStdString();
    EXPECT_TRUE(said.contains("3 of 5 done, 2 failed")) << said.toStdString();
    EXPECT_TRUE(said.contains("v002 failed: the task ended abnormally")) << said.toStdString();

    const Ran again =
        study({"run", "trench-study.plst", "variants.csv", "--out", "st", "--jobs", "2"}, here);
    EXPECT_TRUE(again.said.contains("3 done before, 2 to run")) << again.said.toStdString();
    EXPECT_TRUE(again.said.contains("4 of 5 done, 1 failed")) << again.said.toStdString();
}

// The table is judged by the runner's own rules, before anything is written: what --set takes
// (an optional value) runs; an id a program would take for an option and a grid too large to
// hold are refused, the grid with its count and before it is made.
TEST_F(LocalStudy, TablesAndPlansAreJudgedAsTheRunnerJudgesThem) {
    const Ran huge = study({"plan", "trench-study.plst", "--vary", "2.Thickness=1:100000:1",
                            "--vary", "4.Etch Depth=1:100000:1"},
                           here);
    EXPECT_EQ(huge.exitCode, 2) << huge.said.toStdString();
    EXPECT_TRUE(huge.said.contains("10000000000 variants (100000 x 100000)"))
        << huge.said.toStdString();

    writeFile(here + "/option.csv", "id,2.Thickness\n-v1,1\n");
    const Ran option = study({"run", "trench-study.plst", "option.csv", "--out", "o"}, here);
    EXPECT_EQ(option.exitCode, 2) << option.said.toStdString();
    EXPECT_TRUE(option.said.contains("starts with '-'")) << option.said.toStdString();
    EXPECT_FALSE(QFileInfo::exists(here + "/o"));

    writeFile(here + "/cells.csv", "id,1.Cell Size Z\nz1,1\n");
    const Ran optional = study({"run", "trench-study.plst", "cells.csv", "--out", "z"}, here);
    EXPECT_EQ(optional.exitCode, 0) << optional.said.toStdString();
    EXPECT_TRUE(optional.said.contains("1 of 1 done")) << optional.said.toStdString();
}

// While the study's cluster array is queued, a rerun on this machine would run its variants
// beside it: it is refused before the study's files are touched. The queue is a stand-in
// squeue that says the array's task runs.
TEST_F(LocalStudy, ARerunWaitsForTheStudysQueuedArrayWhateverItsEngine) {
    writeFile(here + "/one.csv", "id,2.Thickness\nv001,1\n");
    const QStringList run{"run", "trench-study.plst", "one.csv", "--out", "st"};
    ASSERT_EQ(study(run, here).exitCode, 0);
    writeFile(here + "/st/slurm/jobs.json", R"([{"job": "77", "ids": ["v001"]}])");
    writeFile(here + "/bin/squeue", "#!/bin/sh\necho '1 R'\n");
    QFile::setPermissions(here + "/bin/squeue", QFile::ReadOwner | QFile::ExeOwner);
    writeFile(here + "/two.csv", "id,2.Thickness\nv001,1\nv002,2\n");
    const QStringList files{"study.json", "variants.csv", "list.plst"};
    std::map<QString, QByteArray> before;
    for (const QString& file : files)
        before[file] = bytesOf(here + "/st/" + file);

    QProcess rerun;
    rerun.setWorkingDirectory(here);
    rerun.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", here + "/bin:" + environment.value("PATH"));
    rerun.setProcessEnvironment(environment);
    rerun.start(QStringLiteral(CELLVANE_STUDY_PROGRAM),
                {"run", "trench-study.plst", "two.csv", "--out", "st", "--force"});
    ASSERT_TRUE(rerun.waitForFinished(300000));
    const QString said = QString::fromUtf8(rerun.readAll());
    EXPECT_EQ(rerun.exitCode(), 1) << said.toStdString();
    EXPECT_TRUE(said.contains("array 77 is still queued or running")) << said.toStdString();
    for (const QString& file : files)
        EXPECT_EQ(bytesOf(here + "/st/" + file), before[file]) << file.toStdString();
    EXPECT_FALSE(QFileInfo::exists(here + "/st/variants/v002"));
}

// Ctrl-C stops the run's tasks, leaves no variant looking as if it ran, says which it stopped,
// and the next run runs them.
TEST_F(LocalStudy, CtrlCStopsTheTasksAndTheNextRunRunsThem) {
    QProcess run;
    run.setWorkingDirectory(here);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QStringLiteral(CELLVANE_STUDY_PROGRAM),
              {"run", "trench-study.plst", "variants.csv", "--out", "st", "--jobs", "1"});
    ASSERT_TRUE(run.waitForStarted());
    const QString running = here + "/st/variants/v001/running";
    for (int wait = 0; wait < 30000 && !QFileInfo::exists(running); wait += 5)
        QThread::msleep(5);
    ASSERT_TRUE(QFileInfo::exists(running));
    ASSERT_EQ(::kill(pid_t(run.processId()), SIGINT), 0);
    ASSERT_TRUE(run.waitForFinished(60000));
    const QString said = QString::fromUtf8(run.readAll());
    EXPECT_EQ(run.exitCode(), 1) << said.toStdString();
    EXPECT_TRUE(said.contains("stopped by Ctrl-C; v001 was running and is stopped"))
        << said.toStdString();
    for (const char* id : {"v001", "v002", "v003", "v004", "bad"})
        EXPECT_FALSE(QFileInfo::exists(here + "/st/variants/" + id + "/running"))
            << id;
    const Ran status = study({"status", "st"}, here);
    EXPECT_TRUE(status.said.contains("0 running")) << status.said.toStdString();
    EXPECT_TRUE(status.said.contains("v001 cancelled")) << status.said.toStdString();

    const Ran again =
        study({"run", "trench-study.plst", "variants.csv", "--out", "st", "--jobs", "2"}, here);
    EXPECT_TRUE(again.said.contains("0 done before, 5 to run")) << again.said.toStdString();
    EXPECT_TRUE(again.said.contains("4 of 5 done, 1 failed")) << again.said.toStdString();
    EXPECT_FALSE(QFileInfo::exists(here + "/st/variants/v001/cancelled"));
}

} // namespace

} // namespace CELLVANE_TEST_FILE
