#pragma once

#include "Core/Operations/Undo/recoverysession.h"
#include "Model/Persistence/objectarchiver.h"

#include <QString>

namespace Core::Operations {

// The pair of per-run files that snapshot-based operations undo and redo from. They live in
// the window's session folder below the user's cache (never where the user works), from the
// presenter's construction to its destruction; the recovery journal lives beside them.
//
// It also carries the archiver table the save and open operations write and read document
// objects with (cell volumes only); the snapshots themselves use a plain text format.
class SnapshotFiles {
public:
    SnapshotFiles();
    ~SnapshotFiles();

    SnapshotFiles(const SnapshotFiles&) = delete;
    SnapshotFiles& operator=(const SnapshotFiles&) = delete;

    QString getUndoFile() const { return undoFile; }
    QString getRedoFile() const { return redoFile; }
    // False when the files could not be created (neither the cache nor the temporary folder
    // can be written); the names are still set, and undo of snapshot operations then leaves
    // cells unchanged.
    bool isUsable() const { return usable; }
    // Why the files could not be created, naming the folder; empty when they were.
    QString getProblem() const { return problem; }

    Model::Persistence::ArchiverTable& getArchivers() { return archivers; }
    RecoverySession& getSession() { return session; }

private:
    Model::Persistence::ArchiverTable archivers;
    RecoverySession session;
    QString undoFile;
    QString redoFile;
    bool usable = false;
    QString problem;
};

} // namespace Core::Operations
