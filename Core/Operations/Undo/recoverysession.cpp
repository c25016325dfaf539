#include "Core/Operations/Undo/recoverysession.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Core::Operations {

Q_LOGGING_CATEGORY(lcRecoverySession, "Core/Operations/Undo/recoverysession", QtInfoMsg)

namespace {

const QString lockName = QStringLiteral("lock");
constexpr int maxAttempts = 20;

QString cacheHome() {
    const QString configured = qEnvironmentVariable("XDG_CACHE_HOME");
    // An unset or relative value means the default, as the base-directory rules say.
    if (!configured.isEmpty() && QDir::isAbsolutePath(configured))
        return configured;
    return QDir::homePath() + QStringLiteral("/.cache");
}

// Makes `path` (when missing) and checks that it is a folder of this user's alone, not a link:
// the sessions below it hold the user's unsaved work, and the temporary folder is shared with
// every other user of the machine. Empty when it is, else why not.
QString privateFolder(const QString& path) {
    if (!QDir().mkpath(QFileInfo(path).path()))
        return QStringLiteral("%1: %2").arg(QFileInfo(path).path(), qt_error_string(errno));
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("%1: %2").arg(path, qt_error_string(errno));
    struct stat status {};
    if (::lstat(name.constData(), &status) != 0)
        return QStringLiteral("%1: %2").arg(path, qt_error_string(errno));
    if (!S_ISDIR(status.st_mode))
        return QStringLiteral("%1 is not a folder").arg(path);
    if (status.st_uid != ::geteuid())
        return QStringLiteral("%1 belongs to another user").arg(path);
    if ((status.st_mode & 077) != 0 && ::chmod(name.constData(), 0700) != 0)
        return QStringLiteral("%1: %2").arg(path, qt_error_string(errno));
    return QString();
}

} // namespace

QString RecoverySession::root() {
    return cacheHome() + QStringLiteral("/Cellvane/recovery");
}

QString RecoverySession::temporaryRoot() {
    return QDir::tempPath() + QStringLiteral("/Cellvane-recovery-%1").arg(::geteuid());
}

QStringList RecoverySession::roots() {
    QStringList usable;
    for (const QString& parent : {root(), temporaryRoot()}) {
        // A folder someone else made, or a link, is never searched: its sessions are not ours.
        if (QFileInfo(parent).isDir() && privateFolder(parent).isEmpty())
            usable << parent;
    }
    return usable;
}

RecoverySession::RecoverySession() {
    // Killed programs leave their snapshot files behind; they would fill the cache.
    removeAbandoned();
    // The cache folder first; the temporary folder only so that undo still works when the cache
    // cannot be written (its journal is then lost with the next reboot, which is no worse).
    const QStringList parents{root(), temporaryRoot()};
    for (const QString& parent : parents) {
        const QString problem = privateFolder(parent);
        if (!problem.isEmpty()) {
            failure = problem;
            continue;
        }
        for (int attempt = 0; attempt < maxAttempts; ++attempt) {
            // Time, process and a random part: two programs started in one second differ by
            // their process, and the lock settles any name that still collides.
            const QString name =
                QStringLiteral("%1-%2-%3")
                    .arg(
                        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddThhmmss")))
                    .arg(::getpid())
                    .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
            const QString path = parent + QLatin1Char('/') + name;
            // mkdir fails when the folder exists, so no two sessions can create the same one.
            if (!QDir().mkdir(path)) {
                failure = QStringLiteral("%1: %2").arg(path, qt_error_string(errno));
                continue;
            }
            if (lockIn(path)) {
                failure.clear();
                return;
            }
            QDir(path).removeRecursively();
        }
    }
    qCWarning(lcRecoverySession) << "Could not create a session folder in" << parents;
}

RecoverySession::RecoverySession(const QString& path) {
    lockIn(path);
}

namespace {

// An open descriptor holding an exclusive flock on `path`, or -1 when another open file holds
// it or it cannot be opened.
int lockFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool RecoverySession::lockIn(const QString& path) {
    lockDescriptor = lockFile(path + QLatin1Char('/') + lockName);
    locked = lockDescriptor >= 0;
    if (locked)
        folder = path;
    return locked;
}

void RecoverySession::unlock() {
    if (lockDescriptor >= 0)
        ::close(lockDescriptor);
    lockDescriptor = -1;
    locked = false;
}

RecoverySession::~RecoverySession() {
    if (kept)
        unlock(); // the folder stays for the next start, no longer held
    else
        remove();
}

QString RecoverySession::filePath(const QString& name) const {
    return folder + QLatin1Char('/') + name;
}

void RecoverySession::remove() {
    if (!locked)
        return;
    // Removed while still locked, so that no other program can take it half-removed.
    QDir(folder).removeRecursively();
    unlock();
}

QString RecoverySession::putAside() {
    if (!locked)
        return QString();
    QString aside = folder + QLatin1String(damagedSuffix);
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = folder + QLatin1String(damagedSuffix) + QString::number(n);
    const bool renamed = QDir().rename(folder, aside);
    unlock();
    return renamed ? aside : folder;
}

QStringList RecoverySession::findStale() {
    QStringList stale;
    QFileInfoList entries;
    for (const QString& parent : roots())
        entries += QDir(parent).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::stable_sort(entries.begin(), entries.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return a.lastModified() < b.lastModified();
    });
    for (const QFileInfo& entry : entries) {
        if (entry.fileName().contains(QLatin1String(damagedSuffix)))
            continue;
        // A held lock is a running program. A folder without a lock file at all is one whose
        // program died between creating it and locking it: stale too.
        const int probe = lockFile(entry.filePath() + QLatin1Char('/') + lockName);
        if (probe >= 0) {
            ::close(probe);
            stale.append(entry.filePath());
        }
    }
    return stale;
}

void RecoverySession::removeAbandoned() {
    for (const QString& path : findStale()) {
        RecoverySession stale(path);
        if (stale.isValid() && !QFileInfo::exists(stale.filePath(QLatin1String(journalName))))
            stale.remove();
        else
            stale.keepForRecovery(true);
    }
}

} // namespace Core::Operations
