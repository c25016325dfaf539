#pragma once

#include "Core/Operations/Isotropic/isotropicprocessoperations.h"
#include "Core/Operations/MooreNeighborhood/mooreneighborhoodoperations.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Each opens its process dialog and, on OK, passes the values on and runs the operation.
// Cancelling an isotropic dialog leaves the operation pending until the user cancels it;
// cancelling a Moore dialog cancels the operation.

class IsotropicFilmDepositionObserver
    : public OperationObserver<Core::Operations::IsotropicFilmDepositionOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

class IsotropicFilmEtchingObserver
    : public OperationObserver<Core::Operations::IsotropicFilmEtchingOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

class ElectrodepositionObserver
    : public OperationObserver<Core::Operations::ElectrodepositionOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

class MooreDepositionObserver
    : public OperationObserver<Core::Operations::MooreNeighborhoodDepositionOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

class MooreEtchingObserver
    : public OperationObserver<Core::Operations::MooreNeighborhoodEtchingOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

} // namespace Ui::Observers
