#include "Model/Persistence/processarchiver.h"

#include <QLoggingCategory>
#include <QStringList>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

Q_LOGGING_CATEGORY(lcProcessArchiver, "Model/Persistence/processarchiver", QtInfoMsg)

namespace Model::Persistence {

using ProcessRecord = Process::Process;

ProcessRecord ProcessArchiver::loadProcess(QXmlStreamReader& reader, bool* ok) {
    if (ok)
        *ok = false;
    if (reader.name() != QLatin1String("Process"))
        return ProcessRecord();

    QString name;
    uint32_t id = 0;
    bool numbersParsed = true;
    const QXmlStreamAttributes attributes = reader.attributes();
    for (const QXmlStreamAttribute& attribute : attributes) {
        qCDebug(lcProcessArchiver)
            << "attribute: " << attribute.name() << " -> " << attribute.value();
        bool parsed = true;
        if (attribute.name() == QLatin1String("process-id"))
            id = attribute.value().toUInt(&parsed, 10);
        else if (attribute.name() == QLatin1String("version"))
            attribute.value().toUInt(&parsed, 10);
        else if (attribute.name() == QLatin1String("name"))
            name = attribute.value().toString();
        numbersParsed = numbersParsed && parsed;
    }
    if (!numbersParsed || id == 0 || name.isEmpty())
        return ProcessRecord();

    const std::list<uint32_t> materials = loadCompatibleMaterials(reader);
    if (reader.hasError())
        return ProcessRecord();
    if (ok)
        *ok = true;
    return ProcessRecord(name, id, materials);
}

std::list<uint32_t> ProcessArchiver::loadCompatibleMaterials(QXmlStreamReader& reader) {
    std::list<uint32_t> materials;
    // Stops at the end of the enclosing element when there is no child, so a following
    // "Process" is never swallowed.
    if (!reader.readNextStartElement())
        return materials;
    qCDebug(lcProcessArchiver) << "Element: " << reader.name();
    if (reader.name() != QLatin1String("CompatibleMaterials"))
        return materials;
    if (reader.readNext() != QXmlStreamReader::Characters)
        return materials;
    const QString text = reader.text().toString();
    qCDebug(lcProcessArchiver) << "text-> " << text;
    const QStringList parts = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        bool parsed = false;
        const uint materialId = part.toUInt(&parsed, 10);
        if (parsed)
            materials.push_back(materialId);
    }
    return materials;
}

void ProcessArchiver::saveProcess(const ProcessRecord& process, QXmlStreamWriter& writer) {
    writer.writeStartElement(QStringLiteral("Process"));
    writer.writeAttribute(QStringLiteral("version"), QStringLiteral("1"));
    writer.writeAttribute(QStringLiteral("name"), process.getName());
    writer.writeAttribute(QStringLiteral("process-id"), QString::number(process.getId()));
    saveCompatibleMaterials(process, writer);
    writer.writeEndElement();
}

void ProcessArchiver::saveCompatibleMaterials(const ProcessRecord& process,
                                              QXmlStreamWriter& writer) {
    QStringList ids;
    for (uint32_t materialId : process.getCompatibleMaterialIds())
        ids.append(QString::number(materialId));
    writer.writeTextElement(QStringLiteral("CompatibleMaterials"), ids.join(QLatin1Char(';')));
}

} // namespace Model::Persistence
