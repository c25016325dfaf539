#include "Core/Operations/Objects/deleteobject.h"

#include "Core/Operations/Objects/documentedits.h"

namespace Core::Operations {

DeleteObject::DeleteObject(OperationContext& context)
    : ObjectOperation(QStringLiteral("Delete Objects"), 4), context(context) {}

void DeleteObject::message(const QString& text) const {
    context.consoleInput.writeMessage(QStringLiteral("Delete: ") + text);
}

void DeleteObject::step() {
    if (done || closed)
        return;
    const Model::ObjectList selected = context.selection.getSelectedObjects();
    if (selected.empty()) {
        // Asked once already: Enter with still nothing selected gives up.
        if (asked) {
            end();
            return;
        }
        asked = true;
        message(QStringLiteral("Select the objects to be deleted and press Return/Enter"));
        context.consoleInput.requestEnter(*this);
        context.selection.setSelectionMode(true);
        return;
    }
    objects = selected;
    context.selection.clearSelection();
    context.selection.setSelectionMode(false);
    done = true;
    end();
}

void DeleteObject::end() {
    if (closed)
        return;
    closed = true;
    if (done) {
        for (const Model::ObjectPtr& object : objects)
            DocumentEdits::remove(context, object);
        context.notifyUpdateObservers();
        context.consoleInput.reset();
        message(QStringLiteral("objects deleted."));
        context.host.finishCurrentOperation();
        return;
    }
    context.notifyUpdateObservers();
    context.consoleInput.reset();
    message(QStringLiteral("Operation canceled, no selected objects."));
    DocumentEdits::dropIfCurrent(context, *this);
}

void DeleteObject::cancel() {
    // Nothing to take back once the objects are gone; the undo stack owns that now.
    if (closed)
        return;
    closed = true;
    context.notifyUpdateObservers();
    context.consoleInput.reset();
    message(QStringLiteral("Operation canceled."));
    DocumentEdits::dropIfCurrent(context, *this);
}

int DeleteObject::undo() {
    for (const Model::ObjectPtr& object : objects)
        DocumentEdits::add(context, object);
    context.notifyUpdateObservers();
    return 1;
}

bool DeleteObject::redo() {
    for (const Model::ObjectPtr& object : objects)
        DocumentEdits::remove(context, object);
    context.notifyUpdateObservers();
    return true;
}

} // namespace Core::Operations
