#include "Model/Persistence/totalvolumearchiver.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/volumebudget.h"
#include "Model/Persistence/documentreaddevice.h"
#include "Model/Persistence/materialarchiver.h"
#include "Util/pooltasks.h"

#include <QLoggingCategory>
#include <QTextCodec>
#include <QThreadPool>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <new>
#include <optional>
#include <string>
#include <vector>

Q_LOGGING_CATEGORY(lcTotalVolumeArchiver, "Model/Persistence/totalvolumearchiver", QtInfoMsg)

namespace Model::Persistence {

using Model::Automaton::CellIndex;
using Model::Automaton::TotalVolume;
using Model::Automaton::VolumeBudget;

namespace {

const QString objectElement = QStringLiteral("Object");
const QString stateElement = QStringLiteral("State");
const QString positionElement = QStringLiteral("Position");

// The State text is made a block of cells at a time, one block per pool thread side by side,
// so that writing a large volume never needs the whole text in memory at once.
constexpr CellIndex stateBlockCells = CellIndex(1) << 20;

void appendDecimal(std::string& out, std::uint32_t value) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        out.push_back(digits[--count]);
}

// The State text of cells [first, end): each id in decimal and a space after it.
std::string stateText(Model::Automaton::MaterialCells cells, CellIndex first, CellIndex end) {
    std::string text;
    text.reserve(std::size_t(end - first) * 2 + 16);
    for (CellIndex i = first; i < end; ++i) {
        appendDecimal(text, cells[std::ptrdiff_t(i)]);
        text.push_back(' ');
    }
    return text;
}

// Writes State text behind the writer's back when its bytes are the text's own (digits and
// spaces need no escaping, and UTF-8 leaves them as they are), which spares the detour through
// UTF-16 and back; otherwise through the writer.
class StateTextOutput {
public:
    explicit StateTextOutput(QXmlStreamWriter& writer) : writer(writer) {
        // Ends the start tag, so that the device stands where the text begins.
        writer.writeCharacters(QString());
        direct = writer.device() && writer.codec() && writer.codec()->mibEnum() == utf8Mib;
    }
    void write(const std::string& text) {
        if (!direct) {
            writer.writeCharacters(QString::fromLatin1(text.data(), int(text.size())));
            return;
        }
        failed = failed ||
                 writer.device()->write(text.data(), qint64(text.size())) != qint64(text.size());
    }
    bool hasFailed() const { return failed || writer.hasError(); }

private:
    static constexpr int utf8Mib = 106;
    QXmlStreamWriter& writer;
    bool direct = false;
    bool failed = false;
};

// A cell count: a whole number of at least 1. Anything else makes the volume unreadable.
bool readSize(const QXmlStreamAttributes& attributes, const QString& name, unsigned& size) {
    bool parsed = false;
    size = attributes.value(name).toUInt(&parsed, 10);
    return parsed && size > 0;
}

// A cell edge length; missing, unparsable, infinite or non-positive lengths would give a volume
// that cannot be drawn or measured, so they read as the unit length.
float readCellSize(const QXmlStreamAttributes& attributes, const QString& name) {
    bool parsed = false;
    const float value = attributes.value(name).toFloat(&parsed);
    return parsed && std::isfinite(value) && value > 0.f ? value : 1.f;
}

// A position component; missing or unusable values stay 0.
double readCoordinate(const QXmlStreamAttributes& attributes, const QString& name) {
    bool parsed = false;
    const float value = attributes.value(name).toFloat(&parsed);
    return parsed && std::isfinite(value) ? double(value) : 0.0;
}

} // namespace

// Writes the ids of a State text into the volume's cells as the text streams past, with no
// list of ids in between: parts are separated by spaces (empty parts dropped), each is a
// decimal id (0 when it is none), renumbered through the table. Ids beyond the volume's cells
// are dropped; finish() makes the cells the text did not reach empty.
class StateCells {
public:
    StateCells(TotalVolume& volume, Model::Automaton::MaterialCells cells, const MaterialIdMap* map)
        : volume(volume), cells(cells), count(volume.getCellCount()), map(map) {}

