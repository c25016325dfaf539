#include "Core/Operations/Document/savedocumentasoperation.h"

#include "Core/Operations/operationcontext.h"

namespace Core::Operations {

SaveDocumentAsOperation::SaveDocumentAsOperation(OperationContext& context)
    : SaveDocumentOperation(context, QStringLiteral("Save Document As"), 10) {}

void SaveDocumentAsOperation::step() {
    fileName = askForFileName();
    end();
}

void SaveDocumentAsOperation::end() {
    if (!fileName.isEmpty())
        save();
    context.host.finishCurrentOperation();
}

} // namespace Core::Operations
