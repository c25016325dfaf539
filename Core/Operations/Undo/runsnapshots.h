#pragma once

#include "Core/Operations/Undo/journalcells.h"
#include "Core/Operations/Undo/totalvolumeundoredohelper.h"
#include "Util/progressreporter.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace Core::Operations {

// The cells of one operation's volume just before and just after its run, kept in the
// snapshot files, and the undo and redo that put them back. Every step that changes cells in
// place holds one, under a state key of its own kind.
class RunSnapshots {
public:
    using Engine = std::function<void(Model::Automaton::TotalVolume&, Util::ProgressReporter&)>;

    // How a run ended. Whatever the way, the cells are either the run's result or, after a
    // cancel or a failure, exactly the cells from before it.
    // NotRestored: the run stopped half-way and there was no copy of the cells to put back (no
    // memory for one).
    // NotRecorded: the cells could not be recorded for undo and the user chose not to run the
    // step without undo; nothing ran and `failure` holds why the record failed.
    enum class Outcome { Finished, Cancelled, OutOfMemory, Failed, NotRestored, NotRecorded };

    RunSnapshots(const QString& stateKey, OperationContext& context);

    // Instances are numbered per state key, not per class: processes that share a key would
    // otherwise write records under the same key and number, and an undo could load the other
    // process's cells.
    static int nextInstance(const QString& stateKey);
    // Records of `stateKey` up to `instance` exist already (those of a recovered journal):
    // nextInstance() gives only later ones, so that no new record shares their name.
    static void reserveInstances(const QString& stateKey, int instance);

    // The whole run of the step called `name`, as one long piece of work of the host (which
    // shows its progress and may cancel it): records the cells, runs `engine`, records them
    // again and rebuilds the volume's surface. After a cancel or an exception (memory running
    // out in a pool task included) every cell is put back from before the run, the surface is
    // rebuilt over it and the silicon lattice is marked out of date; `failure` then holds the
    // exception's text for Failed. No lock is left held either way.
    // When the cells cannot be recorded for undo (a full disk, an unwritable folder), the user
    // is asked before anything runs whether to run the step without undo.
    Outcome run(Model::Automaton::TotalVolume& volume, const QString& name, const Engine& engine,
                QString* failure = nullptr);

    // Records the cells, runs `engine`, records them again. When the engine throws, the cells
    // from before stay recorded, so that they can be put back. With `undoRequired`, a record
    // before the run that cannot be written throws NotRecorded before the engine starts.
    struct NotRecorded {};
    void record(Model::Automaton::TotalVolume& volume, const std::function<void()>& engine,
                bool undoRequired = false);

    // Whether the finished run can be undone; when not, notUndoableMessage() says why.
    bool isUndoable() const { return recordedBoth; }
    QString notUndoableMessage() const;

    // Reload the cells from before (after) the run, redraw, mark the silicon lattice out of
    // date and put the volume's last process back to what it was then. False, with the cells
    // and the history unchanged, when they were not recorded or cannot be read back; the
    // operation then tells the user lostMessage().
    bool undo(Model::Automaton::TotalVolume& volume);
    bool redo(Model::Automaton::TotalVolume& volume);

    // Where the cells of `volumeId` after the run (after its undo) are recorded; nothing
    // unless both records were written.
    std::optional<JournalCells> journalCells(int volumeId, bool undone) const;

    static QString lostMessage();
    // The question asked before a step runs without undo.
    static QString withoutUndoTitle();
    static QString withoutUndoQuestion(const QString& name, const QString& problem);
    // Why a run stopped half-way, as a console message to follow the operation's name; empty
    // for a cancel, which the operation's cancel text reports.
    static QString stopMessage(Outcome outcome, const QString& failure);

private:
    // The cells from before the run, from the copy kept for it. False when there was no
    // memory for one.
    bool putBackCells(Model::Automaton::TotalVolume& volume);
    Outcome restoreAfter(Model::Automaton::TotalVolume& volume, const QString& name,
                         Outcome outcome);
    Outcome attempt(Model::Automaton::TotalVolume& volume, const QString& name,
                    const Engine& engine, QString* failure, bool undoRequired);

    TotalVolumeUndoRedoHelper helper;
    OperationContext& context;
    bool recordedBefore = false;
    // Only both records together make the run undoable: undoing without a way to redo would
    // throw the newest cells away.
    bool recordedBoth = false;
    // The volume's last process before the run and after it.
    unsigned lastBefore = 0;
    unsigned lastAfter = 0;
    // Why the last record could not be written; empty when both were.
    QString recordProblem;
};

} // namespace Core::Operations
