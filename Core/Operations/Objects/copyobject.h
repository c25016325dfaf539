#pragma once

#include "Core/Operations/Objects/placementoperation.h"

namespace Core::Operations {

// Adds copies of the selected objects, displaced by a typed or picked distance. Undo takes
// exactly those copies out of the document again; redo puts the same copies back.
class CopyObject : public PlacementOperation {
public:
    explicit CopyObject(OperationContext& context);

    int undo() override;
    bool redo() override;

protected:
    // A cell volume is copied only when the copy fits in memory.
    Model::ObjectPtr placed(const Model::ObjectPtr& selected, QString& refusal) override;
    void apply(const Model::ObjectPtr& object) override;
    QString doneMessage() const override { return QStringLiteral("Object(s) copied"); }
    bool previewOutsideDocument() const override { return true; }
};

} // namespace Core::Operations
