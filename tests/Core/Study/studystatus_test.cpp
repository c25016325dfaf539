#include "Core/Study/localengine.h"
#include "Core/Study/slurmengine.h"
#include "Core/Study/studypage.h"
#include "Core/Study/studyprogress.h"
#include "Core/Study/studyresults.h"
#include "Core/Study/studyrun.h"
#include "Core/Study/variantstatus.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Study;

namespace {

StudyRecord twoByTwo() {
    StudyRecord record;
    record.listHash = QStringLiteral("list-hash");
    record.table.parameters = QStringList{"2.Thickness", "4.Etch Depth"};
    record.table.variants = {
        {"a", {"1", "5"}}, {"b", {"1", "10"}}, {"c", {"2", "5"}}, {"d", {"2", "10"}}};
    return record;
}

QJsonObject finished(const QString& id, const QStringList& values, const QString& status,
                     double depth, double oxide) {
    QJsonObject valueObject{{"2.Thickness", values[0]}, {"4.Etch Depth", values[1]}};
    const auto metric = [](int step, const QString& name, double value) {
        return QJsonObject{{"step", step}, {"name", name}, {"value", value}, {"unit", "µm"}};
    };
    return QJsonObject{
        {"id", id},
        {"status", status},
        {"values", valueObject},
        {"listSha256", "list-hash"},
        {"seconds", 2.0},
        {"metrics", QJsonArray{metric(5, "etch depth", depth), metric(5, "etch depth.mean", depth),
                               metric(6, "oxide thickness", oxide)}},
        {"pictures", QJsonArray{"cut 1.png"}}};
}

void put(const StudyFolder& folder, const QString& id, const QByteArray& bytes,
         const QString& name = QStringLiteral("metrics.json")) {
    QDir().mkpath(folder.variantFolder(id));
    QFile file(folder.variantFolder(id) + '/' + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray json(const QJsonObject& object) {
    return QJsonDocument(object).toJson();
}

} // namespace

TEST(StudyStatus, OnlyAWholeMetricsFileOfThisListAndTheseValuesFinishesAVariant) {
    QTemporaryDir dir;
    const StudyFolder folder(dir.path());
    const StudyRecord record = twoByTwo();
    put(folder, "a", json(finished("a", {"1", "5"}, "done", 5, 1)));
    put(folder, "b", json(finished("b", {"1", "10"}, "failed", 0, 0)));
    QJsonObject stale = finished("c", {"2", "5"}, "done", 5, 2);
    struct Case {
        const char* what;
        QByteArray bytes;
    };
    // Each of these leaves variant c to run again.
    const Case unfinished[] = {
        {"a part of a file", json(stale).left(40)},
        {"another list's", json([&] {
             QJsonObject changed = stale;
             changed.insert("listSha256", "other");
             return changed;
         }())},
        {"another input document's", json([&] {
             QJsonObject changed = stale;
             changed.insert("inputSha256", "other");
             return changed;
         }())},
        {"other values", json([&] {
             QJsonObject changed = stale;
             changed.insert("values", QJsonObject{{"2.Thickness", "3"}, {"4.Etch Depth", "5"}});
             return changed;
         }())},
        {"another variant's", json(finished("d", {"2", "5"}, "done", 5, 2))},
        {"no state", json([&] {
             QJsonObject changed = stale;
             changed.remove("status");
             return changed;
         }())},
    };
    for (const Case& c : unfinished) {
        put(folder, "c", c.bytes);
        const StudyStatus status = StudyStatus::scan(folder, record);
        EXPECT_EQ(status.variants[2].kind, VariantState::Missing) << c.what;
        EXPECT_EQ(status.pending(false), QStringList({"b", "c", "d"})) << c.what;
    }
    put(folder, "c", json(stale));
    // A task that died leaves its running file; only a live process counts as running.
    put(folder, "d",
        QStringLiteral("%1 %2").arg(QSysInfo::machineHostName()).arg(0x7ffffff0).toUtf8(),
        "running");
    StudyStatus status = StudyStatus::scan(folder, record);
    EXPECT_EQ(status.done, 2);
    EXPECT_EQ(status.failed, 1);
    EXPECT_EQ(status.running, 0);
    EXPECT_EQ(status.missing, 1);
    EXPECT_DOUBLE_EQ(status.meanSeconds, 2.0);
    put(folder, "d",
        QStringLiteral("%1 %2")
            .arg(QSysInfo::machineHostName())
            .arg(QCoreApplication::applicationPid())
            .toUtf8(),
        "running");
    status = StudyStatus::scan(folder, record);
    EXPECT_EQ(status.running, 1);
    EXPECT_EQ(status.pending(false), QStringList({"b"}));
    EXPECT_EQ(StudyProgress::line(status, 1, 3, 30.0, 2),
              "2 of 4 done, 1 failed, 1 running, about 20 s left");

    // In a log, a line when the count of running variants changes, as a cluster starts them,
    // and none when nothing changed.
    QString log;
    QTextStream out(&log);
    StudyProgress progress(out, false, 0);
    for (const int running : {0, 2, 2, 1})
        progress.show(status, running);
    EXPECT_EQ(log.count('\n'), 3) << log.toStdString();
    EXPECT_TRUE(log.contains("1 failed, 2 running")) << log.toStdString();
}

TEST(StudyResults, TableAndPlotsHoldEveryFinishedVariantAndTheLinksOfThePage) {
    QTemporaryDir dir;
    const StudyFolder folder(dir.path());
    StudyRecord record = twoByTwo();
    record.table.variants.push_back({"e", {"3", "5"}});
    // Given out of order, so that the lines must sort their points.
    put(folder, "a", json(finished("a", {"1", "5"}, "done", 5, 1)));
    put(folder, "b", json(finished("b", {"1", "10"}, "done", 10, 1)));
    put(folder, "c", json(finished("c", {"2", "5"}, "done", 4, 2)));
    put(folder, "d", json(finished("d", {"2", "10"}, "failed", 0, 0)));
    const StudyResults results = StudyResults::gather(folder, record);

    const QStringList lines = QString::fromUtf8(results.csv()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines[0], QString::fromUtf8("id,2.Thickness,4.Etch Depth,etch depth (µm),"
                                          "etch depth.mean (µm),oxide thickness (µm),status,"
                                          "seconds,reason"));
    EXPECT_EQ(lines[1], "a,1,5,5,5,1,done,2.000,");
    EXPECT_EQ(lines[5], "e,3,5,,,,missing,,");

    const auto plots = results.plots();
    // The steps' own results against both parameters; the details are left to the table.
    ASSERT_EQ(plots.size(), 4u);
    EXPECT_EQ(plots[0].fileName, "etch-depth-vs-2-thickness");
    ASSERT_EQ(plots[0].series.size(), 2u);
    EXPECT_EQ(plots[0].series[0].name, "4.Etch Depth = 5");
    EXPECT_EQ(plots[0].series[0].points, (std::vector<std::pair<double, double>>{{1, 5}, {2, 4}}));
    // What a failed variant measured before it failed is in the table, never in a plot.
    EXPECT_EQ(plots[0].series[1].points, (std::vector<std::pair<double, double>>{{1, 10}}));
    EXPECT_EQ(plots[1].parameter, "4.Etch Depth");
    EXPECT_EQ(plots[1].series[0].name, "2.Thickness = 1");

    const QString page = QString::fromUtf8(
        StudyPage::html("Study of <trench>", results, plots, {"plots/etch depth"}));
    EXPECT_TRUE(page.contains("<title>Study of &lt;trench&gt;</title>"));
    EXPECT_TRUE(page.contains("src=\"plots/etch%20depth.png\""));
    EXPECT_TRUE(page.contains("href=\"variants/a/cut%201.png\""));
    EXPECT_FALSE(page.contains("variants/e/"));
}

// A running file says a task runs only while that can be so: its process is alive here, or,
// from another host, it was touched by the task's heartbeat within the stale age.
TEST(StudyStatus, ARunningFileOfADeadTaskIsMissing) {
    QTemporaryDir dir;
    const StudyFolder folder(dir.path());
    const StudyRecord record = twoByTwo();
    const QString here = QSysInfo::machineHostName();
    put(folder, "a", "elsewhere.example 4242", "running");
    put(folder, "b", "elsewhere.example 4242", "running");
    put(folder, "c", (here + " " + QString::number(QCoreApplication::applicationPid())).toUtf8(),
        "running");
    // No process has this id: it is above the largest a Linux system hands out.
    put(folder, "d", (here + " 2000000000").toUtf8(), "running");
    QFile old(folder.runningFile("b"));
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(old.setFileTime(QDateTime::currentDateTime().addSecs(-runningStaleSeconds - 60),
                                QFileDevice::FileModificationTime));
    old.close();
    const StudyStatus status = StudyStatus::scan(folder, record);
    EXPECT_EQ(status.variants[0].kind, VariantState::Running);
    EXPECT_EQ(status.variants[1].kind, VariantState::Missing);
    EXPECT_EQ(status.variants[2].kind, VariantState::Running);
    EXPECT_EQ(status.variants[3].kind, VariantState::Missing);
    EXPECT_EQ(status.pending(false), QStringList({"b", "d"}));
}

// A task that ends "done" without a metrics file has recorded nothing: the variant fails and
// says so, rather than staying missing for ever or passing for run.
TEST(LocalEngine, ATaskEndingWithoutItsMetricsFails) {
    QTemporaryDir dir;
    EngineRequest request;
    request.folder = StudyFolder(dir.path());
    request.record = twoByTwo();
    request.ids = QStringList{"a", "b"};
    request.jobs = 2;
    request.program = QStringLiteral("/bin/true");
    LocalEngine engine;
    QString problem;
    ASSERT_TRUE(engine.submit(request, problem));
    ASSERT_TRUE(engine.wait(
        request, [](int) {}, problem))
        << problem.toStdString();
    const StudyStatus status = StudyStatus::scan(request.folder, request.record);
    EXPECT_EQ(status.failed, 2);
    EXPECT_TRUE(status.variants[0].reason.contains("exit status 0 but wrote no metrics"))
        << status.variants[0].reason.toStdString();
}

// What reaches other programs is escaped for them: a '%' of the folder for sbatch's output
// pattern, the folder and ids for the shell and the task's options, formulas for spreadsheets.
TEST(StudyFiles, WhatOtherProgramsReadIsEscapedForThem) {
    EngineRequest request;
    request.folder = StudyFolder(QStringLiteral("/data/100%1 %A study"));
    request.ids = QStringList{"v1", "v2"};
    request.threads = 2;
    request.program = QStringLiteral("/usr/bin/cellvane-study");
    const QStringList arguments = SlurmEngine::submitArguments(request, "array.sh");
    EXPECT_TRUE(arguments.contains("--output=/data/100%%1 %%A study/slurm/%A_%a.out"))
        << arguments.join(' ').toStdString();
    const QString script = QString::fromUtf8(SlurmEngine::arrayScript(request));
    EXPECT_TRUE(script.contains("exec '/usr/bin/cellvane-study' task --threads 2 -- "
                                "'/data/100%1 %A study' \"${ids[SLURM_ARRAY_TASK_ID - 1]}\"\n"))
        << script.toStdString();

    StudyResults results;
    results.parameters = QStringList{"2.Thickness", "3.Note"};
    results.rows.push_back({"a", {"-5", "=HYPERLINK(\"x\")"}, "failed", "@SUM(A1)", {}, {}, {}});
    const QString csv = QString::fromUtf8(results.csv());
    EXPECT_TRUE(csv.contains("\na,-5,\"'=HYPERLINK(\"\"x\"\")\",failed,,'@SUM(A1)\n"))
        << csv.toStdString();
    for (const char* text : {"+A1", "-x", "\t=1"})
        EXPECT_TRUE(StudyResults::spreadsheetField(text).startsWith("'")) << text;
    for (const char* text : {"-5", "+1", "-1.5e3", "plain", ""})
        EXPECT_FALSE(StudyResults::spreadsheetField(text).startsWith("'")) << text;
}

TEST(StudyRun, JobsAndThreadsShareTheProcessors) {
    struct Case {
        int cores, jobs, threads, wantJobs, wantThreads;
    };
    for (const Case& c : {Case{8, 0, 0, 8, 1}, Case{8, 2, 0, 2, 4}, Case{8, 0, 3, 2, 3},
                          Case{2, 4, 0, 4, 1}, Case{0, 0, 0, 1, 1}, Case{8, 3, 5, 3, 5}}) {
        int jobs = c.jobs;
        int threads = c.threads;
        StudyRun::defaultJobs(c.cores, jobs, threads);
        EXPECT_EQ(jobs, c.wantJobs) << c.cores << ' ' << c.jobs << ' ' << c.threads;
        EXPECT_EQ(threads, c.wantThreads) << c.cores << ' ' << c.jobs << ' ' << c.threads;
    }
}

} // namespace CELLVANE_TEST_FILE
