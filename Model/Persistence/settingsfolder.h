#pragma once

#include <QString>

namespace Model::Persistence {

// The per-user folder holding the registry files: "Cellvane" in the home directory.
QString settingsFolderPath();
// `fileName` inside the settings folder.
QString settingsFilePath(const QString& fileName);

// Writes `contents` to `fileName` in the settings folder, creating the folder if it is missing.
// The previous file is replaced only once the new one is complete, so a full disk or a failed
// write never leaves a half-written registry behind. Returns false when nothing was written.
bool writeSettingsFile(const QString& fileName, const QByteArray& contents);

// Opens a registry file for reading. A file too large to be a registry is refused like a
// missing one rather than being parsed into memory.
bool registryFileReadable(const QString& path);

// A registry file that could not be loaded is about to be replaced by the built-in table; keep
// the user's file beside it as "<name>.bak" so hand edits are not lost with it.
void keepUnreadableSettingsFile(const QString& fileName);

} // namespace Model::Persistence
