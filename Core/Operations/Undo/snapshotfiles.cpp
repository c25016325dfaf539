#include "Core/Operations/Undo/snapshotfiles.h"

#include "Core/Operations/Document/documentfile.h"

#include <QFile>
#include <QLoggingCategory>

namespace Core::Operations {

Q_LOGGING_CATEGORY(lcSnapshotFiles, "Core/Operations/Undo/snapshotfiles", QtInfoMsg)

namespace {

bool createEmpty(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Text))
        return false;
    file.close();
    return true;
}

} // namespace

SnapshotFiles::SnapshotFiles() : archivers(DocumentFile::archivers()) {
    // The names are set even without a session, so that every use fails the same plain way.
    const QString folder = session.isValid() ? session.path() : QStringLiteral("/nonexistent");
    undoFile = folder + QStringLiteral("/undo.temp");
    redoFile = folder + QStringLiteral("/redo.temp");
    usable = session.isValid() && createEmpty(undoFile) && createEmpty(redoFile);
    if (!usable)
        qCWarning(lcSnapshotFiles) << "Could not create the undo snapshot files in" << folder
                                   << "; undo of simulations will not restore cells";
}

// The session removes its folder, snapshot files included, unless it is kept for recovery.
SnapshotFiles::~SnapshotFiles() = default;

} // namespace Core::Operations