    // One piece of the text: UTF-16 units from the reader, or bytes taken from the document.
    template <class Char> void feed(const Char* text, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) {
            if (written == count)
                return;
            const unsigned c = unit(text[i]);
            if (c == ' ') {
                if (partLength > 0 || overlong)
                    endPart();
            } else if (partLength < maximumPart) {
                const unsigned digit = c - '0';
                digitsOnly = digitsOnly && digit <= 9;
                value = value * 10 + digit;
                part[partLength++] = QChar(ushort(c));
            } else {
                overlong = true;
            }
        }
    }

    // Digits and spaces straight from the document: a long piece is parsed on the pool. Its
    // first part may continue one begun in the piece before and its last may go on in the
    // next, so those go through feed(); the whole parts between them are counted a share at a
    // time, and every share then writes its ids from where the shares before it end.
    void feedDigitsAndSpaces(const char* bytes, std::size_t length) {
        const char* const end = bytes + length;
        const char* const firstSpace = std::find(bytes, end, ' ');
        const auto lastSpace =
            std::find(std::make_reverse_iterator(end), std::make_reverse_iterator(bytes), ' ');
        if (length < parallelBytes || firstSpace == end || written == count) {
            feed(bytes, length);
            return;
        }
        const char* const middle = firstSpace + 1;
        const char* const middleEnd = lastSpace.base();
        feed(bytes, std::size_t(middle - bytes));
        feedWholeParts(middle, middleEnd);
        feed(middleEnd, std::size_t(end - middleEnd));
    }

    void finish() {
        if (partLength > 0 || overlong)
            endPart();
        volume.writeEmptyCells(written);
    }
    // The first id the cells cannot hold, if any.
    std::optional<std::uint32_t> idTooLarge() const { return tooLarge; }

