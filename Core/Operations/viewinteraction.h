#pragma once

#include "Core/Operations/operation.h"
#include "Model/layer.h"
#include "Util/vector4d.h"

#include <memory>
#include <mutex>
#include <vector>

namespace Core::Operations {

// What the 3D view and the operations share about picking: the objects of the last click,
// and the operation that waits for a picked point with where the view stores it.
// The view reads this while handling mouse events, hence its own mutex.
class ViewInteraction {
public:
    void setPickedObjects(const Model::ObjectList& objects);
    Model::ObjectList getPickedObjects() const;

    // `state` is exchanged with the view while the pick proceeds (the operation sets 3).
    void requestPick(Operation& operation, Util::Vector4D& target, int& state);
    // A pick that follows the pointer: while the pointer moves the view delivers points on a
    // plane through `anchor` with state 1; a click delivers the last one with state 0.
    void requestTrackingPick(Operation& operation, Util::Vector4D& target, int& state,
                             const Util::Vector4D& anchor);
    // Whether the waiting pick follows the pointer, and the point its plane passes through.
    bool isTracking(Util::Vector4D* anchor = nullptr) const;
    OperationPtr getPickingOperation() const;
    // Stores a picked point for the waiting operation; false when none waits.
    bool deliverPick(const Util::Vector4D& point, int newState);

    // Objects the view draws besides the document's while an operation places them (copies
    // that join the document only when placed).
    void setPreviewObjects(const Model::ObjectList& objects);
    Model::ObjectList getPreviewObjects() const;

    // Points a measurement left in the view (and the line through them, in order), drawn
    // until the next pick clears them. reset() keeps them: the measurement is over by then.
    void setMarks(const std::vector<Util::Vector4D>& points);
    std::vector<Util::Vector4D> getMarks() const;
    void clearMarks() { setMarks({}); }

    void reset();

private:
    mutable std::mutex lock;
    Model::ObjectList pickedObjects;
    Model::ObjectList previewObjects;
    std::weak_ptr<Operation> pickingOperation;
    Util::Vector4D* pickTarget = nullptr;
    int* pickState = nullptr;
    bool tracking = false;
    Util::Vector4D trackingAnchor;
    std::vector<Util::Vector4D> marks;
};

} // namespace Core::Operations
