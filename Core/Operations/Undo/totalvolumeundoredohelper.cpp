#include "Core/Operations/Undo/totalvolumeundoredohelper.h"

#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>

#include <charconv>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

namespace Core::Operations {

Q_LOGGING_CATEGORY(lcUndoRedo, "Core/Operations/Undo/totalvolumeundoredohelper", QtInfoMsg)

using Model::Automaton::TotalVolume;
using Model::Automaton::Voxel;

namespace {

// Reads a snapshot file a buffer at a time; records hold millions of numbers.
class SnapshotReader {
public:
    explicit SnapshotReader(QFile& file) : file(file), buffer(1 << 20) {}

    // The next word, wherever it starts. False at the end of the file.
    bool readWord(QByteArray& word) {
        word.clear();
        int c = peek();
        while (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v')
            c = advance();
        if (c < 0)
            return false;
        while (c >= 0 && !isBlank(c) && c != '\n') {
            // A key is a short word; anything longer cannot match, so stop collecting.
            if (word.size() < 256)
                word.append(char(c));
            c = advance();
        }
        return true;
    }

    // The next number on the current line. False at the end of the line or file, or when the
    // next word is not an unsigned 32-bit decimal.
    bool readNumberOnLine(std::uint32_t& value) {
        int c = peek();
        while (isBlank(c))
            c = advance();
        if (c < '0' || c > '9')
            return false;
        std::uint64_t result = 0;
        while (c >= '0' && c <= '9') {
            result = result * 10 + std::uint64_t(c - '0');
            if (result > 0xffffffffull)
                return false;
            c = advance();
        }
        if (c >= 0 && !isBlank(c) && c != '\n')
            return false;
        value = std::uint32_t(result);
        return true;
    }

    void skipLine() {
        for (int c = peek(); c >= 0; c = advance()) {
            if (c == '\n') {
                advance();
                return;
            }
        }
    }

private:
    static bool isBlank(int c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
    }

    int peek() {
        if (position == filled && !refill())
            return -1;
        return static_cast<unsigned char>(buffer[position]);
    }
    int advance() {
        ++position;
        return peek();
    }
    bool refill() {
        const qint64 count = file.read(buffer.data(), qint64(buffer.size()));
        position = 0;
        filled = count > 0 ? std::size_t(count) : 0;
        return filled > 0;
    }

    QFile& file;
    std::vector<char> buffer;
    std::size_t position = 0;
    std::size_t filled = 0;
};

bool isWord(const QString& key) {
    if (key.isEmpty())
        return false;
    for (const QChar c : key) {
        if (c.isSpace())
            return false;
    }
    return true;
}

} // namespace

TotalVolumeUndoRedoHelper::TotalVolumeUndoRedoHelper(const QString& key, int instance,
                                                     OperationContext& context)
    : key(key), instance(instance), context(context) {}

bool TotalVolumeUndoRedoHelper::appendState(const QString& fileName, TotalVolume& volume,
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
    // A disk filling up part-way gives a short write without a reason; writing the rest again
    // fails with one.
    const auto writeWhole = [&file](const std::string& part) {
        const char* data = part.data();
        for (qint64 left = qint64(part.size()); left > 0;) {
            const qint64 count = file.write(data, left);
            if (count <= 0)
                return false;
            data += count;
            left -= count;
        }
        return true;
    };

    constexpr std::size_t chunk = 1 << 20;
    std::string text;
    text.reserve(chunk + 32);
    text += key.toStdString();
    text += ' ';
    text += std::to_string(instance);
    bool ok = true;
    {
        const Model::Automaton::CellArraysLock locked(volume);
        const Model::Automaton::CellIndex count = volume.getCellCount();
        char digits[16];
        for (Model::Automaton::CellIndex i = 0; i < count && ok; ++i) {
            const auto end =
                std::to_chars(digits, digits + sizeof digits, locked.current()[i].material).ptr;
            text += ' ';
            text.append(digits, end);
            if (text.size() >= chunk) {
                ok = writeWhole(text);
                text.clear();
            }
        }
    }
    text += '\n';
    ok = ok && writeWhole(text) && file.flush();
    if (!ok) {
        // A half-written record would be taken for a short one; keep only whole records.
        qCWarning(lcUndoRedo) << "Writing a snapshot to" << fileName
                              << "failed:" << file.errorString();
        failedFile();
        file.resize(sizeBefore);
    }
    return ok;
}

bool TotalVolumeUndoRedoHelper::recordBefore(TotalVolume& volume, QString* problem) {
    return appendState(context.snapshotFiles.getUndoFile(), volume, problem);
}

bool TotalVolumeUndoRedoHelper::recordAfter(TotalVolume& volume, QString* problem) {
    return appendState(context.snapshotFiles.getRedoFile(), volume, problem);
}

bool TotalVolumeUndoRedoHelper::loadState(const QString& fileName, TotalVolume& volume) const {
    QElapsedTimer timer;
    timer.start();
    bool loaded = false;
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly)) {
        SnapshotReader reader(file);
        const QByteArray wantedKey = key.toUtf8();
        const Model::Automaton::CellIndex count = volume.getCellCount();
        QByteArray word;
        while (reader.readWord(word)) {
            std::uint32_t recordInstance = 0;
            if (word != wantedKey || !reader.readNumberOnLine(recordInstance) ||
                recordInstance != std::uint32_t(instance)) {
                reader.skipLine();
                continue;
            }
            // The first matching record decides. It is read whole before any cell changes, so
            // a record that turns out short or damaged leaves the volume as it was.
            std::vector<std::uint32_t> materials;
            try {
                materials.resize(count);
            } catch (const std::bad_alloc&) {
                qCWarning(lcUndoRedo) << "Not enough memory to load a snapshot from" << fileName;
                break;
            }
            bool complete = true;
            for (Model::Automaton::CellIndex i = 0; i < count && complete; ++i)
                complete = reader.readNumberOnLine(materials[i]);
            if (!complete) {
                qCWarning(lcUndoRedo) << "Snapshot" << key << instance << "in" << fileName
                                      << "is incomplete; the cells were left unchanged";
                break;
            }
            const Model::Automaton::CellArraysLock locked(volume);
            for (Model::Automaton::CellIndex i = 0; i < count; ++i) {
                locked.current()[i].material = materials[i];
                locked.next()[i].material = materials[i];
            }
            loaded = true;
            break;
        }
    }
    qCDebug(lcUndoRedo).nospace() << "Time to load: " << timer.elapsed() << " ms";
    return loaded;
}

bool TotalVolumeUndoRedoHelper::restore(const QString& fileName, TotalVolume& volume) {
    if (!loadState(fileName, volume))
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
