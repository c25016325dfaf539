#include "Core/Study/slurmengine.h"

#include "Core/Study/variantstatus.h"
#include "Core/Study/varianttask.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>

namespace Core::Study {

Q_LOGGING_CATEGORY(slurmLog, "Core/Study/slurmengine", QtInfoMsg)

namespace {

// How often the queue is asked while a study is followed: often enough for a progress line,
// rare enough for a controller that serves many users.
constexpr int pollMilliseconds = 2000;
// How often the variants' running files are read between two questions to the queue: a task of
// a short variant starts and ends between two of those, and would never be counted running.
// Only for arrays whose files cost nothing to read this often on a shared file system.
constexpr int filePollMilliseconds = 250;
constexpr int mostFilesPolled = 256;
// How long the queue may stay unreachable before the run stops following it (the array runs on).
constexpr qint64 unreachableMilliseconds = 5 * 60 * 1000;
// How long a cancel waits for the array's tasks to be gone (Slurm signals, then kills after its
// KillWait).
constexpr qint64 cancelMilliseconds = 120 * 1000;

struct ToolResult {
    bool started = false;
    int exitCode = -1;
    QString out;
    QString err;
    QString problem() const {
        const QString text = err.trimmed().isEmpty() ? out.trimmed() : err.trimmed();
        return text.isEmpty() ? QStringLiteral("exit status %1").arg(exitCode) : text;
    }
};

ToolResult runTool(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.start(tool, arguments);
    ToolResult result;
    if (!process.waitForStarted(30000)) {
        result.err = QStringLiteral("%1 could not be started (%2); is this a machine of a Slurm "
                                    "cluster?")
                         .arg(tool, process.errorString());
        return result;
    }
    result.started = true;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        result.err = QStringLiteral("%1 did not answer within two minutes").arg(tool);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    qCDebug(slurmLog) << tool << arguments << "->" << result.exitCode << result.out.trimmed()
                      << result.err.trimmed();
    return result;
}

QString shellQuoted(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString slurmFolder(const StudyFolder& folder) {
    return folder.path() + QStringLiteral("/slurm");
}

// sbatch reads "%" in an output name as a replacement symbol; "%%" is a "%" of the name.
QString outputPattern(const StudyFolder& folder) {
    QString escaped = slurmFolder(folder);
    escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return escaped;
}

QString jobsFile(const StudyFolder& folder) {
    return slurmFolder(folder) + QStringLiteral("/jobs.json");
}

QJsonArray readJobs(const StudyFolder& folder) {
    QFile file(jobsFile(folder));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).array();
}

// The study's latest array: its job id and the variants of its tasks, in task order.
struct Submission {
    QString job;
    QStringList ids;
};

std::optional<Submission> latestSubmission(const StudyFolder& folder) {
    const QJsonArray jobs = readJobs(folder);
    if (jobs.isEmpty())
        return std::nullopt;
    const QJsonObject last = jobs.last().toObject();
    Submission submission;
    submission.job = last.value(QStringLiteral("job")).toString();
    for (const auto id : last.value(QStringLiteral("ids")).toArray())
        submission.ids << id.toString();
    if (submission.job.isEmpty())
        return std::nullopt;
    return submission;
}

// A task's own complaint, the last line it wrote to its Slurm output, says more than a state.
QString lastOutputLine(const StudyFolder& folder, const QString& job, int task) {
    QFile file(slurmFolder(folder) + QStringLiteral("/%1_%2.out").arg(job).arg(task));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines =
        QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last().trimmed();
}

// After the array left the queue: a variant whose task was ended from outside (a time limit, a
// node failure, memory) or could not record it is recorded as failed with how it ended, when
// `recordEndings`, so that the study says why; one that was cancelled or never started stays
// missing, for the next run, marked cancelled. The running files of killed tasks are removed either
// way: on a cluster they name another host, whose processes cannot be checked from here.
void settle(const StudyFolder& folder, const StudyRecord& record, const Submission& submission,
            bool recordEndings) {
    const QMap<int, SlurmEngine::Ending> endings =
        recordEndings ? SlurmEngine::endings(submission.job) : QMap<int, SlurmEngine::Ending>();
    for (int task = 1; task <= submission.ids.size(); ++task) {
        const QString& id = submission.ids[task - 1];
        const VariantTable::Variant* variant = record.table.find(id);
        if (!variant || readFinished(folder, record, *variant))
            continue;
        const auto ending = endings.find(task);
        if (ending != endings.end() && (ending->state.startsWith(QStringLiteral("CANCELLED")) ||
                                        ending->state == QStringLiteral("PENDING"))) {
            markCancelled(folder, id,
                          QStringLiteral("cancelled with the array %1").arg(submission.job));
            continue;
        }
        if (ending == endings.end() || ending->recorded()) {
            QFile::remove(folder.runningFile(id));
            continue;
        }
        QString reason = QStringLiteral("the Slurm task %1_%2 ended %3 (exit code %4)")
                             .arg(submission.job)
                             .arg(task)
                             .arg(ending->state, ending->exitCode);
        const QString said = lastOutputLine(folder, submission.job, task);
        if (!said.isEmpty())
            reason += QStringLiteral(": ") + said;
        VariantTask::recordFailure(folder, record, id, reason);
    }
}

// The request's variants whose tasks say they run (their running files, touched while they run).
int runningFiles(const EngineRequest& request) {
    int count = 0;
    for (const QString& id : request.ids)
        count += runningFileIsLive(request.folder.runningFile(id)) ? 1 : 0;
    return count;
}

int unfinished(const EngineRequest& request) {
    int count = 0;
    for (const QString& id : request.ids)
        if (const VariantTable::Variant* variant = request.record.table.find(id))
            count += readFinished(request.folder, request.record, *variant) ? 0 : 1;
    return count;
}

} // namespace

QByteArray SlurmEngine::arrayScript(const EngineRequest& request) {
    // Only quoted words come from the user: a folder or id can never become a command.
    QString script = QStringLiteral("#!/bin/bash\n"
                                    "# One variant of a study per array task, submitted by "
                                    "cellvane-study run.\n"
                                    "# Each node needs the programs at the same place and the "
                                    "study folder on a shared\n"
                                    "# file system.\n"
                                    "#SBATCH --job-name=cellvane-study\n"
                                    "#SBATCH --cpus-per-task=%1\n"
                                    "set -u\n"
                                    "ids=(\n")
                         .arg(request.threads);
    for (const QString& id : request.ids)
        script += QStringLiteral("    %1\n").arg(shellQuoted(id));
    // Joined, not filled in: a "%1" in a folder's name must stay what it is.
    script += QStringLiteral(")\nexec ") + shellQuoted(request.program) +
              QStringLiteral(" task --threads ") + QString::number(request.threads) +
              QStringLiteral(" -- ") + shellQuoted(request.folder.path()) +
              QStringLiteral(" \"${ids[SLURM_ARRAY_TASK_ID - 1]}\"\n");
    return script.toUtf8();
}

QStringList SlurmEngine::submitArguments(const EngineRequest& request, const QString& script) {
    QString array = QStringLiteral("--array=1-%1").arg(request.ids.size());
    if (request.jobsGiven && request.jobs < request.ids.size())
        array += QStringLiteral("%%1").arg(request.jobs);
    return QStringList{QStringLiteral("--parsable"), array,
                       QStringLiteral("--output=%1/%A_%a.out").arg(outputPattern(request.folder)),
                       QStringLiteral("--chdir=%1").arg(slurmFolder(request.folder))} +
           request.engineArguments + QStringList{script};
}

bool SlurmEngine::settleEarlier(const StudyFolder& folder, const StudyRecord& record,
                                QString& problem) {
    // A study never submitted asks no queue: the local engine runs where there is no Slurm.
    const auto earlier = latestSubmission(folder);
    if (!earlier)
        return true;
    const Queue queued = queue(earlier->job);
    if (!queued.known) {
        problem = QStringLiteral("cannot tell whether the study's array %1 still runs: %2")
                      .arg(earlier->job, queued.problem);
        return false;
    }
    if (!queued.empty()) {
        problem = QStringLiteral("the study's array %1 is still queued or running; wait for "
                                 "it (cellvane-study status %2) or cancel it "
                                 "(cellvane-study cancel %2)")
                      .arg(earlier->job, folder.path());
        return false;
    }
    // Its tasks that were killed left files saying they run.
    settle(folder, record, *earlier, false);
    return true;
}

bool SlurmEngine::submit(const EngineRequest& request, QString& problem) {
    // Asked again just before sbatch: the array of another shell's run may have come since.
    if (!settleEarlier(request.folder, request.record, problem))
        return false;
    const QString folder = slurmFolder(request.folder);
    const QString script = folder + QStringLiteral("/array.sh");
    if (!QDir().mkpath(folder)) {
        problem = QStringLiteral("cannot make the folder %1").arg(folder);
        return false;
    }
    if (!writeWhole(script, arrayScript(request), problem))
        return false;
    QFile::setPermissions(script, QFile::permissions(script) | QFileDevice::ExeOwner);

    const ToolResult result = runTool(QStringLiteral("sbatch"), submitArguments(request, script));
    if (!result.started) {
        problem = result.err;
        return false;
    }
    const QString job = result.out.trimmed().section(QLatin1Char(';'), 0, 0);
    if (result.exitCode != 0 ||
        !QRegularExpression(QStringLiteral("^\\d+$")).match(job).hasMatch()) {
        problem = QStringLiteral("sbatch refused the array: %1").arg(result.problem());
        return false;
    }
    submitted = job;

    QJsonArray jobs = readJobs(request.folder);
    jobs.append(QJsonObject{
        {QStringLiteral("job"), job},
        {QStringLiteral("submitted"), timestamp()},
        {QStringLiteral("arguments"), QJsonArray::fromStringList(request.engineArguments)},
        {QStringLiteral("ids"), QJsonArray::fromStringList(request.ids)}});
    if (!writeWhole(jobsFile(request.folder), QJsonDocument(jobs).toJson(), problem)) {
        // Unrecorded, the array could be neither followed nor cancelled by the study.
        runTool(QStringLiteral("scancel"), {job});
        submitted.clear();
        return false;
    }
    return true;
}

bool SlurmEngine::wait(const EngineRequest& request, const std::function<void(int running)>& report,
                       QString& problem) {
    const auto submission = latestSubmission(request.folder);
    if (!submission || submission->job != submitted) {
        problem =
            QStringLiteral("no array of this run is recorded in %1").arg(jobsFile(request.folder));
        return false;
    }
    QElapsedTimer unreachable;
    QElapsedTimer asked;
    int queueRunning = 0;
    int reported = -1;
    const bool pollFiles = request.ids.size() <= mostFilesPolled;
    for (;;) {
        const bool askQueue = !asked.isValid() || asked.elapsed() >= pollMilliseconds;
        if (askQueue) {
            asked.start();
            const Queue queued = queue(submitted);
            if (queued.known) {
                unreachable.invalidate();
                // A task whose variant is recorded is only exiting; it no longer counts.
                queueRunning = std::min(queued.running, unfinished(request));
                if (queued.empty())
                    break;
            } else if (!unreachable.isValid()) {
                unreachable.start();
            } else if (unreachable.elapsed() > unreachableMilliseconds) {
                problem = QStringLiteral("the queue has not answered for five minutes (%1); the "
                                         "array %2 runs on: follow it with cellvane-study status "
                                         "%3")
                              .arg(queued.problem, submitted, request.folder.path());
                return false;
            }
        }
        const int running =
            std::max(queueRunning, askQueue || pollFiles ? runningFiles(request) : reported);
        // The caller reads the whole study for a report: only at the queue's pace, or when the
        // count changed.
        if (askQueue || running != reported)
            report(running);
        reported = running;
        QThread::msleep(pollFiles ? filePollMilliseconds : pollMilliseconds);
    }
    settle(request.folder, request.record, *submission, true);
    report(0);
    return true;
}

std::optional<int> SlurmEngine::running(const StudyFolder& folder) {
    const auto submission = latestSubmission(folder);
    if (!submission)
        return 0;
    const Queue queued = queue(submission->job);
    if (!queued.known)
        return std::nullopt;
    return queued.running;
}

bool SlurmEngine::cancel(const StudyFolder& folder, QString& problem) {
    const auto submission = latestSubmission(folder);
    if (!submission) {
        problem = QStringLiteral("the study in %1 has submitted no array").arg(folder.path());
        return false;
    }
    Queue queued = queue(submission->job);
    if (!queued.known) {
        problem = queued.problem;
        return false;
    }
    if (queued.empty()) {
        problem = QStringLiteral("the study's array %1 is neither queued nor running")
                      .arg(submission->job);
        return false;
    }
    const ToolResult result = runTool(QStringLiteral("scancel"), {submission->job});
    if (!result.started || result.exitCode != 0) {
        problem = QStringLiteral("scancel %1 failed: %2").arg(submission->job, result.problem());
        return false;
    }
    // The variants finished before stay; the killed ones must not look running to the rerun.
    QElapsedTimer clock;
    clock.start();
    while (!(queued = queue(submission->job)).empty() && clock.elapsed() < cancelMilliseconds)
        QThread::msleep(500);
    if (!queued.empty()) {
        problem = QStringLiteral("the array %1 was cancelled but its tasks have not ended yet")
                      .arg(submission->job);
        return false;
    }
    QString ignored;
    if (const auto record = StudyRecord::read(folder.recordFile(), ignored)) {
        settle(folder, *record, *submission, true);
        // Whatever of the array had not finished, this cancel stopped, the tasks Slurm never
        // started (and may not account for) among them.
        for (const QString& id : submission->ids)
            if (const VariantTable::Variant* variant = record->table.find(id);
                variant && !readFinished(folder, *record, *variant))
                markCancelled(folder, id,
                              QStringLiteral("cancelled with the array %1").arg(submission->job));
    }
    return true;
}

SlurmEngine::Queue SlurmEngine::queue(const QString& job) {
    // -r lists every task of the array on a line of its own, the pending ones too.
    const ToolResult result =
        runTool(QStringLiteral("squeue"),
                {QStringLiteral("--noheader"), QStringLiteral("--array"),
                 QStringLiteral("--jobs=") + job, QStringLiteral("--format=%K %t")});
    Queue queued;
    if (!result.started) {
        queued.problem = result.err;
        return queued;
    }
    if (result.exitCode != 0) {
        // A job the controller has forgotten is one that ended long ago.
        if (result.err.contains(QStringLiteral("Invalid job id"))) {
            queued.known = true;
            return queued;
        }
        queued.problem = QStringLiteral("squeue: %1").arg(result.problem());
        return queued;
    }
    queued.known = true;
    for (const QString& line : result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString state = line.section(QLatin1Char(' '), 1, 1);
        // Running, completing, configuring its nodes: the variant has a node.
        if (state == QStringLiteral("R") || state == QStringLiteral("CG") ||
            state == QStringLiteral("CF"))
            ++queued.running;
        else
            ++queued.waiting;
    }
    return queued;
}

bool SlurmEngine::Ending::recorded() const {
    return exitCode == QStringLiteral("0:0") || exitCode == QStringLiteral("1:0");
}

QMap<int, SlurmEngine::Ending> SlurmEngine::endings(const QString& job) {
    QMap<int, Ending> endings;
    const ToolResult accounted = runTool(
        QStringLiteral("sacct"), {QStringLiteral("--noheader"), QStringLiteral("--parsable2"),
                                  QStringLiteral("--allocations"), QStringLiteral("--jobs=") + job,
                                  QStringLiteral("--format=JobID,State,ExitCode")});
    if (accounted.started && accounted.exitCode == 0) {
        // "12_3|TIMEOUT|0:0"; the array's pending remainder reads "12_[4-6]" and is skipped.
        for (const QString& line : accounted.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(QLatin1Char('|'));
            bool number = false;
            const int task = fields[0].section(QLatin1Char('_'), 1).toInt(&number);
            if (number && fields.size() >= 3)
                endings[task] = Ending{fields[1], fields[2]};
        }
        if (!endings.isEmpty())
            return endings;
    }
    // Without accounting the controller still knows jobs that ended a few minutes ago.
    const ToolResult shown =
        runTool(QStringLiteral("scontrol"),
                {QStringLiteral("--oneliner"), QStringLiteral("show"), QStringLiteral("job"), job});
    if (!shown.started || shown.exitCode != 0)
        return endings;
    const QRegularExpression task(QStringLiteral("\\bArrayTaskId=(\\d+)\\b"));
    const QRegularExpression state(QStringLiteral("\\bJobState=(\\S+)"));
    const QRegularExpression exit(QStringLiteral("\\bExitCode=(\\S+)"));
    for (const QString& line : shown.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const auto taskMatch = task.match(line);
        const auto stateMatch = state.match(line);
        if (taskMatch.hasMatch() && stateMatch.hasMatch())
            endings[taskMatch.captured(1).toInt()] =
                Ending{stateMatch.captured(1), exit.match(line).captured(1)};
    }
    return endings;
}

} // namespace Core::Study
