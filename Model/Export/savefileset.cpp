#include "Model/Export/savefileset.h"
#include "Util/savefile.h"

#include <QDir>
#include <QFileInfo>

namespace Model::Export {

SaveFileSet::SaveFileSet() = default;

SaveFileSet::~SaveFileSet() {
    for (const auto& file : files)
        file->cancelWriting();
    files.clear();
    // Folders made for an export that failed go again (only while they are empty).
    if (!committed) {
        for (auto folder = createdFolders.rbegin(); folder != createdFolders.rend(); ++folder)
            QDir().rmdir(*folder);
    }
}

void SaveFileSet::fail(const Util::SaveFile& file, const QString& what) {
    if (problem.isEmpty())
        problem = QStringLiteral("Could not %1 %2: %3")
                      .arg(what, QDir::toNativeSeparators(file.fileName()), file.errorString());
}

Util::SaveFile* SaveFileSet::open(const QString& fileName) {
    if (failed())
        return nullptr;
    const QFileInfo info(fileName);
    QStringList missing;
    for (QString path = QDir::cleanPath(info.absolutePath()); !QFileInfo::exists(path);) {
        missing.prepend(path);
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            break;
        path = parent;
    }
    createdFolders += missing;
    if (!QDir().mkpath(info.absolutePath())) {
        problem = QStringLiteral("Could not create the folder %1.")
                      .arg(QDir::toNativeSeparators(info.absolutePath()));
        return nullptr;
    }
    if (info.isDir()) {
        problem = QStringLiteral("Could not write %1: it is a folder.")
                      .arg(QDir::toNativeSeparators(fileName));
        return nullptr;
    }
    auto file = std::make_unique<Util::SaveFile>(fileName);
    if (!file->open(QIODevice::WriteOnly)) {
        fail(*file, QStringLiteral("write"));
        return nullptr;
    }
    names << fileName;
    files.push_back(std::move(file));
    return files.back().get();
}

bool SaveFileSet::write(Util::SaveFile* file, const char* data, qint64 size) {
    if (failed() || !file)
        return false;
    if (file->write(data, size) != size) {
        fail(*file, QStringLiteral("write"));
        return false;
    }
    return true;
}

bool SaveFileSet::write(Util::SaveFile* file, const QByteArray& data) {
    return write(file, data.constData(), data.size());
}

bool SaveFileSet::overwrite(Util::SaveFile* file, qint64 position, const QByteArray& data) {
    if (failed() || !file)
        return false;
    const qint64 end = file->pos();
    if (!file->seek(position) || !write(file, data) || !file->seek(end)) {
        fail(*file, QStringLiteral("write"));
        return false;
    }
    return true;
}

bool SaveFileSet::commit() {
    if (failed())
        return false;
    std::vector<Util::SaveFile*> all;
    for (const auto& file : files)
        all.push_back(file.get());
    QString reason;
    if (!Util::SaveFile::commitAll(all, &reason)) {
        problem = QStringLiteral("Could not save %1").arg(reason);
        return false;
    }
    files.clear();
    committed = true;
    return true;
}

QStringList SaveFileSet::fileNames() const {
    return names;
}

} // namespace Model::Export
