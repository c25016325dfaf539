#pragma once

#include "Core/Operations/totalvolumeundoredohelper.h"

#include <QString>

#include <functional>

namespace Core::Operations {

// The cells of one operation's volume just before and just after its run, kept in the
// snapshot files, and the undo and redo that put them back. Every step that changes cells in
// place holds one, under a state key of its own kind.
class RunSnapshots {
public:
    RunSnapshots(const QString& stateKey, OperationContext& context);

    // Instances are numbered per state key, not per class: processes that share a key would
    // otherwise write records under the same key and number, and an undo could load the other
    // process's cells.
    static int nextInstance(const QString& stateKey);

    // Records the cells, runs `engine`, records them again. When the engine throws, the cells
    // from before stay recorded for rollBack().
    void record(Model::Automaton::TotalVolume& volume, const std::function<void()>& engine);
    // After a run that failed half-way: puts back the cells from before it. False when they
    // were not recorded.
    bool rollBack(Model::Automaton::TotalVolume& volume);

    // Reload the cells from before (after) the run, redraw and mark the silicon lattice out of
    // date. False, with the cells unchanged, when they were not recorded or cannot be read back;
    // the operation then tells the user lostMessage().
    bool undo(Model::Automaton::TotalVolume& volume);
    bool redo(Model::Automaton::TotalVolume& volume);

    static QString lostMessage();

private:
    TotalVolumeUndoRedoHelper helper;
    bool recordedBefore = false;
    // Only both records together make the run undoable: undoing without a way to redo would
    // throw the newest cells away.
    bool recordedBoth = false;
};

} // namespace Core::Operations
