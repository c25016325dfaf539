#pragma once

#include "Core/Operations/viewinteraction.h"
#include "Model/document.h"
#include "Util/iobserver.h"

#include <memory>

namespace Core::Operations {

// The objects the user has selected and whether clicks in the view select at all.
class Selection {
public:
    Selection(std::shared_ptr<Model::Document> document, ViewInteraction& viewInteraction);

    // Picks at window coordinates (y downwards) in the current GL context. Needs the view's
    // projection and modelview to be current. False when selection mode is off or nothing
    // was hit.
    bool pick(int x, int y);

    // Toggles one object in or out of the selection, as a click on it would.
    void toggle(const Model::ObjectPtr& object);
    void clearSelection();
    Model::ObjectList getSelectedObjects() const { return selected; }

    void setSelectionMode(bool mode);
    bool isSelectionMode() const { return selectionMode; }
    Util::ObserverList& getSelectionModeObservers() { return selectionModeObservers; }

    void setDocument(std::shared_ptr<Model::Document> value) { document = std::move(value); }

private:
    std::shared_ptr<Model::Document> document;
    ViewInteraction& viewInteraction;
    Model::ObjectList selected;
    Util::ObserverList selectionModeObservers;
    bool selectionMode = false;
};

} // namespace Core::Operations
