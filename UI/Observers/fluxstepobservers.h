#pragma once

#include "Core/Operations/Flux/fluxprocessoperations.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Opens the flux step's dialog; OK runs the step with its recipe, Cancel cancels it.
template <class Operation> class FluxStepObserver : public OperationObserver<Operation> {
public:
    using OperationObserver<Operation>::OperationObserver;
    void update() override;
};

using FluxEtchingObserver = FluxStepObserver<Core::Operations::FluxEtchingOperation>;
using FluxDepositionObserver = FluxStepObserver<Core::Operations::FluxDepositionOperation>;

} // namespace Ui::Observers
