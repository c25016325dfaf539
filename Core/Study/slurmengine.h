#pragma once

#include "Core/Study/studyengine.h"

#include <QMap>

namespace Core::Study {

// Runs the variants as one Slurm job array: DIR/slurm/array.sh starts `cellvane-study task DIR
// ID` for its array task, so any node that has the programs and sees DIR on a shared file
// system runs a variant as the local engine would. Slurm does the scheduling, the requeueing and
// the accounting; this only submits, follows the queue and cancels, through sbatch, squeue,
// sacct and scancel. Every array it submits is recorded in DIR/slurm/jobs.json, so that
// `status` and `cancel` find it from any shell, and a study has at most one array queued at a
// time: a rerun while one is queued would run its variants twice.
class SlurmEngine : public StudyEngine {
public:
    static QString engineName() { return QStringLiteral("slurm"); }
    QString name() const override { return engineName(); }

    // Refuses while the study's latest array is queued, running or cannot be asked about;
    // removes the running files its killed tasks left (a node that failed cannot remove them).
    bool settleEarlier(const StudyFolder& folder, const StudyRecord& record,
                       QString& problem) override;
    bool submit(const EngineRequest& request, QString& problem) override;
    bool runsDetached() const override { return true; }
    bool wait(const EngineRequest& request, const std::function<void(int running)>& report,
              QString& problem) override;
    std::optional<int> running(const StudyFolder& folder) override;
    bool cancel(const StudyFolder& folder, QString& problem) override;

    // The job id of the submitted array.
    QString submission() const override { return submitted; }

    // The job script: array task N runs the N-th of `ids`.
    static QByteArray arrayScript(const EngineRequest& request);
    // The sbatch arguments that submit `script` for the request: ours first, so that the
    // --slurm-arg given after them win.
    static QStringList submitArguments(const EngineRequest& request, const QString& script);

    // Where the array's tasks stand, from `squeue`.
    struct Queue {
        // False when squeue could not answer (the controller unreachable); the counts are then
        // unknown.
        bool known = false;
        int running = 0;
        int waiting = 0;
        QString problem;
        bool empty() const { return known && running + waiting == 0; }
    };
    static Queue queue(const QString& job);
    // How a task of a job array that left the queue ended: its state ("COMPLETED", "CANCELLED
    // by 0", "TIMEOUT", "NODE_FAIL") and exit code ("0:0", "2:0", "0:9" for killed by signal 9).
    struct Ending {
        QString state;
        QString exitCode;
        // Whether the task itself ran to its end: then it recorded the variant (exit 0 done, 1
        // failed), and what the study folder shows, perhaps later on a shared file system, is
        // its word.
        bool recorded() const;
    };
    // Each task's ending, keyed by array task; from sacct, or from the controller's memory of
    // recent jobs where the cluster keeps no accounting. Empty when neither knows the job.
    static QMap<int, Ending> endings(const QString& job);

private:
    QString submitted;
};

} // namespace Core::Study
