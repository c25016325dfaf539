#pragma once

namespace Core::Operations {

// What an operation asks of whoever drives it (the presenter, or a fake in tests).
class IOperationHost {
public:
    virtual ~IOperationHost() = default;
    // Pushes an undoable current operation on the undo stack, then drops it as current.
    virtual void finishCurrentOperation() = 0;
    virtual void cancelCurrentOperation() = 0;
};

} // namespace Core::Operations
