// The text of a cell volume: the document reader takes the digits and spaces of a State text
// straight from the bytes and leaves everything else to the XML reader. Whatever the text
// holds, the cells must be the ones an XML reader that reads every character itself gives,
// and a damage that reader finds must make the document damaged (the cells read before the
// damage are then not compared).
//
// The input is what stands between a volume's start and end tags; its first byte picks the
// volume's size and the declared encoding.

#include "fuzzsupport.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Materials/materialfactory.h"
#include "Model/Persistence/documentarchiver.h"
#include "Model/Persistence/totalvolumearchiver.h"

#include <QBuffer>
#include <QXmlStreamReader>

#include <vector>

using Model::Automaton::CellArraysLock;
using Model::Automaton::TotalVolume;
using Model::Materials::MaterialFactory;
using Model::Persistence::DocumentArchiver;
using Model::Persistence::TotalVolumeArchiver;
using ReadStatus = DocumentArchiver::ReadStatus;

namespace {

std::vector<std::uint32_t> cellsOf(const Model::ObjectPtr& object) {
    const auto volume = std::dynamic_pointer_cast<TotalVolume>(object);
    FUZZ_CHECK(volume, "a document object is no cell volume");
    const CellArraysLock locked(*volume, CellArraysLock::Arrays::Current);
    std::vector<std::uint32_t> ids(volume->getCellCount());
    for (std::size_t i = 0; i < ids.size(); ++i)
        ids[i] = locked.materials()[std::ptrdiff_t(i)];
    return ids;
}

QByteArray document(std::uint8_t shape, const QByteArray& inside) {
    // Up to 4 x 4 x 4 cells: enough for texts that run short, exactly out and over, and few
    // enough that the frame alone could describe them (two bytes a cell).
    const int sizeX = 1 + (shape & 3);
    const int sizeY = 1 + ((shape >> 2) & 3);
    const int sizeZ = 1 + ((shape >> 4) & 3);
    const char* encoding = shape & 0x80 ? "ISO-8859-1" : "UTF-8";
    return QByteArray("<?xml version=\"1.0\" encoding=\"") + encoding +
           "\"?><Document><Header version=\"1\"/><Object object-type=\"1\" size-x=\"" +
           QByteArray::number(sizeX) + "\" size-y=\"" + QByteArray::number(sizeY) + "\" size-z=\"" +
           QByteArray::number(sizeZ) + "\">" + inside + "</Object></Document>";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const QByteArray bytes = document(data[0], Fuzz::bytesOf(data + 1, size - 1));
    const auto registry = MaterialFactory::getInstance();
    const Fuzz::AtExit restore([&] {
        registry->createDefaultMaterials();
        DocumentArchiver::forgetMaterialIdMap();
    });

    // Through the document reader, shortcut and all. The document names no materials, so ids
    // stay as written.
    static const Model::Persistence::ArchiverTable archivers =
        DocumentArchiver::standardArchivers();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const DocumentArchiver::ReadResult direct = DocumentArchiver(archivers).read(&buffer);

    // Through an XML reader alone, up to the end of the volume.
    QXmlStreamReader reader(bytes);
    while (!reader.atEnd() && !(reader.readNext() == QXmlStreamReader::StartElement &&
                                reader.name() == QLatin1String("Object"))) {
    }
    // Bytes the declared encoding does not allow can stop the reader before it reports the
    // volume, depending on how much it decodes at once.
    const bool volumeSeen = reader.isStartElement();
    FUZZ_CHECK(volumeSeen || reader.hasError(), "the frame around the input lost its volume");
    Model::ObjectPtr alone;
    if (volumeSeen) {
        TotalVolumeArchiver archiver;
        archiver.setReader(&reader);
        alone = archiver.load();
    }
    const bool aloneDamaged = reader.hasError();

    // Whatever follows the volume (the input may close it early and go on) can refuse the
    // whole document; the first volume is still comparable whenever the document is not.
    if (direct.status == ReadStatus::Refused)
        return 0;
    // Badly encoded bytes anywhere may stop the reader as early as the header, so damage can
    // also show as no document at all.
    const bool directDamaged =
        direct.status == ReadStatus::Damaged || direct.status == ReadStatus::NotADocument;
    FUZZ_CHECK(direct.status != ReadStatus::NotADocument || aloneDamaged,
               "the frame lost its header");
    FUZZ_CHECK(!aloneDamaged || directDamaged,
               "damage the XML reader finds in a volume went unnoticed");
    if (!volumeSeen || direct.objects.empty()) {
        FUZZ_CHECK(directDamaged, "a volume of a valid size was not read");
        return 0;
    }
    // Where the text is damaged, how much of it each reader hands out before it stops depends
    // on where it cuts its tokens; the cells of a damaged volume are kept, not promised.
    if (aloneDamaged)
        return 0;
    FUZZ_CHECK(alone, "a volume of a valid size was not read");
    FUZZ_CHECK(cellsOf(direct.objects.front()) == cellsOf(alone),
               "the cells taken from the bytes differ from those the XML reader gives");
    return 0;
}
