#pragma once

#include <QString>

#include <cstdint>

namespace Model::Export {

// Decides, before an export starts, whether what it builds fits in memory and what it writes
// fits on disk, so that a hopeless export becomes a message instead of a dead program or a
// full disk.
class ExportSpace {
public:
    // True when `bytes` more can be held in memory; otherwise `reason` says why in words for
    // the user.
    static bool fitsInMemory(std::uint64_t bytes, QString* reason);
    // True when `bytes` can be written beside `fileName` (in its folder, or the nearest
    // existing folder above it); otherwise `reason` names the file and the shortfall.
    static bool fitsOnDisk(const QString& fileName, std::uint64_t bytes, QString* reason);

    static std::uint64_t freeDiskBytes(const QString& fileName);
    // Lets tests pose as a full disk; 0 restores the real figure.
    static void setFreeDiskBytesForTesting(std::uint64_t bytes);

    // "12.5 MiB", "3.2 GiB".
    static QString sizeText(std::uint64_t bytes);
};

} // namespace Model::Export
