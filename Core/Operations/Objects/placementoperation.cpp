#include "Core/Operations/Objects/placementoperation.h"

#include "Core/Operations/Objects/documentedits.h"
#include "Model/Automaton/totalvolume.h"

#include <cmath>
#include <limits>

namespace Core::Operations {

PlacementOperation::PlacementOperation(OperationContext& context, const QString& name, int id,
                                       const QString& verb, const QString& selectPrompt)
    : ObjectOperation(name, id), context(context), verb(verb), selectPrompt(selectPrompt) {}

void PlacementOperation::message(const QString& text) const {
    context.consoleInput.writeMessage(verb + QStringLiteral(": ") + text);
}

void PlacementOperation::step() {
    if (finished)
        return;
    switch (counter) {
    case WaitingForSelection:
        takeSelection();
        break;
    case WaitingForOrigin:
        originGiven();
        break;
    case FollowingPointer:
        destinationGiven();
        break;
    default:
        break;
    }
}

void PlacementOperation::takeSelection() {
    const Model::ObjectList selected = context.selection.getSelectedObjects();
    if (selected.empty()) {
        message(selectPrompt);
        context.consoleInput.requestEnter(*this);
        context.selection.setSelectionMode(true);
        return;
    }
    for (const Model::ObjectPtr& object : selected) {
        QString refusal;
        const Model::ObjectPtr target = placed(object, refusal);
        if (!target) {
            message(refusal);
            context.prompts.showMessage(IUserPrompts::Icon::Warning, name, refusal);
            cancel();
            return;
        }
        target->setMoving(true);
        target->setPreviewOffset(Util::Vector3D(distance));
        objects.push_back(target);
    }
    if (previewOutsideDocument())
        context.viewInteraction.setPreviewObjects(objects);
    message(QStringLiteral("Left click or enter the distance into the console (x, y, z):"));
    // The console request first: it ends whichever operation still waits for input, and that
    // one's cancel must not take the pick request made next with it.
    context.consoleInput.requestVector(*this, distance, vectorEntered);
    pickState = 3;
    context.viewInteraction.requestPick(*this, origin, pickState);
    counter = WaitingForOrigin;
    context.selection.setSelectionMode(false);
    context.notifyUpdateObservers();
}

void PlacementOperation::originGiven() {
    if (vectorEntered) {
        counter = Ready;
        end();
        return;
    }
    context.consoleInput.reset();
    // A vector typed only in part leaves its first components in `distance`; the picks start
    // from nothing.
    distance = Util::Vector4D();
    requestDestination();
    message(QStringLiteral("Left click on destination."));
    counter = FollowingPointer;
}

void PlacementOperation::requestDestination() {
    pickState = 3;
    context.viewInteraction.requestTrackingPick(*this, pickTarget, pickState, origin);
}

void PlacementOperation::destinationGiven() {
    destination.copy3(pickTarget);
    const Util::Vector3D steps = cellSteps();
    Util::Vector3D moved = destination - origin;
    for (int axis = 0; axis < 3; ++axis) {
        if (steps[axis] > 0.0)
            moved[axis] = std::round(moved[axis] / steps[axis]) * steps[axis];
    }
    distance += moved;
    // The part of the pointer's travel not yet worth a cell stays pending in `origin`.
    origin += moved;
    showPreview();
    if (pickState != 0) {
        requestDestination();
        return;
    }
    counter = Ready;
    end();
}

Util::Vector3D PlacementOperation::cellSteps() const {
    const double none = std::numeric_limits<double>::infinity();
    Util::Vector3D steps(none);
    for (const Model::ObjectPtr& object : objects) {
        if (const auto* volume = dynamic_cast<const Model::Automaton::TotalVolume*>(object.get())) {
            steps.x = std::min(steps.x, double(volume->getCellSizeX()));
            steps.y = std::min(steps.y, double(volume->getCellSizeY()));
            steps.z = std::min(steps.z, double(volume->getCellSizeZ()));
        }
    }
    for (int axis = 0; axis < 3; ++axis) {
        if (!std::isfinite(steps[axis]))
            steps[axis] = 0.0;
    }
    return steps;
}

void PlacementOperation::showPreview() {
    for (const Model::ObjectPtr& object : objects)
        object->setPreviewOffset(Util::Vector3D(distance));
    context.notifyUpdateObservers();
}

void PlacementOperation::stopPreview() {
    for (const Model::ObjectPtr& object : objects) {
        object->setMoving(false);
        object->setPreviewOffset(Util::Vector3D());
    }
    const OperationPtr picking = context.viewInteraction.getPickingOperation();
    if (picking && picking.get() != this) {
        // Another operation picks now; only take back the previews shown for this one.
        if (previewOutsideDocument() && context.viewInteraction.getPreviewObjects() == objects)
            context.viewInteraction.setPreviewObjects({});
        return;
    }
    context.viewInteraction.reset();
}

void PlacementOperation::end() {
    if (finished)
        return;
    if (counter != Ready) {
        cancel();
        return;
    }
    finished = true;
    stopPreview();
    for (const Model::ObjectPtr& object : objects)
        apply(object);
    context.selection.clearSelection();
    context.consoleInput.reset();
    message(doneMessage());
    context.host.finishCurrentOperation();
    context.notifyUpdateObservers();
}

void PlacementOperation::cancel() {
    if (finished)
        return;
    finished = true;
    stopPreview();
    context.consoleInput.reset();
    message(QStringLiteral("Operation canceled"));
    context.notifyUpdateObservers();
    DocumentEdits::dropIfCurrent(context, *this);
}

} // namespace Core::Operations
