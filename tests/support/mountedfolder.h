#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

namespace testing_support {

// A folder on a small file system of its own, for writes that fail as they do on a full disk
// or a read-only one. Permission bits would not do: the tests run as root, who ignores them.
// Mounting needs root too; isMounted() is false elsewhere, and why() says what failed.
class MountedFolder {
public:
    MountedFolder() {
        if (!dir.isValid())
            return;
        if (::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, "size=1m") !=
            0) {
            problem = QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        mounted = true;
    }
    ~MountedFolder() {
        if (mounted)
            ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
    }
    MountedFolder(const MountedFolder&) = delete;
    MountedFolder& operator=(const MountedFolder&) = delete;

    bool isMounted() const { return mounted; }
    QString why() const { return QStringLiteral("cannot mount a tmpfs: ") + problem; }
    QString path() const { return dir.path(); }
    QString filePath(const QString& name) const { return dir.filePath(name); }

    // Takes every free block: from here on any write of data fails with "No space left on
    // device", while files can still be created empty.
    void fill() {
        QFile filler(filePath(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(4096, 'x');
        while (filler.write(block) > 0) {
        }
        // Whatever the page size, the last partial block goes too.
        while (filler.write("x", 1) > 0) {
        }
    }
    // From here on nothing can be created or changed in the folder.
    bool makeReadOnly() {
        return ::mount(nullptr, QFile::encodeName(dir.path()).constData(), nullptr,
                       MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

    static QString noSpace() { return QString::fromLocal8Bit(std::strerror(ENOSPC)); }
    static QString readOnly() { return QString::fromLocal8Bit(std::strerror(EROFS)); }

private:
    QTemporaryDir dir;
    bool mounted = false;
    QString problem;
};

} // namespace testing_support
