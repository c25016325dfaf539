#include "Model/Persistence/settingsfolder.h"
#include "Util/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Model::Persistence {

namespace {
// The built-in tables take a few kilobytes; anything this large is not a registry someone wrote.
constexpr qint64 maxRegistryFileSize = 8 * 1024 * 1024;
} // namespace

QString settingsFolderPath() {
    return QDir(QDir::homePath()).filePath(QStringLiteral("Cellvane"));
}

QString settingsFilePath(const QString& fileName) {
    return QDir(settingsFolderPath()).filePath(fileName);
}

bool writeSettingsFile(const QString& fileName, const QByteArray& contents) {
    // Only the settings folder itself is created; a missing home directory is not ours to make.
    QDir home(QDir::homePath());
    const QString folderName = QStringLiteral("Cellvane");
    if (!QFileInfo(settingsFolderPath()).isDir() && !(home.exists() && home.mkdir(folderName)))
        return false;
    Util::SaveFile file(settingsFilePath(fileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    if (file.write(contents) != contents.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool registryFileReadable(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && info.isFile() && info.size() <= maxRegistryFileSize;
}

void keepUnreadableSettingsFile(const QString& fileName) {
    const QString path = settingsFilePath(fileName);
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile() || info.size() == 0)
        return;
    const QString backup = path + QStringLiteral(".bak");
    QFile::remove(backup);
    QFile::rename(path, backup);
}

} // namespace Model::Persistence
