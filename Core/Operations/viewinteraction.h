#pragma once

#include "Core/Operations/operation.h"
#include "Model/layer.h"
#include "Util/vector4d.h"

#include <memory>
#include <mutex>

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
    OperationPtr getPickingOperation() const;
    // Stores a picked point for the waiting operation; false when none waits.
    bool deliverPick(const Util::Vector4D& point, int newState);

    void reset();

private:
    mutable std::mutex lock;
    Model::ObjectList pickedObjects;
    std::weak_ptr<Operation> pickingOperation;
    Util::Vector4D* pickTarget = nullptr;
    int* pickState = nullptr;
};

} // namespace Core::Operations
