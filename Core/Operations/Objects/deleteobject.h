#pragma once

#include "Core/Operations/Objects/objectoperation.h"
#include "Core/Operations/operationcontext.h"
#include "Model/layer.h"

namespace Core::Operations {

// Takes the selected objects out of the document. The operation keeps them, so undo puts the
// very same objects back (at the end of the current layer) and redo takes them out again.
class DeleteObject : public ObjectOperation {
public:
    explicit DeleteObject(OperationContext& context);

    void step() override;
    void cancel() override;
    void end() override;
    int undo() override;
    bool redo() override;

    const Model::ObjectList& getObjects() const { return objects; }

private:
    void message(const QString& text) const;

    OperationContext& context;
    bool done = false;
    bool asked = false;
    bool closed = false;
    Model::ObjectList objects;
};

} // namespace Core::Operations
