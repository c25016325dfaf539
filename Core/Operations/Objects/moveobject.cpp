#include "Core/Operations/Objects/moveobject.h"

namespace Core::Operations {

MoveObject::MoveObject(OperationContext& context)
    : PlacementOperation(context, QStringLiteral("Move Objects"), 7, QStringLiteral("Move"),
                         QStringLiteral("Select the object(s) to be copied and press "
                                        "Enter/Return.")) {}

Model::ObjectPtr MoveObject::placed(const Model::ObjectPtr& selected, QString&) {
    return selected;
}

void MoveObject::apply(const Model::ObjectPtr& object) {
    object->translate(distance);
}

int MoveObject::undo() {
    for (const Model::ObjectPtr& object : objects)
        object->translate(-1.0 * distance);
    context.notifyUpdateObservers();
    return 1;
}

bool MoveObject::redo() {
    for (const Model::ObjectPtr& object : objects)
        object->translate(distance);
    context.notifyUpdateObservers();
    return true;
}

} // namespace Core::Operations
