#include "Core/Operations/viewinteraction.h"

namespace Core::Operations {

void ViewInteraction::setPickedObjects(const Model::ObjectList& objects) {
    std::lock_guard<std::mutex> guard(lock);
    pickedObjects = objects;
}

Model::ObjectList ViewInteraction::getPickedObjects() const {
    std::lock_guard<std::mutex> guard(lock);
    return pickedObjects;
}

void ViewInteraction::requestPick(Operation& operation, Util::Vector4D& target, int& state) {
    std::lock_guard<std::mutex> guard(lock);
    pickingOperation = operation.weak_from_this();
    pickTarget = &target;
    pickState = &state;
}

OperationPtr ViewInteraction::getPickingOperation() const {
    std::lock_guard<std::mutex> guard(lock);
    return pickingOperation.lock();
}

bool ViewInteraction::deliverPick(const Util::Vector4D& point, int newState) {
    std::lock_guard<std::mutex> guard(lock);
    // The targets live in the operation; only touch them while it is still alive.
    if (!pickingOperation.lock() || !pickTarget)
        return false;
    pickTarget->copy3(point);
    if (pickState)
        *pickState = newState;
    return true;
}

void ViewInteraction::reset() {
    std::lock_guard<std::mutex> guard(lock);
    pickedObjects.clear();
    pickingOperation.reset();
    pickTarget = nullptr;
    pickState = nullptr;
}

} // namespace Core::Operations
