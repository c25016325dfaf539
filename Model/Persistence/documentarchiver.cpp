#include "Model/Persistence/documentarchiver.h"

#include "Model/Automaton/totalvolume.h"
#include "Model/Materials/materialfactory.h"
#include "Model/Persistence/documentreaddevice.h"
#include "Model/Persistence/materialarchiver.h"
#include "Model/Persistence/totalvolumearchiver.h"
#include "Model/document.h"

#include <QIODevice>
#include <QLocale>
#include <QLoggingCategory>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <climits>
#include <mutex>

Q_LOGGING_CATEGORY(lcDocumentArchiver, "Model/Persistence/documentarchiver", QtInfoMsg)

namespace Model::Persistence {

using Materials::Material;
using Materials::MaterialFactory;

namespace {

std::mutex globalMapLock;
MaterialIdMap globalMap;

// Moves the reader to the next start element anywhere in the file; false at the end of the
// file or at an error.
bool advanceToStartElement(QXmlStreamReader& reader) {
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement)
            return true;
    }
    return false;
}

} // namespace

ArchiverTable DocumentArchiver::standardArchivers() {
    return {{TotalVolumeArchiver::objectType, std::make_shared<TotalVolumeArchiver>()}};
}

MaterialIdMap DocumentArchiver::materialIdMap() {
    std::lock_guard<std::mutex> lock(globalMapLock);
    return globalMap;
}

void DocumentArchiver::forgetMaterialIdMap() {
    std::lock_guard<std::mutex> lock(globalMapLock);
    globalMap.clear();
}

bool DocumentArchiver::write(QIODevice* device, const Model::Document& document) {
    QXmlStreamWriter writer(device);
    writer.setAutoFormatting(false);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("Document"));
    writer.writeEmptyElement(QStringLiteral("Header"));
    writer.writeAttribute(QStringLiteral("version"), QStringLiteral("1"));
    const double scale = document.getMicrometresPerSceneUnit();
    if (scale != Model::Document::defaultMicrometresPerSceneUnit)
        writer.writeAttribute(scaleAttribute(),
                              QString::number(scale, 'g', QLocale::FloatingPointShortest));

    // Every registered material goes along, used or not, so that the reader can tell which of
    // its ids mean the same material here.
    for (const Material& material : MaterialFactory::getInstance()->getMaterials())
        MaterialArchiver::saveMaterial(&writer, material);

    bool saved = true;
    for (const Model::ObjectPtr& object : document.getObjects()) {
        const auto found = archivers.find(object->getType());
        if (found == archivers.end() || !found->second)
            continue;
        found->second->setWriter(&writer);
        saved = found->second->save(object) && saved;
        found->second->setWriter(nullptr);
    }

    writer.writeEndElement();
    writer.writeEndDocument();
    return saved && !writer.hasError();
}

DocumentArchiver::ReadResult DocumentArchiver::read(QIODevice* device, Surfaces surfaces) {
    ReadResult result;
    MaterialIdMap idMap;
    DocumentReadDevice input(*device);
    QXmlStreamReader reader(&input);

    if (!advanceToStartElement(reader) || reader.name() != QLatin1String("Document") ||
        !advanceToStartElement(reader) || reader.name() != QLatin1String("Header")) {
        result.status = ReadStatus::NotADocument;
        return result;
    }

    result.status = ReadStatus::Complete;
    readScale(reader, result);
    // Materials this read registered; a refused document (or one that runs out of memory) takes
    // them back, so it leaves the registry as it found it.
    std::vector<std::uint32_t> registered;
    struct TakeBack {
        std::vector<std::uint32_t>& ids;
        ~TakeBack() {
            for (const std::uint32_t id : ids)
                MaterialFactory::getInstance()->removeMaterial(id);
        }
    } takeBack{registered};

    while (!reader.atEnd()) {
        if (!advanceToStartElement(reader))
            break;
        if (reader.name() == QLatin1String("Object")) {
            if (!readObject(reader, idMap, result))
                break;
        } else if (reader.name() == QLatin1String("Material")) {
            readMaterial(reader, idMap, registered, result);
        }
    }

    if (result.status == ReadStatus::Refused) {
        result.objects.clear();
        return result;
    }
    registered.clear();
    for (const Model::ObjectPtr& object : result.objects) {
        if (auto* volume = dynamic_cast<Model::Automaton::TotalVolume*>(object.get())) {
            volume->setMicrometresPerSceneUnit(result.micrometresPerSceneUnit);
            if (surfaces == Surfaces::Build)
                volume->getPainter().rebuild();
        }
    }

    if (result.status == ReadStatus::Complete && reader.hasError()) {
        result.status = ReadStatus::Damaged;
        result.error =
            QStringLiteral("line %1: %2").arg(reader.lineNumber()).arg(reader.errorString());
        qCDebug(lcDocumentArchiver) << "Document damaged at" << result.error;
    }
    // Zeros stood in for what another program cut off the file while it was read.
    if (input.wasCutShort()) {
        result.status = ReadStatus::Damaged;
        result.error = QStringLiteral("the file was cut short while it was read");
        qCDebug(lcDocumentArchiver) << "Document cut short while it was read";
    }

    result.materialIds = idMap;
    std::lock_guard<std::mutex> lock(globalMapLock);
    for (const auto& [from, to] : idMap)
        globalMap[from] = to;
    return result;
}

