#pragma once

#include "Model/Automaton/totalvolume.h"

#include <QString>

namespace Core::Operations {

class OperationContext;

// Undo and redo of a simulation that changes cells in place. The operation calls
// recordBefore() just before its engine runs and recordAfter() just after; undo() and redo()
// then reload the volume's materials from those records.
//
// Records are lines "key instance id id id ..." in the run's two snapshot files; the first
// line with this helper's key and instance wins.
class TotalVolumeUndoRedoHelper {
public:
    TotalVolumeUndoRedoHelper(const QString& key, int instance, OperationContext& context);

    // False when the record could not be written; undo or redo of this step then cannot
    // restore cells.
    bool recordBefore(Model::Automaton::TotalVolume& volume);
    bool recordAfter(Model::Automaton::TotalVolume& volume);

    // False when no record was found and the volume was left as it was.
    bool undo(Model::Automaton::TotalVolume& volume);
    bool redo(Model::Automaton::TotalVolume& volume);

    bool loadState(const QString& fileName, Model::Automaton::TotalVolume& volume);
    bool appendState(const QString& fileName, Model::Automaton::TotalVolume& volume);

    const QString& getKey() const { return key; }
    int getInstance() const { return instance; }

private:
    QString key;
    int instance;
    OperationContext& context;
};

} // namespace Core::Operations
