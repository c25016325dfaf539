#pragma once

#include "Core/ProcessList/processdata.h"

#include <QList>
#include <QString>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace Ui {

// Stores a list of processes with their parameters in a "Process List (*.plst)" file and
// reads such lists back. The file is self-describing: every parameter carries its name, type
// name and value as text.
class ProcessListArchiver {
public:
    explicit ProcessListArchiver(QList<ProcessData> processes = {});

    static QString filter() { return QStringLiteral("Process List (*.plst)"); }

    // Writes the list the archiver was built with. The previous file is replaced only when
    // the new one is complete.
    bool saveProcessList(const QString& fileName);
    // Appends the records of the file to `processes`, each with a new id. False, with the list
    // unchanged, when the file cannot be opened, holds no "Process-List" or is damaged;
    // errorString() then says why.
    bool loadProcessList(const QString& fileName, QList<ProcessData>& processes);
    // Reads the "Process-Data" element the reader stands on and leaves the reader on the
    // first element after its parameters. Any other element gives a record of type Invalid.
    ProcessData readProcessData();

    QString errorString() const { return error; }

    // Lists are small; a file beyond this is refused before the XML reader holds it all.
    static constexpr qint64 maximumFileBytes = qint64(256) << 20;

private:
    void writeProcessData(ProcessData& process);
    // Moves to the next start element anywhere in the file; false at its end or an error.
    bool advance();

    QList<ProcessData> processes;
    QXmlStreamWriter writer;
    QXmlStreamReader reader;
    QString error;
};

} // namespace Ui
