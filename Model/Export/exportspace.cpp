#include "Model/Export/exportspace.h"

#include "Model/Automaton/volumebudget.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <atomic>
#include <limits>

namespace Model::Export {

namespace {

std::atomic<std::uint64_t> freeDiskOverride{0};

// The folder a new file would land in, or the nearest one above it that exists already (an
// export may create its own folder).
QString existingFolderOf(const QString& fileName) {
    QDir folder = QFileInfo(fileName).absoluteDir();
    while (!folder.exists() && !folder.isRoot()) {
        if (!folder.cdUp())
            break;
    }
    return folder.absolutePath();
}

} // namespace

QString ExportSpace::sizeText(std::uint64_t bytes) {
    constexpr double mebi = 1024.0 * 1024.0;
    if (double(bytes) >= 1024.0 * mebi)
        return QStringLiteral("%1 GiB").arg(double(bytes) / (1024.0 * mebi), 0, 'f', 1);
    return QStringLiteral("%1 MiB").arg(double(bytes) / mebi, 0, 'f', 1);
}

bool ExportSpace::fitsInMemory(std::uint64_t bytes, QString* reason) {
    const std::uint64_t available = Automaton::VolumeBudget::availableBytes();
    if (bytes <= available)
        return true;
    if (reason)
        *reason = QStringLiteral("The export needs about %1 of memory, but only %2 are available.")
                      .arg(sizeText(bytes), sizeText(available));
    return false;
}

std::uint64_t ExportSpace::freeDiskBytes(const QString& fileName) {
    if (const std::uint64_t forced = freeDiskOverride.load())
        return forced;
    const QStorageInfo storage(existingFolderOf(fileName));
    if (!storage.isValid() || !storage.isReady())
        return std::numeric_limits<std::uint64_t>::max();
    return std::uint64_t(std::max<qint64>(storage.bytesAvailable(), 0));
}

void ExportSpace::setFreeDiskBytesForTesting(std::uint64_t bytes) {
    freeDiskOverride.store(bytes);
}

bool ExportSpace::fitsOnDisk(const QString& fileName, std::uint64_t bytes, QString* reason) {
    const std::uint64_t available = freeDiskBytes(fileName);
    if (bytes <= available)
        return true;
    if (reason)
        *reason = QStringLiteral("%1 needs %2 on disk, but only %3 are free in %4.")
                      .arg(QDir::toNativeSeparators(fileName), sizeText(bytes), sizeText(available),
                           QDir::toNativeSeparators(existingFolderOf(fileName)));
    return false;
}

} // namespace Model::Export
