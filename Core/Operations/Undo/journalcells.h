#pragma once

#include <QString>

namespace Core::Operations {

// Where the cells a step changed in one volume were already written by its undo machinery: the
// record `key`/`instance` of the undo file (what an undo wrote) or of the redo file.
struct JournalCells {
    int volumeId = 0;
    bool inUndoFile = false;
    QString key;
    int instance = 0;
    // The step's name as the Edit menu shows it, for the undo history of a recovered document.
    QString name;
};

} // namespace Core::Operations
