#pragma once

#include "Util/savefile.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace Model::Export {

// What an export did: the files it wrote, or why it wrote none.
struct ExportResult {
    bool ok = false;
    QStringList files;
    QString error;

    static ExportResult failure(const QString& error) { return {false, {}, error}; }
};

// The files of one export, written beside their targets and put in place together at the
// end, so that a failed export replaces none of them and leaves no part-written file behind.
class SaveFileSet {
public:
    SaveFileSet();
    // Files not committed are discarded.
    ~SaveFileSet();

    SaveFileSet(const SaveFileSet&) = delete;
    SaveFileSet& operator=(const SaveFileSet&) = delete;

    // Opens one more file (creating its folder when missing); null once anything failed.
    Util::SaveFile* open(const QString& fileName);
    // Appends to a file opened here; false once anything failed.
    bool write(Util::SaveFile* file, const char* data, qint64 size);
    bool write(Util::SaveFile* file, const QByteArray& data);
    // Replaces bytes written earlier at `position`, then carries on at the end.
    bool overwrite(Util::SaveFile* file, qint64 position, const QByteArray& data);
    // Puts every file in place together (Util::SaveFile::commitAll). False when anything
    // failed on the way; the files then stay as they were before the export.
    bool commit();

    bool failed() const { return !problem.isEmpty(); }
    // The first failure, naming its file.
    QString error() const { return problem; }
    // Every file opened, in order.
    QStringList fileNames() const;

private:
    void fail(const Util::SaveFile& file, const QString& what);

    std::vector<std::unique_ptr<Util::SaveFile>> files;
    QStringList names;
    // Outermost first.
    QStringList createdFolders;
    QString problem;
    bool committed = false;
};

} // namespace Model::Export
