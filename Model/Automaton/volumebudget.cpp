#include "Model/Automaton/volumebudget.h"

#include "Model/Automaton/materialcells.h"

#include <QFile>

#include <atomic>
#include <limits>
#include <new>
#include <unistd.h>

namespace Model::Automaton {

namespace {

std::atomic<std::uint64_t> testOverride{0};

std::uint64_t memAvailableFromProc() {
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    while (!meminfo.atEnd()) {
        const QByteArray line = meminfo.readLine();
        if (line.startsWith("MemAvailable:")) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            if (parts.size() >= 2)
                return parts[1].toULongLong() * 1024ull;
        }
    }
    return 0;
}

QString gibibytes(std::uint64_t bytes) {
    return QString::number(double(bytes) / (1024.0 * 1024.0 * 1024.0), 'f', 1);
}

} // namespace

std::uint64_t VolumeBudget::bytesPerCell() {
    return sizeof(MaterialId) + stepBytesPerCell;
}

bool VolumeBudget::cellCount(unsigned sizeX, unsigned sizeY, unsigned sizeZ, CellIndex& count) {
    CellIndex xy = 0;
    if (__builtin_mul_overflow(CellIndex(sizeX), CellIndex(sizeY), &xy))
        return false;
    if (__builtin_mul_overflow(xy, CellIndex(sizeZ), &count))
        return false;
    return true;
}

std::uint64_t VolumeBudget::availableBytes() {
    if (const std::uint64_t forced = testOverride.load())
        return forced;
    if (const std::uint64_t available = memAvailableFromProc())
        return available;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        return std::uint64_t(pages) * std::uint64_t(pageSize);
    return std::numeric_limits<std::uint64_t>::max();
}

void VolumeBudget::reserveForRun(std::uint64_t bytes) {
    if (bytes > availableBytes())
        throw std::bad_alloc();
}

void VolumeBudget::setAvailableBytesForTesting(std::uint64_t bytes) {
    testOverride.store(bytes);
}

bool VolumeBudget::fits(unsigned sizeX, unsigned sizeY, unsigned sizeZ, QString* reason) {
    const QString dims = QStringLiteral("%1 x %2 x %3").arg(sizeX).arg(sizeY).arg(sizeZ);
    CellIndex count = 0;
    std::uint64_t needed = 0;
    if (!cellCount(sizeX, sizeY, sizeZ, count) ||
        __builtin_mul_overflow(std::uint64_t(count), bytesPerCell(), &needed)) {
        if (reason)
            *reason =
                QStringLiteral("A cell volume of %1 cells is too large to address.").arg(dims);
        return false;
    }
    const std::uint64_t available = availableBytes();
    if (needed > available) {
        if (reason)
            *reason = QStringLiteral("A cell volume of %1 cells needs %2 GiB of memory, but only "
                                     "%3 GiB are available.")
                          .arg(dims, gibibytes(needed), gibibytes(available));
        return false;
    }
    return true;
}

} // namespace Model::Automaton
