#pragma once

#include "Core/Operations/createsubstrateoperation.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Opens the create-substrate dialog with every registered material; OK passes the sizes on
// and continues the operation, Cancel cancels it.
class CreateSubstrateObserver
    : public OperationObserver<Core::Operations::CreateSubstrateOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

} // namespace Ui::Observers