private:
    // Longer than any number could reasonably be written; such a part is no id.
    static constexpr int maximumPart = 256;

    // Below this a piece is not worth sharing out.
    static constexpr std::size_t parallelBytes = std::size_t(1) << 16;

    // A share of whole parts, each followed by a space.
    struct Share {
        const char* begin = nullptr;
        const char* end = nullptr;
        CellIndex parts = 0;
        CellIndex firstCell = 0;
        std::optional<std::uint32_t> tooLarge;
    };

    // [begin, end) holds whole parts only, and no part is pending.
    void feedWholeParts(const char* begin, const char* end) {
        QThreadPool& pool = Util::workPool();
        std::vector<Share> shares(std::size_t(std::max(1, pool.maxThreadCount())));
        const std::size_t step = std::size_t(end - begin) / shares.size() + 1;
        // Each share ends just after a space, so that no part is cut.
        const char* from = begin;
        for (Share& share : shares) {
            share.begin = from;
            const char* const space =
                std::find(end - from > std::ptrdiff_t(step) ? from + step : end, end, ' ');
            from = share.end = space == end ? end : space + 1;
        }
        Util::runTasksAndWait(pool, int(shares.size()), [&](int k) {
            Share& share = shares[std::size_t(k)];
            share.parts = countParts(share.begin, share.end);
        });
        CellIndex cell = written;
        for (Share& share : shares) {
            share.firstCell = cell;
            cell += share.parts;
        }
        Util::runTasksAndWait(pool, int(shares.size()),
                              [&](int k) { parseShare(shares[std::size_t(k)]); });
        for (const Share& share : shares) {
            if (!tooLarge && share.tooLarge)
                tooLarge = share.tooLarge;
        }
        written = std::min(count, cell);
    }

    static CellIndex countParts(const char* begin, const char* end) {
        CellIndex parts = 0;
        bool inPart = false;
        for (const char* c = begin; c != end; ++c) {
            const bool digit = *c != ' ';
            parts += CellIndex(digit && !inPart);
            inPart = digit;
        }
        return parts;
    }

    void parseShare(Share& share) const {
        CellIndex cell = share.firstCell;
        Translation translate{map};
        for (const char* c = share.begin; c != share.end && cell < count;) {
            if (*c == ' ') {
                ++c;
                continue;
            }
            const char* const first = c;
            std::uint32_t value = 0;
            while (*c != ' ') {
                value = value * 10 + unsigned(*c - '0');
                ++c;
            }
            const std::ptrdiff_t digits = c - first;
            store(cell++, translate(digits <= 9 ? value : longPartValue(first, digits)),
                  share.tooLarge);
        }
    }

    // Writes a cell's material; one the cells cannot hold leaves it empty and is remembered in
    // `firstTooLarge` unless an earlier one is.
    void store(CellIndex cell, std::uint32_t material,
               std::optional<std::uint32_t>& firstTooLarge) const {
        const bool fits = material <= Model::Automaton::largestMaterialId;
        if (!fits && !firstTooLarge)
            firstTooLarge = material;
        cells.writeFresh(std::ptrdiff_t(cell), Model::Automaton::MaterialId(fits ? material : 0));
    }

    // Renumbers ids through the document's table, remembering the last one: cells come in runs
    // of one id.
    struct Translation {
        const MaterialIdMap* map;
        std::uint32_t lastId = 0;
        std::uint32_t lastMaterial = 0;
        bool cached = false;

        std::uint32_t operator()(std::uint32_t id) {
            if (!map)
                return id;
            if (!cached || id != lastId) {
                const auto found = map->find(id);
                lastId = id;
                lastMaterial = found == map->end() ? id : found->second;
                cached = true;
            }
            return lastMaterial;
        }
    };

    // A part of more digits than a plain id has, read by the rules of feed().
    static std::uint32_t longPartValue(const char* digits, std::ptrdiff_t length) {
        if (length > maximumPart)
            return 0;
        bool parsed = false;
        const uint number = QString::fromLatin1(digits, int(length)).toUInt(&parsed, 10);
        return parsed ? number : 0u;
    }

    static unsigned unit(char c) { return static_cast<unsigned char>(c); }
    static unsigned unit(QChar c) { return c.unicode(); }

    void endPart() {
        const std::uint32_t id = overlong ? 0u : parse();
        if (written < count)
            store(written++, translate(id), tooLarge);
        partLength = 0;
        overlong = false;
        digitsOnly = true;
        value = 0;
    }

    std::uint32_t parse() const {
        // Plain digits are by far the common case; everything else gets Qt's own rules
        // (surrounding white space, a leading '+').
        if (digitsOnly && partLength <= 9)
            return value;
        bool parsed = false;
        const uint number = QString(part, partLength).toUInt(&parsed, 10);
        return parsed ? number : 0u;
    }

    TotalVolume& volume;
    Model::Automaton::MaterialCells cells;
    const CellIndex count;
    const MaterialIdMap* map;
    CellIndex written = 0;
    QChar part[maximumPart];
    int partLength = 0;
    bool overlong = false;
    bool digitsOnly = true;
    std::uint32_t value = 0;
    Translation translate{map};
    std::optional<std::uint32_t> tooLarge;
};

