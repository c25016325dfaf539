#pragma once

#include "Core/Operations/Objects/selection.h"
#include "Util/iobserver.h"

#include <QAction>
#include <QPointer>

namespace Ui::Observers {

// Keeps the checked state of the "Select" action equal to the selection mode.
class SelectionModeObserver : public Util::IObserver {
public:
    SelectionModeObserver(QAction* action, Core::Operations::Selection& selection)
        : action(action), selection(selection) {}

    void update() override {
        if (action)
            action->setChecked(selection.isSelectionMode());
    }

private:
    QPointer<QAction> action;
    Core::Operations::Selection& selection;
};

} // namespace Ui::Observers
