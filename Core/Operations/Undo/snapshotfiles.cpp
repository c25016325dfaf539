#include "Core/Operations/Undo/snapshotfiles.h"

#include "Core/Operations/Document/documentfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QRandomGenerator>

namespace Core::Operations {

Q_LOGGING_CATEGORY(lcSnapshotFiles, "Core/Operations/Undo/snapshotfiles", QtInfoMsg)

namespace {

constexpr int maxAttempts = 20;

bool createEmpty(const QString& name, QString& problem) {
    QFile file(name);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Text)) {
        problem = QStringLiteral("the undo snapshot files could not be created in %1: %2")
                      .arg(QDir::toNativeSeparators(QDir::currentPath()), file.errorString());
        return false;
    }
    file.close();
    return true;
}

} // namespace

SnapshotFiles::SnapshotFiles() : archivers(DocumentFile::archivers()) {
    QRandomGenerator random(quint32(QDateTime::currentSecsSinceEpoch()));
    for (int attempt = 0; attempt < maxAttempts; ++attempt) {
        const QString number = QString::number(random.bounded(RAND_MAX));
        undoFile = QStringLiteral("undo") + number + QStringLiteral(".temp");
        redoFile = QStringLiteral("redo") + number + QStringLiteral(".temp");
        if (QFile::exists(undoFile) || QFile::exists(redoFile))
            continue;
        if (createEmpty(undoFile, problem) && createEmpty(redoFile, problem)) {
            usable = true;
            problem.clear();
            return;
        }
        QFile::remove(undoFile);
        QFile::remove(redoFile);
    }
    qCWarning(lcSnapshotFiles) << "Could not create the undo snapshot files in the working "
                                  "directory; undo of simulations will not restore cells:"
                               << problem;
}

SnapshotFiles::~SnapshotFiles() {
    if (usable) {
        QFile::remove(undoFile);
        QFile::remove(redoFile);
    }
}

} // namespace Core::Operations
