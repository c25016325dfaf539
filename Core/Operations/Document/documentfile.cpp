#include "Core/Operations/Document/documentfile.h"

#include "Core/Operations/iuserprompts.h"
#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/volumebudget.h"
#include "Util/recentfolder.h"
#include "Util/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <mutex>
#include <new>

Q_LOGGING_CATEGORY(lcDocumentFile, "Core/Operations/Document/documentfile", QtInfoMsg)

namespace Core::Operations {

using Model::Persistence::DocumentArchiver;
using ReadStatus = DocumentArchiver::ReadStatus;

namespace {

const QString writeErrorTitle = QStringLiteral("Error writing to file");
const QString readErrorTitle = QStringLiteral("Error reading from file");

QString gibibytes(qint64 bytes) {
    return QString::number(double(bytes) / (1024.0 * 1024.0 * 1024.0), 'f', 1);
}

void refuse(IUserPrompts& prompts, const QString& text) {
    qCDebug(lcDocumentFile) << text;
    prompts.showMessage(IUserPrompts::Icon::Information, readErrorTitle, text);
}

} // namespace

bool DocumentFile::writeDocument(const Model::Document& document,
                                 const Model::Persistence::ArchiverTable& archivers,
                                 const QString& fileName, QString* problem) {
    // Saving replaces the file by a new one: a device or a pipe of that name (/dev/full, run
    // as root) would become a plain file.
    if (const QFileInfo existing(fileName); existing.exists() && !existing.isFile()) {
        if (problem)
            *problem = QStringLiteral("it exists and is not a regular file");
        return false;
    }
    Util::SaveFile file(fileName);
    bool written = false;
    QString reason;
    if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        DocumentArchiver archiver(archivers);
        if (archiver.write(&file, document)) {
            written = file.commit();
        } else {
            // Cancelling replaces the reason with its own words.
            reason = file.error() != QFileDevice::NoError
                         ? file.errorString()
                         : QStringLiteral("an object of the document could not be written");
            file.cancelWriting();
        }
    }
    if (!written) {
        if (reason.isEmpty())
            reason = file.errorString();
        qCDebug(lcDocumentFile) << "Could not write" << fileName << reason;
        if (problem)
            *problem = reason;
    }
    return written;
}

Model::Persistence::ArchiverTable DocumentFile::archivers() {
    return DocumentArchiver::standardArchivers();
}

namespace {

struct Remembered {
    std::mutex lock;
    QString path;
};

Remembered& remembered() {
    static Remembered state;
    return state;
}

} // namespace

QString DocumentFile::rememberedPath() {
    std::lock_guard<std::mutex> guard(remembered().lock);
    return remembered().path;
}

void DocumentFile::rememberPath(const QString& path) {
    {
        std::lock_guard<std::mutex> guard(remembered().lock);
        remembered().path = path;
    }
    Util::RecentFolder::remember(path);
}

bool DocumentFile::write(OperationContext& context, const QString& fileName) {
    QString problem;
    if (!writeDocument(*context.document, context.snapshotFiles.getArchivers(), fileName,
                       &problem)) {
        const QString text = QStringLiteral("Unable to save the document to %1: %2. The "
                                            "document is still open, and any earlier version of "
                                            "the file is unchanged.")
                                 .arg(QDir::toNativeSeparators(fileName), problem);
        context.prompts.showMessage(IUserPrompts::Icon::Critical, writeErrorTitle, text);
        return false;
    }
    context.document->setFileName(fileName);
    context.document->setModified(false);
    return true;
}

std::optional<DocumentFile::Contents>
DocumentFile::load(const QString& fileName, const Model::Persistence::ArchiverTable& archivers,
                   IUserPrompts& prompts, Surfaces surfaces) {
    rememberPath(fileName);
    const QString shown = QDir::toNativeSeparators(fileName);

    // Only plain files: a device or a pipe could feed the reader without end.
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        refuse(prompts, QStringLiteral("Unable to open %1.").arg(shown));
        return std::nullopt;
    }
    const qint64 size = file.size();
    const auto available = Model::Automaton::VolumeBudget::availableBytes();
    if (std::uint64_t(size) * readerBytesPerFileByte > available) {
        refuse(prompts, QStringLiteral("Reading %1 needs about %2 GiB of memory, but only %3 GiB "
                                       "are available.")
                            .arg(shown, gibibytes(size * readerBytesPerFileByte),
                                 gibibytes(qint64(available))));
        return std::nullopt;
    }

    Contents contents;
    try {
        DocumentArchiver archiver(archivers);
        contents = archiver.read(&file, surfaces);
    } catch (const std::bad_alloc&) {
        refuse(prompts, QStringLiteral("There is not enough memory to read %1.").arg(shown));
        return std::nullopt;
    }

    switch (contents.status) {
    case ReadStatus::NotADocument:
        refuse(prompts, QStringLiteral("%1 is not a Cellvane document.").arg(shown));
        return std::nullopt;
    case ReadStatus::Refused:
        refuse(prompts, QStringLiteral("%1 could not be read. %2").arg(shown, contents.error));
        return std::nullopt;
    case ReadStatus::Complete:
    case ReadStatus::Damaged:
        break;
    }
    return contents;
}

void DocumentFile::apply(OperationContext& target, const QString& fileName,
                         const Contents& contents) {
    // A document that was empty becomes the file's, scale included; one that already holds
    // volumes keeps its scale, which the added ones take.
    if (target.document->getObjects().empty())
        target.document->setMicrometresPerSceneUnit(contents.micrometresPerSceneUnit);
    for (const Model::ObjectPtr& object : contents.objects)
        target.document->addObject(object);
    if (contents.status == ReadStatus::Complete)
        target.document->setFileName(fileName);
    for (const QString& warning : contents.warnings)
        target.consoleInput.writeMessage(warning);
    target.notifyUpdateObservers();
}

void DocumentFile::reportDamage(IUserPrompts& prompts, const QString& fileName,
                                const Contents& contents) {
    if (contents.status != ReadStatus::Damaged)
        return;
    prompts.showMessage(IUserPrompts::Icon::Warning, readErrorTitle,
                        QStringLiteral("%1 is damaged (%2). Only what comes before the damage "
                                       "was read. The file is left as it is; save the document "
                                       "under a new name to keep what was read.")
                            .arg(QDir::toNativeSeparators(fileName), contents.error));
}

bool DocumentFile::read(OperationContext& target, const QString& fileName) {
    const std::optional<Contents> contents =
        load(fileName, target.snapshotFiles.getArchivers(), target.prompts);
    if (!contents)
        return false;
    apply(target, fileName, *contents);
    reportDamage(target.prompts, fileName, *contents);
    return true;
}

} // namespace Core::Operations
