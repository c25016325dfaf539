#pragma once

#include "Core/Operations/Document/runmodelextraction.h"
#include "UI/Observers/operationobserver.h"
#include "UI/Operations/extractmodeldialog.h"

#include <QPointer>

#include <memory>

namespace Ui::Observers {

// The model-extraction dialog while it is open, shared by the observer that opens it and the
// one that closes it.
using ExtractModelDialogSlot = std::shared_ptr<QPointer<Operations::ExtractModelDialog>>;

// Opens the model-extraction dialog, without blocking, once the operation has its volume.
class RunModelExtractionObserver : public OperationObserver<Core::Operations::RunModelExtraction> {
public:
    RunModelExtractionObserver(Core::Operations::OperationPtr& currentOperation, QWidget* parent,
                               ExtractModelDialogSlot dialog);
    void update() override;

private:
    ExtractModelDialogSlot dialog;
};

} // namespace Ui::Observers
