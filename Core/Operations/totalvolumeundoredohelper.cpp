#include "Core/Operations/totalvolumeundoredohelper.h"

#include "Core/Operations/operationcontext.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>

namespace Core::Operations {

Q_LOGGING_CATEGORY(lcUndoRedoHelper, "Core/Operations/totalvolumeundoredohelper")

namespace {

using Model::Automaton::CellIndex;

// Reads whitespace-separated unsigned numbers from one record line. Once a read fails every
// later read fails too and yields 0, so a short record empties the cells it does not cover.
class RecordReader {
public:
    explicit RecordReader(const QByteArray& line) : p(line.constData()), end(p + line.size()) {}

    bool word(QByteArray& out) {
        skipSpace();
        const char* start = p;
        while (p < end && !isSpace(*p))
            ++p;
        out = QByteArray(start, int(p - start));
        return !out.isEmpty();
    }

    unsigned long long number() {
        if (failed)
            return 0;
        skipSpace();
        if (p >= end || *p < '0' || *p > '9') {
            failed = true;
            return 0;
        }
        unsigned long long value = 0;
        while (p < end && *p >= '0' && *p <= '9') {
            value = value * 10 + unsigned(*p - '0');
            if (value > 0xFFFFFFFFull) {
                failed = true;
                return 0;
            }
            ++p;
        }
        return value;
    }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    void skipSpace() {
        while (p < end && isSpace(*p))
            ++p;
    }

    const char* p;
    const char* end;
    bool failed = false;
};

void appendNumber(QByteArray& out, unsigned value) {
    char digits[12];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value);
    while (n)
        out.append(digits[--n]);
}

} // namespace

TotalVolumeUndoRedoHelper::TotalVolumeUndoRedoHelper(const QString& key, int instance,
                                                     OperationContext& context)
    : key(key), instance(instance), context(context) {}

bool TotalVolumeUndoRedoHelper::recordBefore(Model::Automaton::TotalVolume& volume) {
    return appendState(context.snapshotFiles.getUndoFile(), volume);
}

bool TotalVolumeUndoRedoHelper::recordAfter(Model::Automaton::TotalVolume& volume) {
    return appendState(context.snapshotFiles.getRedoFile(), volume);
}

bool TotalVolumeUndoRedoHelper::undo(Model::Automaton::TotalVolume& volume) {
    const bool loaded = loadState(context.snapshotFiles.getUndoFile(), volume);
    volume.getPainter().rebuild();
    return loaded;
}

bool TotalVolumeUndoRedoHelper::redo(Model::Automaton::TotalVolume& volume) {
    const bool loaded = loadState(context.snapshotFiles.getRedoFile(), volume);
    volume.getPainter().rebuild();
    return loaded;
}

bool TotalVolumeUndoRedoHelper::appendState(const QString& fileName,
                                            Model::Automaton::TotalVolume& volume) {
    if (!context.snapshotFiles.isUsable())
        return false;
    const CellIndex count = volume.getCellCount();
    QByteArray line;
    line.reserve(int(std::min<CellIndex>(count * 3 + 64, CellIndex(1) << 30)));
    line.append(key.toUtf8()).append(' ');
    appendNumber(line, unsigned(instance));
    const auto* cells = volume.getVoxels();
    for (CellIndex i = 0; i < count; ++i) {
        line.append(' ');
        appendNumber(line, cells[i].material);
    }
    volume.releaseVoxels();
    line.append('\n');

    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    return file.write(line) == line.size() && file.flush();
}

bool TotalVolumeUndoRedoHelper::loadState(const QString& fileName,
                                          Model::Automaton::TotalVolume& volume) {
    QElapsedTimer timer;
    timer.start();
    bool loaded = false;
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray wantedKey = key.toUtf8();
        auto* cells = volume.getVoxels();
        auto* next = volume.getNextVoxels();
        while (!loaded && !file.atEnd()) {
            const QByteArray line = file.readLine();
            RecordReader reader(line);
            QByteArray word;
            if (!reader.word(word) || word != wantedKey)
                continue;
            if (reader.number() != unsigned(instance))
                continue;
            const CellIndex count = volume.getCellCount();
            for (CellIndex i = 0; i < count; ++i) {
                const auto material = std::uint32_t(reader.number());
                cells[i].material = material;
                next[i].material = material;
            }
            loaded = true;
        }
        volume.releaseNextVoxels();
        volume.releaseVoxels();
    }
    qCDebug(lcUndoRedoHelper).noquote() << "Time to load: " << timer.elapsed() << " ms";
    return loaded;
}

} // namespace Core::Operations
