#pragma once

#include "Core/Operations/Planarization/spincoatingoperation.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Opens the "Pour Material Options" dialog limited to the volume's height; OK pours, Cancel
// cancels the operation.
class SpinCoatingObserver : public OperationObserver<Core::Operations::SpinCoatingOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

} // namespace Ui::Observers
