#pragma once

#include "Core/Operations/SiEtching/atomisticsiwetetchingoperation.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Opens the wet-etching options for the atomistic etch.
class AtomicSiBCAEtchObserver
    : public OperationObserver<Core::Operations::AtomisticSiWetEtchingOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

} // namespace Ui::Observers
