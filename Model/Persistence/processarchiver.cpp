#include "Model/Persistence/processarchiver.h"

#include <QLocale>
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
    const std::map<uint32_t, double> rates = loadEtchRates(reader);
    if (reader.hasError())
        return ProcessRecord();
    if (ok)
        *ok = true;
    ProcessRecord process(name, id, materials);
    process.setEtchRates(rates);
    return process;
}

std::map<uint32_t, double> ProcessArchiver::loadEtchRates(QXmlStreamReader& reader) {
    std::map<uint32_t, double> rates;
    // Where loadCompatibleMaterials stopped: at the end of the process when it had no child,
    // otherwise somewhere inside it. Depth counts the elements open below the process.
    if (reader.isEndElement() && reader.name() == QLatin1String("Process"))
        return rates;
    int depth = reader.isStartElement() ? 1 : reader.isCharacters() ? 1 : 0;
    bool inRates = false;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 1 && reader.name() == QLatin1String("EtchRates"))
                inRates = true;
            else if (inRates && depth == 2 && reader.name() == QLatin1String("Rate")) {
                bool idOk = false, rateOk = false;
                const uint material =
                    reader.attributes().value(QLatin1String("material-id")).toUInt(&idOk, 10);
                const double rate =
                    reader.attributes().value(QLatin1String("value")).toDouble(&rateOk);
                if (idOk && rateOk && material != 0 && rate >= 0.0 && rate <= 1.0e9)
                    rates[material] = rate;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth == 0)
                break; // the end of the process
            if (depth == 1)
                inRates = false;
            --depth;
        }
    }
    return rates;
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
    saveEtchRates(process, writer);
    writer.writeEndElement();
}

void ProcessArchiver::saveEtchRates(const ProcessRecord& process, QXmlStreamWriter& writer) {
    if (process.getEtchRates().empty())
        return;
    writer.writeStartElement(QStringLiteral("EtchRates"));
    writer.writeAttribute(QStringLiteral("unit"), QStringLiteral("um/min"));
    for (const auto& [material, rate] : process.getEtchRates()) {
        writer.writeEmptyElement(QStringLiteral("Rate"));
        writer.writeAttribute(QStringLiteral("material-id"), QString::number(material));
        writer.writeAttribute(QStringLiteral("value"),
                              QString::number(rate, 'g', QLocale::FloatingPointShortest));
    }
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
