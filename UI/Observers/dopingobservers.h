#pragma once

#include "Core/Operations/Doping/dopingoperations.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Each opens its dialog and, on OK, passes the values on and runs the operation. A cancelled
// dialog leaves the operation pending until the user cancels it.

class DopingOptionsObserver : public OperationObserver<Core::Operations::DopingOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

class IonImplantationOptionsObserver
    : public OperationObserver<Core::Operations::IonImplantationOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

} // namespace Ui::Observers
