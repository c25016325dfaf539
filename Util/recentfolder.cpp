#include "Util/recentfolder.h"

#include <QDir>
#include <QFileInfo>

#include <mutex>

namespace Util {

namespace {

struct Shared {
    std::mutex lock;
    QString folder;
};

Shared& shared() {
    static Shared state;
    return state;
}

} // namespace

QString RecentFolder::get() {
    std::lock_guard<std::mutex> guard(shared().lock);
    return shared().folder.isEmpty() ? QDir::currentPath() : shared().folder;
}

void RecentFolder::remember(const QString& file) {
    if (file.isEmpty())
        return;
    const QFileInfo info(file);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    if (!QFileInfo(folder).isDir())
        return;
    std::lock_guard<std::mutex> guard(shared().lock);
    shared().folder = folder;
}

} // namespace Util
