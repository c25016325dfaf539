#pragma once

#include "Core/Operations/Flux/boschdrie.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Opens the Bosch DRIE dialog; OK runs the cycles with its recipe, Cancel cancels the step.
class BoschDrieObserver : public OperationObserver<Core::Operations::BoschDrieOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

} // namespace Ui::Observers
