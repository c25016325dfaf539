#include "Core/Operations/Undo/totalvolumeundoredohelper.h"

#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/keptmaterials.h"
#include "Model/Automaton/materialchanges.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/savefile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>

#include <cstdint>
#include <cstring>
#include <new>

namespace Core::Operations {

Q_LOGGING_CATEGORY(lcUndoRedo, "Core/Operations/Undo/totalvolumeundoredohelper", QtInfoMsg)

using Model::Automaton::KeptMaterials;
using Model::Automaton::MaterialChanges;
using Model::Automaton::TotalVolume;

namespace {

// Every record starts with these bytes; a file that does not is not read any further.
constexpr char recordMark[8] = {'C', 'V', 'C', 'E', 'L', 'L', 'S', '1'};
// Bounds no record of ours comes near; a header beyond them is damage, not a record to load.
constexpr std::uint32_t longestKey = 1024;
constexpr std::uint32_t mostFrames = 1 << 16;

bool isWord(const QString& key) {
    if (key.isEmpty())
        return false;
    for (const QChar c : key) {
        if (c.isSpace())
            return false;
    }
    return true;
}

template <class T> void put(QByteArray& bytes, T value) {
    bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <class T> bool take(QFile& file, T& value) {
    return file.read(reinterpret_cast<char*>(&value), sizeof value) == qint64(sizeof value);
}

} // namespace

TotalVolumeUndoRedoHelper::TotalVolumeUndoRedoHelper(const QString& key, int instance,
                                                     OperationContext& context)
    : key(key), instance(instance), context(context) {}

TotalVolumeUndoRedoHelper::~TotalVolumeUndoRedoHelper() = default;

bool TotalVolumeUndoRedoHelper::appendRecord(const QString& fileName,
                                             const MaterialChanges& changes,
                                             QString* problem) const {
    const auto fail = [&](const QString& why) {
        if (problem)
            *problem = why;
        return false;
    };
    if (!context.snapshotFiles.isUsable())
        return fail(context.snapshotFiles.getProblem());
    if (!isWord(key) || instance < 0)
        return fail(QStringLiteral("the step has no record name"));
    QFile file(fileName);
    const auto failedFile = [&] {
        return fail(QStringLiteral("could not write %1: %2")
                        .arg(QDir::toNativeSeparators(fileName), file.errorString()));
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qCDebug(lcUndoRedo) << "Cannot append a snapshot to" << fileName << file.errorString();
        return failedFile();
    }
    const qint64 sizeBefore = file.size();
    const QByteArray keyBytes = key.toUtf8();
    QByteArray header(recordMark, sizeof recordMark);
    put(header, std::uint32_t(keyBytes.size()));
    header.append(keyBytes);
    put(header, std::uint32_t(instance));
    put(header, std::uint64_t(changes.cellCount));
    put(header, std::uint32_t(changes.frames.size()));
    for (const std::string& frame : changes.frames)
        put(header, std::uint64_t(frame.size()));
    bool ok = Util::writeFully(file, header.constData(), header.size());
    for (const std::string& frame : changes.frames)
        ok = ok && Util::writeFully(file, frame.data(), qint64(frame.size()));
    ok = ok && file.flush();
    if (!ok) {
        // A half-written record would be taken for a damaged one; keep only whole records.
        qCWarning(lcUndoRedo) << "Writing a snapshot to" << fileName
                              << "failed:" << file.errorString();
        failedFile();
        file.resize(sizeBefore);
    }
    return ok;
}

bool TotalVolumeUndoRedoHelper::recordBefore(TotalVolume& volume, QString* problem) {
    const auto fail = [&](const QString& why) {
        if (problem)
            *problem = why;
        return false;
    };
    before = std::make_unique<KeptMaterials>();
    if (!before->keep(volume)) {
        before.reset();
        return fail(QStringLiteral("there is not enough memory to keep the cells"));
    }
    if (!context.snapshotFiles.isUsable())
        return fail(context.snapshotFiles.getProblem());
    if (!isWord(key) || instance < 0)
        return fail(QStringLiteral("the step has no record name"));
    // The record is written after the run; whether it can be is asked of the disk now, with
    // room for a record of a few thousand runs, so that a full disk is found before the step.
    const QString undoFile = context.snapshotFiles.getUndoFile();
    QFile file(undoFile);
    const auto failedFile = [&] {
        return fail(QStringLiteral("could not write %1: %2")
                        .arg(QDir::toNativeSeparators(undoFile), file.errorString()));
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return failedFile();
    const qint64 sizeBefore = file.size();
    const QByteArray room(1 << 16, '\0');
    const bool fits = Util::writeFully(file, room.constData(), room.size()) && file.flush();
    if (!fits)
        failedFile();
    file.resize(sizeBefore);
    return fits;
}

bool TotalVolumeUndoRedoHelper::recordAfter(TotalVolume& volume, QString* problem) {
    const KeptMaterials* const kept = before.get();
    if (!kept || !kept->isKept()) {
        if (problem)
            *problem = QStringLiteral("the cells before the step were not kept");
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    std::pair<MaterialChanges, MaterialChanges> changes;
    try {
        changes = kept->changesTo(volume);
    } catch (const std::bad_alloc&) {
        if (problem)
            *problem = QStringLiteral("there is not enough memory to record the changed cells");
        return false;
    }
    const bool written =
        appendRecord(context.snapshotFiles.getUndoFile(), changes.first, problem) &&
        appendRecord(context.snapshotFiles.getRedoFile(), changes.second, problem);
    qCDebug(lcUndoRedo).nospace() << "Time to record: " << timer.elapsed() << " ms";
    return written;
}

bool TotalVolumeUndoRedoHelper::putBack(TotalVolume& volume) {
    return before && before->putBack(volume);
}

void TotalVolumeUndoRedoHelper::forgetBefore() {
    before.reset();
}

bool TotalVolumeUndoRedoHelper::applyRecord(const QString& fileName, TotalVolume& volume) const {
    QElapsedTimer timer;
    timer.start();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray wantedKey = key.toUtf8();
    const qint64 fileSize = file.size();
    for (;;) {
        char mark[sizeof recordMark];
        std::uint32_t keySize = 0;
        if (file.read(mark, sizeof mark) != qint64(sizeof mark) ||
            std::memcmp(mark, recordMark, sizeof mark) != 0 || !take(file, keySize) ||
            keySize > longestKey)
            return false;
        const QByteArray recordKey = file.read(keySize);
        std::uint32_t recordInstance = 0, frameCount = 0;
        std::uint64_t cellCount = 0;
        if (recordKey.size() != int(keySize) || !take(file, recordInstance) ||
            !take(file, cellCount) || !take(file, frameCount) || frameCount > mostFrames)
            return false;
        std::vector<std::uint64_t> frameSizes(frameCount);
        std::uint64_t recordBytes = 0;
        for (std::uint64_t& size : frameSizes) {
            if (!take(file, size) || size > std::uint64_t(fileSize))
                return false;
            recordBytes += size;
        }
        // A record cut off by a full disk or a crash ends the file's usable records.
        if (recordBytes > std::uint64_t(fileSize - file.pos()))
            return false;
        if (recordKey != wantedKey || recordInstance != std::uint32_t(instance)) {
            if (!file.seek(file.pos() + qint64(recordBytes)))
                return false;
            continue;
        }
        // The first matching record decides, and it is read and checked whole before any cell
        // changes.
        if (cellCount != volume.getCellCount()) {
            qCWarning(lcUndoRedo) << "Snapshot" << key << instance << "in" << fileName
                                  << "is of another volume; the cells were left unchanged";
            return false;
        }
        MaterialChanges changes;
        try {
            changes.cellCount = cellCount;
            changes.frames.resize(frameCount);
            for (std::uint32_t k = 0; k < frameCount; ++k) {
                changes.frames[k].resize(frameSizes[k]);
                if (file.read(changes.frames[k].data(), qint64(frameSizes[k])) !=
                    qint64(frameSizes[k]))
                    return false;
            }
            if (!changes.isValid(materialIds.get())) {
                qCWarning(lcUndoRedo) << "Snapshot" << key << instance << "in" << fileName
                                      << "is damaged; the cells were left unchanged";
                return false;
            }
            changes.applyTo(volume, materialIds.get());
        } catch (const std::bad_alloc&) {
            qCWarning(lcUndoRedo) << "Not enough memory to load a snapshot from" << fileName;
            return false;
        }
        qCDebug(lcUndoRedo).nospace() << "Time to load: " << timer.elapsed() << " ms";
        return true;
    }
}

std::vector<std::pair<QString, int>>
TotalVolumeUndoRedoHelper::recordNames(const QString& fileName) {
    std::vector<std::pair<QString, int>> names;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return names;
    const qint64 fileSize = file.size();
    for (;;) {
        char mark[sizeof recordMark];
        std::uint32_t keySize = 0, recordInstance = 0, frameCount = 0;
        std::uint64_t cellCount = 0, recordBytes = 0;
        if (file.read(mark, sizeof mark) != qint64(sizeof mark) ||
            std::memcmp(mark, recordMark, sizeof mark) != 0 || !take(file, keySize) ||
            keySize > longestKey)
            return names;
        const QByteArray recordKey = file.read(keySize);
        if (recordKey.size() != int(keySize) || !take(file, recordInstance) ||
            !take(file, cellCount) || !take(file, frameCount) || frameCount > mostFrames)
            return names;
        for (std::uint32_t k = 0; k < frameCount; ++k) {
            std::uint64_t size = 0;
            if (!take(file, size) || size > std::uint64_t(fileSize))
                return names;
            recordBytes += size;
        }
        if (recordBytes > std::uint64_t(fileSize - file.pos()) ||
            !file.seek(file.pos() + qint64(recordBytes)))
            return names;
        names.emplace_back(QString::fromUtf8(recordKey), int(recordInstance));
    }
}

bool TotalVolumeUndoRedoHelper::restore(const QString& fileName, TotalVolume& volume) {
    if (!applyRecord(fileName, volume))
        return false;
    volume.getPainter().rebuild();
    // The silicon lattice was built over the cells that were just replaced.
    context.processHistory.setLatticeRebuildNeeded(volume.getId(), true);
    context.notifyUpdateObservers();
    return true;
}

bool TotalVolumeUndoRedoHelper::undo(TotalVolume& volume) {
    return restore(context.snapshotFiles.getUndoFile(), volume);
}

bool TotalVolumeUndoRedoHelper::redo(TotalVolume& volume) {
    return restore(context.snapshotFiles.getRedoFile(), volume);
}

} // namespace Core::Operations
