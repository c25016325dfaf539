#pragma once

#include "Core/Operations/Objects/objectoperation.h"
#include "Util/iobserver.h"

#include <deque>

namespace Core::Operations {

// The two stacks of finished undoable operations, newest at the back, and the observers that
// keep the Undo and Redo actions in step with them.
class UndoRedoStack {
public:
    // A new finished operation: onto the undo stack, and the redo history is gone.
    void pushFinished(const ObjectOperationPtr& operation);

    ObjectOperationPtr takeUndo();
    ObjectOperationPtr takeRedo();
    void pushUndo(const ObjectOperationPtr& operation) { undoStack.push_back(operation); }
    void pushRedo(const ObjectOperationPtr& operation) { redoStack.push_back(operation); }

    // Empties both stacks, telling the redo and then the undo observers.
    void clear();

    // Name of the operation an Undo (Redo) would act on, or empty.
    QString undoName() const;
    QString redoName() const;
    const std::deque<ObjectOperationPtr>& getUndoStack() const { return undoStack; }
    const std::deque<ObjectOperationPtr>& getRedoStack() const { return redoStack; }

    Util::ObserverList& getUndoObservers() { return undoObservers; }
    Util::ObserverList& getRedoObservers() { return redoObservers; }
    void notifyUndoObservers() { Util::notifyAll(undoObservers); }
    void notifyRedoObservers() { Util::notifyAll(redoObservers); }

private:
    std::deque<ObjectOperationPtr> undoStack;
    std::deque<ObjectOperationPtr> redoStack;
    Util::ObserverList undoObservers;
    Util::ObserverList redoObservers;
};

} // namespace Core::Operations
