#include "Core/Operations/Undo/snapshotfiles.h"

// Upward on purpose: a recovery base is a document, so it is written and read with the one set of
// document archivers instead of a second format of its own.
#include "Core/Operations/Document/documentfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

namespace Core::Operations {

Q_LOGGING_CATEGORY(lcSnapshotFiles, "Core/Operations/Undo/snapshotfiles", QtInfoMsg)

namespace {

bool createEmpty(const QString& name, QString& problem) {
    QFile file(name);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Text)) {
        problem =
            QStringLiteral("the undo snapshot files could not be created in %1: %2")
                .arg(QDir::toNativeSeparators(QFileInfo(name).absolutePath()), file.errorString());
        return false;
    }
    file.close();
    return true;
}

} // namespace

SnapshotFiles::SnapshotFiles() : archivers(DocumentFile::archivers()) {
    // The names are set even without a session, so that every use fails the same plain way.
    const QString folder = session.isValid() ? session.path() : QStringLiteral("/nonexistent");
    undoFile = folder + QStringLiteral("/undo.temp");
    redoFile = folder + QStringLiteral("/redo.temp");
    if (!session.isValid())
        problem = QStringLiteral("no session folder for the undo snapshot files could be made "
                                 "in %1")
                      .arg(session.getFailure());
    usable = session.isValid() && createEmpty(undoFile, problem) && createEmpty(redoFile, problem);
    if (usable)
        problem.clear();
    else
        qCWarning(lcSnapshotFiles) << "Could not create the undo snapshot files in" << folder
                                   << "; undo of simulations will not restore cells:" << problem;
}

// The session removes its folder, snapshot files included, unless it is kept for recovery.
SnapshotFiles::~SnapshotFiles() = default;

} // namespace Core::Operations
