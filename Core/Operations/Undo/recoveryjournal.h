#pragma once

#include "Core/Operations/Undo/journalcells.h"
#include "Model/layer.h"

#include <QDateTime>
#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

class QRunnable;
class QThreadPool;

namespace Core::Operations {

class OperationContext;

// The window's recovery journal, in its session folder: after every finished step the document
// can be rebuilt from it exactly as it was, should the program die before the next one.
//
// It holds a base document (written in full after a step that changes what the document holds)
// and a small manifest, journal.json, naming the base, the undo records of the cells changed
// since (applied to the base in order), the process history, the file the work started from and the
// number of steps. A step that changes cells in place costs only a new manifest: its cells are
// already in the snapshot files beside it. Every file is written to a temporary and renamed
// over the old one after an fsync, off the user-interface thread and in order, so a kill at any
// moment leaves the journal of some finished step.
class RecoveryJournal {
public:
    explicit RecoveryJournal(OperationContext& context);
    // Waits for the writes queued so far.
    ~RecoveryJournal();

    RecoveryJournal(const RecoveryJournal&) = delete;
    RecoveryJournal& operator=(const RecoveryJournal&) = delete;

    // A step finished, was undone or was redone. `cells`: where the only change it made, the
    // cells of one volume, was already recorded; without it the whole document is written.
    // Waits for the journal of the step before, so that a kill loses at most this one.
    void stepFinished(const std::optional<JournalCells>& cells = std::nullopt);
    // The document was saved, opened or made new: there is nothing unsaved to recover.
    void documentClean();
    // Continues the count of a recovered journal, so that its work stays counted.
    void setSteps(int count) { steps = count; }
    int getSteps() const { return steps; }

    // Blocks until every write queued so far is done.
    void waitForWrites();
    // Why the last journal write failed ("journal.json: No space left on device"), emptied by
    // the call; empty when every write since the last call succeeded.
    QString takeProblem();
    // Called on the writing thread after each committed manifest, with its step count.
    void setCommittedCallback(std::function<void(int steps)> callback);
    // Called on the writing thread when the journal stops holding the last finished step (with
    // the reason) and again, with `protectedNow` true, once a later step's journal is whole.
    // Each change is told once, however many writes fail in a row.
    void
    setProtectionCallback(std::function<void(bool protectedNow, const QString& reason)> callback);
    // Waits for the writes queued so far; true when the journal on disk holds the last step
    // finished (or there is nothing unsaved to hold).
    bool isUpToDate();

    static const QString manifestName;

    // What a journal says about itself, for the question asked before recovering it.
    struct Summary {
        QDateTime time;
        int steps = 0;
        QString fileName;
    };
    // Nothing when the folder has no journal (the program died before its first step or
    // after a save); `problem` is set when there is one but it cannot be read.
    static std::optional<Summary> readSummary(const QString& folder, QString* problem);

    // One record applied since the base: the step (or its undo) that wrote it.
    struct RecoveredRecord {
        int volume = -1; // the volume's position in `objects`
        JournalCells cells;
        // The volume's last process before the step and after it.
        unsigned lastBefore = 0;
        unsigned lastAfter = 0;
    };
    struct Recovered {
        Summary summary;
        QString folder;
        Model::ObjectList objects;
        // By the volume's position in `objects`.
        std::map<int, unsigned> lastOperations;
        std::map<int, bool> latticeRebuilds;
        std::vector<RecoveredRecord> records;
        // The dead program's material ids -> this registry's.
        std::shared_ptr<const std::map<std::uint32_t, std::uint32_t>> materialIds;
    };
    // Reads the whole journal of `folder` without touching any document. Nothing, with the
    // reason, when any part of it is missing or damaged: a journal is recovered whole or not.
    static std::optional<Recovered> load(const QString& folder, OperationContext& context,
                                         QString* problem);
    // Puts what was recovered into the context's (empty) document: marked modified, under the
    // file name it had, with the steps since the base on its undo and redo stacks (their records
    // copied into the context's snapshot files).
    static void apply(OperationContext& context, const Recovered& recovered);

private:
    struct Manifest;
    void queue(std::function<void()> job);
    void fail(const QString& problem);
    int indexOf(int volumeId) const;
    static void restoreUndoHistory(OperationContext& context, const Recovered& recovered);
    // False when the manifest could not be committed.
    bool writeManifest(const Manifest& manifest);
    // On the writing thread: a write failed, or a manifest was committed.
    void setProtected(bool protectedNow, const QString& reason);

    OperationContext& context;
    std::unique_ptr<QThreadPool> writer;
    int steps = 0;
    int baseNumber = 0;
    // Whether the document is `baseName` with `changedCells` applied, so that a step that
    // changes cells in place needs only a manifest. Both name what a committed manifest named:
    // a base still being written is `pendingBase` until its manifest is committed, and one
    // that fails leaves the journal of the step before it whole.
    bool haveBase = false;
    QString baseName;
    QString pendingBase;
    // The records of the cells changed since the base, in the order of the steps, with the
    // position of the volume each changed.
    std::vector<std::pair<int, JournalCells>> changedCells;
    // The last process of each volume (by id) as of the step before; with each record, what
    // an undo of a recovered step puts back.
    std::map<int, unsigned> lastSeen;
    std::vector<std::pair<unsigned, unsigned>> changedHistory;

    std::mutex problemLock;
    // Jobs wait here; one runnable, made before the writer's thread, takes them in order, so
    // that nothing a job needs passes through the pool's own (unsanitized) hand-over.
    std::mutex handoff;
    std::deque<std::function<void()>> jobs;
    std::unique_ptr<QRunnable> takeNext;
    QString problem;
    std::function<void(int)> committed;
    std::function<void(bool, const QString&)> protectionChanged;
    // Written on the writing thread, read after waitForWrites().
    QString committedBase;
    int committedSteps = 0;
    bool journalProtected = true;
};

} // namespace Core::Operations
