#pragma once

#include "Model/Persistence/documentarchiver.h"

#include <QString>

#include <optional>

namespace Core::Operations {

class IUserPrompts;
class OperationContext;

// Saving a document to its file and reading one back, with what the user is told when that
// goes wrong.
class DocumentFile {
public:
    using Contents = Model::Persistence::DocumentArchiver::ReadResult;

    static QString filter() { return QStringLiteral("Cellvane file (*.cvx)"); }

    // Writes the context's document to `fileName`. The previous file is replaced only once
    // the new one is complete, so a failed save never costs the user the last good copy. On
    // success the document takes the name; on failure the user is told and nothing changes.
    static bool write(OperationContext& context, const QString& fileName);
    // The same write of any document, without telling anyone: false, with the reason, when
    // the file could not be written (any older file is then left whole).
    static bool writeDocument(const Model::Document& document,
                              const Model::Persistence::ArchiverTable& archivers,
                              const QString& fileName, QString* problem = nullptr);
    // The archivers of every kind of object a document file holds.
    static Model::Persistence::ArchiverTable archivers();

    using Surfaces = Model::Persistence::DocumentArchiver::Surfaces;

    // Reads `fileName` (and remembers it as the open location). Files that cannot be read at
    // all are reported through `prompts` and give nothing; a file damaged after its header
    // gives what was read before the damage. A window builds the surfaces of what it will
    // show; callers without one pass Surfaces::Skip.
    static std::optional<Contents> load(const QString& fileName,
                                        const Model::Persistence::ArchiverTable& archivers,
                                        IUserPrompts& prompts, Surfaces surfaces = Surfaces::Build);
    // Adds what was read to the context's document, prints the warnings on its console and
    // has the views refresh. A complete read also gives the document the file's name; a
    // damaged one does not, so that Save cannot overwrite the intact original with the part.
    static void apply(OperationContext& target, const QString& fileName, const Contents& contents);
    // Tells the user that only part of a damaged file was read; nothing for a complete one.
    static void reportDamage(IUserPrompts& prompts, const QString& fileName,
                             const Contents& contents);

    // load, apply and reportDamage on one context. False when nothing could be read.
    static bool read(OperationContext& target, const QString& fileName);

    // The last document chosen for opening or read, so that the window that shows it can name
    // it; remembering it also makes its folder the one the next file dialog opens in.
    static QString rememberedPath();
    static void rememberPath(const QString& path);

    // Memory the XML reader needs per byte of file, beyond the volumes it builds, at worst: the
    // cells' text normally streams past without being held, but a text the fast path does not
    // take (line breaks between the ids) is held whole by the reader.
    static constexpr qint64 readerBytesPerFileByte = 4;
};

} // namespace Core::Operations