bool TotalVolumeArchiver::save(std::shared_ptr<Model::Object> object) {
    const auto volume = std::dynamic_pointer_cast<TotalVolume>(object);
    if (!writer || !volume)
        return false;

    writer->writeStartElement(objectElement);
    writer->writeAttribute(QStringLiteral("object-type"), QString::number(objectType));
    writer->writeAttribute(QStringLiteral("size-x"), QString::number(volume->getSizeX()));
    writer->writeAttribute(QStringLiteral("size-y"), QString::number(volume->getSizeY()));
    writer->writeAttribute(QStringLiteral("size-z"), QString::number(volume->getSizeZ()));
    writer->writeAttribute(QStringLiteral("cellsize-x"),
                           MaterialArchiver::numberToText(volume->getCellSizeX()));
    writer->writeAttribute(QStringLiteral("cellsize-y"),
                           MaterialArchiver::numberToText(volume->getCellSizeY()));
    writer->writeAttribute(QStringLiteral("cellsize-z"),
                           MaterialArchiver::numberToText(volume->getCellSizeZ()));
    const Model::Automaton::CrystalOrientation orientation = volume->getCrystalOrientation();
    if (orientation != Model::Automaton::CrystalOrientation::Surface100)
        writer->writeAttribute(orientationAttribute(),
                               Model::Automaton::crystalOrientationName(orientation));

    // The ids are written as the cells hold them. Renumbering them through the table of a
    // document read earlier would turn cells of a registered material into the document's.
    writer->writeStartElement(stateElement);
    const CellIndex count = volume->getCellCount();
    StateTextOutput output(*writer);
    {
        const Model::Automaton::CellArraysLock locked(
            *volume, Model::Automaton::CellArraysLock::Arrays::Current);
        const Model::Automaton::MaterialCells cells = locked.materials();
        QThreadPool& pool = Util::workPool();
        std::vector<std::string> texts(std::size_t(std::max(1, pool.maxThreadCount())));
        const CellIndex pass = stateBlockCells * texts.size();
        for (CellIndex i = 0; i < count && !output.hasFailed(); i += pass) {
            Util::runTasksAndWait(pool, int(texts.size()), [&](int k) {
                const CellIndex first = std::min(count, i + CellIndex(k) * stateBlockCells);
                texts[std::size_t(k)] =
                    stateText(cells, first, std::min(count, first + stateBlockCells));
            });
            for (const std::string& text : texts)
                output.write(text);
        }
    }
    writer->writeEndElement();

    const Util::Vector3D position = volume->getPosition();
    writer->writeEmptyElement(positionElement);
    writer->writeAttribute(QStringLiteral("pos-x"), QString::number(position.x, 'g', 6));
    writer->writeAttribute(QStringLiteral("pos-y"), QString::number(position.y, 'g', 6));
    writer->writeAttribute(QStringLiteral("pos-z"), QString::number(position.z, 'g', 6));
    writer->writeEndElement();
    return !output.hasFailed();
}

