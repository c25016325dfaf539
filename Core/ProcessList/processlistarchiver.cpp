#include "Core/ProcessList/processlistarchiver.h"

#include "Core/ProcessList/parametercodec.h"
#include "Model/Automaton/volumebudget.h"
#include "Util/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcProcessListArchiver, "Core/ProcessList/processlistarchiver", QtInfoMsg)

namespace Ui {

namespace {

const QString listElement = QStringLiteral("Process-List");
const QString processElement = QStringLiteral("Process-Data");
const QString parameterElement = QStringLiteral("Parameter");

QString boolText(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

ProcessListArchiver::ProcessListArchiver(QList<ProcessData> processes)
    : processes(std::move(processes)) {}

bool ProcessListArchiver::saveProcessList(const QString& fileName) {
    error.clear();
    Util::SaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        error = file.errorString();
        return false;
    }
    writer.setDevice(&file);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(4);
    writer.writeStartDocument(QStringLiteral("1.0"));
    writer.writeStartElement(listElement);
    for (ProcessData& process : processes)
        writeProcessData(process);
    writer.writeEndElement();
    writer.writeEndDocument();
    const bool written = !writer.hasError() && file.commit();
    writer.setDevice(nullptr);
    if (!written)
        error = file.errorString();
    return written;
}

void ProcessListArchiver::writeProcessData(ProcessData& process) {
    writer.writeStartElement(processElement);
    writer.writeAttribute(QStringLiteral("process-type"),
                          QString::number(process.getProcessType()));
    const QMap<QString, QVariant> parameters = process.getParameters();
    const QMap<QString, bool> visibility = process.getVisibility();
    for (auto parameter = parameters.cbegin(); parameter != parameters.cend(); ++parameter) {
        writer.writeEmptyElement(parameterElement);
        writer.writeAttribute(QStringLiteral("parameter-name"), parameter.key());
        writer.writeAttribute(QStringLiteral("parameter-type"),
                              ParameterCodec::typeName(parameter.value()));
        writer.writeAttribute(QStringLiteral("parameter-data"),
                              ParameterCodec::encode(parameter.value()));
        writer.writeAttribute(QStringLiteral("parameter-visibility"),
                              boolText(visibility.value(parameter.key(), false)));
    }
    writer.writeEndElement();
}

bool ProcessListArchiver::advance() {
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement) {
            qCDebug(lcProcessListArchiver)
                << "CurrentTag: " << reader.name() << " in line " << reader.lineNumber();
            return true;
        }
    }
    return false;
}

bool ProcessListArchiver::loadProcessList(const QString& fileName, QList<ProcessData>& list) {
    error.clear();
    const QString shown = QDir::toNativeSeparators(fileName);
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = QStringLiteral("Unable to open %1.").arg(shown);
        return false;
    }
    const qint64 size = file.size();
    if (size > maximumFileBytes ||
        std::uint64_t(size) * 4 > Model::Automaton::VolumeBudget::availableBytes()) {
        error = QStringLiteral("%1 is too large to be a process list.").arg(shown);
        return false;
    }

    reader.setDevice(&file);
    bool found = false;
    while (!found && advance())
        found = reader.name() == listElement;
    if (!found) {
        error = reader.hasError() ? QStringLiteral("%1 is damaged (line %2: %3).")
                                        .arg(shown)
                                        .arg(reader.lineNumber())
                                        .arg(reader.errorString())
                                  : QStringLiteral("%1 is not a process list.").arg(shown);
        reader.setDevice(nullptr);
        return false;
    }

    // Records go to the caller's list only once the whole file has been read, so a damaged
    // file never leaves half a list behind.
    QList<ProcessData> read;
    advance();
    while (!reader.atEnd()) {
        if (reader.isStartElement() && reader.name() == processElement) {
            read.append(readProcessData());
            continue;
        }
        if (reader.isStartElement())
            qCDebug(lcProcessListArchiver) << "Unknown tag found in file: " << reader.name()
                                           << " in line " << reader.lineNumber();
        advance();
    }
    const bool damaged = reader.hasError();
    if (damaged)
        error = QStringLiteral("%1 is damaged (line %2: %3).")
                    .arg(shown)
                    .arg(reader.lineNumber())
                    .arg(reader.errorString());
    reader.setDevice(nullptr);
    if (damaged)
        return false;
    list.append(read);
    return true;
}

ProcessData ProcessListArchiver::readProcessData() {
    qCDebug(lcProcessListArchiver)
        << "Starting parse of : " << reader.name() << " in line " << reader.lineNumber();
    if (!reader.isStartElement() || reader.name() != processElement)
        return ProcessData(ProcessData::Invalid);

    bool parsed = false;
    int processType = reader.attributes().value(QStringLiteral("process-type")).toInt(&parsed, 10);
    if (!parsed)
        processType = 0;

    struct Value {
        QVariant value;
        bool visible = true;
    };
    QMap<QString, Value> values;
    advance();
    while (reader.isStartElement() && reader.name() == parameterElement) {
        const QXmlStreamAttributes attributes = reader.attributes();
        const QString name = attributes.value(QStringLiteral("parameter-name")).toString();
        Value& value = values[name];
        value.value =
            ParameterCodec::decode(attributes.value(QStringLiteral("parameter-type")).toString(),
                                   attributes.value(QStringLiteral("parameter-data")).toString());
        const QStringRef visibility = attributes.value(QStringLiteral("parameter-visibility"));
        value.visible = visibility.isEmpty() || visibility == QLatin1String("true");
        if (!advance())
            break;
    }

    ProcessData process(processType);
    for (auto entry = values.cbegin(); entry != values.cend(); ++entry)
        process.setParameter(entry.key(), entry.value().value, entry.value().visible);
    return process;
}

} // namespace Ui
