#include "Util/savefile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Util {

namespace {

std::atomic<int> renameFailsAt{0};
std::atomic<int> folderSyncFailsAt{0};

// Counts an injected failure down; true when this call is the one that fails.
bool injectedFailure(std::atomic<int>& counter) {
    int left = counter.load();
    while (left > 0 && !counter.compare_exchange_weak(left, left - 1)) {
    }
    return left == 1;
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// A rename is only lasting once the folder that holds the name is on the disk too.
QString syncFolder(const QString& folder) {
    if (injectedFailure(folderSyncFailsAt))
        return systemReason(EIO);
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return systemReason(errno);
    const int result = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    // Some file systems have nothing to sync for a folder and say so; that is no failure.
    if (result != 0 && error != EINVAL && error != ENOTSUP)
        return systemReason(error);
    return QString();
}

QString renameOver(const QString& from, const QString& to) {
    if (injectedFailure(renameFailsAt))
        return systemReason(EIO);
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return systemReason(errno);
    return QString();
}

QString randomSuffix();

// A name beside `destination` for the moments a file needs one that is not yet the target's:
// hidden, as an editor's, so that a program stopped right then leaves nothing in the user's view.
QString transientName(const QString& destination) {
    const QFileInfo info(destination);
    return info.dir().filePath(QLatin1Char('.') + info.fileName() + QLatin1Char('.') +
                               randomSuffix());
}

QString randomSuffix() {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString suffix;
    for (int i = 0; i < 6; ++i)
        suffix += QLatin1Char(letters[QRandomGenerator::global()->bounded(62)]);
    return suffix;
}

// An unnamed file in `folder` (O_TMPFILE): a program killed while writing leaves nothing
// behind, where a named temporary would stay beside the user's file. -1 where the file
// system or the kernel cannot make one.
int openUnnamed(const QString& folder) {
#ifdef O_TMPFILE
    return ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
#else
    Q_UNUSED(folder);
    return -1;
#endif
}

// Gives the unnamed file behind `fd` the name `name`; errno on failure.
int nameUnnamed(int fd, const QString& name) {
    const QByteArray to = QFile::encodeName(name);
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, to.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    const int error = errno;
#ifdef AT_EMPTY_PATH
    // Without /proc, linking the descriptor itself works where the program may (root).
    if (error == ENOENT && ::linkat(fd, "", AT_FDCWD, to.constData(), AT_EMPTY_PATH) == 0)
        return 0;
#endif
    return error;
}

// What one file of a commit needs to be put back.
struct Placement {
    SaveFile* file = nullptr;
    QString destination;
    QString temporary;
    QString backup; // a second name of the old contents; empty when there were none
    bool hadOld = false;
    bool renamed = false;
};

} // namespace

bool writeFully(const std::function<qint64(const char*, qint64)>& writeSome, const char* data,
                qint64 size) {
    while (size > 0) {
        const qint64 count = writeSome(data, size);
        if (count <= 0)
            return false;
        data += count;
        size -= count;
    }
    return true;
}

bool writeFully(QIODevice& device, const char* data, qint64 size) {
    return writeFully([&device](const char* d, qint64 n) { return device.write(d, n); }, data,
                      size);
}

SaveFile::SaveFile(const QString& target) : target(target) {}

SaveFile::~SaveFile() {
    discard();
}

bool SaveFile::open(OpenMode mode) {
    const QFileInfo info(target);
    if (info.exists() && !info.isFile()) {
        setErrorString(QStringLiteral("it exists and is not a regular file"));
        return false;
    }
    // A write-protected file stays as it is, as an editor would leave it.
    if (info.exists() && !info.isWritable()) {
        setErrorString(QStringLiteral("Existing file %1 is not writable").arg(target));
        return false;
    }
    // A link is written through, as an editor does, so the link stays a link.
    const QString destination = info.isSymLink() ? info.symLinkTarget() : target;
    failure.clear();
    cancelled = false;
    temporary.clear();
    unnamed = false;
    const int fd = openUnnamed(QFileInfo(destination).absolutePath());
    if (fd >= 0) {
        setFileName(QString());
        if (QFile::open(fd, mode, QFileDevice::AutoCloseHandle)) {
            unnamed = true;
            struct stat old;
            if (::stat(QFile::encodeName(destination).constData(), &old) == 0)
                ::fchmod(fd, old.st_mode & 07777);
            return true;
        }
        ::close(fd);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = transientName(destination);
        setFileName(name);
        if (QFile::open(mode | QIODevice::NewOnly)) {
            temporary = name;
            if (QFileInfo::exists(destination))
                setPermissions(QFile::permissions(destination));
            return true;
        }
        if (!QFileInfo::exists(name))
            return false; // not a clash of names: the folder cannot take a file
    }
    return false;
}

void SaveFile::keepFailure(const QString& reason) {
    if (failure.isEmpty())
        failure = reason.isEmpty() ? QStringLiteral("Unknown error") : reason;
}

qint64 SaveFile::writeData(const char* data, qint64 size) {
    if (!failure.isEmpty())
        return -1;
    if (writeFully([this](const char* d, qint64 n) { return QFile::writeData(d, n); }, data, size))
        return size;
    keepFailure(QFile::errorString());
    return -1;
}

void SaveFile::discard() {
    if (isOpen())
        close();
    if (!temporary.isEmpty())
        QFile::remove(temporary);
    temporary.clear();
    unnamed = false;
}

void SaveFile::cancelWriting() {
    cancelled = true;
    discard();
    setErrorString(QStringLiteral("Writing canceled by application"));
}

bool SaveFile::prepareCommit() {
    if (cancelled)
        keepFailure(QStringLiteral("Writing canceled by application"));
    else if (!isOpen() || (temporary.isEmpty() && !unnamed))
        keepFailure(QStringLiteral("the file is not open"));
    if (failure.isEmpty() && !flush())
        keepFailure(QFile::errorString());
    if (failure.isEmpty() && ::fsync(handle()) != 0)
        keepFailure(systemReason(errno));
    // The unnamed file gets a name beside the target only now, so that a name exists just for
    // the moment between here and the rename.
    if (failure.isEmpty() && unnamed) {
        const QString base =
            QFileInfo(target).isSymLink() ? QFileInfo(target).symLinkTarget() : target;
        int error = EEXIST;
        for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
            const QString name = transientName(base);
            error = nameUnnamed(handle(), name);
            if (error == 0)
                temporary = name;
        }
        if (error != 0)
            keepFailure(systemReason(error));
    }
    if (isOpen())
        close();
    return failure.isEmpty();
}

