#include "Core/Operations/Document/opendocumentoperation.h"

#include "Core/Operations/Document/documentfile.h"
#include "Core/Operations/operationcontext.h"

#include "Util/recentfolder.h"

#include <mutex>

namespace Core::Operations {

namespace {

struct SharedState {
    std::mutex lock;
    std::shared_ptr<Util::IObserver> observer;
};

SharedState& shared() {
    static SharedState state;
    return state;
}

} // namespace

OpenDocumentOperation::OpenDocumentOperation(OperationContext& context)
    : Operation(QStringLiteral("Open document"), 11), context(context) {}

void OpenDocumentOperation::setObserver(std::shared_ptr<Util::IObserver> value) {
    std::lock_guard<std::mutex> guard(shared().lock);
    shared().observer = std::move(value);
}

std::shared_ptr<Util::IObserver> OpenDocumentOperation::getObserver() {
    std::lock_guard<std::mutex> guard(shared().lock);
    return shared().observer;
}

QString OpenDocumentOperation::getRememberedPath() {
    return DocumentFile::rememberedPath();
}

void OpenDocumentOperation::rememberPath(const QString& path) {
    DocumentFile::rememberPath(path);
}

QString OpenDocumentOperation::getStartLocation() {
    return Util::RecentFolder::get();
}

void OpenDocumentOperation::step() {
    const QString chosen = context.prompts.chooseOpenFileIn(chooserCaption(), getStartLocation(),
                                                            DocumentFile::filter());
    // A cancelled dialog keeps the last location, so the next one opens where the user was.
    if (chosen.isEmpty()) {
        cancel();
        return;
    }
    openFile(chosen);
}

void OpenDocumentOperation::openFile(const QString& fileName) {
    rememberPath(fileName);
    end();
}

void OpenDocumentOperation::cancel() {
    context.host.cancelCurrentOperation();
}

void OpenDocumentOperation::end() {
    // Hold the observer: opening a window may replace the slot's occupant.
    if (const std::shared_ptr<Util::IObserver> observer = getObserver())
        observer->update();
    context.host.finishCurrentOperation();
}

} // namespace Core::Operations
