#pragma once

#include "Core/Study/studyrecord.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace Core::Study {

// What `run` hands an engine once DIR is prepared: study.json, list.plst and variants.csv are
// written, and `ids` are the variants still to run (missing or failed), in table order.
struct EngineRequest {
    StudyFolder folder{QString()};
    StudyRecord record;
    QStringList ids;
    // At most this many variants at once (local: worker processes; a cluster: the array's
    // limit), each on `threads` threads.
    int jobs = 1;
    // Whether `jobs` was asked for (--jobs) rather than taken from this machine's cores, which
    // say nothing of a cluster's.
    bool jobsGiven = false;
    int threads = 1;
    // This program, as a task is started: `program task DIR ID --threads T`.
    QString program;
    // Passed through to the engine's own tools (--slurm-arg).
    QStringList engineArguments;
};

// Where the variants run. An engine only starts `cellvane-study task DIR ID` for each variant
// and follows them; the task writes the variant's files, so what a variant gives never depends
// on the engine. Progress is read from the metrics files by the caller; an engine adds only
// how many variants it has running.
class StudyEngine {
public:
    virtual ~StudyEngine() = default;
    virtual QString name() const = 0;

    // Before a run on `folder` decides what to run, whichever engine it uses: false, with the
    // reason, while variants the engine started there still run or wait (one run at a time);
    // otherwise clears what its ended tasks left saying they run. Nothing is written to the
    // study's record before every engine said yes.
    virtual bool settleEarlier(const StudyFolder& folder, const StudyRecord& record,
                               QString& problem) {
        (void)folder;
        (void)record;
        (void)problem;
        return true;
    }
    // Starts (or queues) the request's variants. False, with the reason, when none could be.
    virtual bool submit(const EngineRequest& request, QString& problem) = 0;
    // Whether wait() may be skipped (--no-wait): the variants run on without this process.
    virtual bool runsDetached() const { return false; }
    // What the engine calls the work submit() handed over (a cluster's job id), for the user
    // who does not wait; empty when it has no name.
    virtual QString submission() const { return {}; }
    // Follows the submitted variants until none is left running or queued; calls `report`
    // with the number running whenever that may have changed, and at least every few seconds.
    // False, with the reason, when the engine lost track of them.
    virtual bool wait(const EngineRequest& request, const std::function<void(int running)>& report,
                      QString& problem) = 0;
    // How many variants of the study the engine runs now, when it can tell from outside the
    // run (`status` from another shell); nothing to count the variants' running files instead.
    virtual std::optional<int> running(const StudyFolder&) { return std::nullopt; }
    // Stops the study's variants that run or wait now. False, with the reason, when it cannot.
    virtual bool cancel(const StudyFolder& folder, QString& problem) = 0;

    // "local", or another engine by name; nothing, with the reason, for an unknown name.
    static std::unique_ptr<StudyEngine> create(const QString& name, QString& problem);
    static QStringList names();
};

} // namespace Core::Study
