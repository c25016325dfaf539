#pragma once

#include "Core/Operations/Objects/objectoperation.h"
#include "Core/Operations/operation.h"
#include "UI/dialogmemory.h"
#include "UI/returnkeyguard.h"
#include "Util/iobserver.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <type_traits>

namespace Ui::Observers {

// Base of the dialog observers: watches the presenter's current operation and acts only when
// it is an operation of the kind this observer serves.
template <class Op> class OperationObserver : public Util::IObserver {
public:
    OperationObserver(Core::Operations::OperationPtr& currentOperation, QWidget* parent)
        : currentOperation(currentOperation), parent(parent) {}

    // Where the step's dialog finds the values it was last run with in this document.
    void setDialogMemory(DialogMemory* memory) { dialogMemory = memory; }

protected:
    std::shared_ptr<Op> operation() const {
        return std::dynamic_pointer_cast<Op>(currentOperation);
    }
    QWidget* parentWidget() const { return parent; }

    // Shows the step's dialog modally, with the values the step was last run with.
    int execDialog(QDialog& dialog) const {
        const auto op = operation();
        ReturnKeyGuard::guard(dialog);
        const int result =
            dialogMemory && op
                ? dialogMemory->exec(dialog, QString::number(op->getId()) + QLatin1Char(':') +
                                                 QLatin1String(dialog.metaObject()->className()))
                : dialog.exec();
        // The step history shows what the step ran with.
        if constexpr (std::is_base_of_v<Core::Operations::ObjectOperation, Op>)
            if (op && result == QDialog::Accepted)
                op->setParameterText(DialogMemory::describe(dialog));
        return result;
    }

    // Shows `dialog` modally. OK passes its values on through `accept` and ends the operation;
    // Cancel cancels it.
    template <class Dialog, class Accept>
    void acceptOrCancel(Dialog& dialog, const std::shared_ptr<Op>& op, Accept&& accept) {
        if (execDialog(dialog) != QDialog::Accepted) {
            op->cancel();
            return;
        }
        accept();
        op->end();
    }

private:
    Core::Operations::OperationPtr& currentOperation;
    QPointer<QWidget> parent;
    DialogMemory* dialogMemory = nullptr;
};

} // namespace Ui::Observers
