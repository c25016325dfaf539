#pragma once

#include <QFile>
#include <QString>

#include <functional>
#include <vector>

namespace Util {

// Writes `size` bytes through `writeSome`, which may write fewer than asked (a disk filling up
// part-way, a pipe, a signal) and returns what it wrote or -1. Writing the rest again either
// completes or fails with the system's reason, so a short write never passes for a whole one.
// The one loop behind every file and pipe this program writes.
bool writeFully(const std::function<qint64(const char*, qint64)>& writeSome, const char* data,
                qint64 size);
bool writeFully(QIODevice& device, const char* data, qint64 size);

// The one way this program replaces a file: the bytes go to a temporary beside the target
// (a file without a name where the file system allows, named only just before the rename),
// every byte is written or the first failure is kept, the data are synced to the disk, the
// temporary is renamed over the target and the folder is synced, so that neither a failure nor
// a power cut leaves a truncated file, a mix of old and new, or a name pointing at nothing.
// Until commit() succeeds the target is untouched; a failed commit leaves the old file as it
// was and no temporary behind, and errorString() says why.
//
// QSaveFile does most of this, but it counts a short write as success, loses the reason once
// commit() refuses, does not sync the folder after its rename, and cannot put several files in
// place together; hence this class, which keeps QSaveFile's calls (open, write, commit,
// cancelWriting, fileName naming the target).
class SaveFile : public QFile {
public:
    explicit SaveFile(const QString& target);
    // A file that was not committed is discarded.
    ~SaveFile() override;

    SaveFile(const SaveFile&) = delete;
    SaveFile& operator=(const SaveFile&) = delete;

    // Opens a new temporary beside the target (the folder must exist). Refuses a target that
    // exists and is not a regular file (replacing /dev/full or a pipe would make it a file) and
    // one that is write-protected.
    bool open(OpenMode mode) override;
    // The target, so that messages name the file the user asked for.
    QString fileName() const override { return target; }

    // Puts the file in place; see commitAll.
    bool commit();
    // Drops what was written; a later commit() refuses.
    void cancelWriting();

    // Puts every file in place, or none: when any of them cannot be written, renamed or have
    // its folder synced, the targets renamed so far get their old contents back (or go, where
    // there were none) and every temporary is removed. The files' errorString() and `reason`
    // name the file that failed. Files that belong together (a mesh and its material library,
    // a folder of meshes) are committed this way.
    static bool commitAll(const std::vector<SaveFile*>& files, QString* reason = nullptr);

    // Tests only: the `occurrence`-th rename (or folder sync) from now fails as a full disk or
    // a failing device would make it fail; 0 turns the injection off.
    enum class Step { Rename, SyncFolder };
    static void failForTesting(Step step, int occurrence);

protected:
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool prepareCommit();
    void discard();
    void keepFailure(const QString& reason);

    QString target;
    QString temporary;
    QString failure;
    bool cancelled = false;
    // Written to a file without a name until the commit (see open()).
    bool unnamed = false;
};

} // namespace Util
