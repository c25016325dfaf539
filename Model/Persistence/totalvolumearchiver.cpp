#include "Model/Persistence/totalvolumearchiver.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/volumebudget.h"
#include "Model/Persistence/documentreaddevice.h"
#include "Model/Persistence/materialarchiver.h"
#include "Model/Persistence/statetextshares.h"
#include "Util/pooltasks.h"

#include <QLoggingCategory>
#include <QTextCodec>
#include <QThreadPool>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

    // Takes the run of digits and spaces that [bytes, bytes + length) begins with, straight
    // from the document, and answers its length. A part begun in the piece before goes on at
    // its start and the run's last part may go on in the next, so those go through feed();
    // the whole parts between them are found and counted a share at a time on the pool, and
    // every share then writes its ids from where the shares before it end.
    std::size_t takeRun(const char* bytes, std::size_t length) {
        std::size_t at = 0;
        if (partLength > 0 || overlong) {
            while (at < length && bytes[at] >= '0' && bytes[at] <= '9')
                ++at;
            const bool ended = at < length && bytes[at] == ' ';
            feed(bytes, at + std::size_t(ended));
            if (!ended)
                return at;
            ++at;
        }
        const char* const rest = bytes + at;
        const std::size_t restLength = length - at;
        if (restLength < parallelBytes || written == count) {
            const std::size_t run = StateTextShares::runLength(rest, restLength);
            feed(rest, run);
            return at + run;
        }
        QThreadPool& pool = Util::workPool();
        const std::size_t threads = std::size_t(std::max(1, pool.maxThreadCount()));
        const StateTextShares shares(
            rest, restLength,
            std::clamp(restLength / (4 * threads), parallelBytes, largestShareBytes), pool);
        parseShares(rest, shares, pool);
        feed(rest + shares.wholePartsEnd(), shares.runEnd() - shares.wholePartsEnd());
        return at + shares.runEnd();
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
    // Shares small enough that a thread held up elsewhere leaves little for the others to
    // wait for.
    static constexpr std::size_t largestShareBytes = std::size_t(4) << 20;

    // Writes the whole parts of every share, each share from its own first cell, on whichever
    // pool thread is free; the first id too large in cell order is kept.
    void parseShares(const char* bytes, const StateTextShares& shares, QThreadPool& pool) {
        const std::vector<StateTextShares::Share>& parts = shares.getShares();
        std::vector<std::optional<std::uint32_t>> tooLargeIn(parts.size());
        std::atomic<std::size_t> next{0};
        const int tasks = int(
            std::min<std::size_t>(std::size_t(std::max(1, pool.maxThreadCount())), parts.size()));
        Util::runTasksAndWait(pool, tasks, [&](int) {
            for (std::size_t k; (k = next.fetch_add(1, std::memory_order_relaxed)) < parts.size();)
                parseShare(bytes, parts[k], tooLargeIn[k]);
        });
        for (const auto& found : tooLargeIn) {
            if (!tooLarge && found)
                tooLarge = found;
        }
        written = std::min(count, written + shares.wholeParts());
    }

    // Four parts of one digit and one space each in the eight bytes of `word` (as memory holds
    // them, the first byte lowest): their digits in the low byte of each 16-bit lane.
    static bool fourSingleDigits(std::uint64_t word, std::uint64_t& digits) {
        constexpr std::uint64_t lanes = 0x0001000100010001ull;
        if ((word & 0xff00 * lanes) != 0x2000 * lanes)
            return false;
        const std::uint64_t low = word & 0x00ff * lanes;
        // Bit 7 of a lane is set by adding 0x50 from 0x30 up, and by adding 0x46 from 0x3a up:
        // a digit sets the first and not the second. No lane carries into the next.
        if (((low + 0x50 * lanes) & 0x80 * lanes) != 0x80 * lanes ||
            ((low + 0x46 * lanes) & 0x80 * lanes) != 0)
            return false;
        digits = low - 0x30 * lanes;
        return true;
    }

    // The share's parts begin in [share.begin, share.end); its first cell is the one after
    // those of the shares before it. A part that goes on from the share before is left to it.
    void parseShare(const char* bytes, const StateTextShares::Share& share,
                    std::optional<std::uint32_t>& firstTooLarge) const {
        CellIndex cell = written + share.partsBefore;
        const char* c = bytes + share.begin;
        const char* const end = bytes + share.end;
        if (share.begin > 0 && c[-1] != ' ') {
            while (c != end && *c != ' ')
                ++c;
        }
        Translation translate{map};
        // Ids of one digit are the common text of a document ("1 1 1 0 0 "), eight cells in
        // sixteen bytes; their materials are looked up once, and the fast way is taken only
        // when all ten fit a cell, so that an id too large is still found in cell order below.
        Model::Automaton::MaterialId single[10];
        bool fast = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
        bool identity = true;
        for (std::uint32_t digit = 0; digit < 10; ++digit) {
            const std::uint32_t material = translate(digit);
            fast = fast && material <= Model::Automaton::largestMaterialId;
            identity = identity && material == digit;
            single[digit] = Model::Automaton::MaterialId(material);
        }
        while (c < end && cell < count) {
#if defined(__SSE2__)
            if (fast && end - c >= 16 && count - cell >= 8) {
                Model::Automaton::MaterialId ids[8];
                if (eightSingleDigits(c, ids)) {
                    if (!identity) {
                        for (Model::Automaton::MaterialId& id : ids)
                            id = single[id];
                    }
                    for (int k = 0; k < 8; ++k)
                        cells.writeFresh(std::ptrdiff_t(cell) + k, ids[k]);
                    cell += 8;
                    c += 16;
                    continue;
                }
            }
#endif
            if (fast && end - c >= 8 && count - cell >= 4) {
                std::uint64_t word = 0;
                std::uint64_t digits = 0;
                std::memcpy(&word, c, sizeof word);
                if (fourSingleDigits(word, digits)) {
                    for (int k = 0; k < 4; ++k)
                        cells.writeFresh(std::ptrdiff_t(cell) + k,
                                         single[(digits >> (16 * k)) & 0xff]);
                    cell += 4;
                    c += 8;
                    continue;
                }
            }
            if (*c == ' ') {
                ++c;
                continue;
            }
            // A part that begins in the share ends at a space before the whole parts end.
            const char* const first = c;
            std::uint32_t value = 0;
            while (*c != ' ') {
                value = value * 10 + unsigned(*c - '0');
                ++c;
            }
            const std::ptrdiff_t digits = c - first;
            store(cell++, translate(digits <= 9 ? value : longPartValue(first, digits)),
                  firstTooLarge);
        }
    }

#if defined(__SSE2__)
    // Eight parts of one digit and one space each in the sixteen bytes at `c`: their digits.
    static bool eightSingleDigits(const char* c, Model::Automaton::MaterialId ids[8]) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
        const __m128i fromZero = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
        const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(fromZero, _mm_set1_epi8(9)), fromZero);
        const int spaces = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')));
        if (spaces != 0xaaaa || (_mm_movemask_epi8(digit) & 0x5555) != 0x5555)
            return false;
        // Each 16-bit lane holds a digit less '0' and a space less '0': the low byte is the id.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(ids),
                         _mm_and_si128(fromZero, _mm_set1_epi16(0x00ff)));
        return true;
    }
#endif

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

    static unsigned unit(char c) {
        return static_cast<unsigned char>(c);
    }
    static unsigned unit(QChar c) {
        return c.unicode();
    }

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
            return state.takeRun(bytes, length);
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
