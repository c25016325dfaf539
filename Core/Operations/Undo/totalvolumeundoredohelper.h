#pragma once

#include <QString>

namespace Model::Automaton {
class TotalVolume;
}

namespace Core::Operations {

class OperationContext;

// Undo and redo of a simulation that changes a volume's cells in place. The volume's
// materials just before and just after the run are appended, one line each, to the
// presenter's undo and redo snapshot files; undo() and redo() load them back.
//
// The protocol (SnapshotProcessOperation follows it for every in-place process):
//
//     recorded = helper.recordBefore(volume) && ...;   // just before the engine runs
//     engine.run();
//     recorded = helper.recordAfter(volume) && recorded; // just after
//     ...
//     undo: if (!helper.undo(volume)) tell the user the cells were left unchanged
//     redo: if (!helper.redo(volume)) likewise
//
// Records are told apart only by key and instance, so no two operations may share both.
// Record line: key, instance, then sizeX * sizeY * sizeZ material ids in cell order.
class TotalVolumeUndoRedoHelper {
public:
    TotalVolumeUndoRedoHelper(const QString& key, int instance, OperationContext& context);

    // Append the volume's current materials as this operation's record to the undo (before)
    // or redo (after) file. False when nothing was written: the snapshot files could not be
    // created at start-up, or the write failed (a partial line is cut off again); `problem`
    // then says why, naming the file and the system's reason.
    bool recordBefore(Model::Automaton::TotalVolume& volume, QString* problem = nullptr);
    bool recordAfter(Model::Automaton::TotalVolume& volume, QString* problem = nullptr);

    // Reload the record before (after) the run, rebuild the painter, mark the silicon lattice
    // out of date and have the views redraw. False when no complete record could be read; the
    // cells are then left exactly as they were.
    bool undo(Model::Automaton::TotalVolume& volume);
    bool redo(Model::Automaton::TotalVolume& volume);

    // Overwrites the volume's materials (both arrays) with the first record of `fileName` that
    // has this key and instance. A missing file or no matching record leaves the volume
    // unchanged, and so does a matching record that is short or holds something other than
    // ids: it is read whole before any cell changes.
    bool loadState(const QString& fileName, Model::Automaton::TotalVolume& volume) const;
    // The writer behind recordBefore/recordAfter.
    bool appendState(const QString& fileName, Model::Automaton::TotalVolume& volume,
                     QString* problem = nullptr) const;

    const QString& getKey() const { return key; }
    int getInstance() const { return instance; }

private:
    bool restore(const QString& fileName, Model::Automaton::TotalVolume& volume);

    QString key;
    int instance;
    OperationContext& context;
};

} // namespace Core::Operations