bool SaveFile::commit() {
    return commitAll({this});
}

bool SaveFile::commitAll(const std::vector<SaveFile*>& files, QString* reason) {
    SaveFile* failed = nullptr;
    for (SaveFile* file : files) {
        if (!file->prepareCommit() && !failed)
            failed = file;
    }
    std::vector<Placement> placements;
    if (!failed) {
        for (SaveFile* file : files) {
            Placement place;
            place.file = file;
            const QFileInfo info(file->target);
            place.destination = info.isSymLink() ? info.symLinkTarget() : file->target;
            place.temporary = file->temporary;
            place.hadOld = QFileInfo::exists(place.destination);
            if (place.hadOld) {
                // A second name for the old contents, so that a failure further on can put
                // them back; without it (a file system without links) the old file cannot
                // come back, but the failure is still reported.
                const QString backup = place.temporary + QStringLiteral(".old");
                if (::link(QFile::encodeName(place.destination).constData(),
                           QFile::encodeName(backup).constData()) == 0)
                    place.backup = backup;
            }
            placements.push_back(place);
            const QString problem = renameOver(place.temporary, place.destination);
            if (!problem.isEmpty()) {
                file->keepFailure(problem);
                failed = file;
                break;
            }
            placements.back().renamed = true;
            file->temporary.clear();
        }
    }
    if (!failed) {
        QSet<QString> folders;
        for (const Placement& place : placements)
            folders.insert(QFileInfo(place.destination).absolutePath());
        for (const QString& folder : folders) {
            const QString problem = syncFolder(folder);
            if (problem.isEmpty())
                continue;
            for (const Placement& place : placements) {
                if (QFileInfo(place.destination).absolutePath() == folder) {
                    place.file->keepFailure(problem);
                    failed = place.file;
                    break;
                }
            }
            break;
        }
    }
    if (failed) {
        // Back as it was: old contents where there were some, no file where there was none.
        for (auto place = placements.rbegin(); place != placements.rend(); ++place) {
            if (!place->renamed) {
                if (!place->backup.isEmpty())
                    QFile::remove(place->backup);
                continue;
            }
            if (!place->backup.isEmpty())
                renameOver(place->backup, place->destination);
            else if (!place->hadOld)
                QFile::remove(place->destination);
        }
        for (SaveFile* file : files) {
            file->discard();
            file->setErrorString(file == failed
                                     ? file->failure
                                     : QStringLiteral("%1 could not be saved with it")
                                           .arg(QDir::toNativeSeparators(failed->target)));
        }
        if (reason)
            *reason = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(failed->target),
                                                   failed->failure);
        return false;
    }
    for (const Placement& place : placements) {
        if (!place.backup.isEmpty())
            QFile::remove(place.backup);
    }
    return true;
}

void SaveFile::failForTesting(Step step, int occurrence) {
    (step == Step::Rename ? renameFailsAt : folderSyncFailsAt).store(occurrence);
}

} // namespace Util
