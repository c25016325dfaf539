#pragma once

#include "Core/Operations/operation.h"

namespace Core::Operations {

// An operation that can be undone and redone from the stacks.
class ObjectOperation : public Operation {
public:
    using Operation::Operation;

    // 1 when undone (the operation moves to the redo stack), 0 when it cannot be; an undo that
    // fails leaves the document as it was.
    virtual int undo() = 0;
    // True when redone (the operation moves back to the undo stack); false, with the document
    // as it was, when it cannot be.
    virtual bool redo() = 0;
};

using ObjectOperationPtr = std::shared_ptr<ObjectOperation>;

} // namespace Core::Operations
