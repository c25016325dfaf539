#pragma once

#include "Core/Operations/Document/savedocumentoperation.h"

namespace Core::Operations {

// Saves the document under a name the user chooses every time. Cancelling the choice still
// finishes the operation: nothing was asked of the document.
class SaveDocumentAsOperation : public SaveDocumentOperation {
public:
    explicit SaveDocumentAsOperation(OperationContext& context);

    void step() override;
    void end() override;
};

} // namespace Core::Operations
