#pragma once

#include "Core/Operations/Objects/selectvolumesoperation.h"
#include "UI/Observers/operationobserver.h"

namespace Ui {
class MainWindowPresenter;
}

namespace Ui::Observers {

// Opens the batch-run dialog for the volume the selection operation chose (or none), over the
// main window. When it closes, the mask previews come off every volume of the document and
// each volume's surface is rebuilt.
class BatchRunObserver : public OperationObserver<Core::Operations::SelectVolumesOperation> {
public:
    BatchRunObserver(Core::Operations::OperationPtr& currentOperation,
                     MainWindowPresenter& presenter);
    void update() override;

private:
    MainWindowPresenter& presenter;
};

} // namespace Ui::Observers
