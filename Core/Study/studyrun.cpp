#include "Core/Study/studyrun.h"

#include "Core/ProcessList/processlistarchiver.h"
#include "Core/ProcessList/processlistrun.h"
#include "Core/Study/studyengine.h"
#include "Core/Study/studyprogress.h"
#include "Core/Study/variantstatus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLockFile>
#include <QTextStream>
#include <QThread>

#include <unistd.h>

namespace Core::Study {

namespace {

constexpr int exitDone = 0;
constexpr int exitUnfinished = 1;
constexpr int exitBadUsage = 2;

int complain(QTextStream& err, const QString& text) {
    err << "cellvane-study: " << text << Qt::endl;
    return exitBadUsage;
}

// Every column of the table must name a parameter of the list as the runner's --set takes it:
// a misspelt column would otherwise fail every variant, one after the other. Values are judged
// when a variant runs, so that a refused one fails that variant alone.
bool columnsFit(const QList<Ui::ProcessData>& list, const QStringList& parameters,
                QString& problem) {
    for (const QString& column : parameters)
        if (!Ui::ProcessListRun::takesParameter(list, column, problem)) {
            problem = QStringLiteral("the column %1: %2").arg(column, problem);
            return false;
        }
    return true;
}

QByteArray readAll(const QString& fileName, QString& problem) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return {};
    }
    return file.readAll();
}

} // namespace

void StudyRun::defaultJobs(int cores, int& jobs, int& threads) {
    cores = std::max(1, cores);
    if (threads <= 0)
        threads = jobs > 0 ? std::max(1, cores / jobs) : 1;
    if (jobs <= 0)
        jobs = std::max(1, cores / threads);
}

