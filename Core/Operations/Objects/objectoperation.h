#pragma once

#include "Core/Operations/Undo/journalcells.h"
#include "Core/Operations/operation.h"

#include <optional>

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

    // Where the only change this step made (when done, or when `undone`), the cells of one
    // volume, is already recorded, so that the recovery journal need not write them again.
    // Nothing for a step that changes more than that, or that could not record them.
    virtual std::optional<JournalCells> journalCells(bool undone) const {
        (void)undone;
        return std::nullopt;
    }

    // The object this step worked on (the cell volume a process changed or a substrate
    // created); null for a step on several objects or none. The step history lists by it.
    virtual const void* subject() const { return nullptr; }
    // The values the step ran with, as the user chose them ("Film Thickness 3 µm, Material
    // Thermal Si02"); empty when nobody described them.
    const QString& getParameterText() const { return parameterText; }
    void setParameterText(const QString& text) { parameterText = text; }

private:
    QString parameterText;
};

using ObjectOperationPtr = std::shared_ptr<ObjectOperation>;

} // namespace Core::Operations
