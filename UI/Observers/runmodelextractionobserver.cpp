#include "UI/Observers/runmodelextractionobserver.h"

namespace Ui::Observers {

RunModelExtractionObserver::RunModelExtractionObserver(
    Core::Operations::OperationPtr& currentOperation, QWidget* parent,
    ExtractModelDialogSlot dialog)
    : OperationObserver(currentOperation, parent), dialog(std::move(dialog)) {}

void RunModelExtractionObserver::update() {
    const auto op = operation();
    if (!op || op->getStep() != Core::Operations::RunModelExtraction::DialogOpen || *dialog)
        return;
    auto* opened = new Operations::ExtractModelDialog(parentWidget(), op);
    opened->setAttribute(Qt::WA_DeleteOnClose);
    *dialog = opened;
    opened->show();
}

} // namespace Ui::Observers
