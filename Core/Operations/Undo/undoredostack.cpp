#include "Core/Operations/Undo/undoredostack.h"

namespace Core::Operations {

namespace {

ObjectOperationPtr takeBack(std::deque<ObjectOperationPtr>& stack) {
    if (stack.empty())
        return nullptr;
    ObjectOperationPtr back = stack.back();
    stack.pop_back();
    return back;
}

QString backName(const std::deque<ObjectOperationPtr>& stack) {
    return stack.empty() ? QString() : stack.back()->getName();
}

} // namespace

void UndoRedoStack::pushFinished(const ObjectOperationPtr& operation) {
    undoStack.push_back(operation);
    redoStack.clear();
    notifyUndoObservers();
    notifyRedoObservers();
}

ObjectOperationPtr UndoRedoStack::takeUndo() {
    return takeBack(undoStack);
}

ObjectOperationPtr UndoRedoStack::takeRedo() {
    return takeBack(redoStack);
}

void UndoRedoStack::clear() {
    redoStack.clear();
    undoStack.clear();
    notifyRedoObservers();
    notifyUndoObservers();
}

QString UndoRedoStack::undoName() const {
    return backName(undoStack);
}

QString UndoRedoStack::redoName() const {
    return backName(redoStack);
}

} // namespace Core::Operations
