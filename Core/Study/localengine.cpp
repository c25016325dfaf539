#include "Core/Study/localengine.h"

#include "Core/Study/variantstatus.h"
#include "Core/Study/varianttask.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <iterator>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace Core::Study {

namespace {

// A task in a process group of its own: Ctrl-C at the terminal reaches the run alone, which
// stops its tasks itself and knows which ones it stopped.
class TaskProcess : public QProcess {
protected:
    void setupChildProcess() override { ::setpgid(0, 0); }
};

// Turns Ctrl-C, a hang-up and a plain kill into a readable socket while the run waits, so that
// the run, not the signal, decides how to end.
class StopSignals {
public:
    StopSignals() {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return;
        writeEnd = pair[1];
        struct sigaction action {};
        action.sa_handler = [](int number) {
            const char byte = char(number);
            [[maybe_unused]] const ssize_t sent = ::write(writeEnd, &byte, 1);
        };
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < std::size(numbers); ++i)
            ::sigaction(numbers[i], &action, &previous[i]);
        notifier = std::make_unique<QSocketNotifier>(pair[0], QSocketNotifier::Read);
    }
    ~StopSignals() {
        if (!notifier)
            return;
        for (std::size_t i = 0; i < std::size(numbers); ++i)
            ::sigaction(numbers[i], &previous[i], nullptr);
        notifier.reset();
        writeEnd = -1;
        ::close(pair[0]);
        ::close(pair[1]);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    QSocketNotifier* received() const { return notifier.get(); }
    // The signal that arrived, once the notifier fired.
    int take() const {
        char byte = 0;
        return ::read(pair[0], &byte, 1) == 1 ? int(byte) : SIGINT;
    }

private:
    static inline volatile int writeEnd = -1;
    static constexpr int numbers[] = {SIGINT, SIGTERM, SIGHUP};
    int pair[2] = {-1, -1};
    struct sigaction previous[std::size(numbers)]{};
    std::unique_ptr<QSocketNotifier> notifier;
};

} // namespace

bool LocalEngine::submit(const EngineRequest& request, QString&) {
    queue = request.ids;
    return true;
}

bool LocalEngine::wait(const EngineRequest& request, const std::function<void(int running)>& report,
                       QString& problem) {
    QEventLoop loop;
    int active = 0;
    std::vector<std::unique_ptr<QProcess>> tasks;
    // The variants whose tasks a signal stopped.
    QStringList stopped;
    bool stopping = false;

    const auto recordEnd = [&request](const QString& id, QProcess& task) {
        // The metrics file is the task's word, whatever its exit status says: killed between
        // its last write and its end, a task has recorded all there is; ending "done" without
        // one, it has recorded nothing.
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
            reason = QStringLiteral("the task ended with exit status %1 but wrote no metrics")
                         .arg(task.exitCode());
        VariantTask::recordFailure(request.folder, request.record, id, reason);
    };

    std::function<void()> startNext = [&] {
        while (!stopping && active < request.jobs && !queue.isEmpty()) {
            const QString id = queue.takeFirst();
            auto task = std::make_unique<TaskProcess>();
            QProcess* process = task.get();
            process->setProgram(request.program);
            // After "--" nothing is an option, whatever a folder or an id starts with.
            process->setArguments({QStringLiteral("task"), QStringLiteral("--threads"),
                                   QString::number(request.threads), QStringLiteral("--"),
                                   request.folder.path(), id});
            process->setStandardOutputFile(QProcess::nullDevice());
            // A task that cannot start reports an error and no end; one that ran reports both.
            const auto ended = std::make_shared<bool>(false);
            const auto end = [&, process, id, ended] {
                if (*ended)
                    return;
                *ended = true;
                if (stopping) {
                    // Stopped, not failed: the variant stays to be run, and nothing may say it
                    // runs.
                    const VariantTable::Variant* variant = request.record.table.find(id);
                    if (!variant || !readFinished(request.folder, request.record, *variant)) {
                        markCancelled(request.folder, id, QStringLiteral("stopped with its run"));
                        stopped << id;
                    }
                } else {
                    recordEnd(id, *process);
                }
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
        if (active == 0 && (queue.isEmpty() || stopping))
            loop.quit();
    };

    StopSignals stopSignals;
    int signalNumber = 0;
    if (QSocketNotifier* received = stopSignals.received())
        QObject::connect(received, &QSocketNotifier::activated, &loop, [&] {
            signalNumber = stopSignals.take();
            if (stopping)
                return;
            stopping = true;
            for (const auto& task : tasks)
                if (task->state() != QProcess::NotRunning)
                    ::kill(pid_t(task->processId()), SIGTERM);
            QTimer::singleShot(0, &loop, [&] { startNext(); });
        });

    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] { report(active); });
    ticker.start(1000);
    QTimer::singleShot(0, &loop, [&] { startNext(); });
    loop.exec();
    if (!stopping)
        return true;
    stopped.sort();
    problem = QStringLiteral("stopped by %1")
                  .arg(signalNumber == SIGINT   ? "Ctrl-C"
                       : signalNumber == SIGHUP ? "a hang-up"
                                                : "a signal");
    problem += stopped.isEmpty()
                   ? QStringLiteral("; no variant was running")
                   : QStringLiteral("; %1 %2 running and %3 stopped, to run again with the next "
                                    "run")
                         .arg(stopped.join(QStringLiteral(", ")),
                              stopped.size() == 1 ? QStringLiteral("was") : QStringLiteral("were"),
                              stopped.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"));
    return false;
}

bool LocalEngine::cancel(const StudyFolder&, QString& problem) {
    problem = QStringLiteral("a study on the local engine stops with its run (Ctrl-C)");
    return false;
}

} // namespace Core::Study
