#include "Core/Operations/Document/savedocumentoperation.h"

#include "Core/Operations/Document/documentfile.h"
#include "Core/Operations/operationcontext.h"

#include "Util/recentfolder.h"

#include <QFileInfo>

namespace Core::Operations {

SaveDocumentOperation::SaveDocumentOperation(OperationContext& context)
    : SaveDocumentOperation(context, QStringLiteral("Save document"), 9) {}

SaveDocumentOperation::SaveDocumentOperation(OperationContext& context, const QString& name, int id)
    : Operation(name, id), context(context) {}

QString SaveDocumentOperation::askForFileName() const {
    QString chosen = context.prompts.chooseSaveFileIn(chooserCaption(), Util::RecentFolder::get(),
                                                      DocumentFile::filter());
    if (chosen.isEmpty())
        return chosen;
    // The file dialog does not add the suffix of its filter, and File → Open shows *.cvx only.
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".cvx");
    Util::RecentFolder::remember(chosen);
    return chosen;
}

void SaveDocumentOperation::save() {
    DocumentFile::write(context, fileName);
    if (observer)
        observer->update();
}

void SaveDocumentOperation::step() {
    fileName = context.document->getFileName();
    if (fileName.isEmpty())
        fileName = askForFileName();
    end();
}

void SaveDocumentOperation::cancel() {
    context.host.cancelCurrentOperation();
}

void SaveDocumentOperation::end() {
    if (fileName.isEmpty()) {
        cancel();
        return;
    }
    save();
    context.host.finishCurrentOperation();
}

} // namespace Core::Operations
