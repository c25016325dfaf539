#pragma once

#include "Core/Operations/Objects/placementoperation.h"

namespace Core::Operations {

// Moves the selected objects by a typed or picked displacement. Undo and redo move the same
// objects back and forth by that displacement.
class MoveObject : public PlacementOperation {
public:
    explicit MoveObject(OperationContext& context);

    int undo() override;
    bool redo() override;

protected:
    Model::ObjectPtr placed(const Model::ObjectPtr& selected, QString& refusal) override;
    void apply(const Model::ObjectPtr& object) override;
    QString doneMessage() const override { return QStringLiteral("Object(s) moved"); }
};

} // namespace Core::Operations
