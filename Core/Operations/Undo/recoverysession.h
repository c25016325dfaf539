#pragma once

#include <QString>
#include <QStringList>

namespace Core::Operations {

// The folder one running window keeps its undo snapshots and its recovery journal in, below
// the user's cache folder, held by a lock file for as long as the window lives. A folder whose
// lock is no longer held belongs to a program that died: its journal can be recovered.
class RecoverySession {
public:
    // Creates and locks a fresh folder; isValid() is false when none could be created (the
    // cache and the temporary folder are both unwritable).
    RecoverySession();
    // Locks the existing folder `path` of a session that is no longer running; isValid() is
    // false when another program holds it.
    explicit RecoverySession(const QString& path);
    ~RecoverySession();

    RecoverySession(const RecoverySession&) = delete;
    RecoverySession& operator=(const RecoverySession&) = delete;

    bool isValid() const { return locked; }
    // Why no folder could be made, with the system's reason; empty for a valid session.
    QString getFailure() const { return failure; }
    const QString& path() const { return folder; }
    QString filePath(const QString& name) const;

    // At destruction the folder is removed, unless it is kept for a later recovery (the
    // program is ending on a signal with unsaved work).
    void keepForRecovery(bool keep) { kept = keep; }
    bool isKeptForRecovery() const { return kept; }
    // Removes the folder now (the lock goes with it).
    void remove();
    // Renames the folder aside so that it is never offered again; gives the new path.
    QString putAside();

    // `$XDG_CACHE_HOME/Cellvane/recovery` (`~/.cache/...` when the variable is unset).
    static QString root();
    // Where sessions go when the cache cannot be written: `$TMPDIR/Cellvane-recovery-UID`,
    // made with mode 0700; one that is not this user's own folder is never used.
    static QString temporaryRoot();
    // Those of root() and temporaryRoot() that exist and are this user's own folders.
    static QStringList roots();
    // The session folders below roots() whose program is no longer running, oldest first.
    static QStringList findStale();
    // Removes the stale folders that hold nothing to recover (no journal): the snapshot files
    // of a program that died, which would otherwise fill the cache.
    static void removeAbandoned();

    static constexpr const char* damagedSuffix = ".damaged";
    // The recovery journal's manifest: a stale folder without one holds nothing to recover.
    static constexpr const char* journalName = "journal.json";

private:
    bool lockIn(const QString& path);
    void unlock();

    QString folder;
    QString failure;
    // An flock on the lock file: the kernel lets go of it when the process dies, however.
    int lockDescriptor = -1;
    bool locked = false;
    bool kept = false;
};

} // namespace Core::Operations
