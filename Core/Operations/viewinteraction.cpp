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
    tracking = false;
}

void ViewInteraction::requestTrackingPick(Operation& operation, Util::Vector4D& target, int& state,
                                          const Util::Vector4D& anchor) {
    std::lock_guard<std::mutex> guard(lock);
    pickingOperation = operation.weak_from_this();
    pickTarget = &target;
    pickState = &state;
    tracking = true;
    trackingAnchor = anchor;
}

bool ViewInteraction::isTracking(Util::Vector4D* anchor) const {
    std::lock_guard<std::mutex> guard(lock);
    if (!tracking || !pickingOperation.lock())
        return false;
    if (anchor)
        *anchor = trackingAnchor;
    return true;
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

void ViewInteraction::setPreviewObjects(const Model::ObjectList& objects) {
    std::lock_guard<std::mutex> guard(lock);
    previewObjects = objects;
}

Model::ObjectList ViewInteraction::getPreviewObjects() const {
    std::lock_guard<std::mutex> guard(lock);
    return previewObjects;
}

void ViewInteraction::setMarks(const std::vector<Util::Vector4D>& points) {
    std::lock_guard<std::mutex> guard(lock);
    marks = points;
}

std::vector<Util::Vector4D> ViewInteraction::getMarks() const {
    std::lock_guard<std::mutex> guard(lock);
    return marks;
}

void ViewInteraction::reset() {
    std::lock_guard<std::mutex> guard(lock);
    pickedObjects.clear();
    previewObjects.clear();
    pickingOperation.reset();
    pickTarget = nullptr;
    pickState = nullptr;
    tracking = false;
}

} // namespace Core::Operations
