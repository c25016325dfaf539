#pragma once

#include <QFile>
#include <QLoggingCategory>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "Model/Persistence/settingsfolder.h"

namespace Model::Persistence {

// Reads the registry file `fileName` from the settings folder: a root element `root` whose
// child elements are records, each handed to `loadRecord(reader)`. False when the file is
// missing, unreadable, of another kind or broken; records read before the damage have already
// been handed over, so the caller keeps them apart until it knows the whole file was read.
template <class LoadRecord>
bool readRegistryFile(const QString& fileName, QLatin1String root, const QLoggingCategory& log,
                      LoadRecord&& loadRecord) {
    const QString path = settingsFilePath(fileName);
    if (!registryFileReadable(path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;

    QXmlStreamReader reader(&file);
    reader.readNextStartElement();
    if (reader.name() != root) {
        qCDebug(log) << "Not a" << root << "file:" << path;
        return false;
    }
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        qCDebug(log) << "Element:" << reader.name();
        loadRecord(reader);
    }
    if (reader.hasError()) {
        qCDebug(log) << reader.errorString();
        return false;
    }
    return true;
}

// The text of a registry file: an XML document with four-space indentation whose root element
// `root` holds what `writeRecords(writer)` writes. Empty when writing failed.
template <class WriteRecords>
QByteArray registryFileContents(const QString& root, WriteRecords&& writeRecords) {
    QByteArray contents;
    QXmlStreamWriter writer(&contents);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(4);
    writer.writeStartDocument();
    writer.writeStartElement(root);
    writeRecords(writer);
    writer.writeEndElement();
    writer.writeEndDocument();
    return writer.hasError() ? QByteArray() : contents;
}

} // namespace Model::Persistence
