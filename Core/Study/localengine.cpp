#include "Core/Study/localengine.h"

#include "Core/Study/variantstatus.h"
#include "Core/Study/varianttask.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <memory>

namespace Core::Study {

bool LocalEngine::submit(const EngineRequest& request, QString&) {
    queue = request.ids;
    return true;
}

bool LocalEngine::wait(const EngineRequest& request, const std::function<void(int running)>& report,
                       QString&) {
    QEventLoop loop;
    int active = 0;
    std::vector<std::unique_ptr<QProcess>> tasks;

    const auto recordEnd = [&request](const QString& id, QProcess& task) {
        if (task.exitStatus() == QProcess::NormalExit &&
            task.exitCode() != VariantTask::NotRecorded)
            return;
        // Killed between its last write and its end, a task has recorded all there is.
        const VariantTable::Variant* variant = request.record.table.find(id);
        if (variant && readFinished(request.folder, request.record, *variant))
            return;
        QString reason;
        if (task.error() == QProcess::FailedToStart)
            reason = QStringLiteral("the task could not be started: %1").arg(task.errorString());
        else if (task.exitStatus() == QProcess::CrashExit)
            reason = QStringLiteral("the task ended abnormally (%1)").arg(task.errorString());
        else
            reason = QString::fromUtf8(task.readAllStandardError()).trimmed();
        if (reason.isEmpty())
            reason = QStringLiteral("the task wrote no metrics");
        VariantTask::recordFailure(request.folder, request.record, id, reason);
    };

    std::function<void()> startNext = [&] {
        while (active < request.jobs && !queue.isEmpty()) {
            const QString id = queue.takeFirst();
            auto task = std::make_unique<QProcess>();
            QProcess* process = task.get();
            process->setProgram(request.program);
            process->setArguments({QStringLiteral("task"), request.folder.path(), id,
                                   QStringLiteral("--threads"), QString::number(request.threads)});
            process->setStandardOutputFile(QProcess::nullDevice());
            // A task that cannot start reports an error and no end; one that ran reports both.
            const auto ended = std::make_shared<bool>(false);
            const auto end = [&, process, id, ended] {
                if (*ended)
                    return;
                *ended = true;
                recordEnd(id, *process);
                --active;
                // Started from the loop, not from within the process's own signal; the report
                // comes once the next variant runs, so a log's line counts it.
                QTimer::singleShot(0, &loop, [&] { startNext(); });
            };
            QObject::connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished),
                             &loop, end);
            QObject::connect(process, &QProcess::errorOccurred, &loop,
                             [end](QProcess::ProcessError error) {
                                 if (error == QProcess::FailedToStart)
                                     end();
                             });
            ++active;
            tasks.push_back(std::move(task));
            process->start();
        }
        report(active);
        if (active == 0 && queue.isEmpty())
            loop.quit();
    };

    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] { report(active); });
    ticker.start(1000);
    QTimer::singleShot(0, &loop, [&] { startNext(); });
    loop.exec();
    return true;
}

bool LocalEngine::cancel(const StudyFolder&, QString& problem) {
    problem = QStringLiteral("a study on the local engine stops with its run (Ctrl-C)");
    return false;
}

} // namespace Core::Study