int StudyRun::run(const Options& options, QTextStream& err) {
    QString problem;
    auto engine = StudyEngine::create(options.engine, problem);
    if (!engine)
        return complain(err, problem);
    if (!options.wait && !engine->runsDetached())
        return complain(err, QStringLiteral("--no-wait needs an engine that runs without this "
                                            "process; the %1 engine does not")
                                 .arg(engine->name()));

    VariantTable table;
    if (!VariantTable::read(options.table, table, problem))
        return complain(err, problem);
    QList<Ui::ProcessData> list;
    Ui::ProcessListArchiver archiver;
    if (!archiver.loadProcessList(options.list, list))
        return complain(err, archiver.errorString());
    if (!columnsFit(list, table.parameters, problem))
        return complain(err, options.table + QStringLiteral(": ") + problem);
    if (!options.input.isEmpty() && !QFileInfo(options.input).isReadable())
        return complain(err, QStringLiteral("cannot read the document %1").arg(options.input));
    const QByteArray listBytes = readAll(options.list, problem);
    const QByteArray tableBytes = readAll(options.table, problem);
    if (!problem.isEmpty())
        return complain(err, problem);

    const StudyFolder folder(options.folder);
    StudyRecord record;
    record.listSource = QFileInfo(options.list).absoluteFilePath();
    record.listHash = fileHash(options.list);
    record.tableSource = QFileInfo(options.table).absoluteFilePath();
    record.tableHash = fileHash(options.table);
    if (!options.input.isEmpty()) {
        record.input = QFileInfo(options.input).absoluteFilePath();
        record.volume = options.volume;
        record.inputHash = fileHash(options.input);
    }
    record.workingFolder = QDir::currentPath();
    record.keepDocuments = options.keepDocuments;
    record.engine = engine->name();
    record.created = timestamp();
    record.table = table;

    const bool hasRecord = QFileInfo::exists(folder.recordFile());
    // The lock of a run that is starting there makes no folder a stranger's.
    QStringList contents =
        QDir(folder.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    contents.removeAll(QStringLiteral("run.lock"));
    if (!hasRecord && !contents.isEmpty() && !options.force)
        return complain(err, QStringLiteral("%1 exists and holds no study; give --force to start "
                                            "one there")
                                 .arg(folder.path()));
    if (!QDir().mkpath(folder.path()))
        return complain(err, QStringLiteral("cannot make the folder %1").arg(folder.path()));
    // Two runs on one folder would run the same missing variants twice and write one record
    // over the other. The lock of a run that died is taken over.
    QLockFile lock(folder.path() + QStringLiteral("/run.lock"));
    if (!lock.tryLock(0)) {
        qint64 pid = 0;
        QString host;
        QString application;
        lock.getLockInfo(&pid, &host, &application);
        return complain(err, QStringLiteral("another run works on %1 (process %2 on %3); wait for "
                                            "it or stop it")
                                 .arg(folder.path())
                                 .arg(pid)
                                 .arg(host));
    }
    if (!QDir().mkpath(folder.path() + QStringLiteral("/variants")))
        return complain(err,
                        QStringLiteral("cannot make the folder %1/variants").arg(folder.path()));
    if (hasRecord) {
        const auto earlier = StudyRecord::read(folder.recordFile(), problem);
        if (!earlier && !options.force)
            return complain(err, problem + QStringLiteral("; give --force to start a new study "
                                                          "there"));
        if (earlier) {
            QString other;
            QString otherFile;
            if (earlier->listHash != record.listHash) {
                other = QStringLiteral("process list");
                otherFile = earlier->listSource;
            } else if (earlier->tableHash != record.tableHash) {
                other = QStringLiteral("table of variants");
                otherFile = earlier->tableSource;
            } else if (earlier->inputHash != record.inputHash || earlier->volume != record.volume) {
                other = QStringLiteral("input document");
                otherFile = earlier->input.isEmpty() ? QStringLiteral("none") : earlier->input;
            }
            if (!other.isEmpty() && !options.force)
                return complain(err, QStringLiteral("%1 holds a study of another %2 (%3); give "
                                                    "--force to run this one there")
                                         .arg(folder.path(), other, otherFile));
            record.created = earlier->created;
            record.runs = earlier->runs;
            // Documents kept once stay wanted: a rerun must not leave some variants without.
            record.keepDocuments = options.keepDocuments || earlier->keepDocuments;
        }
    }

    // Checked before anything of the study is written: a refused rerun leaves it as it was.
    for (const QString& name : StudyEngine::names()) {
        const auto other = StudyEngine::create(name, problem);
        if (other && !other->settleEarlier(folder, record, problem)) {
            err << "cellvane-study: " << problem << Qt::endl;
            return exitUnfinished;
        }
    }

    int jobs = options.jobs;
    int threads = options.threads;
    defaultJobs(QThread::idealThreadCount(), jobs, threads);

    QJsonObject thisRun{{QStringLiteral("engine"), engine->name()},
                        {QStringLiteral("jobs"), jobs},
                        {QStringLiteral("threads"), threads},
                        {QStringLiteral("started"), timestamp()}};
    if (!options.engineArguments.isEmpty())
        thisRun.insert(QStringLiteral("engineArguments"),
                       QJsonArray::fromStringList(options.engineArguments));
    const StudyStatus before = StudyStatus::scan(folder, record);
    const QStringList ids = before.pending(false);
    thisRun.insert(QStringLiteral("variants"), ids.size());
    record.runs.append(thisRun);
    if (!writeWhole(folder.listFile(), listBytes, problem) ||
        !writeWhole(folder.tableFile(), tableBytes, problem) ||
        !record.write(folder.recordFile(), problem))
        return complain(err, problem);

    err << "cellvane-study: " << table.variants.size() << " variants, " << before.done
        << " done before, " << ids.size() << " to run on the " << engine->name() << " engine ("
        << (options.jobs <= 0 && engine->runsDetached()
                ? QStringLiteral("as many jobs as the cluster gives,")
                : QStringLiteral("%1 %2").arg(jobs).arg(jobs == 1 ? "job" : "jobs"))
        << " of " << threads << (threads == 1 ? " thread" : " threads") << ")" << Qt::endl;

    EngineRequest request;
    request.folder = folder;
    request.record = record;
    request.ids = ids;
    request.jobs = jobs;
    request.jobsGiven = options.jobs > 0;
    request.threads = threads;
    request.program = options.program;
    request.engineArguments = options.engineArguments;

    bool followed = true;
    if (!ids.isEmpty()) {
        if (!engine->submit(request, problem)) {
            err << "cellvane-study: " << problem << Qt::endl;
            return exitUnfinished;
        }
        if (!options.wait) {
            // The job id alone on standard output, for scripts that follow it themselves.
            const QString submitted = engine->submission();
            if (!submitted.isEmpty()) {
                QTextStream(stdout) << submitted << Qt::endl;
                err << "cellvane-study: submitted as job " << submitted
                    << "; follow it with cellvane-study status " << folder.path() << Qt::endl;
            }
            return exitDone;
        }
        StudyProgress progress(err, isatty(STDERR_FILENO), before.done + before.failed);
        followed = engine->wait(
            request,
            [&](int running) {
                StudyStatus now = StudyStatus::scan(folder, record);
                progress.show(now, running);
            },
            problem);
        progress.finish();
        if (!followed)
            err << "cellvane-study: " << problem << Qt::endl;
    }

    const StudyStatus after = StudyStatus::scan(folder, record);
    thisRun.insert(QStringLiteral("finished"), timestamp());
    thisRun.insert(QStringLiteral("done"), after.done);
    thisRun.insert(QStringLiteral("failed"), after.failed);
    record.runs.removeLast();
    record.runs.append(thisRun);
    if (!record.write(folder.recordFile(), problem))
        err << "cellvane-study: " << problem << Qt::endl;
    err << "cellvane-study: " << after.done << " of " << after.variants.size() << " done, "
        << after.failed << " failed";
    if (after.missing + after.running > 0)
        err << ", " << after.missing + after.running << " not run";
    err << Qt::endl;
    for (const VariantState& state : after.variants)
        if (state.kind == VariantState::Failed)
            err << "cellvane-study: " << state.id << " failed: " << state.reason << Qt::endl;
    return after.done == int(after.variants.size()) && followed ? exitDone : exitUnfinished;
}

int StudyRun::status(const QString& folderName, QTextStream& out, QTextStream& err) {
    const StudyFolder folder(folderName);
    QString problem;
    const auto record = StudyRecord::read(folder.recordFile(), problem);
    if (!record)
        return complain(err, problem);
    StudyStatus status = StudyStatus::scan(folder, *record);
    int running = status.running;
    if (auto engine = StudyEngine::create(record->engine, problem))
        if (const auto counted = engine->running(folder))
            running = *counted;
    out << StudyProgress::line(status, running, 0, 0, 0) << Qt::endl;
    for (const VariantState& state : status.variants) {
        static const char* const names[] = {"missing", "running", "done", "failed"};
        out << state.id << ' ' << (state.cancelled ? "cancelled" : names[state.kind]);
        if (state.kind == VariantState::Done || state.kind == VariantState::Failed)
            out << ' ' << StudyProgress::duration(state.seconds);
        if (!state.reason.isEmpty())
            out << ": " << state.reason;
        out << Qt::endl;
    }
    return status.done == int(status.variants.size()) ? exitDone : exitUnfinished;
}

int StudyRun::cancel(const QString& folderName, QTextStream& err) {
    const StudyFolder folder(folderName);
    QString problem;
    const auto record = StudyRecord::read(folder.recordFile(), problem);
    if (!record)
        return complain(err, problem);
    auto engine = StudyEngine::create(record->engine, problem);
    if (!engine)
        return complain(err, problem);
    if (!engine->cancel(folder, problem)) {
        err << "cellvane-study: " << problem << Qt::endl;
        return exitUnfinished;
    }
    const StudyStatus after = StudyStatus::scan(folder, *record);
    QStringList cancelled;
    for (const VariantState& state : after.variants)
        if (state.cancelled)
            cancelled << state.id;
    err << "cellvane-study: cancelled ";
    if (cancelled.isEmpty())
        err << "no variant";
    else
        err << cancelled.size() << (cancelled.size() == 1 ? " variant (" : " variants (")
            << cancelled.join(QStringLiteral(", ")) << ")";
    err << "; " << after.done << " of " << after.variants.size() << " done, " << after.failed
        << " failed; the next run runs what is not done" << Qt::endl;
    return exitDone;
}

} // namespace Core::Study
