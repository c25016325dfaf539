#pragma once

#include "Core/Operations/operation.h"
#include "Util/iobserver.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace Ui::Observers {

// Base of the dialog observers: watches the presenter's current operation and acts only when
// it is an operation of the kind this observer serves.
template <class Op> class OperationObserver : public Util::IObserver {
public:
    OperationObserver(Core::Operations::OperationPtr& currentOperation, QWidget* parent)
        : currentOperation(currentOperation), parent(parent) {}

protected:
    std::shared_ptr<Op> operation() const {
        return std::dynamic_pointer_cast<Op>(currentOperation);
    }
    QWidget* parentWidget() const { return parent; }

    // Shows `dialog` modally. OK passes its values on through `accept` and ends the operation;
    // Cancel cancels it.
    template <class Dialog, class Accept>
    static void acceptOrCancel(Dialog& dialog, const std::shared_ptr<Op>& op, Accept&& accept) {
        if (dialog.exec() != QDialog::Accepted) {
            op->cancel();
            return;
        }
        accept();
        op->end();
    }

private:
    Core::Operations::OperationPtr& currentOperation;
    QPointer<QWidget> parent;
};

} // namespace Ui::Observers
