#pragma once

#include "Core/Study/varianttable.h"

#include <QJsonArray>
#include <QString>

#include <optional>

namespace Core::Study {

// Where a study keeps its files. Everything a variant produces lives in its own folder, so
// that any process on any machine that sees DIR can run it:
//
//   DIR/study.json               the record (list, table, hashes, engine, runs)
//   DIR/list.plst                the process list as the study was started with it
//   DIR/variants.csv             the table of variants
//   DIR/variants/<id>/metrics.json  written last, whole or not at all: the variant is finished
//   DIR/variants/<id>/log.txt, pictures, document.cvx (with --keep-documents)
class StudyFolder {
public:
    explicit StudyFolder(const QString& path);

    QString path() const { return root; }
    QString recordFile() const;
    QString listFile() const;
    QString tableFile() const;
    QString variantFolder(const QString& id) const;
    QString metricsFile(const QString& id) const;
    QString logFile(const QString& id) const;
    QString documentFile(const QString& id) const;
    // Present while a task runs the variant: "HOST PID".
    QString runningFile(const QString& id) const;
    // Present when the variant's task was cancelled or stopped before it finished: when, and
    // how. The variant is missing and runs with the next run, which removes the file.
    QString cancelledFile(const QString& id) const;

private:
    QString root;
};

// What DIR/study.json says: the study's inputs with their hashes, and every run made on it.
struct StudyRecord {
    // The list and table as given (absolute names) and the SHA-256 of their bytes.
    QString listSource;
    QString listHash;
    QString tableSource;
    QString tableHash;
    // A document to start from, which of its cell volumes, and its hash; empty when the list
    // creates its own volume.
    QString input;
    int volume = 1;
    QString inputHash;
    // The folder relative names in the list are taken from (where the study was started).
    QString workingFolder;
    bool keepDocuments = false;
    // "local", "slurm", ...: the engine of the latest run.
    QString engine;
    QString created;
    VariantTable table;
    // One object per `run`: engine, jobs, threads, started, finished, variants run.
    QJsonArray runs;

    QByteArray json() const;
    static std::optional<StudyRecord> read(const QString& fileName, QString& problem);
    bool write(const QString& fileName, QString& problem) const;
};

// The SHA-256 of a file's bytes in hex; empty when it cannot be read.
QString fileHash(const QString& fileName);
// Writes `bytes` to a temporary name beside `fileName` and renames it over the file, so a
// reader sees the old file or the new one whole, never a part.
bool writeWhole(const QString& fileName, const QByteArray& bytes, QString& problem);
// Now, in ISO 8601 with the UTC offset, as the study's times are written.
QString timestamp();
// Records that the variant's task was stopped before it finished (`how`: "cancelled with the
// array 12"), in place of its running file.
void markCancelled(const StudyFolder& folder, const QString& id, const QString& how);

} // namespace Core::Study
