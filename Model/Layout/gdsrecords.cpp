#include "Model/Layout/gdsrecords.h"

#include <algorithm>
#include <cstdint>
#include <map>

namespace Model::Layout {

namespace {

enum RecordType : std::uint8_t {
    Header = 0x00,
    Units = 0x03,
    EndLib = 0x04,
    StrName = 0x06,
    Boundary = 0x08,
    SName = 0x12,
    ColRow = 0x13,
    Box = 0x2d,
    BoxType = 0x2e,
    EndEl = 0x11,
    STrans = 0x1a,
    DataType = 0x0e,
    LastKnown = 0x3b,
};

// Payload bytes per value for each GDSII data type: none, bit array, 2- and 4-byte integers,
// 4- and 8-byte reals, text.
int valueSize(std::uint8_t dataType) {
    static const int sizes[] = {0, 2, 2, 4, 4, 8, 1};
    return dataType < 7 ? sizes[dataType] : -1;
}

// Whether a payload of this many bytes is one the record can hold; the library reads the values
// it expects without looking at the length.
bool payloadFits(std::uint8_t type, std::uint8_t dataType, int unit, int payload) {
    if (unit == 0)
        return payload == 0;
    if (dataType == 1)
        return payload == 2;
    if (payload % unit != 0 || (dataType != 6 && payload < unit))
        return false;
    if (type == Units)
        return payload == 16;
    if (type == ColRow)
        return payload == 4;
    return true;
}

std::string nameOf(const QByteArray& stream, int offset, int length) {
    std::string name(stream.constData() + offset, std::size_t(length));
    // Names are padded with NUL to an even length.
    while (!name.empty() && name.back() == '\0')
        name.pop_back();
    return name;
}

} // namespace

bool GdsRecords::check(const QByteArray& stream, QString& problem) {
    rewritten = stream;
    structureNames.clear();
    referenceNames.clear();
    referencingCell.clear();
    reflected.clear();
    copies.clear();
    bool inReference = false;
    auto* bytes = reinterpret_cast<unsigned char*>(rewritten.data());
    const int size = rewritten.size();
    int offset = 0;
    int count = 0;
    bool units = false;
    while (true) {
        if (offset + 4 > size) {
            problem = offset == size
                          ? QStringLiteral("the file ends before its ENDLIB record")
                          : QStringLiteral("the file ends inside a record at byte %1").arg(offset);
            return false;
        }
        const int length = bytes[offset] << 8 | bytes[offset + 1];
        const std::uint8_t type = bytes[offset + 2];
        const std::uint8_t dataType = bytes[offset + 3];
        const int payload = length - 4;
        const int unit = valueSize(dataType);
        if (length < 4 || length % 2 != 0 || type > LastKnown || unit < 0 ||
            !payloadFits(type, dataType, unit, payload)) {
            problem = QStringLiteral("record %1 at byte %2 is damaged").arg(count + 1).arg(offset);
            return false;
        }
        if (offset + length > size) {
            problem = QStringLiteral("the file ends inside record %1 at byte %2")
                          .arg(count + 1)
                          .arg(offset);
            return false;
        }
        if (count == 0 && type != Header) {
            problem = QStringLiteral("it is no GDSII stream (it does not begin with a HEADER)");
            return false;
        }
        if (type == Units)
            units = true;
        else if (type == StrName)
            structureNames.push_back(nameOf(rewritten, offset + 4, payload));
        else if (type == SName) {
            referenceNames.push_back(nameOf(rewritten, offset + 4, payload));
            referencingCell.push_back(int(structureNames.size()) - 1);
            reflected.push_back(false);
            copies.push_back(1);
            inReference = true;
        } else if (type == STrans && inReference)
            reflected.back() = (bytes[offset + 4] & 0x80) != 0;
        else if (type == ColRow && inReference)
            copies.back() = std::uint64_t(bytes[offset + 4] << 8 | bytes[offset + 5]) *
                            std::uint64_t(bytes[offset + 6] << 8 | bytes[offset + 7]);
        else if (type == EndEl)
            inReference = false;
        else if (type == Box)
            bytes[offset + 2] = Boundary;
        else if (type == BoxType)
            bytes[offset + 2] = DataType;
        ++count;
        offset += length;
        if (type == EndLib)
            break;
    }
    if (!units) {
        problem = QStringLiteral("the file gives no units");
        return false;
    }
    // Whatever follows ENDLIB (tape padding) is not the library's business.
    rewritten.truncate(offset);
    return true;
}

bool GdsRecords::checkHierarchy(QString& problem, std::uint64_t limit) const {
    std::map<std::string, int> index;
    for (std::size_t cell = 0; cell < structureNames.size(); ++cell)
        index.emplace(structureNames[cell], int(cell));
    const std::size_t cells = structureNames.size();
    std::vector<std::vector<std::pair<int, std::uint64_t>>> placed(cells);
    for (std::size_t i = 0; i < referenceNames.size(); ++i) {
        const auto found = index.find(referenceNames[i]);
        const int parent = referencingCell[i];
        if (parent < 0) {
            problem = QStringLiteral("a reference stands outside every cell");
            return false;
        }
        if (found == index.end()) {
            problem = QStringLiteral("cell \"%1\" places cell \"%2\", which the file does not hold")
                          .arg(QString::fromStdString(structureNames[std::size_t(parent)]),
                               QString::fromStdString(referenceNames[i]));
            return false;
        }
        placed[std::size_t(parent)].emplace_back(found->second, copies[i]);
    }
    // Depth-first with an explicit stack: a hierarchy deep enough to matter would overflow
    // the call stack of a recursive walk.
    enum State : std::uint8_t { Unseen, Open, Closed };
    std::vector<State> state(cells, Unseen);
    // Placements below each cell, counted up to just beyond the limit.
    std::vector<std::uint64_t> below(cells, 0);
    const auto add = [limit](std::uint64_t a, std::uint64_t b) {
        return std::min(a + b, limit + 1);
    };
    const auto times = [limit](std::uint64_t a, std::uint64_t b) {
        return b != 0 && a > (limit + 1) / b ? limit + 1 : std::min(a * b, limit + 1);
    };
    for (std::size_t root = 0; root < cells; ++root) {
        if (state[root] != Unseen)
            continue;
        std::vector<std::pair<int, std::size_t>> stack{{int(root), 0}};
        state[root] = Open;
        while (!stack.empty()) {
            auto& [cell, next] = stack.back();
            if (next == placed[std::size_t(cell)].size()) {
                state[std::size_t(cell)] = Closed;
                std::uint64_t count = 0;
                for (const auto& [child, n] : placed[std::size_t(cell)])
                    count = add(count, times(n, add(1, below[std::size_t(child)])));
                below[std::size_t(cell)] = count;
                stack.pop_back();
                continue;
            }
            const int child = placed[std::size_t(cell)][next++].first;
            if (state[std::size_t(child)] == Open) {
                problem = QStringLiteral("cell \"%1\" places itself (through \"%2\")")
                              .arg(QString::fromStdString(structureNames[std::size_t(child)]),
                                   QString::fromStdString(structureNames[std::size_t(cell)]));
                return false;
            }
            if (state[std::size_t(child)] == Unseen) {
                state[std::size_t(child)] = Open;
                stack.emplace_back(child, 0);
            }
        }
    }
    std::vector<bool> isPlaced(cells, false);
    for (const auto& children : placed)
        for (const auto& child : children)
            isPlaced[std::size_t(child.first)] = true;
    std::uint64_t total = 0;
    for (std::size_t cell = 0; cell < cells; ++cell)
        if (!isPlaced[cell])
            total = add(total, below[cell]);
    if (total > limit) {
        problem = QStringLiteral("it places more than %1 cells in all, more than the layout "
                                 "reader can flatten")
                      .arg(limit);
        return false;
    }
    return true;
}

} // namespace Model::Layout
