#include "Core/Operations/Undo/runsnapshots.h"

#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/totalvolume.h"

#include <QLoggingCategory>

#include <algorithm>
#include <map>
#include <mutex>
#include <new>

namespace Core::Operations {

namespace {
Q_LOGGING_CATEGORY(lcRunSnapshots, "Core/Operations/Undo/runsnapshots", QtInfoMsg)
} // namespace

using Model::Automaton::TotalVolume;

namespace {

std::mutex counterLock;
std::map<QString, int>& counters() {
    static std::map<QString, int> instances;
    return instances;
}

} // namespace

int RunSnapshots::nextInstance(const QString& stateKey) {
    std::lock_guard<std::mutex> guard(counterLock);
    return counters()[stateKey]++;
}

void RunSnapshots::reserveInstances(const QString& stateKey, int instance) {
    std::lock_guard<std::mutex> guard(counterLock);
    int& next = counters()[stateKey];
    next = std::max(next, instance + 1);
}

RunSnapshots::RunSnapshots(const QString& stateKey, OperationContext& context)
    : helper(stateKey, nextInstance(stateKey), context), context(context) {}

RunSnapshots::Outcome RunSnapshots::run(TotalVolume& volume, const QString& name,
                                        const Engine& engine, QString* failure) {
    lastBefore = context.processHistory.lastOperation(volume.getId());
    Outcome outcome = attempt(volume, name, engine, failure, true);
    if (outcome == Outcome::NotRecorded) {
        // Nothing has run yet. A step that cannot be taken back is the user's call, and in a
        // run nobody answers (confirm() says no) it fails with the reason instead.
        if (!context.prompts.confirm(withoutUndoTitle(),
                                     withoutUndoQuestion(name, recordProblem))) {
            if (failure)
                *failure = recordProblem;
            return outcome;
        }
        outcome = attempt(volume, name, engine, failure, false);
    }
    if (outcome != Outcome::Finished)
        outcome = restoreAfter(volume, name, outcome);
    helper.forgetBefore();
    return outcome;
}

RunSnapshots::Outcome RunSnapshots::attempt(TotalVolume& volume, const QString& name,
                                            const Engine& engine, QString* failure,
                                            bool undoRequired) {
    Outcome outcome = Outcome::Finished;
    try {
        context.host.runMonitored(name, [&](Util::ProgressReporter& progress) {
            progress.start(0, QStringLiteral("Recording the cells for undo"));
            record(
                volume,
                [&] {
                    engine(volume, progress);
                    progress.start(0, QStringLiteral("Recording the cells for redo"));
                },
                undoRequired);
            volume.getPainter().rebuild(progress);
        });
    } catch (const NotRecorded&) {
        outcome = Outcome::NotRecorded;
    } catch (const Util::RunCancelled&) {
        outcome = Outcome::Cancelled;
    } catch (const std::bad_alloc&) {
        outcome = Outcome::OutOfMemory;
    } catch (const std::exception& error) {
        outcome = Outcome::Failed;
        if (failure)
            *failure = QString::fromLocal8Bit(error.what());
    } catch (...) {
        outcome = Outcome::Failed;
        if (failure)
            *failure = QStringLiteral("unknown error");
    }
    return outcome;
}

RunSnapshots::Outcome RunSnapshots::restoreAfter(TotalVolume& volume, const QString& name,
                                                 Outcome outcome) {
    qCDebug(lcRunSnapshots) << name << "stopped half-way; putting the cells back";
    bool restored = false;
    try {
        context.host.runMonitored(
            name,
            [&](Util::ProgressReporter& progress) {
                progress.start(0, QStringLiteral("Restoring the cells"));
                restored = putBackCells(volume);
                volume.getPainter().rebuild();
            },
            false);
    } catch (...) {
        // Only the surface can have failed here: the cells were put back before it was built.
        qCWarning(lcRunSnapshots) << "The surface of" << name << "could not be rebuilt";
    }
    recordedBoth = false;
    // Whatever the run did to the silicon lattice cannot be trusted by the next etch.
    context.processHistory.setLatticeRebuildNeeded(volume.getId(), true);
    context.notifyUpdateObservers();
    return restored ? outcome : Outcome::NotRestored;
}

void RunSnapshots::record(TotalVolume& volume, const std::function<void()>& engine,
                          bool undoRequired) {
    recordProblem.clear();
    // The cells are kept for a cancel even when they cannot be recorded for undo.
    recordedBefore = helper.recordBefore(volume, &recordProblem);
    recordedBoth = false;
    if (!recordedBefore && undoRequired)
        throw NotRecorded();
    engine();
    // Without the record from before, the one after is of no use.
    recordedBoth = recordedBefore && helper.recordAfter(volume, &recordProblem);
}

bool RunSnapshots::putBackCells(TotalVolume& volume) {
    return helper.putBack(volume);
}

bool RunSnapshots::undo(TotalVolume& volume) {
    // The step recorded itself as the volume's last process once the run had finished.
    const unsigned after = context.processHistory.lastOperation(volume.getId());
    if (!recordedBoth || !helper.undo(volume))
        return false;
    lastAfter = after;
    context.processHistory.recordOperation(volume.getId(), lastBefore);
    return true;
}

bool RunSnapshots::redo(TotalVolume& volume) {
    if (!recordedBoth || !helper.redo(volume))
        return false;
    context.processHistory.recordOperation(volume.getId(), lastAfter);
    return true;
}

std::optional<JournalCells> RunSnapshots::journalCells(int volumeId, bool undone) const {
    if (!recordedBoth)
        return std::nullopt;
    return JournalCells{volumeId, undone, helper.getKey(), helper.getInstance(), QString()};
}

QString RunSnapshots::stopMessage(Outcome outcome, const QString& failure) {
    switch (outcome) {
    case Outcome::OutOfMemory:
        return QStringLiteral(": Not enough memory for this step; the cell volume is as it was.");
    case Outcome::Failed:
        return QStringLiteral(": The step failed (%1); the cell volume is as it was.").arg(failure);
    case Outcome::NotRecorded:
        return QStringLiteral(": The cells could not be recorded for undo (%1); the step did not "
                              "run.")
            .arg(failure);
    case Outcome::NotRestored:
        return QStringLiteral(": The step stopped half-way and the cells could not be restored "
                              "because there was not enough memory to keep them.");
    default:
        return QString();
    }
}

QString RunSnapshots::notUndoableMessage() const {
    return QStringLiteral(": This step cannot be undone: %1.").arg(recordProblem);
}

QString RunSnapshots::withoutUndoTitle() {
    return QStringLiteral("Run without undo");
}

QString RunSnapshots::withoutUndoQuestion(const QString& name, const QString& problem) {
    return QStringLiteral("The cells cannot be recorded for undo before %1: %2.\n\nRun %1 "
                          "anyway? It cannot be undone.")
        .arg(name, problem);
}

QString RunSnapshots::lostMessage() {
    return QStringLiteral(": The cells could not be restored because the undo snapshot files "
                          "could not be written.");
}

} // namespace Core::Operations