void DocumentArchiver::readScale(QXmlStreamReader& reader, ReadResult& result) {
    const QXmlStreamAttributes attributes = reader.attributes();
    if (!attributes.hasAttribute(scaleAttribute()))
        return;
    const QStringRef text = attributes.value(scaleAttribute());
    bool parsed = false;
    const double scale = text.trimmed().toDouble(&parsed);
    if (parsed && Model::Document::isUsableScale(scale))
        result.micrometresPerSceneUnit = scale;
    else
        result.warnings << scaleWarning(text.left(40).toString());
}

void DocumentArchiver::readMaterial(QXmlStreamReader& reader, MaterialIdMap& idMap,
                                    std::vector<std::uint32_t>& registered, ReadResult& result) {
    bool ok = false;
    Material material = MaterialArchiver::loadMaterial(&reader, &ok);
    if (!ok) {
        result.warnings << materialWarning();
        return;
    }

    if (!registerMaterial(material, idMap, registered))
        result.warnings << materialWarning();
}

bool DocumentArchiver::registerMaterial(Material material, MaterialIdMap& idMap,
                                        std::vector<std::uint32_t>& registered) {
    const auto registry = MaterialFactory::getInstance();
    const std::uint32_t id = material.getId();
    const Material known = registry->getMaterial(id);
    if (known.getId() == 0) {
        if (!registry->updateMaterial(material))
            return false;
        registered.push_back(id);
        idMap[id] = id;
    } else if (known == material) {
        // The registry keeps its own record, constants included.
        idMap[id] = id;
    } else {
        const std::uint32_t fresh = registry->generateMaterialId();
        material.setId(fresh);
        if (!registry->updateMaterial(material))
            return false;
        registered.push_back(fresh);
        idMap[id] = fresh;
        qCDebug(lcDocumentArchiver)
            << "Material" << id << material.getName() << "renumbered to" << fresh;
    }
    return true;
}

bool DocumentArchiver::readObject(QXmlStreamReader& reader, MaterialIdMap& idMap,
                                  ReadResult& result) {
    bool parsed = false;
    const uint type = reader.attributes().value(QStringLiteral("object-type")).toUInt(&parsed, 10);
    if (!parsed || type > uint(INT_MAX))
        return true;
    const auto found = archivers.find(int(type));
    if (found == archivers.end() || !found->second)
        return true;

    if (int(result.objects.size()) >= maximumObjects) {
        result.status = ReadStatus::Refused;
        result.error =
            QStringLiteral("The document holds more than %1 objects.").arg(maximumObjects);
        return false;
    }

    ObjectArchiver& archiver = *found->second;
    archiver.setReader(&reader);
    archiver.setMaterialIdMap(&idMap);
    const Model::ObjectPtr object = archiver.load();
    const QString error = archiver.errorString();
    result.warnings << archiver.warnings();
    archiver.setReader(nullptr);
    archiver.setMaterialIdMap(nullptr);

    if (object) {
        result.objects.push_back(object);
        return true;
    }
    if (error.isEmpty())
        return true;
    result.status = ReadStatus::Refused;
    result.error = error;
    return false;
}

} // namespace Model::Persistence