std::shared_ptr<Model::Object> TotalVolumeArchiver::load() {
    error.clear();
    warningList.clear();
    if (!reader || !reader->isStartElement() || reader->name() != objectElement) {
        error = QStringLiteral("No cell volume to read here.");
        return nullptr;
    }
    const qint64 line = reader->lineNumber();
    const QXmlStreamAttributes attributes = reader->attributes();
    unsigned sizeX = 0;
    unsigned sizeY = 0;
    unsigned sizeZ = 0;
    if (!readSize(attributes, QStringLiteral("size-x"), sizeX) ||
        !readSize(attributes, QStringLiteral("size-y"), sizeY) ||
        !readSize(attributes, QStringLiteral("size-z"), sizeZ)) {
        error = QStringLiteral("The cell volume in line %1 has no valid size.").arg(line);
        return nullptr;
    }
    auto* document = dynamic_cast<DocumentReadDevice*>(reader->device());
    CellIndex cells = 0;
    if (document && document->documentSize() >= 0 &&
        (!VolumeBudget::cellCount(sizeX, sizeY, sizeZ, cells) ||
         cells > CellIndex(document->documentSize()) / 2)) {
        // Every cell takes at least a digit and a space of the State text; a document that
        // cannot even hold the text of its volume gets no memory for it.
        error = QStringLiteral("The cell volume in line %1 claims %2 x %3 x %4 cells, more than a "
                               "document of %5 bytes can describe.")
                    .arg(line)
                    .arg(sizeX)
                    .arg(sizeY)
                    .arg(sizeZ)
                    .arg(document->documentSize());
        return nullptr;
    }
    QString reason;
    if (!VolumeBudget::fits(sizeX, sizeY, sizeZ, &reason)) {
        error = reason;
        return nullptr;
    }
    const float cellSizeX = readCellSize(attributes, QStringLiteral("cellsize-x"));
    const float cellSizeY = readCellSize(attributes, QStringLiteral("cellsize-y"));
    const float cellSizeZ = readCellSize(attributes, QStringLiteral("cellsize-z"));
    auto orientation = Model::Automaton::CrystalOrientation::Surface100;
    if (attributes.hasAttribute(orientationAttribute())) {
        const QString text = attributes.value(orientationAttribute()).toString();
        // The cells are sound whatever the orientation says; only the etch needs it.
        if (!Model::Automaton::crystalOrientationFromName(text, orientation))
            warningList << QStringLiteral("WARNING: The cell volume in line %1 has the crystal "
                                          "orientation \"%2\", which is neither 100 nor 110; it "
                                          "is read as 100.")
                               .arg(line)
                               .arg(text.left(40));
    }

    auto volume =
        std::make_shared<TotalVolume>(sizeX, sizeY, sizeZ, cellSizeX, cellSizeY, cellSizeZ,
                                      Util::Vector3D(), TotalVolume::UnwrittenCells());
    Util::Vector3D position;
    {
        const Model::Automaton::CellArraysLock locked(*volume);
        StateCells state(*volume, locked.materials(), materialIdMap);
        bool stateRead = false;
        bool positionRead = false;

        // Walk the children of this "Object" only, so that a volume without them never
        // swallows the objects that follow it. The first State and the first Position count.
        int depth = 0;
        while (!reader->atEnd()) {
            const QXmlStreamReader::TokenType token = reader->readNext();
            if (token == QXmlStreamReader::StartElement) {
                if (depth == 0 && !stateRead && reader->name() == stateElement) {
                    readState(state);
                    stateRead = true;
                    continue; // readState stops on the State's end element
                }
                if (depth == 0 && !positionRead && reader->name() == positionElement) {
                    const QXmlStreamAttributes place = reader->attributes();
                    position = Util::Vector3D(readCoordinate(place, QStringLiteral("pos-x")),
                                              readCoordinate(place, QStringLiteral("pos-y")),
                                              readCoordinate(place, QStringLiteral("pos-z")));
                    positionRead = true;
                }
                ++depth;
            } else if (token == QXmlStreamReader::EndElement) {
                if (depth == 0)
                    break;
                --depth;
            }
        }
        state.finish();
        if (const auto id = state.idTooLarge()) {
            error = QStringLiteral("The cell volume in line %1 holds the material id %2, but cells "
                                   "hold ids up to %3.")
                        .arg(line)
                        .arg(*id)
                        .arg(Model::Automaton::largestMaterialId);
            return nullptr;
        }
    }
    volume->translate(position);
    volume->setCrystalOrientation(orientation);
    volume->getPainter().rebuild();
    qCDebug(lcTotalVolumeArchiver) << "Read cell volume" << sizeX << sizeY << sizeZ;
    return volume;
}

void TotalVolumeArchiver::readState(StateCells& state) {
    // The digits and spaces right after the start tag come straight from the document's bytes
    // when the reader reads through a DocumentReadDevice; the reader then goes on with
    // whatever the text holds after them.
    auto* document = dynamic_cast<DocumentReadDevice*>(reader->device());
    if (document && document->standsAfterStateTag(reader->characterOffset()))
        document->takeDigitsAndSpaces([&state](const char* bytes, std::size_t length) {
            state.feedDigitsAndSpaces(bytes, length);
        });
    while (!reader->atEnd()) {
        const QXmlStreamReader::TokenType token = reader->readNext();
        if (token == QXmlStreamReader::Characters || token == QXmlStreamReader::EntityReference) {
            const QStringRef text = reader->text();
            state.feed(text.unicode(), std::size_t(text.size()));
        } else if (token == QXmlStreamReader::EndElement) {
            break;
        } else if (token == QXmlStreamReader::StartElement) {
            // The State holds text only; an element inside it means the file is damaged.
            reader->raiseError(QStringLiteral("Expected character data."));
            break;
        }
    }
}

} // namespace Model::Persistence
